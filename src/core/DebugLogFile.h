#pragma once
// "Debug.txt": one block per run, appended by the orderly exit.

#include <QByteArray>
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

// Appends the block in one write; the earlier content is never rewritten, and
// a write that fails takes its part of the block back out. The file is
// readable by its owner only (mode 0600).
bool appendBlock(const QString& path, const QByteArray& runLog);

} // namespace DebugLogFile

namespace Module1
{
// Appends the run's log to "Debug.txt" and ends the program. Only the first
// call of a run does anything.
void SaveDebugLogAndExit();
} // namespace Module1
