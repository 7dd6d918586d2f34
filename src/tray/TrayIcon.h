#pragma once
// The tray icon control: puts one icon with a tool-tip into the desktop's
// notification area and turns pointer activity over it into its own events.
//
// It describes the icon in a NotifyIconData record that it keeps by value and
// hands to a NotificationArea. Setting Icon or ToolTip changes only the
// control; the notification area sees the new values at the next Modify or
// Start. The area reports activity to the control's inner window picArea,
// with the mouse message code carried in twips as a horizontal coordinate;
// HandleTrayMessage decodes it.

#include "tray/NotifyIconData.h"

#include <QIcon>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

class NotificationArea;

class TrayIcon : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QIcon Icon READ Icon WRITE setIcon)
    Q_PROPERTY(QString ToolTip READ ToolTip WRITE setToolTip)

public:
    explicit TrayIcon(QWidget* parent = nullptr);
    // The control's own teardown takes the icon out of the notification area.
    ~TrayIcon() override;

    // Refreshes the icon and the tip in the record and hands it on.
    void Modify();
    // Takes the icon out of the notification area; the record stays as it is.
    void Remove();
    // Fills the whole record and adds the icon to the notification area.
    void Start();
    // A message from the icon, where the notification area shows them.
    bool ShowMessage(const QString& title, const QString& text);

    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon& icon);
    QString ToolTip() const { return m_toolTip; }
    // Sets the text for the notification area, not the control's own hover
    // tip (QWidget::toolTip).
    void setToolTip(const QString& toolTip);

    // The property bag a hosting window keeps for the control.
    void InitProperties();
    void ReadProperties(const QVariantMap& bag);
    QVariantMap WriteProperties() const;

    // Decodes one call-back: X is the mouse message code times the twips per
    // pixel. Lets pending events run, brings the control's window forward for
    // the codes 0x200 to 0x206 and raises the matching event.
    void HandleTrayMessage(qint16 Button, qint16 Shift, float X, float Y);

    // Keeps the control at 32 x 32 pixels.
    void SizeToIcon();

    const NotifyIconData& record() const { return m_record; }

    // The notification area this control talks to: the desktop's own unless
    // one is set. A set area is not owned.
    void setNotificationArea(NotificationArea* area);
    NotificationArea* notificationArea();

    // The call-back window named in the record. It lies outside the
    // control's square, so it is never seen.
    QWidget* picArea = nullptr;

signals:
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void Click(qint16 Button, qint16 Shift, float X, float Y);
    void DblClick(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(float X, float Y);

    // A persisted property ("Icon", "ToolTip") changed.
    void PropertyChanged(const QString& name);
    // Start found no notification area on the desktop.
    void NotificationAreaMissing();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void picArea_MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    void areaCallback(const QWidget* window, quint32 uID, quint32 message, quint32 code);
    void fillIconAndTip();

    NotifyIconData m_record;
    QIcon m_icon;
    QString m_toolTip;
    QIcon m_face;
    QPointer<NotificationArea> m_area;
    bool m_removeOnExit = false;
};
