// Secure mail against the real servers: POP3 over TLS on 995, submission
// with STARTTLS and AUTH on 587 and with TLS on 465, through the windows a
// user has. What arrives is read back by Python's email package and GNU
// uudecode, not by our own code. Every fault ends in one box and is
// followed by a command that works.

#include "core/Module1.h"
#include "net/CertificateTrust.h"
#include "net/MailConnection.h"
#include "net/PlainTextConsent.h"
#include "pop3/MessageStore.h"
#include "support/Mailhost.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "ui/CertificatePrompt.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"
#include "ui/frmSendMail.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QString Pop3s = QStringLiteral("127.0.0.1:995");

// A delivered message as Python's email package reads it: decoded subject,
// and the text of the body with its transfer encoding undone.
QJsonObject parsed(const QByteArray& message)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, json, email, email.policy\n"
                                 "m = email.message_from_bytes(sys.stdin.buffer.read(), "
                                 "policy=email.policy.default)\n"
                                 "print(json.dumps({'subject': str(m['subject']), 'from': "
                                 "str(m['from']), 'date': str(m['date']), 'id': "
                                 "str(m['message-id']), 'body': m.get_content()}))\n")});
    python.write(message);
    python.closeWriteChannel();
    python.waitForFinished(20000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// GNU uudecode's reading of the first block in text.
QByteArray uudecoded(const QString& text, const QString& folder)
{
    QProcess uudecode;
    uudecode.setWorkingDirectory(folder);
    uudecode.start(QStringLiteral("uudecode"), {QStringLiteral("-o"), QStringLiteral("out.bin")});
    uudecode.write(text.mid(text.indexOf(QLatin1String("begin 664 "))).toUtf8());
    uudecode.closeWriteChannel();
    if (!uudecode.waitForFinished(20000) || uudecode.exitCode() != 0)
        return "uudecode failed: " + uudecode.readAllStandardError();
    QFile out(folder + QStringLiteral("/out.bin"));
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray("no output");
}

} // namespace

class TestSecureLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sendOverSubmissionAndTlsThenFetchOverTls();
    void deleteAllOverTls();
    void wrongPasswordIsRefused();
    void certificateForAnotherName();
    void untrustedAnsweredNoSendsNoCredentials();
    void untrustedAnsweredYesThenChanged();
    void noStartTlsNothingSent();
    void dropDuringHandshake();
    void noTrustDecisionOutlivesItsConnection();
    void answerBelongsToTheConnectionAsked();
    void questionGoesWithItsServer();
    void ipAddressNeedsAnAddressEntry();
    void unencryptedOnlyWhenAllowed();

private:
    // Runs a POP3 command until it has ended; false on a time-out.
    bool check(void (*command)(), const QString& server = Pop3s);
    QString send(const QString& host, const QString& subject, const QString& text,
                 const QString& attachment = {});
    void retrieveWorks(int messages, const QString& server = Pop3s);
    void answerBoxes();
    // Starts a retrieve session and waits until its certificate question is
    // open, unanswered.
    QMessageBox* openQuestion(const QString& server);
    static bool logIsText();

    QTemporaryDir m_dir;
    QStringList m_boxes;
    QStringList m_reasons;   // their informative texts
    QStringList m_questions; // the certificate questions asked
    bool m_trust = false;    // the answer to them
    bool m_hold = false;     // leave them open
    QPointer<QMessageBox> m_held;
    QStringList m_plainQuestions; // asked before sending in clear
    bool m_sendPlain = false;     // the answer to them
    QTimer m_boxAnswerer;
};

void TestSecureLive::initTestCase()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("uudecode"), QStringLiteral("sharutils")));
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    connect(&m_boxAnswerer, &QTimer::timeout, this, &TestSecureLive::answerBoxes);
    m_boxAnswerer.start(5);
}

void TestSecureLive::init()
{
    TestEnvironment::startAfresh();
    m_boxes.clear();
    m_questions.clear();
    m_trust = false;
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    QVERIFY(Mailhost::clear());
}

void TestSecureLive::cleanup()
{
    PlainTextConsent::setIsLocalForTest(nullptr);
    m_hold = false;
    QVERIFY(Mailhost::setCertificate(QStringLiteral("good")));
    QVERIFY(Mailhost::setStartTls(true));
}

