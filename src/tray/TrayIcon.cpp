#include "tray/TrayIcon.h"

#include "core/ProgramExit.h"
#include "tray/AppIcon.h"
#include "tray/NotificationArea.h"
#include "tray/SystemTrayArea.h"
#include "tray/TrayMessage.h"
#include "ui/Twips.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

TrayIcon::TrayIcon(QWidget* parent)
    : QWidget(parent), m_face(QStringLiteral(":/images/trayface.png"))
{
    picArea = new QWidget(this);
    picArea->setObjectName(QStringLiteral("picArea"));
    Twips::place(picArea, 960, 720, 495, 495);
    SizeToIcon();
}

TrayIcon::~TrayIcon()
{
    if (m_area)
        m_area->Shell_NotifyIcon(NotificationArea::NIM_DELETE, m_record);
}

NotificationArea* TrayIcon::notificationArea()
{
    if (!m_area)
        setNotificationArea(new SystemTrayArea(this));
    return m_area;
}

void TrayIcon::setNotificationArea(NotificationArea* area)
{
    if (m_area)
        disconnect(m_area, nullptr, this, nullptr);
    m_area = area;
    if (m_area)
        connect(m_area, &NotificationArea::callback, this, &TrayIcon::areaCallback);
}

void TrayIcon::fillIconAndTip()
{
    // A missing or unreadable picture would leave an invisible icon that
    // cannot be clicked: the application icon stands in.
    m_record.hIcon = AppIcon::isPicture(m_icon) ? m_icon : AppIcon::icon();
    m_record.szTip = NotifyIconData::tipField(m_toolTip);
}

void TrayIcon::Start()
{
    m_record.cbSize = 88;
    m_record.hWnd = picArea;
    m_record.uID = 1;
    m_record.uFlags =
        NotifyIconData::NIF_MESSAGE | NotifyIconData::NIF_ICON | NotifyIconData::NIF_TIP;
    m_record.uCallbackMessage = TrayMessage::WM_MOUSEMOVE;
    fillIconAndTip();
    NotificationArea* area = notificationArea();
    area->Shell_NotifyIcon(NotificationArea::NIM_ADD, m_record);
    if (!m_removeOnExit) {
        // The orderly exit ends the process at once; take the icon out first
        // so no dead icon stays behind in the notification area.
        m_removeOnExit = true;
        ProgramExit::addCleanup([control = QPointer<TrayIcon>(this)] {
            if (control)
                control->Remove();
        });
    }
    if (!area->isAvailable())
        emit NotificationAreaMissing();
}

void TrayIcon::Modify()
{
    fillIconAndTip();
    notificationArea()->Shell_NotifyIcon(NotificationArea::NIM_MODIFY, m_record);
}

void TrayIcon::Remove()
{
    notificationArea()->Shell_NotifyIcon(NotificationArea::NIM_DELETE, m_record);
}

void TrayIcon::setIcon(const QIcon& icon)
{
    m_icon = icon;
    emit PropertyChanged(QStringLiteral("Icon"));
}

void TrayIcon::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    emit PropertyChanged(QStringLiteral("ToolTip"));
}

void TrayIcon::InitProperties()
{
    setIcon(QIcon());
    setToolTip(QString());
}

void TrayIcon::ReadProperties(const QVariantMap& bag)
{
    // A stored value that is no picture reads as no picture; Start then
    // shows the application icon.
    const QVariant icon = bag.value(QStringLiteral("Icon"));
    switch (icon.typeId()) {
    case QMetaType::QIcon:
        setIcon(icon.value<QIcon>());
        break;
    case QMetaType::QPixmap:
        setIcon(QIcon(icon.value<QPixmap>()));
        break;
    case QMetaType::QImage:
        setIcon(QIcon(QPixmap::fromImage(icon.value<QImage>())));
        break;
    case QMetaType::QString:
        setIcon(QIcon(icon.toString()));
        break;
    default:
        setIcon(QIcon());
        break;
    }
    setToolTip(bag.value(QStringLiteral("ToolTip"), QString()).toString());
}

QVariantMap TrayIcon::WriteProperties() const
{
    QVariantMap bag;
    if (!m_icon.isNull())
        bag.insert(QStringLiteral("Icon"), m_icon);
    if (!m_toolTip.isEmpty())
        bag.insert(QStringLiteral("ToolTip"), m_toolTip);
    return bag;
}

void TrayIcon::areaCallback(const QWidget* window, quint32, quint32 message, quint32 code)
{
    if (window != picArea || message != m_record.uCallbackMessage)
        return;
    // The area's report arrives like a posted window message: it is handled
    // from the event loop, after the toolkit's own mouse handling returned.
    const float x = static_cast<float>(code * Twips::perPixel());
    QMetaObject::invokeMethod(
        this, [this, x] { picArea_MouseMove(0, 0, x, 0); }, Qt::QueuedConnection);
}

void TrayIcon::picArea_MouseMove(qint16 Button, qint16 Shift, float X, float Y)
{
    HandleTrayMessage(Button, Shift, X, Y);
}

void TrayIcon::HandleTrayMessage(qint16, qint16 Shift, float X, float Y)
{
    const qint32 code = qRound(X / Twips::perPixel());
    QCoreApplication::processEvents();
    const TrayMessage::Meaning meaning = TrayMessage::decode(code);
    if (meaning.event == TrayMessage::Event::None)
        return;
    if (meaning.foreground)
        notificationArea()->SetForegroundWindow(window());
    switch (meaning.event) {
    case TrayMessage::Event::MouseMove:
        emit MouseMove(X, Y);
        break;
    case TrayMessage::Event::MouseDown:
        emit MouseDown(meaning.button, Shift, X, Y);
        break;
    case TrayMessage::Event::Click:
        emit Click(meaning.button, Shift, X, Y);
        break;
    case TrayMessage::Event::DblClick:
        emit DblClick(meaning.button, Shift, X, Y);
        break;
    case TrayMessage::Event::None:
        break;
    }
}

void TrayIcon::SizeToIcon()
{
    // A fixed size also holds while the control is hidden, when the toolkit
    // delays resize events until it is shown.
    const int side = Twips::toPixels(32 * Twips::perPixel());
    if (minimumSize() != QSize(side, side) || maximumSize() != QSize(side, side))
        setFixedSize(side, side);
    else if (size() != QSize(side, side))
        resize(side, side);
}

void TrayIcon::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    SizeToIcon();
}

void TrayIcon::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    SizeToIcon();
}

void TrayIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_face.paint(&painter, QRect(0, 0, 32, 32));
}

bool TrayIcon::ShowMessage(const QString& title, const QString& text)
{
    NotificationArea* area = notificationArea();
    return area && area->showMessage(title, text);
}
