#pragma once
// The application icon in every size the program ships, and its preparation
// for the notification area of screens with any device pixel ratio.

#include <QIcon>
#include <QList>

namespace AppIcon
{

// The 36 x 36 icon with its larger drawings (48 to 256 pixels).
QIcon icon();

// Whether the icon yields a picture at all (a missing or unreadable file
// gives an icon that paints nothing).
bool isPicture(const QIcon& icon);

// Pixmaps of the icon at the usual tray sizes for each ratio, each rendered
// at full device resolution with its device pixel ratio set, so the icon
// stays sharp on high-DPI screens.
QIcon forScreens(const QIcon& icon, const QList<qreal>& ratios);

// The distinct device pixel ratios of the screens, 1 among them.
QList<qreal> screenRatios();

} // namespace AppIcon
