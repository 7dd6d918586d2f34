#pragma once
// The preferences record: incoming server, port ("110"), user name and
// scrambled password, joined by "," with no quoting or escaping.

#include <QString>
#include <QStringList>

namespace PreferencesRecord
{

inline constexpr auto PortField = "110";

// The fields of a stored record, in order, at most four. The empty text has no
// fields. The fourth field is everything after the third ",", so a password
// holding commas survives; the server and user name cannot hold one.
QStringList split(const QString& record);

QString join(const QString& server, const QString& userName, const QString& storedPassword);

} // namespace PreferencesRecord
