// The protocol log and its block in "Debug.txt".

#include "core/DebugLogFile.h"
#include "core/Log.h"
#include "core/ProgramExit.h"
#include "support/TestEnvironment.h"
#include "ui/DebugA.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace
{
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// 70 MiB of runs of uneven size. Their logs quote the separator line all
// through, as a mail may, and a quoted one is no end of a block. `ends` gets
// each block's end.
QByteArray seventyMebibytesOfRuns(QList<qint64>* ends)
{
    const QByteArray quoted = "\r\n-----------\r\n\r\nq";
    QByteArray file;
    for (int run = 1; file.size() < 70 * 1024 * 1024; ++run) {
        const QByteArray log =
            "\r\nrun " + QByteArray::number(run) + quoted.repeated(5'000 + (run * 7919) % 100'000);
        file += DebugLogFile::block(log);
        ends->append(file.size());
    }
    return file;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
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
    void logKeepsItsNewestBytes();
    void socketDataIsKeptWithoutItsBuffersSlack();
    void fileIsForItsOwnerOnly();
    void failedWriteLeavesNoHalfBlock();
    void keepsItsNewestWholeBlocks();
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

void TestDebugLog::logKeepsItsNewestBytes()
{
    DebugLog& log = DebugA::instance().log();
    DebugA::instance().show();
    log.setLimit(100);
    for (int i = 1; i <= 3; ++i)
        Module1::Log(QStringLiteral("RETR %1").arg(i));
    // Ranges of a buffer that grows after they were logged, as a message does.
    const SharedBytes buffer = std::make_shared<QByteArray>("+OK 40 octets\r\n");
    Module1::LogRange(ByteRange(buffer, 0, buffer->size()));
    buffer->append(QByteArray(30, 'm') + "\r\n.\r\n");
    Module1::LogRange(ByteRange(buffer, 15, 35));
    for (int i = 4; i <= 6; ++i)
        Module1::Log(QStringLiteral("RETR %1").arg(i));
    QCOMPARE(log.leftOut(), 8); // "\r\nRETR 1" gave way, nothing more
    QCOMPARE(log.text(), "\r\n[8 bytes of this log were left out before this line; it keeps its "
                         "newest 100 bytes.]\r\nRETR 2\r\nRETR 3\r\n+OK 40 octets\r\n\r\n" +
                             QByteArray(30, 'm') + "\r\n.\r\n\r\nRETR 4\r\nRETR 5\r\nRETR 6");
    QTRY_COMPARE(DebugA::instance().Debug->toPlainText(),
                 QString::fromUtf8(log.text()).replace("\r\n", "\n"));
    // One entry larger than the whole log keeps its end.
    Module1::LogBytes(QByteArray(150, 'a') + "END");
    QCOMPARE(log.text().size() - log.text().indexOf(']') - 1, 100);
    QVERIFY(log.text().endsWith(QByteArray(97, 'a') + "END"));
}

void TestDebugLog::socketDataIsKeptWithoutItsBuffersSlack()
{
    // A socket hands out what arrived in a buffer far larger than itself.
    // The limit counts the bytes logged, so the log must not hold that
    // buffer: after weeks of checks it would keep many times its limit.
    QByteArray arrived;
    arrived.reserve(64 * 1024);
    arrived.append("+OK 2 messages\r\n");
    Module1::LogBytes(arrived);
    QVERIFY(arrived.isDetached());
    QVERIFY(DebugA::instance().log().text().endsWith("\r\n+OK 2 messages\r\n"));
}

void TestDebugLog::fileIsForItsOwnerOnly()
{
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QTemporaryDir dir;
    const QString fresh = dir.filePath("new/Debug.txt");
    QVERIFY(DebugLogFile::appendBlock(fresh, "\r\nx"));
    const QString old = dir.filePath("Debug.txt");
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("earlier run");
    file.close();
    QVERIFY(file.setPermissions(ownerOnly | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(DebugLogFile::appendBlock(old, "\r\ny"));
    for (const QString& path : {fresh, old}) // owner, group, others: 0600
        QCOMPARE(int(QFileInfo(path).permissions() & 0x7077), int(ownerOnly));
    QCOMPARE(readAll(old), "earlier run" + DebugLogFile::block("\r\ny"));
}

void TestDebugLog::failedWriteLeavesNoHalfBlock()
{
    // A file size limit stands in for a full disk: the write stops halfway.
    QTemporaryDir dir;
    const QString path = dir.filePath("Debug.txt");
    QVERIFY(DebugLogFile::appendBlock(path, "\r\nfirst"));
    const QByteArray before = readAll(path);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(before.size() + 10);
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool written = DebugLogFile::appendBlock(path, "\r\n" + QByteArray(4096, 's'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!written);
    QCOMPARE(readAll(path), before);
}

// Past 64 MiB the file is written anew without its oldest whole blocks, as
// few as need to go: it begins where a block began and ends with the new one.
// A new file cut short (a file size limit stands in for a full disk) leaves
// the old one as it was, and nothing beside it.
void TestDebugLog::keepsItsNewestWholeBlocks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Debug.txt");
    QList<qint64> ends;
    const QByteArray old = seventyMebibytesOfRuns(&ends);
    writeFile(path, old);
    const QByteArray run = "\r\nUSER ann\r\n+OK";

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(32 * 1024 * 1024);
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool cutShort = DebugLogFile::appendBlock(path, run);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!cutShort);
    QVERIFY(readAll(path) == old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Debug.txt"});

    QVERIFY(DebugLogFile::appendBlock(path, run));
    const QByteArray now = readAll(path);
    const QByteArray added = DebugLogFile::block(run);
    QVERIFY(now.size() <= DebugLogFile::KeptBytes);
    QVERIFY(now.endsWith(added));
    const qint64 from = old.size() - (now.size() - added.size());
    QVERIFY2(ends.contains(from), "the file does not begin where a block began");
    QVERIFY(now.first(now.size() - added.size()) == QByteArrayView(old).sliced(from));
    // One block more would not have fitted.
    QVERIFY(old.size() - ends[ends.indexOf(from) - 1] + added.size() > DebugLogFile::KeptBytes);
    QCOMPARE(int(QFileInfo(path).permissions() & 0x7077),
             int(QFile::ReadOwner | QFile::WriteOwner));
}

QTEST_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