void TestSecureLive::answerBoxes()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    if (box->objectName() == QLatin1String("certificateQuestion")) {
        // Our words and the fingerprint, then what the certificate says.
        const QString question = box->text() + QLatin1Char('\n') + box->detailedText();
        if (m_hold) {
            if (m_held != box)
                m_questions << question;
            m_held = box;
            return;
        }
        m_questions << question;
        box->done(m_trust ? QMessageBox::Yes : QMessageBox::No);
        return;
    }
    if (box->objectName() == QLatin1String("unencryptedQuestion")) {
        m_plainQuestions << box->text();
        box->done(m_sendPlain ? QMessageBox::Yes : QMessageBox::No);
        return;
    }
    m_boxes << box->text();
    m_reasons << box->informativeText();
    box->done(QMessageBox::Ok);
}

bool TestSecureLive::check(void (*command)(), const QString& server)
{
    Module1::MailServer = server;
    const qsizetype boxes = m_boxes.size();
    command();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        QTest::qWait(20);
        if (m_boxes.size() > boxes || !Email::instance().sessionRunning())
            return true;
    }
    return false;
}

QString TestSecureLive::send(const QString& host, const QString& subject, const QString& text,
                             const QString& attachment)
{
    const QString password = Module1::MailPassword;
    TestEnvironment::resetWindows();
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = password;
    frmSendMail& window = frmSendMail::instance();
    window.txtHost->setText(host);
    window.txtSender->setText(QString::fromLatin1(Mailhost::Address));
    window.txtRecipient->setText(QString::fromLatin1(Mailhost::Address));
    window.txtSubject->setText(subject);
    window.txtMessage->setPlainText(text);
    window.txtAttachment->setText(attachment);
    const qsizetype before = m_boxes.size();
    window.cmdSend_Click();
    QElapsedTimer clock;
    clock.start();
    while (m_boxes.size() == before && clock.elapsed() < 30000)
        QTest::qWait(10);
    return m_boxes.size() > before ? m_boxes.last() : QStringLiteral("(no box)");
}

void TestSecureLive::retrieveWorks(int messages, const QString& server)
{
    m_boxes.clear();
    QVERIFY(check(Module1::ConnectRetrieve, server));
    QTRY_COMPARE(Email::instance().lstMessages->count(), messages);
    QCOMPARE(m_boxes, QStringList());
}

