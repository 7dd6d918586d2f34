#include "mime/UuBlocks.h"

namespace Mime
{
namespace
{

constexpr QLatin1StringView OwnMode("begin 664");

bool isOctal(QChar c)
{
    return c >= u'0' && c <= u'7';
}

// The length of "begin", mode and space when the line starts a block in any
// mode, else 0. The line runs to its LF.
qsizetype blockHeader(QStringView line)
{
    if (!line.startsWith(QLatin1StringView("begin ")))
        return 0;
    qsizetype at = 6;
    while (at < line.size() && at < 11 && isOctal(line[at]))
        ++at;
    if (at < 9 || at >= line.size() || line[at] != u' ')
        return 0;
    QStringView name = line.sliced(at + 1);
    if (name.endsWith(u'\r'))
        name.chop(1);
    return name.isEmpty() ? 0 : at + 1;
}

struct Block {
    qsizetype start;     // of "begin"
    qsizetype nameStart; // of the name as written
    qsizetype lineEnd;   // of its first line (the LF, or the end of the body)
};

qsizetype lineEndFrom(QStringView text, qsizetype at)
{
    const qsizetype end = text.indexOf(u'\n', at);
    return end < 0 ? text.size() : end;
}

// The next block starting at or after `from`.
bool nextBlock(QStringView text, qsizetype from, Block* block)
{
    const qsizetype own = text.indexOf(OwnMode, from);
    // Lines are looked at from the one `from` stands in, up to the own mode's line.
    const qsizetype limit = own < 0 ? text.size() : own;
    qsizetype lineStart = from == 0 ? 0 : text.lastIndexOf(u'\n', from - 1) + 1;
    while (lineStart <= limit && lineStart < text.size()) {
        const qsizetype end = lineEndFrom(text, lineStart);
        const qsizetype header =
            lineStart >= from ? blockHeader(text.sliced(lineStart, end - lineStart)) : 0;
        if (header > 0) {
            *block = {lineStart, lineStart + header, end};
            return true;
        }
        lineStart = end + 1;
    }
    if (own < 0)
        return false;
    const qsizetype end = lineEndFrom(text, own);
    *block = {own, qMin(own + OwnMode.size() + 1, end), end};
    return true;
}

QString nameOf(QStringView text, const Block& block)
{
    QStringView name = text.sliced(block.nameStart, block.lineEnd - block.nameStart);
    if (name.endsWith(u'\r'))
        name.chop(1);
    const qsizetype separator = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (separator >= 0 && separator + 1 < name.size())
        name = name.sliced(separator + 1);
    return name.toString();
}

// Calls `line` for each data line of the block with its byte count; each
// data line says in its first character how many bytes it holds.
template <class Each> void dataLines(QStringView text, const Block& block, Each line)
{
    qsizetype next = block.lineEnd + 1;
    while (next < text.size()) {
        const qsizetype end = lineEndFrom(text, next);
        QStringView data = text.sliced(next, end - next);
        next = end + 1;
        if (data.endsWith(u'\r'))
            data.chop(1);
        if (data.isEmpty() || data.startsWith(QLatin1StringView("end")) || data.contains(OwnMode) ||
            blockHeader(data) > 0)
            return;
        const int count = (data[0].unicode() - 0x20) & 0x3F;
        if (count == 0)
            return;
        // A cut-off line holds less than it announces.
        line(data, qMin<qsizetype>(count, (data.size() - 1) * 3 / 4));
    }
}

int sixBits(QChar c)
{
    return (c.unicode() - 0x20) & 0x3F;
}

} // namespace

qsizetype firstUuBlock(QStringView body)
{
    Block block;
    return nextBlock(body, 0, &block) ? block.start : -1;
}

QList<Attachment> uuBlocks(const QString& body)
{
    QList<Attachment> found;
    Block block;
    for (qsizetype from = 0; nextBlock(body, from, &block); from = block.lineEnd) {
        Attachment file{nameOf(body, block), 0};
        dataLines(body, block, [&](QStringView, qsizetype bytes) { file.size += bytes; });
        found << file;
    }
    return found;
}

QByteArray uuContent(const QString& body, qsizetype index)
{
    Block block;
    for (qsizetype from = 0; nextBlock(body, from, &block); from = block.lineEnd) {
        if (index-- > 0)
            continue;
        QByteArray bytes;
        dataLines(body, block, [&](QStringView data, qsizetype count) {
            for (qsizetype at = 1, left = count; left > 0; at += 4) {
                const auto c = [&](qsizetype i) {
                    return at + i < data.size() ? sixBits(data[at + i]) : 0;
                };
                const char group[3] = {char(c(0) << 2 | c(1) >> 4), char(c(1) << 4 | c(2) >> 2),
                                       char(c(2) << 6 | c(3))};
                bytes.append(group, qMin<qsizetype>(3, left));
                left -= 3;
            }
        });
        return bytes;
    }
    return QByteArray();
}

} // namespace Mime
