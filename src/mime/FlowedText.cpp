#include "mime/FlowedText.h"

namespace Mime
{

QString unflowText(const QString& text, bool delSp)
{
    QString out;
    out.reserve(text.size());
    int openDepth = -1; // quote depth of the paragraph still open, -1 if none
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        QStringView line = QStringView(text).sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        start = end + 1;
        if (last && line.isEmpty())
            break;

        int depth = 0;
        while (depth < line.size() && line[depth] == u'>')
            ++depth;
        line = line.sliced(depth);
        if (line.startsWith(u' '))
            line = line.sliced(1); // the stuffed space
        if (openDepth >= 0 && openDepth != depth)
            out += QLatin1String("\r\n"); // a quote change ends the paragraph
        if (openDepth != depth)
            out += QString(depth, u'>') + (depth > 0 ? QLatin1String(" ") : QLatin1String(""));

        const bool soft = line.endsWith(u' ') && line != u"-- ";
        if (soft && delSp)
            line.chop(1);
        out += line;
        if (soft) {
            openDepth = depth;
        } else {
            out += QLatin1String("\r\n");
            openDepth = -1;
        }
    }
    if (openDepth >= 0)
        out += QLatin1String("\r\n");
    return out;
}

} // namespace Mime
