// POP3 sessions through the real Email window against a scripted server:
// the exact bytes the client sends, the log, the tables and the list, however
// the server cuts its replies, and every way a session can go wrong.
#include "core/Log.h"
#include "core/Module1.h"
#include "net/PlainTextConsent.h"
#include "pop3/MessageStore.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/Pop3Commands.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"

#include <QListWidget>
#include <QMessageBox>
#include <QTcpServer>
#include <QtTest>

namespace
{

QByteArray logText()
{
    return DebugA::instance().log().text();
}

QStringList listRows()
{
    QStringList rows;
    for (int i = 0; i < Email::instance().lstMessages->count(); ++i)
        rows << Email::instance().lstMessages->item(i)->text();
    return rows;
}

QByteArray retrReply(const QByteArray& message)
{
    return "+OK " + QByteArray::number(message.size()) + " octets\r\n" + message + ".\r\n";
}

// The greeting, USER, PASS and STAT steps of a session.
ScriptedServer& login(ScriptedServer& server, const QByteArray& stat)
{
    return server.send("+OK ready\r\n")
        .expectLine("USER bob")
        .send("+OK\r\n")
        .expectLine("PASS s3cret")
        .send("+OK\r\n")
        .expectLine("STAT")
        .send(stat);
}

const QByteArray Message1 = "Subject: First\r\nTo:  Ann <ann@x.test> \r\n\r\nHello\r\n"
                            "..dotted line\r\n";
const QByteArray Message2 = "Subject: Zweite Gr\xc3\xbc\xc3\x9f"
                            "e\r\nTo: bob@x.test\r\n\r\nBody 2\r\n";
// Latin-1, not valid UTF-8.
const QByteArray Message3 = "Subject: caf\xe9\r\n\r\n\xe9t\xe9\r\n";

} // namespace

class TestPop3Dialogue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void retrieveTranscript();
    void repliesSplitAtEveryByte();
    void twoRepliesInOnePiece();
    void emptyAndOddMessages();
    void noMail();
    void deleteAllWaitsForQuitReply();
    void errorReplies_data();
    void errorReplies();
    void moreThan51Messages();
    void silentServerTimesOut();
    void dropMidMessage();
    void connectionRefused();
    void hostNotFound();
    void emptyServerNeverConnects();
    void newSessionStartsAfresh();
    void endAfterQuitIsQuiet();
    void refusedDeleLetsTheOthersGoOn();
    void overlongOrTricklingLineFails();
    void lineBreakInAccountNeverConnects();

private:
    // Answers every message box with OK and keeps its text.
    void answerBoxes();
    ScriptedServer* m_server = nullptr;
    QStringList m_boxes;
    QTimer m_boxAnswerer;
};

void TestPop3Dialogue::initTestCase()
{
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    connect(&m_boxAnswerer, &QTimer::timeout, this, &TestPop3Dialogue::answerBoxes);
    m_boxAnswerer.start(20);
}

void TestPop3Dialogue::answerBoxes()
{
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_boxes << box->text();
        box->done(QMessageBox::Ok);
    }
}

void TestPop3Dialogue::init()
{
    TestEnvironment::resetWindows();
    DefaultInstance<Email>::destroyForTest();
    DebugA::instance().log().clear();
    m_boxes.clear();
    m_server = new ScriptedServer(this);
    Module1::MailServer = QStringLiteral("127.0.0.1:%1").arg(m_server->port());
    Module1::UserName = QStringLiteral("bob");
    Module1::MailPassword = QStringLiteral("s3cret");
}

