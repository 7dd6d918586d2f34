// The automatic check against the real Dovecot, with a notification
// service on a private session bus (python3-dbusmock's notification_daemon
// template) recording each Notify call. Over a run of checks: nothing is
// announced at the first check, each added message once, nothing after
// another client expunges one or after a restart; a stopped server fails
// one check without a word and the next one works; a refused password
// gives one notice and no more logins until the setting is applied again.
// Then what a stranger wrote stays text: where the service renders markup,
// the body carries "&", "<" and ">" as entities, where it does not (another
// service took over) as they are, and a hostile server's refusal is quoted
// short.
// The demo's own mail, which has no MIME, is announced by its real senders
// and subjects.

#include "autocheck/AutoCheck.h"
#include "autocheck/SeenIdStore.h"
#include "pop3/MessageStore.h"
#include "support/GeneratedMail.h"
#include "support/Mailhost.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "tray/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestAutoCheckLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void announcesEachNewMessageOnce();
    void noticesCarryNoMarkup();
    void announcesTheDemoMessages();

private:
    QString busMissing();
    QString startMock(const QString& capabilities);
    void stopMock();
    QStringList notifyCalls() const;
    bool runCheck(AutoCheck& check);

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_mock;
    QString m_log; // the running mock's
    int m_mocks = 0;
};

void TestAutoCheckLive::initTestCase()
{
    TestEnvironment::isolate();
}

void TestAutoCheckLive::cleanupTestCase()
{
    stopMock();
    for (QProcess* p : {&m_bus}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(3000);
        }
    }
}

QString TestAutoCheckLive::busMissing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return QStringLiteral("dbus-daemon is not installed");
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        return QStringLiteral("python3-dbusmock is not installed");
    if (m_bus.state() != QProcess::NotRunning)
        return startMock(QStringLiteral("body body-markup actions"));
    // A bus of our own: the notifier connects to the session bus named here.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    if (!m_bus.waitForReadyRead(10000))
        return QStringLiteral("dbus-daemon did not start");
    const QByteArray address = m_bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    return startMock(QStringLiteral("body body-markup actions"));
}

QString TestAutoCheckLive::startMock(const QString& capabilities)
{
    stopMock();
    // Each mock logs to a file of its own.
    m_log = m_dir.filePath(QStringLiteral("notify%1.log").arg(++m_mocks));
    m_mock.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                  QStringLiteral("notification_daemon"), QStringLiteral("--parameters"),
                  QStringLiteral("{\"capabilities\": \"%1\"}").arg(capabilities),
                  QStringLiteral("-l"), m_log});
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return QStringLiteral("the private session bus cannot be reached");
    for (int i = 0; i < 200; ++i) {
        if (bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")))
            return QString();
        QTest::qWait(50);
    }
    return QStringLiteral("the notification mock did not come up");
}

void TestAutoCheckLive::stopMock()
{
    if (m_mock.state() == QProcess::NotRunning)
        return;
    // The mock answers in order: once it has answered this, every notice
    // sent before has its answer, and none fails for the mock's going.
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetServerInformation")));
    QTest::qWait(50);
    m_mock.terminate();
    if (!m_mock.waitForFinished(3000))
        m_mock.kill();
    m_mock.waitForFinished(3000);
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    for (int i = 0; bus && i < 100; ++i) {
        if (!bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")))
            break;
        QTest::qWait(50);
    }
    QTest::qWait(100); // the notifier hears of it
}

QStringList TestAutoCheckLive::notifyCalls() const
{
    QFile log(m_log);
    QStringList calls;
    if (log.open(QIODevice::ReadOnly)) {
        // One call per record; a body's line breaks continue its record.
        static const QRegularExpression start(QStringLiteral("^\\d+\\.\\d+ "));
        QStringList records;
        for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
            if (records.isEmpty() || start.match(line).hasMatch())
                records << line;
            else
                records.last() += QLatin1Char('\n') + line;
        }
        for (const QString& record : records) {
            if (record.contains(QStringLiteral(" Notify ")))
                calls << record;
        }
    }
    return calls;
}

