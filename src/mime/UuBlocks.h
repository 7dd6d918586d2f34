#pragma once
// The uuencoded blocks of a body: every line that holds "begin 664" names
// one, by the rest of that line after "begin 664 ". Its size is what its
// data lines decode to, up to the "end" line, a line of length zero or the
// end of the body.

#include "mime/Attachment.h"

#include <QList>
#include <QString>

namespace Mime
{

QList<Attachment> uuBlocks(const QString& body);

} // namespace Mime
