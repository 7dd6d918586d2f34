#pragma once
// A quick pass over a MIME message before GMime reads it, which follows the
// header blocks and boundaries as GMime will and mends what GMime would read
// otherwise than the standards say:
//  - a header block that runs into its text without an empty line gets one
//    after its last header line;
//  - "Content-Type: text" without a subtype becomes text/plain;
//  - a close delimiter followed by more on its line ends its multipart: the
//    rest of the line is blanked;
//  - a multipart nested deeper than the limit becomes an opaque leaf of type
//    TooDeepType, one without a boundary or declared twice a leaf of type
//    UnreadableType, whose parts are not looked for. GMime checks every line
//    that begins with "--" against each boundary still open, so this keeps
//    its parsing time linear in the size.
// Boundaries are read with GMime's own parameter parser (RFC 2231 included).

#include <QByteArray>
#include <QByteArrayView>

namespace Mime
{

// Same length as "multipart", which they overwrite.
inline constexpr char TooDeepType[] = "x-toodeep";
inline constexpr char UnreadableType[] = "x-unknown";

// The message mended, or a null array when nothing needed it; maxDepth
// counts open boundaries.
QByteArray prepareForGMime(QByteArrayView message, int maxDepth);

} // namespace Mime