bool TestAutoCheckLive::runCheck(AutoCheck& check)
{
    QSignalSpy ended(&check, &AutoCheck::checkEnded);
    check.schedule().bringForward(0);
    if (!ended.wait(30000))
        return false;
    // The notice goes out asynchronously; give the mock time to log it.
    QTest::qWait(700);
    return true;
}

void TestAutoCheckLive::announcesEachNewMessageOnce()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    QB_REQUIRE_OR_SKIP(busMissing());
    QVERIFY(Mailhost::clear());
    QVERIFY(Mailhost::seed(3, 800));

    const SeenIdStore store(m_dir.filePath(QStringLiteral("ids")));
    int fallbacks = 0;
    DesktopNotifier notifier([&](const QString&, const QString&) { return ++fallbacks, true; });
    auto makeCheck = [&] {
        auto check = std::make_unique<AutoCheck>();
        check->setStore(store);
        check->setNotifier(&notifier);
        check->setFirstCheckDelay(0);
        check->setIdleTimeout(10000);
        return check;
    };
    const QString host = QString::fromLatin1(Mailhost::Host);
    const QString user = QString::fromLatin1(Mailhost::User);
    const QString password = QString::fromLatin1(Mailhost::Password);

    // The first check records what is there and announces nothing.
    auto check = makeCheck();
    QSignalSpy first(check.get(), &AutoCheck::checkEnded);
    check->configure(host, user, password, 30);
    QVERIFY(first.wait(30000));
    QVERIFY2(check->toolTip().startsWith(QStringLiteral("Quillbeacon: no new mail (")),
             qPrintable(check->toolTip()));
    QCOMPARE(notifyCalls().size(), 0);

    // Two arrive: one notice for both, newest first, and they are in the
    // tables at 0 and 1, oldest first. The notice names the sender, never
    // the recipient that the tables keep of mail without MIME.
    QVERIFY(Mailhost::add(
        {"From: Ann Example <ann@example.test>\nTo: Bo Reader "
         "<qbtest@localhost>\nSubject: Fresh one\n\nhi\n",
         "From: =?UTF-8?Q?J=C3=B6rg?= <j@example.test>\nSubject: Fresh two\n\nho\n"}));
    QSignalSpy stored(check.get(), &AutoCheck::messageStored);
    QVERIFY(runCheck(*check));
    QStringList calls = notifyCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(
        calls[0].contains(QString::fromUtf8(
            "\"2 new messages\" \"J\u00f6rg \u2014 Fresh two\nAnn Example \u2014 Fresh one\"")),
        qUtf8Printable(calls[0]));
    QVERIFY2(calls[0].contains(QStringLiteral("\"category\": \"email.arrived\"")) &&
                 calls[0].contains(
                     QStringLiteral("\"desktop-entry\": \"io.github.quillbeacon.Quillbeacon\"")) &&
                 calls[0].contains(QStringLiteral("\"default\"")),
             qUtf8Printable(calls[0]));
    QCOMPARE(stored.size(), 2);
    QCOMPARE(Module1::displayedMessage(0).subject.trimmed(), QStringLiteral("Fresh one"));
    QCOMPARE(Module1::displayedMessage(1).subject.trimmed(), QStringLiteral("Fresh two"));
    QVERIFY2(check->toolTip().startsWith(QStringLiteral("Quillbeacon: 2 new messages (")),
             qPrintable(check->toolTip()));

    // Another client expunges the oldest; everything moves up a number.
    QVERIFY(Mailhost::expunge(1));
    QVERIFY(runCheck(*check));
    QCOMPARE(notifyCalls().size(), 1);

    // A restart: the ids come from the file, nothing is announced again.
    check = makeCheck();
    QSignalSpy restarted(check.get(), &AutoCheck::checkEnded);
    check->configure(host, user, password, 30);
    QVERIFY(restarted.wait(30000));
    QCOMPARE(notifyCalls().size(), 1);

    // A message arrives while the server is down: that check fails quietly
    // (the layer has no boxes to show), the next one announces it once.
    QVERIFY(Mailhost::add({"From: b@example.test\nSubject: Third\n\nx\n"}));
    QVERIFY(Mailhost::stopPop3());
    const bool ran = runCheck(*check);
    QVERIFY(Mailhost::startPop3());
    QVERIFY(ran);
    QVERIFY2(check->toolTip().startsWith(QStringLiteral("Quillbeacon: check failed: ")),
             qPrintable(check->toolTip()));
    QCOMPARE(notifyCalls().size(), 1);
    QVERIFY(runCheck(*check));
    calls = notifyCalls();
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[1].contains(QStringLiteral("\"1 new message\" \"b@example.test \u2014 Third\"")),
             qUtf8Printable(calls[1]));
    // It replaced our earlier notice, which the mock still holds open.
    QVERIFY2(!calls[1].contains(QStringLiteral("\" 0 \"")), qUtf8Printable(calls[1]));
    QVERIFY(runCheck(*check));
    QCOMPARE(notifyCalls().size(), 2);

    // A refused password: one notice, then no more logins.
    check->configure(host, user, QStringLiteral("wrong"), 30);
    QSignalSpy refused(check.get(), &AutoCheck::checkEnded);
    QVERIFY(refused.wait(30000));
    QVERIFY(check->paused());
    QTest::qWait(700);
    calls = notifyCalls();
    QCOMPARE(calls.size(), 3);
    QVERIFY2(calls[2].contains(QStringLiteral("password was refused")), qUtf8Printable(calls[2]));
    const int logins = Mailhost::logins();
    check->schedule().bringForward(0);
    QTest::qWait(2500);
    QCOMPARE(Mailhost::logins(), logins);
    QCOMPARE(notifyCalls().size(), 3);
    QCOMPARE(fallbacks, 0);
}

