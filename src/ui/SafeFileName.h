#pragma once
// A file name from a message as one plain name to save under: nothing that
// leads out of the folder it is saved in, nothing hidden, nothing that a
// file system refuses. Only the last path component of the name is kept
// ("/" and "\" both separate), control characters are dropped, leading dots
// and blanks go, characters Windows forbids become "_", a device name of
// Windows gets a "_" in front, and a long name is shortened before its
// extension. What is left empty becomes "attachment" with the name's
// extension, if it had one.

#include <QString>

namespace SafeFileName
{
QString of(const QString& name);
} // namespace SafeFileName
