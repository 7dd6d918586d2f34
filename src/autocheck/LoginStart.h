#pragma once
// "Start Quillbeacon when I log in": an XDG autostart entry
// (~/.config/autostart/) on Linux, the Run key of the current user on
// Windows. The entry starts the very executable that is running, because
// the settings are keyed by its path. Turning it off removes the entry.

#include <QString>

namespace LoginStart
{
bool isOn();
// False, with `error` set, when the entry could not be written or removed.
bool set(bool on, const QString& executable, QString* error);
// The autostart file (Linux).
QString entryPath();
// The Exec value for a path: quoted and escaped as desktop entries need.
QString execLine(const QString& executable);
} // namespace LoginStart
