#include "tray/TrayActivation.h"

#include "tray/TrayMessage.h"

namespace TrayActivation
{

QList<quint32> codesFor(QSystemTrayIcon::ActivationReason reason, bool reportedOnPress)
{
    using namespace TrayMessage;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (reportedOnPress)
            return {WM_LBUTTONDOWN, WM_LBUTTONUP};
        return {WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
        return {WM_LBUTTONDBLCLK};
    case QSystemTrayIcon::Context:
        if (reportedOnPress)
            return {WM_RBUTTONDOWN, WM_RBUTTONUP};
        return {WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
        return {WM_MBUTTONDOWN};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}

bool reportedOnPress(const QString& platformName)
{
    return platformName == QLatin1String("xcb") || platformName == QLatin1String("cocoa");
}

} // namespace TrayActivation
