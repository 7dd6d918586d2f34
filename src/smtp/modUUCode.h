#pragma once
// The attachment encoder: a file becomes one uuencoded block of text that the
// sender appends to the body of a mail.
//
// Block layout: "begin 664 " + name, one line per 45 bytes, a last data line
// for the remaining size mod 45 bytes when there are any, the zero-length
// line " " and "end", as the POSIX uuencode utility lays it out. Every line
// ends in LF alone. Zero is written as a space, and
// the last line is padded to a whole group of three with 0x20 bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace modUUCode
{

// The part of a path after its last slash or backslash: the name that the
// recipient's decoder will write to, never a whole path.
QString fileNameOf(const QString& path);

// Exact length of the block for size bytes under a header name of
// nameBytes bytes.
qint64 encodedSize(qint64 size, qint64 nameBytes);

// The whole block for these bytes, named name (already stripped of folders).
QByteArray uuencode(QByteArrayView data, const QString& name);

// The block for the file at path, named after the last part of the path.
// Gives nothing when the path names no readable file (missing, a folder, no
// permission, or a file that shrank while it was read); errorText then says
// why, in words fit for the user.
std::optional<QByteArray> UUEncodeFile(const QString& path, QString* errorText = nullptr);

} // namespace modUUCode
