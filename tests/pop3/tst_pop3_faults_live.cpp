// Faults against the real Dovecot, through the Email window as the program
// runs it: the server stopped in the middle of a 20 MB message, the port
// closed, a server that never answers, a 100 MB message and more messages
// than the tables hold. Each ends with the error box or the documented
// result, the mail is still on the server, and the next Connect works.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/Mailhost.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"

#include <QListWidget>
#include <QMessageBox>
#include <QTcpSocket>
#include <QtTest>

#include <sys/resource.h>

namespace
{

QByteArray logText()
{
    return DebugA::instance().log().text();
}

// Peak resident memory of this process so far, in MiB.
long peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The header of seeded message n: To, Subject, From and the empty line.
int headSize(int n)
{
    return 68 + int(QByteArray::number(n).size());
}

} // namespace

class TestPop3FaultsLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serverStoppedMidRetrieval();
    void refusedConnection();
    void silentServerTimesOut();
    void hundredMegabyteMessage();
    void sixtyMessagesKeepFiftyOne();

private:
    bool runSession(void (*command)(), int seconds = 60);
    void answerBoxes();
    void retrieveWorks(int count, int size);

    QStringList m_boxes;
    QTimer m_boxAnswerer;
};

void TestPop3FaultsLive::initTestCase()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    connect(&m_boxAnswerer, &QTimer::timeout, this, &TestPop3FaultsLive::answerBoxes);
    m_boxAnswerer.start(20);
}

void TestPop3FaultsLive::answerBoxes()
{
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_boxes << box->text();
        box->done(QMessageBox::Ok);
    }
}

void TestPop3FaultsLive::init()
{
    TestEnvironment::resetWindows();
    DebugA::instance().log().clear();
    m_boxes.clear();
    Module1::MailServer = QString::fromLatin1(Mailhost::Host);
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    QVERIFY(Mailhost::clear());
}

// A test that failed half-way must not leave the server down for the next.
void TestPop3FaultsLive::cleanup()
{
    if (!Mailhost::available())
        QVERIFY(Mailhost::startPop3());
    // The big messages' tables are not kept past their test.
    TestEnvironment::resetWindows();
}

// Runs one session to its end (the socket closed, normally or not).
bool TestPop3FaultsLive::runSession(void (*command)(), int seconds)
{
    command();
    QElapsedTimer clock;
    clock.start();
    while (Email::instance().sessionRunning() && clock.elapsed() < seconds * 1000)
        QTest::qWait(20);
    return !Email::instance().sessionRunning();
}

