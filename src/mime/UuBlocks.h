#pragma once
// The uuencoded blocks of a body. A block starts wherever "begin 664" stands
// (the mode this program sends in), or on a line that begins with "begin", a
// space, a mode of three or four octal digits, a space and a name (any other
// mode: GNU uuencode writes 644). The name is the last component of the one
// written, "/" and "\" both counting as separators. The data lines follow,
// up to the "end" line, a line of length zero, the next block or the end of
// the body.

#include "mime/Attachment.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace Mime
{

// Where the first block starts (the viewer shows the body up to there), or
// -1 when there is none.
qsizetype firstUuBlock(QStringView body);

QList<Attachment> uuBlocks(const QString& body);

// The decoded bytes of block `index` of uuBlocks' list.
QByteArray uuContent(const QString& body, qsizetype index);

} // namespace Mime