void TestAutoCheckLive::noticesCarryNoMarkup()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    QB_REQUIRE_OR_SKIP(busMissing());
    QVERIFY(Mailhost::clear());
    QVERIFY(Mailhost::seed(1, 500));
    QStringList fallbacks;
    DesktopNotifier notifier([&](const QString& title, const QString& text) {
        fallbacks << title + QLatin1Char('|') + text;
        return true;
    });
    AutoCheck check;
    check.setStore(SeenIdStore(m_dir.filePath(QStringLiteral("ids-markup"))));
    check.setNotifier(&notifier);
    check.setFirstCheckDelay(0);
    QSignalSpy first(&check, &AutoCheck::checkEnded);
    check.configure(QString::fromLatin1(Mailhost::Host), QString::fromLatin1(Mailhost::User),
                    QString::fromLatin1(Mailhost::Password), 30);
    QVERIFY(first.wait(30000));
    const QByteArray hostile = "From: Tom & Jerry <tom@example.test>\nSubject: <img src=/dev/zero> "
                               "<b>x</b>\n\nhi\n";

    // A service that renders markup: entities, never a tag.
    QVERIFY(Mailhost::add({hostile}));
    QVERIFY(runCheck(check));
    QStringList calls = notifyCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].contains(QStringLiteral("\"1 new message\" \"Tom &amp; Jerry \u2014 "
                                              "&lt;img src=/dev/zero&gt; &lt;b&gt;x&lt;/b&gt;\"")),
             qUtf8Printable(calls[0]));
    QVERIFY(!calls[0].contains(QStringLiteral("<img")) &&
            !calls[0].contains(QStringLiteral("<b>")));

    // A hostile server's refusal: the warning is ours, its words quoted
    // short and escaped.
    ScriptedServer server;
    server.send("+OK hi\r\n").expectLine("USER ann").send("+OK\r\n").expectLine("PASS pw");
    server.send("-ERR [AUTH] <a href=\"http://evil.example/\">Renew your account</a> " +
                QByteArray(5000, 'z') + "\r\n");
    AutoCheck refused;
    refused.setStore(SeenIdStore(m_dir.filePath(QStringLiteral("ids-refused"))));
    refused.setNotifier(&notifier);
    refused.setFirstCheckDelay(0);
    QSignalSpy ended(&refused, &AutoCheck::checkEnded);
    refused.configure(QStringLiteral("127.0.0.1:%1").arg(server.port()), QStringLiteral("ann"),
                      QStringLiteral("pw"), 30);
    QVERIFY(ended.wait(10000));
    QVERIFY(refused.paused());
    QTRY_COMPARE(notifyCalls().size(), 2);
    const QString notice = notifyCalls()[1];
    QVERIFY2(notice.contains(QStringLiteral("password was refused")) &&
                 notice.contains(QStringLiteral("&lt;a href=\"http://evil.example/\"&gt;")) &&
                 !notice.contains(QStringLiteral("<a ")),
             qUtf8Printable(notice));
    const qsizetype quoteStart = notice.indexOf(QStringLiteral("said: \"")) + 7;
    const qsizetype quoteEnd = notice.indexOf(QStringLiteral("\". Automatic"));
    QString quoted = notice.mid(quoteStart, quoteEnd - quoteStart);
    quoted.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    QVERIFY2(quoteStart > 7 && quoteEnd > quoteStart && quoted.size() <= 201,
             qUtf8Printable(quoted));

    // Another service takes over, one that shows the body as it is: the
    // notifier asks again and sends the text unchanged.
    QB_REQUIRE_OR_SKIP(startMock(QStringLiteral("body actions")));
    QVERIFY(Mailhost::add({hostile}));
    QVERIFY(runCheck(check));
    calls = notifyCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(
        calls[0].contains(QStringLiteral("\"Tom & Jerry \u2014 <img src=/dev/zero> <b>x</b>\"")),
        qUtf8Printable(calls[0]));

    // No service at all: the tray's balloon, which shows plain text, gets
    // the text unchanged.
    stopMock();
    QVERIFY2(fallbacks.isEmpty(), qUtf8Printable(fallbacks.join(QLatin1Char('\n'))));
    notifier.notify(
        {QStringLiteral("Quillbeacon"), QStringLiteral("<b>Tom</b> & Jerry"), QString(), false});
    QTRY_COMPARE(fallbacks, QStringList{QStringLiteral("Quillbeacon|<b>Tom</b> & Jerry")});
    QB_REQUIRE_OR_SKIP(startMock(QStringLiteral("body body-markup actions")));
}

