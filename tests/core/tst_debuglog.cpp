// The protocol log and its block in "Debug.txt".

#include "core/DebugLogFile.h"
#include "core/Log.h"
#include "core/ProgramExit.h"
#include "support/TestEnvironment.h"
#include "ui/DebugA.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestDebugLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::startAfresh(); }

    void logAppendsLineBreakThenText();
    void blockLayout();
    void twoRunsLeaveBothBlocksInOrder();
    void emptyFileBeginsWithLineBreak();
    void unwritableFolderFallsBackToUserData();
    void exitWritesOneBlockAndEndsOnce();
    void exitStillEndsWhenFileCannotBeWritten();
    void debugWindowShowsTheLogAndKeepsItWhenClosed();
};

void TestDebugLog::logAppendsLineBreakThenText()
{
    Module1::Log("USER ann");
    Module1::LogBytes("+OK ready\r\n");
    QCOMPARE(DebugA::instance().log().text(), QByteArray("\r\nUSER ann\r\n+OK ready\r\n"));
}

void TestDebugLog::blockLayout()
{
    QCOMPARE(DebugLogFile::block(""), QByteArray("\r\n\r\n-----------\r\n\r\n"));
    QCOMPARE(DebugLogFile::block("\r\nSTAT"), QByteArray("\r\n\r\nSTAT\r\n-----------\r\n\r\n"));
}

void TestDebugLog::twoRunsLeaveBothBlocksInOrder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Debug.txt");
    QVERIFY(DebugLogFile::appendBlock(path, "\r\nfirst"));
    QVERIFY(DebugLogFile::appendBlock(path, "\r\nsecond"));
    QCOMPARE(readAll(path), QByteArray("\r\n\r\nfirst\r\n-----------\r\n\r\n"
                                       "\r\n\r\nsecond\r\n-----------\r\n\r\n"));
}

void TestDebugLog::emptyFileBeginsWithLineBreak()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Debug.txt");
    QFile(path).open(QIODevice::WriteOnly);
    QVERIFY(DebugLogFile::appendBlock(path, ""));
    QCOMPARE(readAll(path), QByteArray("\r\n\r\n-----------\r\n\r\n"));
}

void TestDebugLog::unwritableFolderFallsBackToUserData()
{
    QTemporaryDir dir;
    const QString fallback = dir.filePath("data");
    QCOMPARE(DebugLogFile::pathFor(dir.path(), fallback), dir.filePath("Debug.txt"));
    // A folder that cannot hold the file (here: a path under a plain file).
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    const QString path = DebugLogFile::pathFor(dir.filePath("plain"), fallback);
    QCOMPARE(path, fallback + "/Debug.txt");
    QVERIFY(DebugLogFile::appendBlock(path, "\r\nx"));
    QCOMPARE(readAll(path), DebugLogFile::block("\r\nx"));
}

void TestDebugLog::exitWritesOneBlockAndEndsOnce()
{
    const QString path = DebugLogFile::path();
    QFile::remove(path);
    QFile previous(path);
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("earlier run");
    previous.close();

    int cleanups = 0;
    ProgramExit::addCleanup([&cleanups] { ++cleanups; });
    Module1::Log("QUIT");
    Module1::SaveDebugLogAndExit();
    // Teardown paths (closing the mailbox window, the tray's Exit) come back
    // here: they must not add a second block.
    Module1::SaveDebugLogAndExit();
    QCOMPARE(TestEnvironment::exitCount(), 1);
    QCOMPARE(cleanups, 1);
    QCOMPARE(readAll(path), QByteArray("earlier run\r\n\r\nQUIT\r\n-----------\r\n\r\n"));
    QFile::remove(path);
}

void TestDebugLog::exitStillEndsWhenFileCannotBeWritten()
{
    QVERIFY(!DebugLogFile::appendBlock("/proc/no-such-dir/Debug.txt", "x"));
    // The real exit path with a log file that is a folder.
    const QString path = DebugLogFile::path();
    QFile::remove(path);
    QVERIFY(QDir().mkpath(path));
    Module1::SaveDebugLogAndExit();
    QCOMPARE(TestEnvironment::exitCount(), 1);
    QDir(path).removeRecursively();
}

void TestDebugLog::debugWindowShowsTheLogAndKeepsItWhenClosed()
{
    DebugA& debug = DebugA::instance();
    QCOMPARE(debug.windowTitle(), QStringLiteral("Form1"));
    QVERIFY(!debug.isVisible());
    Module1::Log("USER ann");
    debug.show();
    QCOMPARE(debug.Debug->toPlainText(), QStringLiteral("\nUSER ann"));
    Module1::Log("PASS ****");
    QTRY_COMPARE(debug.Debug->toPlainText(), QStringLiteral("\nUSER ann\nPASS ****"));
    debug.close();
    QVERIFY(!debug.isVisible());
    QVERIFY(DefaultInstance<DebugA>::exists());
    QCOMPARE(debug.log().text(), QByteArray("\r\nUSER ann\r\nPASS ****"));
}

QTEST_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
