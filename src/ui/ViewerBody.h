#pragma once
// The body a viewer shows: a uuencoded attachment is cut off. The cut is at
// the first "begin 664" (that exact case), wherever it stands, or at the
// first line that starts a block in another mode ("begin 644 name"),
// whichever comes first, and drops everything after it; the line break
// before the block's line stays.

#include <QString>

namespace ViewerBody
{
QString withoutAttachment(const QString& body);
} // namespace ViewerBody