void TestAutoCheckLive::announcesTheDemoMessages()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    QB_REQUIRE_OR_SKIP(busMissing());
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("uuencode"), QStringLiteral("sharutils")));
    QByteArray picture;
    const QList<QByteArray> demo = GeneratedMail::demoMessages(&picture);
    QCOMPARE(demo.size(), 4);
    QVERIFY(Mailhost::clear());
    QTemporaryDir ids;
    DesktopNotifier notifier([](const QString&, const QString&) { return true; });
    AutoCheck check;
    check.setStore(SeenIdStore(ids.path()));
    check.setNotifier(&notifier);
    check.setFirstCheckDelay(0);
    QSignalSpy first(&check, &AutoCheck::checkEnded);
    check.configure(QString::fromLatin1(Mailhost::Host), QString::fromLatin1(Mailhost::User),
                    QString::fromLatin1(Mailhost::Password), 30);
    QVERIFY(first.wait(30000));

    const qsizetype before = notifyCalls().size();
    QVERIFY(Mailhost::add(demo));
    QVERIFY(runCheck(check));
    const QStringList calls = notifyCalls();
    QCOMPARE(calls.size(), before + 1);
    QVERIFY2(calls.last().contains(
                 QString::fromUtf8("\"4 new messages\" \"Quillbeacon demo \u2014 Weekly report\n"
                                   "Alan Turing \u2014 Picture of the beacon (attached)\n"
                                   "Grace Hopper \u2014 Lunch on Friday?\n"
                                   "Ada Lovelace \u2014 Welcome to Quillbeacon\"")),
             qUtf8Printable(calls.last()));
}

QTEST_MAIN(TestAutoCheckLive)
#include "tst_autocheck_live.moc"
