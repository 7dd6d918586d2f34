#pragma once
// The toolkit reports activity over a tray icon as an activation reason; the
// tray icon control expects mouse message codes. On X11 (XEmbed) and macOS a
// click is reported when the button goes down, so the press code comes first
// there; elsewhere (Windows, StatusNotifierItem) it is reported on release.

#include <QList>
#include <QSystemTrayIcon>

namespace TrayActivation
{

QList<quint32> codesFor(QSystemTrayIcon::ActivationReason reason, bool reportedOnPress);

bool reportedOnPress(const QString& platformName);

} // namespace TrayActivation
