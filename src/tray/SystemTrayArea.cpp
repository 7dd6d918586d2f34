#include "tray/SystemTrayArea.h"

#include "tray/AppIcon.h"
#include "tray/TrayActivation.h"
#include "ui/PlainText.h"

#include <QGuiApplication>
#include <QWidget>

SystemTrayArea::SystemTrayArea(QObject* parent) : NotificationArea(parent) {}

SystemTrayArea::~SystemTrayArea()
{
    delete m_icon;
}

bool SystemTrayArea::names(const NotifyIconData& record) const
{
    return m_icon && record.hWnd == m_window && record.uID == m_id;
}

bool SystemTrayArea::Shell_NotifyIcon(Operation operation, const NotifyIconData& record)
{
    switch (operation) {
    case NIM_ADD:
        if (m_icon)
            return false; // one icon only, as a second add of the same id fails
        m_icon = new QSystemTrayIcon(this);
        m_window = record.hWnd;
        m_id = record.uID;
        connect(m_icon, &QSystemTrayIcon::activated, this, &SystemTrayArea::activated);
        show(record);
        // Where no area exists yet the icon waits: an X11 tray that appears
        // later embeds it.
        m_icon->show();
        return true;
    case NIM_MODIFY:
        if (!names(record))
            return false;
        show(record);
        return true;
    case NIM_DELETE:
        if (!names(record))
            return false;
        m_icon->hide();
        delete m_icon;
        m_icon = nullptr;
        m_window = nullptr;
        return true;
    }
    return false;
}

void SystemTrayArea::show(const NotifyIconData& record)
{
    if (record.uFlags & NotifyIconData::NIF_MESSAGE)
        m_message = record.uCallbackMessage;
    if (record.uFlags & NotifyIconData::NIF_ICON)
        m_icon->setIcon(AppIcon::forScreens(record.hIcon, AppIcon::screenRatios()));
    if (record.uFlags & NotifyIconData::NIF_TIP)
        m_icon->setToolTip(PlainText::trayToolTip(record.tipText()));
}

void SystemTrayArea::SetForegroundWindow(QWidget* window)
{
    // A hidden window cannot come forward; the popup menu takes the focus
    // by itself.
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

bool SystemTrayArea::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayArea::activated(QSystemTrayIcon::ActivationReason reason)
{
    const bool onPress = TrayActivation::reportedOnPress(QGuiApplication::platformName());
    for (quint32 code : TrayActivation::codesFor(reason, onPress))
        emit callback(m_window, m_id, m_message, code);
}

bool SystemTrayArea::showMessage(const QString& title, const QString& text)
{
    if (!m_icon || !QSystemTrayIcon::supportsMessages())
        return false;
    m_icon->showMessage(title, text);
    return true;
}
