// Real sessions through the Email window against the local Dovecot: retrieve
// (list, tables, log), a message with a uuencoded block and the viewer's cut,
// delete-all, no mail, and the error box for a wrong password, an unknown
// host and a closed port.
#include "core/Module1.h"
#include "pop3/ExtractHeaders.h"
#include "pop3/MessageStore.h"
#include "pop3/Pop3Session.h"
#include "support/Mailhost.h"
#include "support/TestEnvironment.h"
#include "ui/BoxText.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QtTest>

namespace
{

QByteArray logText()
{
    return DebugA::instance().log().text();
}

// The body as stored: the file's text after its first empty line.
QString bodyOf(const QByteArray& file)
{
    const qsizetype at = file.indexOf("\r\n\r\n");
    return QString::fromUtf8(file.mid(at + 4));
}

} // namespace

class TestPop3Live : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void retrieve();
    void tablesHoldWhatTheKeywordScanFinds();
    void uuencodedBlockIsCutInViewer();
    void deleteAllEmptiesMailbox();
    void noMail();
    void errorBoxSaysWhy_data();
    void errorBoxSaysWhy();

private:
    bool runSession(void (*command)());
    void answerBoxes();
    QStringList m_boxes;
    QStringList m_reasons; // the boxes' informative texts
    QList<int> m_reasonWidths;
    QTimer m_boxAnswerer;
};

void TestPop3Live::initTestCase()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    connect(&m_boxAnswerer, &QTimer::timeout, this, &TestPop3Live::answerBoxes);
    m_boxAnswerer.start(20);
}

void TestPop3Live::answerBoxes()
{
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_boxes << box->text();
        m_reasons << box->informativeText();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            m_reasonWidths << label->width();
        box->done(QMessageBox::Ok);
    }
}

void TestPop3Live::init()
{
    TestEnvironment::resetWindows();
    DefaultInstance<Email>::destroyForTest();
    DebugA::instance().log().clear();
    m_boxes.clear();
    m_reasons.clear();
    m_reasonWidths.clear();
    Module1::MailServer = QString::fromLatin1(Mailhost::Host);
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    QVERIFY(Mailhost::clear());
}

// Runs one session to its end (the socket closed, normally or not).
bool TestPop3Live::runSession(void (*command)())
{
    command();
    QElapsedTimer clock;
    clock.start();
    while (Email::instance().sessionRunning() && clock.elapsed() < 60000)
        QTest::qWait(20);
    return !Email::instance().sessionRunning();
}

void TestPop3Live::retrieve()
{
    QVERIFY(Mailhost::seed(3, 3000));
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());

    Email& email = Email::instance();
    QCOMPARE(email.lstMessages->count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(email.lstMessages->item(i)->text(), QStringLiteral("Message %1").arg(i + 1));
        QCOMPARE(Module1::MessageSubjects[i], QStringLiteral(" Message %1").arg(i + 1));
        QCOMPARE(Module1::MessageBodies[i], bodyOf(Mailhost::readMessage(i + 1)));
    }
    QVERIFY(email.isVisible());
    QCOMPARE(Module1::Pop3Step, 5);

    const QByteArray log = logText();
    QVERIFY2(log.startsWith("\r\n+OK ") && log.left(60).contains("Dovecot"),
             log.left(60).constData());
    for (const char* line : {"\r\nUSER qbtest", "\r\nPASS ****", "\r\nSTAT", "\r\nRETR 1",
                             "\r\nRETR 2", "\r\nRETR 3", "\r\nQUIT"})
        QVERIFY2(log.contains(line), line);
    QVERIFY(!log.contains("qbpass"));
    QVERIFY(!log.contains("RETR 4"));
    // Retrieving leaves the messages on the server.
    QCOMPARE(Mailhost::count(), 3);
}

void TestPop3Live::tablesHoldWhatTheKeywordScanFinds()
{
    // The tables keep each message as bytes and work the values out of them;
    // they must be what ExtractHeaders gives for the decoded text of the same
    // bytes, whatever the charset, the dots, the keywords in the body, the
    // characters before a keyword or the size.
    const QByteArray big(1 << 20, 'x');
    const QList<QByteArray> kinds = {
        "Subject: plain\nTo: Ann <ann@x.test>\n\nHello\n",
        "Subject: caf\xc3\xa9\nX-Note: \xc3\xa9\xf0\x9f\x98\x80 to: <b@x.test>\n\n\xc3\xbc\n",
        "Subject: caf\xe9\nTo: \xe9@x.test\n\n\xff body\n", // not UTF-8: Latin-1
        "Subject: a\n\n.hidden\n..to: dots\n.\nend\n",      // lines the server stuffs
        "Subject: only a header\nTo: z@x.test\n",           // no empty line
        "\xc3\xa9\xe2\x82\xacx\nSubject: y\n",              // ... and characters first
        "Subject:\xef\xbb\xbf"
        "hi\n\n\xef\xbb\xbf"
        "body\n", // byte order marks
        "Subject: first\n\nsubject: last\nreply-to: c\n",
        "Subject: big\n\n" + big + "\nTo: at the end\n",
        "\n",
    };
    QList<QByteArray> messages;
    for (int i = 0; i < 51; ++i)
        messages << kinds[i % kinds.size()];
    QVERIFY(Mailhost::add(messages));
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(Email::instance().lstMessages->count(), 51);
    for (int i = 0; i < 51; ++i) {
        const QByteArray file = Mailhost::readMessage(i + 1);
        const Module1::ExtractedHeaders expected =
            Module1::ExtractHeaders(Pop3Session::decode(file));
        QCOMPARE(Module1::MessageSubjects[i], expected[Module1::HeaderSubject]);
        QCOMPARE(Module1::MessageRecipients[i], expected[Module1::HeaderRecipient].trimmed());
        QCOMPARE(Module1::MessageBodies[i], expected[Module1::HeaderBody]);
        QByteArray storage;
        QCOMPARE(
            Pop3Session::unstuffed(Pop3Session::messageBytes(Module1::storedReply(i)), &storage)
                .toByteArray(),
            file);
    }
}