void TestSecureLive::sendOverSubmissionAndTlsThenFetchOverTls()
{
    // A non-ASCII subject, a line longer than SMTP allows, a leading dot,
    // and an attachment that is not text.
    const QString subject = QStringLiteral("Grüße über TLS – ✓");
    const QString longLine = QString(1500, QLatin1Char('x')) + QStringLiteral(" ende");
    const QString text = QStringLiteral("Hallo Jörg,\n.a line with a dot\n") + longLine;
    QByteArray binary;
    for (int i = 0; i < 10000; ++i)
        binary += char(i * 7 % 256);
    QFile file(m_dir.filePath(QStringLiteral("data.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(binary) == binary.size());
    file.close();

    QCOMPARE(send(QStringLiteral("127.0.0.1:587"), subject, text, file.fileName()),
             QStringLiteral("Message has been sent"));
    QCOMPARE(send(QStringLiteral(" localhost:465 "), QStringLiteral("plain ascii"),
                  QStringLiteral("short")),
             QStringLiteral("Message has been sent"));
    QVERIFY(Mailhost::waitCount(2));

    // Fetched back over TLS: both listed, the bodies as the server keeps them.
    retrieveWorks(2);
    for (int n = 1; n <= 2; ++n) {
        QByteArray stored = Mailhost::readMessage(n);
        const QJsonObject mail = parsed(stored);
        const QString body = mail.value(QStringLiteral("body")).toString();
        stored.replace("\n", "\r\n"); // the Maildir keeps LF; the server sends CR LF
        QCOMPARE(Module1::MessageBodies[n - 1],
                 QString::fromUtf8(stored.mid(stored.indexOf("\r\n\r\n") + 4)));
        QCOMPARE(mail.value(QStringLiteral("from")).toString(),
                 QString::fromLatin1(Mailhost::Address));
        QVERIFY(!mail.value(QStringLiteral("date")).toString().isEmpty());
        QVERIFY(mail.value(QStringLiteral("id")).toString().contains(QLatin1String("@localhost>")));
        if (mail.value(QStringLiteral("subject")).toString() == subject) {
            // The text as typed (lines end in LF once decoded), an empty
            // line, then the block, which GNU uudecode turns back into
            // the file.
            QVERIFY2(body.startsWith(text + QStringLiteral("\n\nbegin 664 ")),
                     qPrintable(body.left(200)));
            QCOMPARE(uudecoded(body, m_dir.path()), binary);
            for (const QByteArray& line : stored.split('\n'))
                QVERIFY(line.size() <= 1000);
        } else {
            QCOMPARE(mail.value(QStringLiteral("subject")).toString(),
                     QStringLiteral("plain ascii"));
            QCOMPARE(body, QStringLiteral("short\n\n\n"));
        }
    }
    QVERIFY(DebugA::instance().log().text().contains("\r\nPASS ****"));
}

void TestSecureLive::deleteAllOverTls()
{
    QVERIFY(Mailhost::seed(3, 2000));
    retrieveWorks(3);
    QVERIFY(check(Module1::ConnectMailbox));
    QVERIFY(Mailhost::waitCount(0));
    QCOMPARE(m_boxes, QStringList());
}

void TestSecureLive::wrongPasswordIsRefused()
{
    Module1::MailPassword = QStringLiteral("not the password");
    const QString said =
        send(QStringLiteral("127.0.0.1:587"), QStringLiteral("x"), QStringLiteral("y"));
    QVERIFY2(said.startsWith(QStringLiteral("Error: 535")), qPrintable(said));
    QVERIFY2(said.endsWith(QStringLiteral("Nothing was sent.")), qPrintable(said));
    QVERIFY(check(Module1::ConnectRetrieve));
    QCOMPARE(m_boxes.last(), QStringLiteral("Error Has Occured"));
    QCOMPARE(Mailhost::count(), 0);

    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    QCOMPARE(send(QStringLiteral("127.0.0.1:587"), QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
    QVERIFY(Mailhost::waitCount(1));
    retrieveWorks(1);
}

void TestSecureLive::certificateForAnotherName()
{
    QVERIFY(Mailhost::seed(1, 500));
    QVERIFY(Mailhost::setCertificate(QStringLiteral("othername")));
    QVERIFY(check(Module1::ConnectRetrieve));
    QCOMPARE(m_questions.size(), 1);
    QVERIFY2(m_questions[0].contains(QLatin1String("issued for another name")),
             qPrintable(m_questions[0]));
    QVERIFY2(m_questions[0].contains(QLatin1String("It names: other.example")),
             qPrintable(m_questions[0]));
    QVERIFY(m_questions[0].contains(
        QRegularExpression(QStringLiteral("([0-9A-F]{2}:){31}[0-9A-F]{2}"))));
    QTRY_COMPARE(m_boxes, QStringList{QStringLiteral("Error Has Occured")});
    QVERIFY(DebugA::instance().log().text().contains(
        "\r\nPOP3 Error: The certificate of 127.0.0.1:995 is not trusted (it was issued for "
        "another name (other.example)"));
    QCOMPARE(Email::instance().lstMessages->count(), 0);

    QVERIFY(Mailhost::setCertificate(QStringLiteral("good")));
    retrieveWorks(1);
}

void TestSecureLive::untrustedAnsweredNoSendsNoCredentials()
{
    const int logins = Mailhost::logins();
    QVERIFY(logins >= 0);
    QVERIFY(Mailhost::setCertificate(QStringLiteral("untrusted")));
    const QString said =
        send(QStringLiteral("127.0.0.1:465"), QStringLiteral("x"), QStringLiteral("y"));
    QCOMPARE(m_questions.size(), 1);
    QVERIFY2(m_questions[0].contains(QLatin1String("self-signed")), qPrintable(m_questions[0]));
    QVERIFY2(
        said.startsWith(QStringLiteral("Error: The certificate of 127.0.0.1:465 is not trusted")),
        qPrintable(said));
    QVERIFY(said.endsWith(QStringLiteral("Nothing was sent.")));
    QVERIFY(check(Module1::ConnectRetrieve));
    QCOMPARE(m_questions.size(), 2);
    QCOMPARE(m_boxes.last(), QStringLiteral("Error Has Occured"));
    QCOMPARE(m_reasons.last(), QStringLiteral("You did not trust the certificate of 127.0.0.1:995, "
                                              "so the connection was closed."));
    QCOMPARE(Mailhost::logins(), logins); // no credentials reached a server
    QCOMPARE(Mailhost::count(), 0);

    QVERIFY(Mailhost::setCertificate(QStringLiteral("good")));
    QCOMPARE(send(QStringLiteral("127.0.0.1:465"), QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
}

void TestSecureLive::untrustedAnsweredYesThenChanged()
{
    QVERIFY(Mailhost::seed(2, 800));
    QVERIFY(Mailhost::setCertificate(QStringLiteral("untrusted")));
    m_trust = true;
    retrieveWorks(2);
    QCOMPARE(m_questions.size(), 1);
    // The question says whom the certificate names, who issued it, for how
    // long, and how to compare the fingerprint.
    for (const char* part : {"It names: localhost, 127.0.0.1", "Issued by: localhost",
                             "Valid from ", "openssl s_client -connect 127.0.0.1:995"})
        QVERIFY2(m_questions[0].contains(QLatin1String(part)), qPrintable(m_questions[0]));
    // Kept for the host: the same certificate is not asked about again, on
    // this port or another.
    retrieveWorks(2);
    QCOMPARE(send(QStringLiteral("127.0.0.1:465"), QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
    QCOMPARE(m_questions.size(), 1);
    QVERIFY(Mailhost::waitCount(3));

    QVERIFY(Mailhost::setCertificate(QStringLiteral("untrusted2")));
    m_trust = false;
    QVERIFY(check(Module1::ConnectRetrieve));
    QCOMPARE(m_questions.size(), 2);
    QVERIFY2(m_questions[1].contains(QLatin1String("has changed since you trusted it")),
             qPrintable(m_questions[1]));
    QCOMPARE(m_boxes.last(), QStringLiteral("Error Has Occured"));

    QVERIFY(Mailhost::setCertificate(QStringLiteral("good")));
    retrieveWorks(3);
}

void TestSecureLive::noStartTlsNothingSent()
{
    const int logins = Mailhost::logins();
    QVERIFY(Mailhost::setStartTls(false));
    const QString said =
        send(QStringLiteral("127.0.0.1:587"), QStringLiteral("x"), QStringLiteral("y"));
    QVERIFY2(said.contains(QLatin1String("does not offer STARTTLS")), qPrintable(said));
    QVERIFY(said.endsWith(QStringLiteral("Nothing was sent.")));
    QCOMPARE(Mailhost::logins(), logins);
    QTest::qWait(300);
    QCOMPARE(Mailhost::count(), 0);

    QVERIFY(Mailhost::setStartTls(true));
    QCOMPARE(send(QStringLiteral("127.0.0.1:587"), QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
}

void TestSecureLive::dropDuringHandshake()
{
    // A server that takes the client's hello and hangs up.
    ScriptedServer server;
    server.expectUntil(QByteArray("\x16\x03", 2)).closeConnection();
    MailConnection connection;
    QSignalSpy failed(&connection, &MailConnection::failed);
    connection.open({QStringLiteral("127.0.0.1"), server.port(), true},
                    MailConnection::Security::Tls);
    QVERIFY(failed.wait(10000));
    QTest::qWait(100);
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed[0][0].toString().endsWith(QLatin1Char('.'))); // a sentence of its own
    QVERIFY(!connection.isOpen());

    QVERIFY(Mailhost::seed(1, 300));
    retrieveWorks(1);
}

QMessageBox* TestSecureLive::openQuestion(const QString& server)
{
    m_hold = true;
    m_held.clear();
    Module1::MailServer = server;
    Module1::ConnectRetrieve();
    QElapsedTimer clock;
    clock.start();
    while (!m_held && clock.elapsed() < 20000)
        QTest::qWait(10);
    return m_held;
}

bool TestSecureLive::logIsText()
{
    for (const char c : DebugA::instance().log().text()) {
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7f)
            return false;
    }
    return true;
}

// A Yes for one server's self-signed certificate does not carry over to
// another server that shows the same one: that server is asked, and a No
// leaves it without the password.
void TestSecureLive::noTrustDecisionOutlivesItsConnection()
{
    QVERIFY(Mailhost::seed(1, 300));
    QVERIFY(Mailhost::setCertificate(QStringLiteral("untrusted")));
    m_trust = true;
    retrieveWorks(1);
    QCOMPARE(m_questions.size(), 1);

    const int logins = Mailhost::logins();
    m_trust = false;
    QVERIFY(check(Module1::ConnectRetrieve, QStringLiteral("localhost:995")));
    QCOMPARE(m_questions.size(), 2);
    QVERIFY2(m_questions[1].contains(QLatin1String("localhost:995")), qPrintable(m_questions[1]));
    QTRY_COMPARE(m_boxes.value(0), QStringLiteral("Error Has Occured"));
    QCOMPARE(Mailhost::logins(), logins);
}

// A session started while the certificate question is open: the question
// goes with its connection, the new server is asked about its own
// certificate, and the answer is applied to that connection alone.
void TestSecureLive::answerBelongsToTheConnectionAsked()
{
    QVERIFY(Mailhost::seed(1, 300));
    QVERIFY(Mailhost::setCertificate(QStringLiteral("untrusted")));
    const int logins = Mailhost::logins();
    for (const bool yes : {false, true}) {
        m_questions.clear();
        m_boxes.clear();
        QPointer<QMessageBox> first = openQuestion(QStringLiteral("127.0.0.1:995"));
        QVERIFY(first);
        QVERIFY(m_questions.value(0).contains(QLatin1String("127.0.0.1:995")));
        QMessageBox* second = openQuestion(QStringLiteral("localhost:995"));
        QVERIFY(second && second != first);
        QTRY_VERIFY(!first || !first->isVisible());
        QCOMPARE(m_questions.size(), 2);
        QVERIFY2(m_questions[1].contains(QLatin1String("localhost:995")),
                 qPrintable(m_questions[1]));
        m_hold = false;
        second->done(yes ? QMessageBox::Yes : QMessageBox::No);
        QVERIFY(check([] {}, QStringLiteral("localhost:995")));
        QTRY_VERIFY(!Email::instance().sessionRunning());
        if (yes) {
            QTRY_COMPARE(Email::instance().lstMessages->count(), 1);
            QCOMPARE(m_boxes, QStringList());
        } else {
            QTRY_COMPARE(m_boxes.value(0), QStringLiteral("Error Has Occured"));
            QCOMPARE(Mailhost::logins(), logins);
        }
    }
    QVERIFY(!CertificateTrust::kept(QStringLiteral("localhost"), QString()).isEmpty());
    QVERIFY(CertificateTrust::kept(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1:995"))
                .isEmpty());
    QVERIFY(logIsText());
}

// A server that hangs up while its certificate is in question takes the
// question with it: the box closes, the connection fails as any dropped one
// does, and a Yes given after the hang-up is not kept, whether it comes
// before the connection looked again or after the box has gone. The server
// is openssl's s_server with a self-signed certificate, ended by a kill.
void TestSecureLive::questionGoesWithItsServer()
{
    QTemporaryDir dir;
    QProcess openssl;
    openssl.setWorkingDirectory(dir.path());
    openssl.start(
        QStringLiteral("openssl"),
        QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                       "-keyout key.pem -out cert.pem -days 2 -subj /CN=gone.example")
            .split(QLatin1Char(' ')));
    QVERIFY(openssl.waitForFinished(20000) && openssl.exitCode() == 0);

    for (const bool answerAtOnce : {true, false}) {
        QProcess server;
        server.setWorkingDirectory(dir.path());
        server.start(QStringLiteral("openssl"),
                     QStringLiteral("s_server -accept 127.0.0.1:0 -cert cert.pem -key key.pem")
                         .split(QLatin1Char(' ')));
        QRegularExpressionMatch accept;
        QTRY_VERIFY((accept = QRegularExpression(QStringLiteral("ACCEPT 127.0.0.1:(\\d+)"))
                                  .match(QString::fromLatin1(server.peek(4096))))
                        .hasMatch());
        const quint16 port = accept.captured(1).toUShort();

        MailConnection connection;
        CertificatePrompt::attach(connection);
        QSignalSpy asked(&connection, &MailConnection::certificateQuestion);
        QSignalSpy failed(&connection, &MailConnection::failed);
        m_hold = true;
        m_held.clear();
        connection.open({QStringLiteral("127.0.0.1"), port, true}, MailConnection::Security::Tls);
        QTRY_VERIFY(m_held);
        QPointer<QMessageBox> box = m_held;
        QVERIFY(box->text().contains(QLatin1String("self-signed")));

        server.kill();
        QVERIFY(server.waitForFinished(5000));
        if (answerAtOnce)
            box->done(QMessageBox::Yes);
        QTRY_VERIFY_WITH_TIMEOUT(!box || !box->isVisible(), 5000);
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().contains(QLatin1String("closed")),
                 qPrintable(failed[0][0].toString()));
        QCOMPARE(failed[0][1].toInt(), 10054);
        connection.answerCertificate(asked[0][0].value<CertificateQuestion>().ticket, true);
        QTest::qWait(100);
        QCOMPARE(failed.size(), 1);
        QVERIFY(!connection.isOpen());
        QVERIFY(CertificateTrust::kept(QStringLiteral("127.0.0.1"),
                                       QStringLiteral("127.0.0.1:%1").arg(port))
                    .isEmpty());
        m_hold = false;
    }
}

// A server given as an IP address must be named by an IP address entry:
// the address as the common name, or as a DNS name, is another name.
void TestSecureLive::ipAddressNeedsAnAddressEntry()
{
    QVERIFY(Mailhost::seed(1, 300));
    for (const char* certificate : {"ipcn", "ipdns"}) {
        QVERIFY(Mailhost::setCertificate(QString::fromLatin1(certificate)));
        m_questions.clear();
        m_boxes.clear();
        const int logins = Mailhost::logins();
        QVERIFY(check(Module1::ConnectRetrieve));
        QCOMPARE(m_questions.size(), 1);
        QVERIFY2(m_questions[0].contains(QLatin1String("issued for another name")),
                 qPrintable(m_questions[0]));
        QTRY_COMPARE(m_boxes.value(0), QStringLiteral("Error Has Occured"));
        QCOMPARE(Mailhost::logins(), logins);
        // The DNS name it does carry is verified as usual.
        retrieveWorks(1, QStringLiteral("localhost:995"));
        QCOMPARE(m_questions.size(), 1);
    }
}

// A password or a message goes in clear to another machine only after a
// Yes, which is kept for that host; a No sends nothing and says no more.
void TestSecureLive::unencryptedOnlyWhenAllowed()
{
    PlainTextConsent::setIsLocalForTest([](const QString&) { return false; });
    QVERIFY(Mailhost::seed(1, 300));
    const QString plain = QStringLiteral("127.0.0.1");
    const int logins = Mailhost::logins();
    m_sendPlain = false;
    QVERIFY(check(Module1::ConnectRetrieve, plain));
    QCOMPARE(m_plainQuestions.size(), 1);
    QVERIFY2(m_plainQuestions[0].startsWith(
                 QLatin1String("The password for 127.0.0.1 would be sent unencrypted.")),
             qPrintable(m_plainQuestions[0]));
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(Mailhost::logins(), logins);

    m_sendPlain = true;
    retrieveWorks(1, plain);
    retrieveWorks(1, plain);
    QCOMPARE(m_plainQuestions.size(), 2);

    m_sendPlain = false;
    frmSendMail& window = frmSendMail::instance();
    window.txtHost->setText(plain);
    window.txtSender->setText(QString::fromLatin1(Mailhost::Address));
    window.txtRecipient->setText(QString::fromLatin1(Mailhost::Address));
    window.cmdSend_Click();
    QCOMPARE(m_plainQuestions.size(), 3);
    QVERIFY(m_plainQuestions[2].startsWith(QLatin1String("The message to 127.0.0.1")));
    QTest::qWait(300);
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(Mailhost::count(), 1);
    m_sendPlain = true;
    QCOMPARE(send(plain, QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
    QCOMPARE(send(plain, QStringLiteral("x"), QStringLiteral("y")),
             QStringLiteral("Message has been sent"));
    QCOMPARE(m_plainQuestions.size(), 4);
    QVERIFY(Mailhost::waitCount(3));
}

QTEST_MAIN(TestSecureLive)
#include "tst_secure_live.moc"