void TestPop3Dialogue::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void TestPop3Dialogue::retrieveTranscript()
{
    login(*m_server, "+OK 3 300\r\n")
        .expectLine("RETR 1")
        .send(retrReply(Message1))
        .expectLine("RETR 2")
        .send(retrReply(Message2))
        .expectLine("RETR 3")
        .send(retrReply(Message3))
        .expectLine("QUIT")
        .send("+OK bye\r\n");
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(m_server->received(), QByteArray("USER bob\r\nPASS s3cret\r\nSTAT\r\nRETR 1\r\n"
                                              "RETR 2\r\nRETR 3\r\nQUIT\r\n"));

    const QByteArray expectedLog = "\r\n+OK ready\r\n\r\nUSER bob\r\n+OK\r\n\r\nPASS ****"
                                   "\r\n+OK\r\n\r\nSTAT\r\n+OK 3 300\r\n\r\nRETR 1\r\n" +
                                   retrReply(Message1) + "\r\nRETR 2\r\n" + retrReply(Message2) +
                                   "\r\nRETR 3\r\n" + retrReply(Message3) +
                                   "\r\nQUIT\r\n+OK bye\r\n";
    QCOMPARE(logText(), expectedLog);
    QVERIFY(!logText().contains("s3cret"));

    // The rows read the header fields; the tables keep what the keyword scan
    // found, leading space and all.
    QCOMPARE(listRows(),
             QStringList({"First", QString::fromUtf8("Zweite Grüße"), QString::fromUtf8("café")}));
    QCOMPARE(Module1::MessageSubjects[0], QStringLiteral(" First"));
    QCOMPARE(Module1::MessageRecipients[0], QStringLiteral("Ann  ann@x.test")); // trimmed
    QCOMPARE(Module1::MessageBodies[0], QStringLiteral("Hello\r\n.dotted line\r\n"));
    QCOMPARE(Module1::MessageRecipients[1], QStringLiteral("bob@x.test"));
    QCOMPARE(Module1::MessageBodies[1], QStringLiteral("Body 2\r\n"));
    QCOMPARE(Module1::MessageBodies[2], QString::fromUtf8("été\r\n"));

    Email& email = Email::instance();
    QCOMPARE(Module1::Pop3Step, 5);
    QCOMPARE(email.MessageCount(), 3);
    QCOMPARE(email.CurrentMessage(), 3);
    QVERIFY(email.ReceiveBuffer().isEmpty());
    QVERIFY(!email.sessionRunning());
    QVERIFY(email.isVisible());
    QCOMPARE(email.Top(), PopupPlacement::current().mailboxRestTop);
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::repliesSplitAtEveryByte()
{
    m_server->sendInPieces("+OK ready\r\n", 1)
        .expectLine("USER bob")
        .sendInPieces("+OK\r\n", 1)
        .expectLine("PASS s3cret")
        .sendInPieces("+OK\r\n", 1)
        .expectLine("STAT")
        .sendInPieces("+OK 2 200\r\n", 1)
        .expectLine("RETR 1")
        .sendInPieces(retrReply(Message1), 1)
        .expectLine("RETR 2")
        .sendInPieces(retrReply(Message2), 1)
        .expectLine("QUIT")
        .sendInPieces("+OK bye\r\n", 1);
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(20000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(listRows(), QStringList({"First", QString::fromUtf8("Zweite Grüße")}));
    QCOMPARE(Module1::MessageBodies[0], QStringLiteral("Hello\r\n.dotted line\r\n"));
    // The log keeps the arrivals as they came, one byte each here (at least
    // mostly: the network may join a few).
    QVERIFY(logText().count("\r\n") > 100);
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::twoRepliesInOnePiece()
{
    // Greeting and the reply to USER in one arrival; then the replies to
    // DELE 1, DELE 2 and QUIT in one arrival.
    m_server->send("+OK ready\r\n+OK\r\n")
        .expectLine("USER bob")
        .expectLine("PASS s3cret")
        .send("+OK\r\n")
        .expectLine("STAT")
        .send("+OK 2 200\r\n")
        .expectLine("DELE 1")
        .expectLine("DELE 2")
        .expectLine("QUIT")
        .send("+OK\r\n+OK\r\n+OK bye\r\n");
    Module1::ConnectMailbox();
    QVERIFY(m_server->waitForScriptDone(5000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::emptyAndOddMessages()
{
    // An empty message; one whose status line ends in a bare LF (nothing to
    // drop before the terminator); one whose terminator comes cut in two;
    // one whose subject holds a NUL, which must not cut its list row.
    login(*m_server, "+OK 4 0\r\n")
        .expectLine("RETR 1")
        .send("+OK 0 octets\r\n.\r\n")
        .expectLine("RETR 2")
        .send("+OK\n.\r\n")
        .expectLine("RETR 3")
        .send("+OK\r\nSubject: cut\r\n\r\nx\r\n.")
        .pause(50)
        .send("\r\n")
        .expectLine("RETR 4")
        .send(QByteArray("+OK\r\nSubject: a\0b\r\n\r\n.\r\n", 24))
        .expectLine("QUIT")
        .send("+OK\r\n");
    Module1::storeRetrievedMessage(0, "+OK\r\nSubject: old\r\n\r\n.\r\n");
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(listRows(), QStringList({"", "", "cut", QStringLiteral("a\uFFFDb")}));
    QCOMPARE(Module1::MessageSubjects[3], QString(QStringLiteral(" a") + QChar(0) + 'b'));
    QCOMPARE(Module1::MessageSubjects[0], QString());
    QCOMPARE(Module1::MessageBodies[1], QString());
    QCOMPARE(Module1::MessageBodies[2], QStringLiteral("x\r\n"));
}

void TestPop3Dialogue::noMail()
{
    login(*m_server, "+OK 0 0\r\n").expectLine("QUIT").send("+OK\r\n");
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QVERIFY(logText().endsWith("\r\nQUIT\r\nYou have not mail.\r\n+OK\r\n"));
    QVERIFY(!Email::instance().isVisible());
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::deleteAllWaitsForQuitReply()
{
    // Each DELE is answered at once, so replies come in while the DELE loop
    // still runs; none may be taken for a STAT reply, and the client may
    // close only after QUIT has been answered.
    login(*m_server, "+OK 3 300\r\n")
        .expectLine("DELE 1")
        .send("+OK Marked to be deleted.\r\n")
        .expectLine("DELE 2")
        .send("+OK Marked to be deleted.\r\n")
        .expectLine("DELE 3")
        .send("+OK Marked to be deleted.\r\n")
        .expectLine("QUIT")
        .pause(300)
        .send("+OK Logging out, messages deleted.\r\n");
    Module1::ConnectMailbox();
    QVERIFY(m_server->waitForReceived("QUIT\r\n", 5000));
    QVERIFY(m_server->waitForScriptDone(5000));
    QVERIFY(!m_server->clientDisconnected());
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(Module1::DeleteMode, Module1::True);
    const QByteArray log = logText();
    QVERIFY(log.contains("\r\nDELE1"));
    QVERIFY(log.contains("\r\nDELE2"));
    QVERIFY(log.contains("\r\nDELE3"));
    QVERIFY(log.indexOf("\r\nQUIT") > log.indexOf("\r\nDELE3"));
    QCOMPARE(listRows(), QStringList());
    QVERIFY(!Email::instance().isVisible());
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::errorReplies_data()
{
    QTest::addColumn<QByteArray>("stat");    // the reply to STAT
    QTest::addColumn<QByteArray>("retr");    // the reply to RETR 1, if asked
    QTest::addColumn<QByteArray>("logTail"); // what the log ends with

    QTest::newRow("count not a number")
        << QByteArray("+OK x 100\r\n") << QByteArray() << QByteArray("POP3 Error: +OK x 100\r\n");
    QTest::newRow("count missing")
        << QByteArray("+OK\r\n") << QByteArray() << QByteArray("POP3 Error: +OK\r\n");
    QTest::newRow("count out of range") << QByteArray("+OK 3000000000 1\r\n") << QByteArray()
                                        << QByteArray("POP3 Error: +OK 3000000000 1\r\n");
    QTest::newRow("-ERR to STAT") << QByteArray("-ERR busy\r\n") << QByteArray()
                                  << QByteArray("POP3 Error: -ERR busy\r\n");
    QTest::newRow("-ERR to RETR") << QByteArray("+OK 1 10\r\n")
                                  << QByteArray("-ERR no such message\r\n")
                                  << QByteArray("POP3 Error: -ERR no such message\r\n");
}

void TestPop3Dialogue::errorReplies()
{
    QFETCH(QByteArray, stat);
    QFETCH(QByteArray, retr);
    QFETCH(QByteArray, logTail);
    login(*m_server, stat);
    if (!retr.isEmpty())
        m_server->expectLine("RETR 1").send(retr);
    m_server->silence();
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    // The client hangs up at once: no waiting for a terminator or a time-out.
    QVERIFY(m_server->waitForDisconnect(5000));
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QVERIFY2(logText().endsWith("\r\n" + logTail), logText().right(80).constData());
    QVERIFY(!Email::instance().sessionRunning());
    QVERIFY(!Email::instance().isVisible());
}

void TestPop3Dialogue::moreThan51Messages()
{
    // A count beyond 16 bits is the real count too: the newest 51 come in,
    // at indices 0 upward.
    login(*m_server, "+OK 40000 5200\r\n");
    for (int n = 39950; n <= 40000; ++n)
        m_server->expectLine("RETR " + QByteArray::number(n))
            .send(retrReply("Subject: " + QByteArray::number(n) + "\r\n\r\nb\r\n"));
    m_server->expectLine("QUIT").send("+OK\r\n");
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(10000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(listRows().size(), 51);
    QCOMPARE(listRows().first(), QStringLiteral("39950"));
    QCOMPARE(listRows().last(), QStringLiteral("40000"));
    QCOMPARE(Module1::MessageSubjects[50], QStringLiteral(" 40000"));
    QVERIFY(logText().contains("\r\nQUIT\r\nThe newest 51 of 40000 messages retrieved; 39949 older "
                               "ones left on the server."));
    QVERIFY(Email::instance().isVisible());
}

void TestPop3Dialogue::silentServerTimesOut()
{
    Email::instance().pop3->setIdleTimeout(300);
    login(*m_server, "+OK 1 10\r\n").expectLine("RETR 1").send("+OK 10 octets\r\nSubj").silence();
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QVERIFY(m_server->waitForDisconnect(5000));
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QVERIFY(logText().endsWith("POP3 Error: Connection timed out: no data from the server for "
                               "0.3 seconds."));
}

void TestPop3Dialogue::dropMidMessage()
{
    login(*m_server, "+OK 1 10\r\n")
        .expectLine("RETR 1")
        .send("+OK 100 octets\r\nSubject: half\r\n")
        .closeConnection();
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QVERIFY(logText().contains("\r\nPOP3 Error: The remote host closed the connection"));
    QCOMPARE(listRows(), QStringList());
    QVERIFY(!Email::instance().isVisible());
}

void TestPop3Dialogue::connectionRefused()
{
    QTcpServer probe; // a port that is certainly closed
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closed = probe.serverPort();
    probe.close();
    Module1::MailServer = QStringLiteral("127.0.0.1:%1").arg(closed);
    Module1::ConnectRetrieve();
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QVERIFY(logText().contains("\r\nPOP3 Error: Connection refused"));
}

void TestPop3Dialogue::hostNotFound()
{
    // Taken for a local host: no question about sending the password in clear.
    PlainTextConsent::setIsLocalForTest([](const QString&) { return true; });
    Module1::MailServer = QStringLiteral("no-such-host.invalid");
    Module1::ConnectRetrieve();
    PlainTextConsent::setIsLocalForTest(nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes, QStringList({"Error Has Occured"}), 30000);
    QVERIFY2(logText().contains("\r\nPOP3 Error: Host not found"), logText().constData());
}

void TestPop3Dialogue::emptyServerNeverConnects()
{
    m_server->send("+OK ready\r\n");
    Module1::MailServer = QStringLiteral("  ");
    Module1::ConnectRetrieve();
    QTRY_COMPARE(m_boxes.size(), 1);
    QVERIFY(m_boxes.first().contains("No incoming mail server"));
    QTest::qWait(100);
    QCOMPARE(m_server->connectionCount(), 0);
}

void TestPop3Dialogue::newSessionStartsAfresh()
{
    // A session dropped mid-message, then a delete session, then a retrieve:
    // the last one numbers from 1 again, its list holds only its own
    // messages, and nothing of the half message leaks into the first.
    login(*m_server, "+OK 2 10\r\n")
        .expectLine("RETR 1")
        .send(retrReply("Subject: a\r\n\r\n"))
        .expectLine("RETR 2")
        .send("+OK 100 octets\r\nSubject: half\r\n")
        .silence();
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForScriptDone(5000));
    QCOMPARE(listRows(), QStringList({"a"}));

    m_server->reset();
    login(*m_server, "+OK 0 0\r\n").expectLine("QUIT").send("+OK\r\n");
    Module1::ConnectMailbox();
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(listRows(), QStringList());

    m_server->reset();
    login(*m_server, "+OK 1 10\r\n")
        .expectLine("RETR 1")
        .send(retrReply("Subject: b\r\n\r\nnew\r\n"))
        .expectLine("QUIT")
        .send("+OK\r\n");
    Module1::ConnectRetrieve();
    QVERIFY(m_server->waitForDisconnect(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QCOMPARE(listRows(), QStringList({"b"}));
    QCOMPARE(Module1::MessageBodies[0], QStringLiteral("new\r\n"));
    QCOMPARE(Module1::DeleteMode, Module1::False);
    QCOMPARE(m_boxes, QStringList());
}

void TestPop3Dialogue::endAfterQuitIsQuiet()
{
    // Every message is in and QUIT is out: neither a hang-up nor silence
    // makes that a failure.
    Email::instance().pop3->setIdleTimeout(300);
    for (bool drop : {true, false}) {
        m_server->reset();
        login(*m_server, "+OK 1 10\r\n").expectLine("RETR 1").send(retrReply("S: a\r\n\r\n"));
        m_server->expectLine("QUIT");
        drop ? m_server->closeConnection() : m_server->silence();
        Module1::ConnectRetrieve();
        QVERIFY(m_server->waitForScriptDone(5000));
        QTRY_VERIFY(!Email::instance().sessionRunning());
    }
    QTest::qWait(100);
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(logText().count("QUIT was sent"), 2);
}

void TestPop3Dialogue::refusedDeleLetsTheOthersGoOn()
{
    // Another client took message 2: DELE 1 and 3 still take effect, since
    // QUIT goes out and is answered; the refusal is reported once, after it.
    login(*m_server, "+OK 3 300\r\n")
        .expectLine("DELE 1")
        .send("+OK\r\n")
        .expectLine("DELE 2")
        .send("-ERR no such message\r\n")
        .expectLine("DELE 3")
        .send("+OK\r\n")
        .expectLine("QUIT")
        .send("+OK Logging out, messages deleted.\r\n");
    Module1::ConnectMailbox();
    QVERIFY(m_server->waitForScriptDone(5000));
    QCOMPARE(m_server->mismatches(), QStringList());
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    const QByteArray log = logText();
    QVERIFY(log.endsWith("\r\nPOP3 Error: the server refused DELE for message 2."));
    QVERIFY(log.indexOf("+OK Logging out") < log.indexOf("POP3 Error"));
}

void TestPop3Dialogue::overlongOrTricklingLineFails()
{
    // 70,000 bytes without a line end fail at once; bytes trickling in
    // without one do not hold off the idle time-out.
    m_server->send("+OK ready\r\n").expectLine("USER bob").send(QByteArray(70000, 'x')).silence();
    Module1::ConnectRetrieve();
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QVERIFY(logText().endsWith("POP3 Error: a reply line is longer than 65536 bytes."));

    m_server->reset();
    Email::instance().pop3->setIdleTimeout(300);
    m_server->send("+OK ready\r\n").expectLine("USER bob");
    for (int i = 0; i < 40; ++i)
        m_server->send("x").pause(50);
    Module1::ConnectRetrieve();
    QTRY_COMPARE(m_boxes.size(), 2);
    // The time-out came while the bytes were still coming.
    QVERIFY(logText().endsWith("no data from the server for 0.3 seconds."));
    QVERIFY2(logText().count("\r\nx") < 30, logText().constData());
}

void TestPop3Dialogue::lineBreakInAccountNeverConnects()
{
    Module1::MailPassword = QStringLiteral("pw\r\nDELE 1");
    Module1::ConnectRetrieve();
    QTRY_COMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first().contains("line break"), qPrintable(m_boxes.first()));
    QCOMPARE(m_server->connectionCount(), 0);
    QVERIFY(logText().endsWith("POP3 Error: the user name or the password holds a line break."));
}

QTEST_MAIN(TestPop3Dialogue)
#include "tst_pop3dialogue.moc"
