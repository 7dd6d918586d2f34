#pragma once
// "Debug.txt": one block per run, appended by the orderly exit.

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace DebugLogFile
{

inline constexpr auto FileName = "Debug.txt";

// CR LF, the run's log, CR LF, eleven hyphens, CR LF, CR LF.
QByteArray block(const QByteArray& runLog);

// "Debug.txt" in the executable's folder, or in the user's application data
// folder when the executable's folder cannot be written (an installed program).
QString path();

// Tests only: stands in for the executable's folder, so test programs that
// share one folder do not write to one file.
void setExecutableFolderForTest(const QString& folder);
QString pathFor(const QString& executableFolder, const QString& fallbackFolder);

// The file keeps at most its newest KeptBytes, the new block included.
inline constexpr qint64 KeptBytes = 64 * 1024 * 1024;

// Appends the block in one write, and a write that fails takes its part of
// the block back out. When the file would grow past KeptBytes, it is written
// anew instead: its oldest whole blocks left out, then the new block; the old
// file stays as it was until the new one is complete. A block too big to
// keep within KeptBytes by itself is kept whole, alone. The file is readable
// by its owner only (mode 0600).
bool appendBlock(const QString& path, const QByteArray& runLog);

// Where a file that is to take `incoming` more bytes may begin, so that it
// keeps within `limit`: the first end of a block at or past the bytes that
// must go, or the file's end when there is none; 0 when nothing must go.
qint64 keepFrom(QIODevice& file, qint64 incoming, qint64 limit);

} // namespace DebugLogFile

namespace Module1
{
// Appends the run's log to "Debug.txt" and ends the program. Only the first
// call of a run does anything.
void SaveDebugLogAndExit();
} // namespace Module1
