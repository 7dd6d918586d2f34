// File faults: "Debug.txt" whose folder or file cannot be written, and a
// settings file that cannot be written or holds garbage. Earlier content stays
// byte for byte, the user is told when settings cannot be saved, and the
// program goes on (and still ends) as usual.
//
// The tests run as root in CI, and root ignores permission bits. There a
// folder or file is made read-only with the immutable attribute (chattr +i),
// which binds root too; where that is not permitted either, those cases skip
// and say so. A settings folder that is a plain file works for everyone.

#include "core/DebugLogFile.h"
#include "core/Log.h"
#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "core/SettingsStore.h"
#include "support/TestEnvironment.h"
#include "ui/Options.h"
#include "ui/Startup.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace
{

constexpr char ExitChildVariable[] = "QB_STORAGE_FAULTS_EXIT_CHILD";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Makes a file or folder read-only for the test's duration, root included:
// permission bits for an ordinary user, the immutable attribute for root.
class ReadOnly
{
public:
    explicit ReadOnly(QString path) : m_path(std::move(path))
    {
        if (geteuid() != 0) {
            m_permissions = QFile::permissions(m_path);
            const QFile::Permissions readOnly =
                QFileInfo(m_path).isDir() ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner;
            m_active = QFile::setPermissions(m_path, readOnly);
            m_how = QStringLiteral("permission bits");
        } else {
            m_active = chattr(QStringLiteral("+i"));
            m_how = QStringLiteral("chattr +i");
        }
    }
    ~ReadOnly()
    {
        if (!m_active)
            return;
        if (geteuid() != 0)
            QFile::setPermissions(m_path, m_permissions);
        else if (!chattr(QStringLiteral("-i")))
            qWarning("could not take the immutable attribute off %s", qPrintable(m_path));
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

    bool active() const { return m_active; }
    QString why() const
    {
        return QStringLiteral("%1 could not be made read-only with %2 (as root, permission bits "
                              "do not bind and chattr +i needs CAP_LINUX_IMMUTABLE and a "
                              "file system that supports it)")
            .arg(m_path, m_how);
    }

private:
    bool chattr(const QString& flag) const
    {
        QProcess process;
        process.start(QStringLiteral("chattr"), {flag, m_path});
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QString m_path;
    QString m_how;
    QFile::Permissions m_permissions;
    bool m_active = false;
};

// Answers every message box and keeps its text.
class BoxAnswerer : public QObject
{
public:
    BoxAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        m_poll.start(5);
    }
    QStringList texts;

private:
    QTimer m_poll;
};

QString settingsFile()
{
    return SettingsStore::forThisProgram().fileName();
}

// Whether the file on disk holds this preferences record. Read from the
// bytes: the store's own reads may answer from the process's cache.
bool recordOnDisk(const QString& server, const QString& user, const QString& password)
{
    return readAll(settingsFile())
        .contains((server + ",110," + user + "," + PasswordScrambler::scramble(password)).toUtf8());
}

// Fills the Options window and presses OK; the texts of the boxes it showed.
QStringList pressOk(const QString& server, const QString& user, const QString& password)
{
    Options& options = Options::instance();
    options.Server->setText(server);
    options.Username->setText(user);
    options.Password->setText(password);
    options.chkSplash->setChecked(false);
    options.show();
    BoxAnswerer answerer;
    options.cmdOK_Click();
    QTest::qWait(20);
    return answerer.texts;
}

} // namespace

class TestStorageFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void debugLogFolderReadOnly();
    void debugLogFileReadOnly();
    void damagedSettingsFileReadOnly();
    void settingsFileReadOnly();
    void settingsFolderIsAFile();
    void settingsFileHoldsGarbage_data();
    void settingsFileHoldsGarbage();

private:
    QTemporaryDir m_home;
};

void TestStorageFaults::initTestCase()
{
    // A home of its own: this test makes the settings file read-only, which
    // must not touch a file that other tests or the user have.
    const QString sharedHome = QDir::homePath();
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    TestEnvironment::isolate();
    for (const char* shared : {"/.qttest/", "/.config/"})
        QVERIFY2(!settingsFile().startsWith(sharedHome + QLatin1String(shared)),
                 qPrintable(settingsFile()));
}

void TestStorageFaults::init()
{
    TestEnvironment::resetWindows();
    TestEnvironment::resetExit();
    QFile::remove(settingsFile());
}

