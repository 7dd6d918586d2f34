#include "smtp/modUUCode.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace modUUCode
{
namespace
{

constexpr int LineBytes = 45;             // bytes of the file per full line
constexpr int FullLineChars = 1 + 60 + 1; // length char, 15 groups of four, LF
constexpr int ChunkLines = 4096;          // lines read per system call

// Three bytes as four characters, each a 6-bit value plus 32 (so zero is a
// space, never a grave accent), written with one store.
inline char* putGroup(char* out, uint b1, uint b2, uint b3)
{
    const uint v = (b1 << 16) | (b2 << 8) | b3;
    const quint32 chars =
        ((v >> 18) & 63) | (((v >> 12) & 63) << 8) | (((v >> 6) & 63) << 16) | ((v & 63) << 24);
    qToLittleEndian<quint32>(chars + 0x20202020u, out);
    return out + 4;
}

// Full lines only: n is a multiple of 45.
char* putFullLines(const uchar* in, qsizetype n, char* out)
{
    for (const uchar* end = in + n; in != end; in += LineBytes) {
        *out++ = static_cast<char>(LineBytes + 32);
        for (int i = 0; i < LineBytes; i += 3)
            out = putGroup(out, in[i], in[i + 1], in[i + 2]);
        *out++ = '\n';
    }
    return out;
}

// The short last data line (1 to 44 bytes, none when the full lines took
// every byte), padded with spaces to whole groups, then the zero-length line
// and "end". An empty data line in front of the zero-length line would make
// standard decoders take it for the terminator and miss the "end".
char* putLastLines(const uchar* in, int n, char* out)
{
    if (n > 0) {
        *out++ = static_cast<char>(n + 32);
        uchar group[3];
        for (int i = 0; i < n; i += 3) {
            for (int k = 0; k < 3; ++k)
                group[k] = i + k < n ? in[i + k] : uchar(0x20);
            out = putGroup(out, group[0], group[1], group[2]);
        }
        *out++ = '\n';
    }
    std::memcpy(out, " \nend\n", 6);
    return out + 6;
}

// A block of many megabytes is written once from start to end: on Linux,
// asking for huge pages spares most of the page faults of its first touch,
// which otherwise cost about as much as the encoding itself.
QByteArray outputBuffer(qint64 size)
{
    QByteArray buffer(size, Qt::Uninitialized);
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr quintptr Page = 4096;
    if (size >= (8 << 20)) {
        const auto begin = (quintptr(buffer.data()) + Page - 1) & ~(Page - 1);
        const auto end = (quintptr(buffer.data()) + quintptr(size)) & ~(Page - 1);
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
    return buffer;
}

QByteArray headerLine(const QString& name)
{
    QByteArray encodedName = QFile::encodeName(name);
    // A line break inside the name would end the header line early and
    // make the rest of the name look like data.
    encodedName.replace('\n', '_').replace('\r', '_');
    return QByteArrayLiteral("begin 664 ") + encodedName + '\n';
}

} // namespace

QString fileNameOf(const QString& path)
{
    const qsizetype cut =
        qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

qint64 encodedSize(qint64 size, qint64 nameBytes)
{
    const qint64 rest = size % LineBytes;
    return 10 + nameBytes + 1                            // "begin 664 " name LF
           + (size / LineBytes) * FullLineChars          // full lines
           + (rest > 0 ? 1 + (rest + 2) / 3 * 4 + 1 : 0) // short last data line
           + 2 + 4;                                      // " " LF "end" LF
}

QByteArray uuencode(QByteArrayView data, const QString& name)
{
    const QByteArray header = headerLine(name);
    const qsizetype full = data.size() - data.size() % LineBytes;
    QByteArray block = outputBuffer(encodedSize(data.size(), header.size() - 11));
    char* out = block.data();
    std::memcpy(out, header.constData(), header.size());
    out += header.size();
    const auto* in = reinterpret_cast<const uchar*>(data.data());
    out = putFullLines(in, full, out);
    out = putLastLines(in + full, static_cast<int>(data.size() - full), out);
    Q_ASSERT(out == block.constData() + block.size());
    return block;
}

std::optional<QByteArray> UUEncodeFile(const QString& path, QString* errorText)
{
    auto fail = [&](const QString& why) -> std::optional<QByteArray> {
        if (errorText)
            *errorText = QStringLiteral("The attachment \"%1\" cannot be read: %2").arg(path, why);
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("no such file."));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder, not a file."));
    // A FIFO or a device would block open() or never end: only a regular
    // file (or a link to one) is opened.
    if (!info.isFile())
        return fail(QStringLiteral("it is not a regular file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString() + QLatin1Char('.'));
    if (file.isSequential())
        return fail(QStringLiteral("it is not a regular file."));

    const qint64 size = file.size();
    const QByteArray header = headerLine(fileNameOf(path));
    QByteArray block = outputBuffer(encodedSize(size, header.size() - 11));
    char* out = block.data();
    std::memcpy(out, header.constData(), header.size());
    out += header.size();

    // Whole lines per read, so only the very last read ends inside a line.
    std::vector<uchar> chunk(std::size_t(LineBytes) * ChunkLines);
    qint64 left = size;
    while (true) {
        const qint64 want = qMin<qint64>(left, qint64(chunk.size()));
        qint64 got = 0;
        while (got < want) {
            const qint64 n = file.read(reinterpret_cast<char*>(chunk.data()) + got, want - got);
            if (n <= 0)
                return fail(n < 0 ? file.errorString() + QLatin1Char('.')
                                  : QStringLiteral("the file got shorter while it was read."));
            got += n;
        }
        left -= want;
        if (left == 0) {
            const qsizetype full = want - want % LineBytes;
            out = putFullLines(chunk.data(), full, out);
            out = putLastLines(chunk.data() + full, int(want - full), out);
            break;
        }
        out = putFullLines(chunk.data(), want, out);
    }
    Q_ASSERT(out == block.constData() + block.size());
    return block;
}

} // namespace modUUCode
