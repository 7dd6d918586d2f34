#include "tray/SessionPlatform.h"

#include <QtGlobal>

namespace SessionPlatform
{

QByteArray forcedPlatform(const Environment& environment)
{
    if (!environment.qpaPlatform.isEmpty())
        return {};
    const bool wayland =
        !environment.waylandDisplay.isEmpty() || environment.sessionType == "wayland";
    if (!wayland || environment.display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

void apply()
{
    const QByteArray platform =
        forcedPlatform({qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"),
                        qgetenv("XDG_SESSION_TYPE"), qgetenv("DISPLAY")});
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace SessionPlatform
