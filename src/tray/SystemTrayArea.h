#pragma once
// The notification area of the desktop, through QSystemTrayIcon: XEmbed or
// StatusNotifierItem on X11, the shell's area on Windows, the status bar on
// macOS. It holds one icon. QSystemTrayIcon gets no context menu of its own:
// the control's window decides what a click does.

#include "tray/NotificationArea.h"

#include <QSystemTrayIcon>

class SystemTrayArea : public NotificationArea
{
    Q_OBJECT
public:
    explicit SystemTrayArea(QObject* parent = nullptr);
    ~SystemTrayArea() override;

    bool Shell_NotifyIcon(Operation operation, const NotifyIconData& record) override;
    void SetForegroundWindow(QWidget* window) override;
    bool isAvailable() const override;
    bool showMessage(const QString& title, const QString& text) override;

private:
    bool names(const NotifyIconData& record) const;
    void show(const NotifyIconData& record);
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon* m_icon = nullptr;
    const QWidget* m_window = nullptr;
    quint32 m_id = 0;
    quint32 m_message = 0;
};
