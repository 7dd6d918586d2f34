// The uuencoder over arbitrary bytes: the block has the size promised, keeps
// to its character set, and a small decoder gets the bytes back.

#include "smtp/modUUCode.h"

#include <QByteArray>
#include <QList>

#include <cstdlib>

namespace
{

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray decode(const QByteArray& block, QByteArray* name)
{
    QList<QByteArray> lines = block.split('\n');
    check(lines.size() >= 4 && lines.last().isEmpty());
    lines.removeLast();
    check(lines.first().startsWith("begin 664 "));
    *name = lines.first().mid(10);
    check(lines.last() == "end");
    check(lines[lines.size() - 2] == " ");
    QByteArray out;
    for (qsizetype i = 1; i < lines.size() - 2; ++i) {
        const QByteArray& line = lines[i];
        check(!line.isEmpty());
        for (char c : line)
            check(c >= 0x20 && c <= 0x5f);
        const int length = line[0] - 0x20;
        // A zero-length line is the terminator, never data.
        check(length > 0 && length <= 45);
        check(line.size() == 1 + (length + 2) / 3 * 4);
        QByteArray bytes;
        for (qsizetype g = 1; g + 4 <= line.size(); g += 4) {
            const int a = line[g] - 0x20, b = line[g + 1] - 0x20, c = line[g + 2] - 0x20,
                      d = line[g + 3] - 0x20;
            bytes += char((a << 2) | (b >> 4));
            bytes += char(((b & 15) << 4) | (c >> 2));
            bytes += char(((c & 3) << 6) | d);
        }
        out += bytes.left(length);
        // Only the last data line may be short.
        if (i < lines.size() - 3)
            check(length == 45);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray block = modUUCode::uuencode(bytes, QStringLiteral("a b.txt"));
    check(block.size() == modUUCode::encodedSize(qint64(size), 7));
    QByteArray name;
    check(decode(block, &name) == bytes);
    check(block.count('\n') == 3 + (qsizetype(size) + 44) / 45);
    check(name == "a b.txt");
    return 0;
}
