#pragma once
// GMime checks every line that begins with "--" against each boundary still
// open, so its parsing time grows with such lines times the nesting depth. A
// quick pass over the message follows the boundaries as GMime will, and a
// multipart nested deeper than the limit (or declared twice, or without a
// boundary) is handed to GMime as an opaque leaf of type TooDeepType, whose
// parts are not looked for. That keeps parsing linear in the size.

#include <QByteArray>
#include <QByteArrayView>

namespace Mime
{

// Same length as "multipart", which it overwrites.
inline constexpr char TooDeepType[] = "x-toodeep";

// The message with the declarations of too deep multiparts overwritten, or a
// null array when none is; maxDepth counts open boundaries.
QByteArray flattenDeepNesting(QByteArrayView message, int maxDepth);

} // namespace Mime
