// The command builder and the parser against the real Dovecot IMAP: logins
// with every kind of string and literal are read by the server as the one
// string they are (a wrong password is refused, never a syntax error, and
// the session stays in step), a whole 1 MiB message comes out of its literal
// byte for byte as the Maildir holds it and sets no flag, a literal past the
// limit is refused when announced, and IDLE hears a delivery and a kick.

#include "imap/ImapCommand.h"
#include "imap/ImapLimits.h"
#include "imap/ImapParser.h"
#include "imap/ImapResponseFramer.h"
#include "imap/ImapTags.h"
#include "support/Mailhost.h"

#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QtTest>

namespace
{

QByteArray mailhost(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("bash"),
                  QStringList{qEnvironmentVariable("QB_MAILHOST")} + arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning() << "mailhost" << arguments << "failed:" << process.readAllStandardError();
    return process.readAllStandardOutput().trimmed();
}

QString imapMissing()
{
    const QString missing = Mailhost::missing();
    if (!missing.isEmpty())
        return missing;
    QTcpSocket socket;
    socket.connectToHost(QString::fromLatin1(Mailhost::Host), 993);
    return socket.waitForConnected(2000) ? QString()
                                         : QStringLiteral("no IMAP on 127.0.0.1:993 "
                                                          "(scripts/mailhost start)");
}

// One session over TLS on 993, driven by blocking waits.
class Session
{
public:
    explicit Session(qsizetype literalLimit = ImapLimits::HeaderLiterals) : framer(literalLimit)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(qEnvironmentVariable("SSL_CERT_FILE"));
        socket.setSslConfiguration(config);
        socket.connectToHostEncrypted(QStringLiteral("localhost"), 993);
        if (socket.waitForEncrypted(10000))
            greeting = next();
    }

    // The next response; an empty one (with `failure` set) where none came.
    ImapResponse next(int ms = 15000)
    {
        ImapResponseBytes bytes;
        for (;;) {
            const ImapResponseFramer::Status status = framer.next(bytes);
            if (status == ImapResponseFramer::Status::Complete) {
                const ImapParseResult parsed = ImapParser::parse(bytes);
                failure = parsed.error;
                return parsed.response;
            }
            if (status == ImapResponseFramer::Status::Failed) {
                failure = framer.error();
                return {};
            }
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ms)) {
                failure = QStringLiteral("closed or silent: ") + socket.errorString();
                return {};
            }
            framer.append(socket.readAll());
        }
    }

    // Sends the command, each further piece after a "+"; the responses up
    // to and with the tagged one.
    QList<ImapResponse> run(const ImapCommand& command)
    {
        QList<ImapResponse> responses;
        const QList<ImapCommand::Piece> pieces = command.pieces();
        socket.write(pieces.first().wire);
        for (qsizetype i = 1;;) {
            responses << next();
            if (!failure.isEmpty() || responses.last().isTagged(command.tag()))
                return responses;
            if (responses.last().isContinuation() && i < pieces.size())
                socket.write(pieces[i++].wire);
        }
    }

    ImapResponse tagged(const ImapCommand& command) { return run(command).last(); }

    ImapTags tags;
    QSslSocket socket;
    ImapResponseFramer framer;
    ImapResponse greeting;
    QString failure;
};

} // namespace

