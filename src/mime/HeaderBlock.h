#pragma once
// The header block of a message or of a part, read as header fields: it runs
// as far as its lines are header lines (a field name and a colon at the start
// of a line, or a folded line that continues the field before it), and ends
// at the empty line after them or at the first line that is neither. A line
// ends in LF, with or without CR before it.

#include <QByteArrayView>

namespace Mime
{

struct HeaderExtent {
    qsizetype length = 0;    // the header lines, their line ends included
    qsizetype bodyStart = 0; // past the empty line after them, else `length`
    bool closed = false;     // an empty line follows them
};

HeaderExtent headerExtent(QByteArrayView message);

// The line (without its line end) starts a header field: printable
// characters but the colon, blanks at most, then a colon.
bool isFieldStart(QByteArrayView line);

} // namespace Mime
