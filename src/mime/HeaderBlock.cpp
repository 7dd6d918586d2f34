#include "mime/HeaderBlock.h"

namespace Mime
{

bool isFieldStart(QByteArrayView line)
{
    qsizetype at = 0;
    while (at < line.size() && line[at] > ' ' && line[at] < 0x7F && line[at] != ':')
        ++at;
    if (at == 0)
        return false;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    return at < line.size() && line[at] == ':';
}

HeaderExtent headerExtent(QByteArrayView message)
{
    HeaderExtent extent;
    qsizetype at = 0;
    while (at < message.size()) {
        const qsizetype lf = message.indexOf('\n', at);
        const qsizetype next = lf < 0 ? message.size() : lf + 1;
        QByteArrayView line = message.sliced(at, (lf < 0 ? message.size() : lf) - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() && lf >= 0) {
            extent.closed = true;
            extent.bodyStart = next;
            return extent;
        }
        const bool continues = at > 0 && (line.front() == ' ' || line.front() == '\t');
        if (line.isEmpty() || (!continues && !isFieldStart(line)))
            break;
        at = next;
        extent.length = at;
    }
    extent.bodyStart = extent.length;
    return extent;
}

} // namespace Mime