void TestPop3Live::uuencodedBlockIsCutInViewer()
{
    const QByteArray message = "Subject: With file\n"
                               "To: Ann <ann@example.test>\n"
                               "\n"
                               "Hello\n"
                               ".starts with a dot\n"
                               "begin 664 a.txt\n"
                               "#86)C\n"
                               "`\n"
                               "end\n";
    QVERIFY(Mailhost::add({message}));
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(Module1::MessageRecipients[0], QStringLiteral("Ann  ann@example.test"));
    QCOMPARE(Module1::MessageBodies[0],
             QStringLiteral("Hello\r\n.starts with a dot\r\nbegin 664 a.txt\r\n#86)C\r\n`\r\n"
                            "end\r\n"));

    Email::instance().lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    QVERIFY(Module1::Viewer);
    QCOMPARE(Module1::Viewer->shownBody(), QStringLiteral("Hello\r\n.starts with a dot\r\n"));
    delete Module1::Viewer;
}

void TestPop3Live::deleteAllEmptiesMailbox()
{
    QVERIFY(Mailhost::seed(4, 1000));
    QVERIFY(runSession(Module1::ConnectMailbox));
    QCOMPARE(m_boxes, QStringList());
    QVERIFY(Mailhost::waitCount(0, 10));
    const QByteArray log = logText();
    for (const char* line : {"\r\nDELE1", "\r\nDELE2", "\r\nDELE3", "\r\nDELE4", "\r\nQUIT"})
        QVERIFY2(log.contains(line), line);
    QCOMPARE(Email::instance().lstMessages->count(), 0);
    QVERIFY(!Email::instance().isVisible());
}

void TestPop3Live::noMail()
{
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes, QStringList());
    QVERIFY(logText().contains("\r\nQUIT\r\nYou have not mail.\r\n+OK"));
    QVERIFY(!Email::instance().isVisible());
}

void TestPop3Live::errorBoxSaysWhy_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QByteArray>("logLine"); // how the log's last line begins
    QTest::addColumn<int>("step");
    const QString host = QString::fromLatin1(Mailhost::Host);
    const QString password = QString::fromLatin1(Mailhost::Password);
    QTest::newRow("wrong password")
        << host << QStringLiteral("wrong")
        << QStringLiteral("The server said: -ERR [AUTH] Authentication failed. Check the user "
                          "name and password in Options.")
        << QByteArray("POP3 Error: -ERR [AUTH] Authentication failed.\r\n") << 2;
    // Over TLS: a plain session to another host would ask first.
    QTest::newRow("unknown host")
        << QStringLiteral("nohost.invalid:995") << password
        << QStringLiteral("The server nohost.invalid was not found. Check its name in Options "
                          "for a typing error, and that this computer is online.")
        << QByteArray("POP3 Error: Host ") << 0;
    // Nothing of the mail host listens on this port.
    QTest::newRow("closed port")
        << host + QStringLiteral(":1999") << password
        << QStringLiteral("Nothing answered at %1:1999. Check the server and its port in "
                          "Options, and that the server is running.")
               .arg(host)
        << QByteArray("POP3 Error: Connection refused") << 0;
}

// The box keeps its one text; the reason under it says what to do, while
// the log keeps the server's or the socket's own words.
void TestPop3Live::errorBoxSaysWhy()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    Module1::MailServer = server;
    Module1::MailPassword = password;
    QVERIFY(runSession(Module1::ConnectRetrieve));
    QTRY_COMPARE(m_boxes, QStringList({"Error Has Occured"}));
    QTEST(m_reasons.value(0), "reason");
    QVERIFY(m_reasonWidths.value(0) >= BoxText::ReasonWidth); // sentences, not a narrow column
    QFETCH(QByteArray, logLine);
    const QByteArray log = logText();
    const QByteArray last = log.mid(log.lastIndexOf("\r\nPOP3 Error: ") + 2);
    QVERIFY2(last.startsWith(logLine) && !last.contains("\r\nPOP3"), log.right(100).constData());
    QTEST(int(Module1::Pop3Step), "step");
}

QTEST_MAIN(TestPop3Live)
#include "tst_pop3_live.moc"
