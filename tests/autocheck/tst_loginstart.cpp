// "Start Quillbeacon when I log in", ticked in the Options window of a copy
// of this test started from an awkward folder with umask 000: the path the
// copy runs from is the one its entry must start. The entry is read back by
// desktop_exec.py, which unquotes it by the Desktop Entry rules on its own,
// and checked by desktop-file-validate.

#include "autocheck/LoginStart.h"
#include "support/Prerequisite.h"
#include "ui/Options.h"
#include "ui/Startup.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr char ChildVariable[] = "QB_LOGINSTART_CHILD";

int modeOf(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

struct ChildRun {
    QString program; // the copy's path
    QString entry;   // where its autostart entry goes
    QStringList boxes;
};

// Puts a copy of this test at `folder`/quillbeacon and runs it with umask
// 000 in a home of its own under `home`: it ticks the box and presses OK.
bool runChild(const QString& folder, const QString& home, ChildRun* run)
{
    if (!QDir().mkpath(folder))
        return false;
    run->program = QDir(folder).filePath(QStringLiteral("quillbeacon"));
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    if (::link(self.constData(), QFile::encodeName(run->program).constData()) != 0 &&
        !QFile::copy(QCoreApplication::applicationFilePath(), run->program))
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    QProcess process;
    process.setProcessEnvironment(environment);
    const mode_t umask = ::umask(0);
    process.start(run->program, {});
    const bool started = process.waitForStarted(10000);
    ::umask(umask);
    if (!started || !process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("child: %s", process.readAllStandardError().constData());
        return false;
    }
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("entry: ")))
            run->entry = line.mid(7);
        else if (line.startsWith(QLatin1String("box: ")))
            run->boxes << line.mid(5);
    }
    return !run->entry.isEmpty();
}

} // namespace

class TestLoginStart : public QObject
{
    Q_OBJECT
private slots:
    void entryForThePathItRunsFrom_data();
    void entryForThePathItRunsFrom();
};

void TestLoginStart::entryForThePathItRunsFrom_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("autostartFolderThere");
    QTest::addColumn<bool>("refused");
    // A second line would be a second key, Exec=..., that the desktop runs.
    QTest::newRow("line break") << "mail\nExec=/bin/false" << false << true;
    QTest::newRow("escape") << "mail\x1b[31m" << false << true;
    QTest::newRow("reserved characters")
        << R"(it's "mine" $HOME `id` 100% a\b ~#;&|<>*?() é)" << false << false;
    QTest::newRow("autostart folder there already") << "plain" << true << false;
}

void TestLoginStart::entryForThePathItRunsFrom()
{
    QFETCH(QString, folder);
    QFETCH(bool, autostartFolderThere);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    const QString autostart = home + QStringLiteral("/config/autostart");
    if (autostartFolderThere) {
        QVERIFY(QDir().mkpath(autostart));
        QVERIFY(QFile::setPermissions(autostart, QFile::Permissions(0x7755)));
    }
    ChildRun run;
    QVERIFY(runChild(dir.filePath(folder), home, &run));
    QCOMPARE(QFileInfo(run.entry).absolutePath(), autostart);
    if (refused) {
        QCOMPARE(run.boxes.size(), 1);
        QVERIFY2(run.boxes[0].contains("control character"), qPrintable(run.boxes[0]));
        QVERIFY(!QFileInfo::exists(autostart));
        return;
    }
    QCOMPARE(run.boxes, QStringList());
    QCOMPARE(modeOf(run.entry), 0644);
    QCOMPARE(modeOf(autostart), autostartFolderThere ? 0755 : 0700);
    // Nothing is left beside it.
    QCOMPARE(QDir(autostart).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QFileInfo(run.entry).fileName()});

    QProcess reader;
    const QString script =
        qEnvironmentVariable("QB_SOURCE_DIR") + QStringLiteral("/tests/autocheck/desktop_exec.py");
    reader.start(QStringLiteral("python3"), {script, run.entry});
    QVERIFY(reader.waitForFinished(30000));
    QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
    QCOMPARE(QJsonDocument::fromJson(reader.readAllStandardOutput()).array(),
             QJsonArray{run.program});

    QB_REQUIRE_OR_SKIP(Prerequisite::program(QStringLiteral("desktop-file-validate"),
                                             QStringLiteral("desktop-file-utils")));
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {run.entry});
    QVERIFY(validator.waitForFinished(30000));
    QVERIFY2(validator.exitCode() == 0 && validator.readAllStandardOutput().isEmpty(),
             validator.readAllStandardOutput().constData());
}

// The copy: Options with the box ticked, and OK. Prints where the entry goes
// and what each box said.
static int childMain(QApplication& app)
{
    Module1::ConfigureApplication(app);
    Options& options = Options::instance();
    options.show();
    options.chkLogin->setChecked(true);
    QStringList boxes;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        }
    });
    poll.start(5);
    options.cmdOK_Click();
    std::printf("entry: %s\n", qUtf8Printable(LoginStart::entryPath()));
    for (const QString& box : boxes)
        std::printf("box: %s\n", qUtf8Printable(QString(box).replace('\n', ' ')));
    return 0;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ChildVariable))
        return childMain(app);
    TestLoginStart test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loginstart.moc"
