#pragma once
// The count on the tray icon: how many announced messages the user has not
// looked at yet, drawn as a small number in a red badge at the icon's lower
// right, over the icon's own picture. Pure functions of the icon and the
// count; at 0 the icon comes back untouched.
//
// The badge is about five eighths of the icon's height, so that at 16
// pixels a digit still stands 7 pixels tall; one digit sits in a round
// badge, two or "99+" in a wider one that may take the icon's whole width,
// the text pressed narrower where it would not fit otherwise.

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

namespace CountBadge
{

// What the badge says: nothing at 0 or below, the number up to 99, then
// "99+".
QString label(int count);

// `icon` at `size` x `size` pixels for a screen of device pixel ratio
// `ratio` (the pixmap has size x ratio device pixels and that ratio), with
// the count drawn on it.
QPixmap pixmap(const QIcon& icon, int count, int size, qreal ratio);

// `icon` with the count drawn on it at the tray's sizes (16 to 64 pixels)
// for each ratio; at 0 or below, `icon` itself.
QIcon icon(const QIcon& icon, int count, const QList<qreal>& ratios);

} // namespace CountBadge
