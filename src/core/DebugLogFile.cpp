#include "core/DebugLogFile.h"

#include "core/DebugLog.h"
#include "core/Log.h"
#include "core/ProgramExit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace DebugLogFile
{

QByteArray block(const QByteArray& runLog)
{
    QByteArray text;
    text.reserve(runLog.size() + 19);
    text += "\r\n";
    text += runLog;
    text += "\r\n-----------\r\n\r\n";
    return text;
}

namespace
{
QString s_executableFolderForTest;

bool canWriteIn(const QString& folder)
{
    const QFileInfo dir(folder);
    if (!dir.isDir() || !dir.isWritable())
        return false;
    const QFileInfo file(QDir(folder).filePath(QLatin1String(FileName)));
    return !file.exists() || file.isWritable();
}
} // namespace

QString pathFor(const QString& executableFolder, const QString& fallbackFolder)
{
    const QString folder = canWriteIn(executableFolder) ? executableFolder : fallbackFolder;
    return QDir(folder).filePath(QLatin1String(FileName));
}

void setExecutableFolderForTest(const QString& folder)
{
    s_executableFolderForTest = folder;
}

QString path()
{
    const QString folder = s_executableFolderForTest.isEmpty()
                               ? QCoreApplication::applicationDirPath()
                               : s_executableFolderForTest;
    return pathFor(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

namespace
{
constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr qint64 ChunkSize = 1024 * 1024;

// The end of a block: the separator line and the empty line after it.
const QByteArray& blockEnd()
{
    static const QByteArray end = QByteArrayLiteral("\r\n-----------\r\n\r\n");
    return end;
}

// The file anew: from `from` on, then the new block. Nothing replaces the
// old file unless all of it was written.
bool rewriteFrom(QFile& old, qint64 from, const QByteArray& text)
{
    QSaveFile fresh(old.fileName());
    if (!fresh.open(QIODevice::WriteOnly) || !fresh.setPermissions(OwnerOnly) || !old.seek(from))
        return false;
    for (;;) {
        const QByteArray chunk = old.read(ChunkSize);
        if (chunk.isEmpty())
            break;
        if (fresh.write(chunk) != chunk.size())
            return false;
    }
    if (old.pos() != old.size() || fresh.write(text) != text.size())
        return false;
    old.close(); // Windows replaces no file that is open
    return fresh.commit();
}
} // namespace

qint64 keepFrom(QIODevice& file, qint64 incoming, qint64 limit)
{
    const qint64 size = file.size();
    const qint64 mustGo = size + incoming - limit;
    if (mustGo <= 0)
        return 0;
    const QByteArray& end = blockEnd();
    // `window` holds the file's bytes from `at` on; it starts where a block
    // end that reaches `mustGo` may begin.
    qint64 at = std::max<qint64>(0, mustGo - end.size());
    if (at >= size || !file.seek(at))
        return size;
    QByteArray window;
    for (;;) {
        const QByteArray chunk = file.read(ChunkSize);
        window += chunk;
        const bool last = chunk.isEmpty() || at + window.size() >= size;
        qsizetype from = 0;
        qsizetype found = -1;
        while ((found = window.indexOf(end, from)) >= 0) {
            const qsizetype after = found + end.size();
            // A block follows a block end, and begins with CR LF: a log that
            // quotes the separator line (a mail may) rarely has that too.
            if (!last && after + 2 > window.size())
                break; // what follows is still to be read
            const qint64 boundary = at + after;
            if (boundary >= mustGo &&
                (boundary == size || window.mid(after, 2) == QByteArrayLiteral("\r\n")))
                return boundary;
            from = found + 1;
        }
        if (last)
            return size;
        const qsizetype drop =
            found >= 0 ? found : std::max<qsizetype>(0, window.size() - (end.size() - 1));
        at += drop;
        window.remove(0, drop);
    }
}

bool appendBlock(const QString& path, const QByteArray& runLog)
{
    // The log holds the text of the mail fetched: the file is for its user
    // alone, whether it is new or was left readable by an older version.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray text = block(runLog);
    QFile file(path);
    // Unbuffered: what the write could not put down is not tried again later.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, OwnerOnly))
        return false;
    const qint64 from = keepFrom(file, text.size(), KeptBytes);
    if (from > 0)
        return rewriteFrom(file, from, text);
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others)
        file.setPermissions(OwnerOnly);
    const qint64 before = file.size();
    const bool written = file.seek(before) && file.write(text) == text.size();
    // A disk that fills up halfway must not leave half a block behind.
    if (!written)
        file.resize(before);
    file.close();
    return written;
}

} // namespace DebugLogFile

namespace Module1
{

void SaveDebugLogAndExit()
{
    if (ProgramExit::ending())
        return;
    // A debug window never used before is created on the spot and gives the
    // empty text. A file that cannot be written still lets the program end.
    DebugLogFile::appendBlock(DebugLogFile::path(), Module1::ProtocolLog().text());
    ProgramExit::end();
}

} // namespace Module1
