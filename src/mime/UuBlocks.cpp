#include "mime/UuBlocks.h"

namespace Mime
{

QList<Attachment> uuBlocks(const QString& body)
{
    QList<Attachment> found;
    const QStringView text(body);
    qsizetype at = text.indexOf(QLatin1String("begin 664"));
    while (at >= 0) {
        qsizetype lineEnd = text.indexOf(u'\n', at);
        if (lineEnd < 0)
            lineEnd = text.size();
        QStringView name = text.sliced(at, lineEnd - at).sliced(qMin<qsizetype>(10, lineEnd - at));
        if (name.endsWith(u'\r'))
            name.chop(1);
        Attachment block{name.toString(), 0};

        // Each data line says in its first character how many bytes it holds.
        qsizetype next = lineEnd + 1;
        while (next < text.size()) {
            qsizetype end = text.indexOf(u'\n', next);
            if (end < 0)
                end = text.size();
            QStringView line = text.sliced(next, end - next);
            next = end + 1;
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.isEmpty() || line.startsWith(QLatin1String("end")) ||
                line.contains(QLatin1String("begin 664")))
                break;
            const int count = (line[0].unicode() - 0x20) & 0x3F;
            if (count == 0)
                break;
            // A cut-off line holds less than it announces.
            block.size += qMin<qint64>(count, (line.size() - 1) * 3 / 4);
        }
        found << block;
        at = text.indexOf(QLatin1String("begin 664"), lineEnd);
    }
    return found;
}

} // namespace Mime