// The executable's folder cannot be written: the run's block goes to the
// fallback folder, the blocks already in the folder's file stay as they
// were, and the program still ends. The exit runs in a child process started
// from a copy of this test in that folder, so the real decision and the real
// end of the process are what is tested.
void TestStorageFaults::debugLogFolderReadOnly()
{
    QTemporaryDir dir;
    const QString installed = dir.filePath("installed");
    const QString data = dir.filePath("data");
    QVERIFY(QDir().mkpath(installed));
    const QString earlierFile = QDir(installed).filePath("Debug.txt");
    const QByteArray earlier = DebugLogFile::block("\r\nrun 1") + DebugLogFile::block("\r\nrun 2");
    QVERIFY(writeAll(earlierFile, earlier));
    const QString child = QDir(installed).filePath("quillbeacon-exit-child");
    if (::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
               QFile::encodeName(child).constData()) != 0)
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), child));

    ReadOnly readOnly(installed);
    if (!readOnly.active())
        QSKIP(qPrintable(readOnly.why()));
    QVERIFY(!QFile(QDir(installed).filePath("probe")).open(QIODevice::WriteOnly));

    // The decision itself.
    const QString fallbackFile = QDir(data).filePath("Debug.txt");
    QCOMPARE(DebugLogFile::pathFor(installed, data), fallbackFile);

    // The whole exit, twice: the fallback file gains one block per run.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ExitChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    for (int run = 3; run <= 4; ++run) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(child, {QString::number(run)});
        QVERIFY2(process.waitForFinished(30000), "the program did not end");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    }
    const QString written = QDir(data).filePath("Quillbeacon/Quillbeacon/Debug.txt");
    QCOMPARE(readAll(written), DebugLogFile::block("\r\nrun 3") + DebugLogFile::block("\r\nrun 4"));
    QCOMPARE(readAll(earlierFile), earlier);
    QVERIFY(!QFileInfo::exists(fallbackFile)); // only the child's own data folder was used
}

// "Debug.txt" itself cannot be written, in a folder that can: the block
// goes to the fallback, and the file keeps its blocks.
void TestStorageFaults::debugLogFileReadOnly()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("installed");
    const QString data = dir.filePath("data");
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath("Debug.txt");
    const QByteArray earlier = DebugLogFile::block("\r\nrun 1");
    QVERIFY(writeAll(file, earlier));
    ReadOnly readOnly(file);
    if (!readOnly.active())
        QSKIP(qPrintable(readOnly.why()));

    const QString path = DebugLogFile::pathFor(folder, data);
    QCOMPARE(path, QDir(data).filePath("Debug.txt"));
    QVERIFY(DebugLogFile::appendBlock(path, "\r\nrun 2"));
    QCOMPARE(readAll(path), DebugLogFile::block("\r\nrun 2"));
    QCOMPARE(readAll(file), earlier);
}

// OK cannot write the settings file: a box says so, the file stays byte for
// byte, the values hold for this run, and OK works again once it can write.
// Run by an ordinary user this also shows that keeping the file private
// does not give the owner's write bit back.
void TestStorageFaults::settingsFileReadOnly()
{
    QCOMPARE(pressOk("pop.example.test", "ann", "first"), QStringList());
    const QByteArray before = readAll(settingsFile());
    QVERIFY(before.contains("pop.example.test"));
    {
        ReadOnly readOnly(settingsFile());
        if (!readOnly.active())
            QSKIP(qPrintable(readOnly.why()));
        const QStringList shown = pressOk("other.example.test", "bob", "second");
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("could not be written") &&
                     shown[0].contains(QDir::toNativeSeparators(settingsFile())),
                 qPrintable(shown[0]));
        QCOMPARE(readAll(settingsFile()), before);
        QCOMPARE(Module1::MailServer, QStringLiteral("other.example.test"));
        QCOMPARE(Module1::MailPassword, QStringLiteral("second"));
        QVERIFY(!Options::instance().isVisible());
    }
    QCOMPARE(pressOk("third.example.test", "cy", "third"), QStringList());
    QVERIFY(recordOnDisk("third.example.test", "cy", "third"));
}

