#pragma once
// Text sent as format=flowed: soft line breaks (a line that ends in a space)
// joined again, space-stuffing undone. Quoted lines join only with lines of
// the same quote depth; the signature separator "-- " is never joined.

#include <QString>

namespace Mime
{

// delSp: the part declared DelSp=yes, so the space before a soft break goes
// too. Lines are split at LF; a CR before it is dropped.
QString unflowText(const QString& text, bool delSp);

} // namespace Mime
