// The launcher entry's count as a dock hears it: dbus-monitor, an
// independent listener on a private session bus, sees one Update signal per
// change of the count, with the desktop file the program is installed with,
// the count as an int64 and its visibility as a boolean; a count set again
// unchanged sends nothing.
#include "support/Prerequisite.h"
#include "support/PrivateBus.h"
#include "tray/LauncherCount.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class TestLauncherCount : public QObject
{
    Q_OBJECT
private slots:
    void uriNamesTheInstalledDesktopFile();
    void sendsEachChangeOnce();
};

void TestLauncherCount::uriNamesTheInstalledDesktopFile()
{
    const QString uri = QString::fromLatin1(LauncherCount::AppUri);
    QVERIFY(uri.startsWith(QLatin1String("application://")));
    const QString file = qEnvironmentVariable("QB_SOURCE_DIR") + QStringLiteral("/packaging/") +
                         uri.mid(int(qstrlen("application://")));
    QVERIFY2(QFileInfo::exists(file), qPrintable(file));
}

void TestLauncherCount::sendsEachChangeOnce()
{
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("dbus-monitor"), QStringLiteral("dbus-bin")));
    PrivateBus bus;
    QB_REQUIRE_OR_SKIP(bus.start());
    const QString name = QStringLiteral("launcher");
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), name);
    QVERIFY(connection.isConnected());

    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"), {QStringLiteral("--address"), bus.address()});
    QByteArray seen;
    const auto heard = [&](const char* text) {
        seen += monitor.readAllStandardOutput();
        return seen.contains(text);
    };
    // It is listening once it has given up its own name.
    QTRY_VERIFY_WITH_TIMEOUT(heard("member=NameLost") || monitor.state() == QProcess::NotRunning,
                             10000);
    QVERIFY(monitor.state() == QProcess::Running);

    LauncherCount launcher(name);
    QCOMPARE(launcher.count(), 0);
    launcher.setCount(0); // what the desktop already shows: nothing
    launcher.setCount(3);
    launcher.setCount(3);
    launcher.setCount(120);
    launcher.setCount(0);
    launcher.setCount(-2);
    QCOMPARE(launcher.count(), 0);
    // Signals of one connection arrive in order: once this one is seen,
    // every Update before it is too.
    connection.send(QDBusMessage::createSignal(
        QStringLiteral("/test"), QStringLiteral("org.example.Test"), QStringLiteral("Done")));
    QTRY_VERIFY_WITH_TIMEOUT(heard("member=Done"), 10000);
    monitor.terminate();
    monitor.waitForFinished(5000);

    const QRegularExpression update(QString::fromLatin1(
        R"re(path=([^;]+); interface=com\.canonical\.Unity\.LauncherEntry; )re"
        R"re(member=Update\s+string "([^"]*)"\s+array \[\s+)re"
        R"re(dict entry\(\s+string "count"\s+variant\s+int64 (\d+)\s+\)\s+)re"
        R"re(dict entry\(\s+string "count-visible"\s+variant\s+boolean (\w+))re"));
    QStringList sent;
    for (auto it = update.globalMatch(QString::fromUtf8(seen)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QCOMPARE(match.captured(1), QString::fromLatin1(LauncherCount::ObjectPath));
        QCOMPARE(match.captured(2), QString::fromLatin1(LauncherCount::AppUri));
        sent << match.captured(3) + QLatin1Char(' ') + match.captured(4);
    }
    QCOMPARE(seen.count("member=Update"), sent.size());
    QCOMPARE(sent, (QStringList{QStringLiteral("3 true"), QStringLiteral("120 true"),
                                QStringLiteral("0 false")}));
}

QTEST_GUILESS_MAIN(TestLauncherCount)
#include "tst_launchercount.moc"