// Damaged and read-only at once: the damage must not hide the failed write.
void TestStorageFaults::damagedSettingsFileReadOnly()
{
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
    const QByteArray damaged = "[unclosed section\nx=1\n";
    QVERIFY(writeAll(settingsFile(), damaged));
    ReadOnly readOnly(settingsFile());
    if (!readOnly.active())
        QSKIP(qPrintable(readOnly.why()));
    const QStringList shown = pressOk("pop.example.test", "ann", "pw");
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains("could not be written"), qPrintable(shown[0]));
    QCOMPARE(readAll(settingsFile()), damaged);
}

// The settings folder is a plain file (this one binds root as well): start-up
// reads defaults, OK says the settings cannot be written and leaves the file
// alone.
void TestStorageFaults::settingsFolderIsAFile()
{
    const QString folder = QFileInfo(settingsFile()).absolutePath();
    QVERIFY(QDir(folder).removeRecursively());
    const QByteArray plain = "not a folder\n";
    QVERIFY(writeAll(folder, plain));

    Module1::LoadSettings();
    Module1::LoadSplashSetting();
    QCOMPARE(Module1::MailServer, QString());
    QVERIFY(Options::instance().chkSplash->isChecked());

    const QStringList shown = pressOk("pop.example.test", "ann", "pw");
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains("could not be written"), qPrintable(shown[0]));
    QCOMPARE(readAll(folder), plain);
    QCOMPARE(Module1::MailServer, QStringLiteral("pop.example.test"));

    QVERIFY(QFile::remove(folder));
    QCOMPARE(pressOk("pop.example.test", "ann", "pw"), QStringList());
    QVERIFY(recordOnDisk("pop.example.test", "ann", "pw"));
}

// Garbage in the settings file: start-up takes what can be read and goes on;
// OK replaces the file by what could be read of it and the new settings, and
// says nothing, for the settings are saved.
void TestStorageFaults::settingsFileHoldsGarbage_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<QString>("readableServer"); // what start-up takes from it

    // A file as OK writes it, to be damaged in several ways.
    QVERIFY(SettingsStore::forThisProgram().SaveSettings(
        {{"Preferences", "All"}, {"Splash", "OnOff"}}, {"pop.example.test,110,ann,6A", "0"}));
    const QByteArray good = readAll(settingsFile());
    QFile::remove(settingsFile());
    QVERIFY(good.contains("pop.example.test"));

    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(6);
    for (char& byte : random)
        byte = char(generator.bounded(256));

    QTest::newRow("random bytes") << random << "";
    QTest::newRow("cut in the middle") << good.left(good.indexOf("pop.ex") + 6) << "pop.ex";
    QTest::newRow("unclosed section first") << "[broken\n" + good << "pop.example.test";
    QTest::newRow("unclosed section last") << good + "\n[broken"
                                           << "pop.example.test";
    QTest::newRow("NUL bytes") << good + QByteArray(100, '\0') + "\n"
                               << "pop.example.test";
    QTest::newRow("one long line") << good + QByteArray(2 * 1024 * 1024, 'x') << "pop.example.test";
    QTest::newRow("bad splash value")
        << QByteArray(good).replace("OnOff=0", "OnOff=yes, please") << "pop.example.test";
}

void TestStorageFaults::settingsFileHoldsGarbage()
{
    QFETCH(QByteArray, garbage);
    QFETCH(QString, readableServer);
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
    QVERIFY(writeAll(settingsFile(), garbage));

    // The start-up steps, as Main runs them; reading leaves the file alone.
    Module1::Main();
    QCOMPARE(Module1::MailServer, readableServer);
    QCOMPARE(readAll(settingsFile()), garbage);

    QCOMPARE(pressOk("new.example.test", "ann", "pw"), QStringList());
    QCOMPARE(Module1::MailServer, QStringLiteral("new.example.test"));
    QVERIFY(recordOnDisk("new.example.test", "ann", "pw"));
}

// Started from a copy of this test by debugLogFolderReadOnly: logs one line
// and ends through the orderly exit, as the program does.
static int runExitChild(QApplication& app)
{
    Module1::ConfigureApplication(app);
    Module1::Log(QStringLiteral("run ") + app.arguments().value(1));
    Module1::SaveDebugLogAndExit();
    return 3; // the exit came back: a failure the parent sees
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ExitChildVariable))
        return runExitChild(app);
    TestStorageFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storage_faults.moc"
