#include "core/DebugLogFile.h"

#include "core/DebugLog.h"
#include "core/Log.h"
#include "core/ProgramExit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

bool appendBlock(const QString& path, const QByteArray& runLog)
{
    // The log holds the text of the mail fetched: the file is for its user
    // alone, whether it is new or was left readable by an older version.
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    // Unbuffered: what the write could not put down is not tried again later.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered, ownerOnly))
        return false;
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others)
        file.setPermissions(ownerOnly);
    const qint64 before = file.size();
    const QByteArray text = block(runLog);
    const bool written = file.write(text) == text.size();
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