// A Connect after the fault: every message in, no box, all left on the server.
void TestPop3FaultsLive::retrieveWorks(int count, int size)
{
    DebugA::instance().log().clear();
    m_boxes.clear();
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(Module1::Pop3Step, 5);
    Email& email = Email::instance();
    QCOMPARE(email.lstMessages->count(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(Module1::MessageSubjects[i], QStringLiteral(" Message %1").arg(i + 1));
        QCOMPARE(Module1::MessageBodies[i].size(), size - headSize(i + 1));
    }
    QVERIFY(email.isVisible());
    QCOMPARE(Mailhost::count(), count);
}

// Dovecot goes away while a 20 MB message is on its way: the error path,
// with the socket's own words in the log, and the message stays on the
// server for the next Connect.
void TestPop3FaultsLive::serverStoppedMidRetrieval()
{
    constexpr int Size = 20 * 1024 * 1024;
    QVERIFY(Mailhost::seed(1, Size));
    Email& email = Email::instance();

    // The stop runs inside the first arrival of the message: nothing is read
    // from the socket meanwhile, so most of the message is still to come.
    bool stopped = false;
    qsizetype receivedAtStop = -1;
    QMetaObject::Connection hook =
        connect(&email.pop3->connection(), &MailConnection::dataArrived, this, [&] {
            if (stopped || Module1::Pop3Step != Pop3Session::RetrReply)
                return;
            stopped = true;
            receivedAtStop = email.ReceiveBuffer().size();
            QVERIFY(Mailhost::stopPop3());
        });
    QVERIFY(runSession(Module1::ConnectRetrieve));
    disconnect(hook);
    QVERIFY(stopped);
    QVERIFY2(receivedAtStop < Size, QByteArray::number(receivedAtStop).constData());

    QTRY_COMPARE(m_boxes, QStringList{"Error Has Occured"});
    qInfo("%lld of %d bytes had arrived when the connection went",
          qint64(email.ReceiveBuffer().size()), Size);
    const QByteArray log = logText();
    const QByteArray errorLine = "\r\nPOP3 Error: " + email.pop3->connection().lastError().toUtf8();
    QVERIFY2(log.endsWith(errorLine), log.right(200).constData());
    QVERIFY2(email.pop3->connection().lastError().contains("closed", Qt::CaseInsensitive),
             qPrintable(email.pop3->connection().lastError()));
    QVERIFY(log.contains("\r\nRETR 1"));
    QVERIFY(!log.contains("\r\nQUIT"));
    // Nothing half-received is stored or listed.
    QCOMPARE(email.lstMessages->count(), 0);
    QVERIFY(Module1::MessageBodies[0].isEmpty());
    QCOMPARE(email.pop3->connection().socket()->state(), QAbstractSocket::UnconnectedState);

    QVERIFY(Mailhost::startPop3());
    QCOMPARE(Mailhost::count(), 1);
    retrieveWorks(1, Size);
}

// Nothing listens on the port: the error path with the socket's text.
void TestPop3FaultsLive::refusedConnection()
{
    QVERIFY(Mailhost::seed(2, 2000));
    QVERIFY(Mailhost::stopPop3());
    const bool finished = runSession(Module1::ConnectRetrieve, 10);
    const QString reason = Email::instance().pop3->connection().lastError();
    QVERIFY(Mailhost::startPop3());
    QVERIFY(finished);

    QTRY_COMPARE(m_boxes, QStringList{"Error Has Occured"});
    QVERIFY2(reason.contains("refused", Qt::CaseInsensitive), qPrintable(reason));
    QVERIFY(logText().endsWith("\r\nPOP3 Error: " + reason.toUtf8()));
    QCOMPARE(Module1::Pop3Step, 0);
    QCOMPARE(Email::instance().lstMessages->count(), 0);

    retrieveWorks(2, 2000);
}

// A server that takes the connection and never says a word: the idle
// time-out ends the session through the error path.
void TestPop3FaultsLive::silentServerTimesOut()
{
    QVERIFY(Mailhost::seed(1, 1500));
    ScriptedServer silent;
    silent.silence();
    Module1::MailServer = QStringLiteral("127.0.0.1:%1").arg(silent.port());
    Email::instance().pop3->setIdleTimeout(500);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(runSession(Module1::ConnectRetrieve, 10));
    QVERIFY(clock.elapsed() >= 450);
    QTRY_COMPARE(m_boxes, QStringList{"Error Has Occured"});
    QCOMPARE(silent.connectionCount(), 1);
    QVERIFY2(logText().endsWith(
                 "\r\nPOP3 Error: Connection timed out: no data from the server for 0.5 seconds."),
             logText().constData());
    QCOMPARE(Module1::Pop3Step, 0);
    // The client let go of the silent connection, and no timer is left.
    QVERIFY(silent.waitForDisconnect(5000));
    QTest::qWait(700);
    QCOMPARE(m_boxes.size(), 1);

    Module1::MailServer = QString::fromLatin1(Mailhost::Host);
    retrieveWorks(1, 1500);
}

// One message of 100 MB comes in whole: subject and body size intact.
void TestPop3FaultsLive::hundredMegabyteMessage()
{
    constexpr int Size = 104857600;
    QVERIFY(Mailhost::seed(1, Size));
    const long before = peakMemoryMiB();
    retrieveWorks(1, Size);
    const QString& body = Module1::MessageBodies[0];
    QVERIFY(body.startsWith(QLatin1String("The quick brown fox")));
    QVERIFY(body.endsWith(QLatin1String("\r\n")));
    QVERIFY(!body.contains(QLatin1String("\r\n.\r\n")));
    qInfo("peak memory: %ld MiB before, %ld MiB after the 100 MB retrieve", before,
          peakMemoryMiB());
}

// The tables hold the newest 51 messages: the older ones stay on the
// server, and the log says how many.
void TestPop3FaultsLive::sixtyMessagesKeepFiftyOne()
{
    QVERIFY(Mailhost::seed(60, 300));
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());
    Email& email = Email::instance();
    QCOMPARE(email.lstMessages->count(), 51);
    QCOMPARE(email.lstMessages->item(0)->text(), QStringLiteral("Message 10"));
    QCOMPARE(email.lstMessages->item(50)->text(), QStringLiteral("Message 60"));
    QCOMPARE(Module1::MessageSubjects[50], QStringLiteral(" Message 60"));
    const QByteArray log = logText();
    QVERIFY(log.contains("\r\nRETR 10\r\n"));
    QVERIFY(!log.contains("RETR 9\r\n"));
    QVERIFY2(log.contains("\r\nQUIT\r\nThe newest 51 of 60 messages retrieved; 9 older ones "
                          "left on the server."),
             log.right(300).constData());
    QCOMPARE(Mailhost::count(), 60);
}

QTEST_MAIN(TestPop3FaultsLive)
#include "tst_pop3_faults_live.moc"