class tst_imapwire_live : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QB_REQUIRE_OR_SKIP(imapMissing());
        QVERIFY(Mailhost::clear());
    }
    void cleanupTestCase() { Mailhost::clear(); }

    void logins_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("literals");
        QTest::addColumn<int>("plain"); // AUTHENTICATE PLAIN: 1 with SASL-IR, 2 without
        using L = ImapCommand::Literals;
        QTest::newRow("quoted") << QByteArray("qbpass") << int(L::Synchronising) << 0;
        QTest::newRow("PLAIN with SASL-IR") << QByteArray("qbpass") << int(L::Plus) << 1;
        QTest::newRow("PLAIN after +") << QByteArray("qbpass") << int(L::Plus) << 2;
        QTest::newRow("escapes, wrong") << QByteArray("q\"b\\pass") << int(L::Synchronising) << 0;
        QTest::newRow("synchronising literal, wrong")
            << QByteArray("qbp\xc3\xa4ss\r\nA9 LOGOUT {3}") << int(L::Synchronising) << 0;
        QTest::newRow("LITERAL+, wrong")
            << QByteArray("qbp\xc3\xa4ss\r\nA9 LOGOUT {3}") << int(L::Plus) << 0;
        QTest::newRow("PLAIN, wrong") << QByteArray("qbpass\xc3\xa4") << int(L::Plus) << 2;
    }
    void logins()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, literals);
        QFETCH(int, plain);
        Session s;
        QVERIFY2(s.failure.isEmpty(), qPrintable(s.failure));
        QVERIFY(s.greeting.capabilities().contains("SASL-IR"));
        const int before = mailhost({QStringLiteral("logins")}).toInt();
        const QByteArray tag = s.tags.next();
        const ImapCommand login =
            plain ? ImapCommand::authenticatePlain(tag, "qbtest", password, plain == 1)
                  : ImapCommand::login(tag, "qbtest", password, ImapCommand::Literals(literals));
        QVERIFY(login.sendable());
        const QList<ImapResponse> responses = s.run(login);
        QVERIFY2(s.failure.isEmpty(), qPrintable(s.failure));
        const bool right = password == "qbpass";
        QCOMPARE(responses.last().status,
                 right ? ImapResponse::Status::Ok : ImapResponse::Status::No);
        if (!right)
            QCOMPARE(responses.last().code.name, QByteArray("AUTHENTICATIONFAILED"));
        QCOMPARE(responses.size() - 1, qsizetype(login.pieces().size() - 1)); // one "+" per piece
        // The server counted one login and is still in step. After a
        // refusal the right password logs in (which also spares the next
        // test Dovecot's growing delay for refused logins).
        QCOMPARE(mailhost({QStringLiteral("logins")}).toInt(), before + 1);
        const ImapResponse next =
            right ? s.tagged(ImapCommand(s.tags.next(), "CAPABILITY"))
                  : s.tagged(ImapCommand::login(s.tags.next(), "qbtest", "qbpass",
                                                ImapCommand::Literals::Synchronising));
        QCOMPARE(next.status, ImapResponse::Status::Ok);
    }

    // The message as the Maildir holds it, its size as the server gives it,
    // and no \Seen after EXAMINE and BODY.PEEK; a header limit refuses the
    // same literal when it is announced.
    void wholeMessage()
    {
        QVERIFY(Mailhost::seed(1, 1024 * 1024 + 100));
        QCOMPARE(Mailhost::count(), 1);
        const QByteArray file = Mailhost::readMessage(1);
        for (qsizetype limit : {ImapLimits::MessageLiterals, ImapLimits::HeaderLiterals}) {
            Session s(limit);
            QCOMPARE(s.tagged(ImapCommand::login(s.tags.next(), "qbtest", "qbpass",
                                                 ImapCommand::Literals::Plus))
                         .status,
                     ImapResponse::Status::Ok);
            QList<ImapResponse> examine =
                s.run(ImapCommand(s.tags.next(), "EXAMINE").atom("INBOX"));
            QCOMPARE(examine.last().code.name, QByteArray("READ-ONLY"));
            const QList<ImapResponse> fetch = s.run(
                ImapCommand(s.tags.next(), "UID FETCH").atom("1:* (UID RFC822.SIZE BODY.PEEK[])"));
            if (limit == ImapLimits::HeaderLiterals) {
                QCOMPARE(s.failure, QStringLiteral("a literal of %1 bytes where at most %2 are "
                                                   "allowed")
                                        .arg(file.size())
                                        .arg(limit));
                continue;
            }
            QVERIFY2(s.failure.isEmpty(), qPrintable(s.failure));
            const ImapResponse& message = fetch.first();
            QVERIFY(message.fetchUid() >= 1);
            const ByteRange body = message.fetchSection()->bytes();
            QCOMPARE(body.size, file.size());
            QVERIFY(body.view() == QByteArrayView(file));
            QCOMPARE(message.fetchItem("RFC822.SIZE")->toNumber(), quint64(file.size()));
        }
        const QByteArray flags = mailhost({QStringLiteral("flags")});
        QVERIFY(!flags.isEmpty() && !flags.contains("\\Seen"));
    }

    // IDLE: a delivery comes as EXISTS, DONE ends it, a kick as BYE.
    void idle()
    {
        Session s;
        s.tagged(
            ImapCommand::login(s.tags.next(), "qbtest", "qbpass", ImapCommand::Literals::Plus));
        QCOMPARE(s.tagged(ImapCommand(s.tags.next(), "SELECT").atom("INBOX")).status,
                 ImapResponse::Status::Ok);
        const QByteArray idleTag = s.tags.next();
        s.socket.write(ImapCommand(idleTag, "IDLE").pieces().first().wire);
        QVERIFY(s.next().isContinuation());
        mailhost({QStringLiteral("deliver"), QStringLiteral("Pushed")});
        ImapResponse pushed = s.next();
        QVERIFY2(pushed.isUntagged("EXISTS"), qPrintable(s.failure));
        QCOMPARE(pushed.number, 1u);
        s.socket.write("DONE\r\n");
        ImapResponse done;
        do
            done = s.next();
        while (s.failure.isEmpty() && !done.isTagged(idleTag));
        QCOMPARE(done.status, ImapResponse::Status::Ok);
        const QList<ImapResponse> fetch =
            s.run(ImapCommand(s.tags.next(), "FETCH").atom("1 (UID FLAGS)"));
        QCOMPARE(fetch.first().fetchFlags(), QList<QByteArray>{"\\Recent"});
        s.socket.write(ImapCommand(s.tags.next(), "IDLE").pieces().first().wire);
        QVERIFY(s.next().isContinuation());
        mailhost({QStringLiteral("kick")});
        QCOMPARE(s.next().status, ImapResponse::Status::Bye);
        s.next(5000);
        QVERIFY(s.failure.startsWith("closed or silent"));
        QCOMPARE(s.socket.state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_GUILESS_MAIN(tst_imapwire_live)
#include "tst_imapwire_live.moc"
