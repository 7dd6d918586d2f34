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
// A path that an entry cannot carry (a line break or another control
// character in it) is refused, and nothing is written.
bool set(bool on, const QString& executable, QString* error);
// The autostart file (Linux).
QString entryPath();
// The Exec value for a path, as the entry's text holds it: the path quoted
// as one argument, then escaped as every string value of an entry is.
QString execLine(const QString& executable);
// Why an entry cannot start this path, or the empty text when it can.
QString refusal(const QString& executable);
} // namespace LoginStart
