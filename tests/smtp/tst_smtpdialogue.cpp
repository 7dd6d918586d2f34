// The SMTP dialogue without a socket, as transcripts: what the server says,
// what the client answers byte for byte, and how the send ends.

#include "smtp/SmtpDialogue.h"

#include <QtTest>

using Outcome = SmtpDialogue::Outcome;

namespace
{

SmtpDialogue::Message message()
{
    return {QStringLiteral(" me@example.test "), QStringLiteral("qbtest@localhost "),
            QStringLiteral("Hi"), QStringLiteral("A\nB"), QByteArray()};
}

const QByteArray OrdinaryData = "Subject:Hi\r\n\r\nA\r\nB\r\n\r\n\r\n.\r\n";

// The ordinary dialogue: each server reply and the client's answer to it.
const QList<QPair<QByteArray, QByteArray>> Ordinary = {
    {"220 mail.example.test ESMTP\r\n", "HELO me\r\n"},
    {"250 mail.example.test\r\n", "MAIL FROM:<me@example.test>\r\n"},
    {"250 2.1.0 Ok\r\n", "RCPT TO:<qbtest@localhost>\r\n"},
    {"250 2.1.5 Ok\r\n", "DATA\r\n"},
    {"354 End data with <CR><LF>.<CR><LF>\r\n", OrdinaryData},
    {"250 2.0.0 Ok: queued as 1234\r\n", "QUIT\r\n"},
};

// What goes on the wire after a reaction: its commands, then the data
// section where it starts one.
QByteArray wire(const SmtpDialogue& dialogue, const SmtpDialogue::Reaction& reaction)
{
    return reaction.toSend + (reaction.startData ? dialogue.dataWriter().all() : QByteArray());
}

} // namespace

class tst_smtpdialogue : public QObject
{
    Q_OBJECT

private slots:
    void ordinarySend()
    {
        SmtpDialogue dialogue;
        dialogue.start(message());
        QCOMPARE(dialogue.step(), 0);
        for (int i = 0; i < Ordinary.size(); ++i) {
            const SmtpDialogue::Reaction reaction = dialogue.dataArrived(Ordinary[i].first);
            QCOMPARE(wire(dialogue, reaction), Ordinary[i].second);
            QCOMPARE(reaction.outcome, Outcome::Running);
            QVERIFY(!reaction.close);
            QCOMPARE(dialogue.step(), i + 1);
        }
        QVERIFY(dialogue.dataAccepted());
        const SmtpDialogue::Reaction end = dialogue.dataArrived("221 2.0.0 Bye\r\n");
        QCOMPARE(end.outcome, Outcome::Sent);
        QVERIFY(end.close);
        QVERIFY(end.toSend.isEmpty());
        QVERIFY(!dialogue.running());
        QCOMPARE(dialogue.step(), 6);
        // Nothing after the end starts anything again.
        QCOMPARE(dialogue.dataArrived("220 again\r\n").outcome, Outcome::Running);
        QVERIFY(dialogue.dataArrived("220 again\r\n").toSend.isEmpty());
    }

    // The same transcript with every reply cut into single bytes, and with
    // every reply spread over a cut at each position.
    void splitRepliesCountOnce()
    {
        for (int cut = 1; cut < 40; ++cut) {
            SmtpDialogue dialogue;
            dialogue.start(message());
            for (const auto& [reply, answer] : Ordinary) {
                QByteArray sent;
                for (qsizetype at = 0; at < reply.size(); at += cut)
                    sent += wire(dialogue, dialogue.dataArrived(reply.mid(at, cut)));
                QCOMPARE(sent, answer);
            }
            QCOMPARE(dialogue.dataArrived("221 Bye\r").outcome, Outcome::Running);
            QCOMPARE(dialogue.dataArrived("\n").outcome, Outcome::Sent);
        }
    }

    void multiLineRepliesCountOnce()
    {
        SmtpDialogue dialogue;
        dialogue.start(message());
        QCOMPARE(dialogue.dataArrived("220-mail.example.test ESMTP\r\n220-no UCE\r\n").toSend,
                 QByteArray());
        QCOMPARE(dialogue.dataArrived("220 ready\r\n").toSend, QByteArray("HELO me\r\n"));
        QCOMPARE(dialogue
                     .dataArrived("250-mail.example.test\r\n250-PIPELINING\r\n250-SIZE "
                                  "10240000\r\n250 8BITMIME\r\n")
                     .toSend,
                 QByteArray("MAIL FROM:<me@example.test>\r\n"));
        QCOMPARE(dialogue.step(), 2);
    }

    void twoRepliesInOneArrivalAreTwoReplies()
    {
        SmtpDialogue dialogue;
        dialogue.start(message());
        QCOMPARE(dialogue.dataArrived("220 hi\r\n250 ok\r\n25").toSend,
                 QByteArray("HELO me\r\nMAIL FROM:<me@example.test>\r\n"));
        QCOMPARE(dialogue.step(), 2);
        QCOMPARE(dialogue.dataArrived("0 ok\r\n").toSend,
                 QByteArray("RCPT TO:<qbtest@localhost>\r\n"));
    }

    // A refusal at any step before QUIT ends the send with the whole reply
    // (all of its lines and its line end) and leaves the step where it was.
    void refusalAtEveryStep()
    {
        for (int failAt = 0; failAt <= 5; ++failAt) {
            SmtpDialogue dialogue;
            dialogue.start(message());
            for (int i = 0; i < failAt; ++i)
                dialogue.dataArrived(Ordinary[i].first);
            const QByteArray refusal = "550-5.1.1 <qbtest@localhost>:\r\n550 5.1.1 unknown\r\n";
            const SmtpDialogue::Reaction reaction = dialogue.dataArrived(refusal);
            QCOMPARE(reaction.outcome, Outcome::Failed);
            QCOMPARE(reaction.reply, QString::fromLatin1(refusal));
            QVERIFY(reaction.close);
            QVERIFY(reaction.toSend.isEmpty());
            QCOMPARE(dialogue.step(), failAt);
            QVERIFY(!dialogue.running());
            QVERIFY(!dialogue.dataAccepted());
        }
    }

    // Once the data has been accepted the mail is sent, whatever answers
    // QUIT or however the connection ends.
    void sentWhateverEndsTheDialogueAfterTheData_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("221") << "221 Bye\r\n";
        QTest::newRow("250") << "250 Ok\r\n";
        QTest::newRow("500") << "500 what\r\n";
        QTest::newRow("time-out") << "";
        QTest::newRow("socket error") << "error";
    }
    void sentWhateverEndsTheDialogueAfterTheData()
    {
        QFETCH(QString, ending);
        SmtpDialogue dialogue;
        dialogue.start(message());
        for (const auto& [reply, answer] : Ordinary)
            dialogue.dataArrived(reply);
        SmtpDialogue::Reaction end;
        if (ending.isEmpty())
            end = dialogue.timedOut(QStringLiteral("late"));
        else if (ending == "error")
            end = dialogue.socketFailed();
        else
            end = dialogue.dataArrived(ending.toLatin1());
        QCOMPARE(end.outcome, Outcome::Sent);
        QVERIFY(end.close);
        QVERIFY(end.reply.isEmpty());
        QVERIFY(!dialogue.running());
    }

    void timeOutOrSocketErrorBeforeTheData()
    {
        SmtpDialogue dialogue;
        dialogue.start(message());
        dialogue.dataArrived(Ordinary[0].first);
        const SmtpDialogue::Reaction late = dialogue.timedOut(QStringLiteral("no reply"));
        QCOMPARE(late.outcome, Outcome::Failed);
        QCOMPARE(late.reply, QStringLiteral("no reply"));
        QVERIFY(late.close);
        QCOMPARE(dialogue.timedOut(QStringLiteral("again")).outcome, Outcome::Running);

        dialogue.start(message());
        const SmtpDialogue::Reaction broken = dialogue.socketFailed();
        QCOMPARE(broken.outcome, Outcome::Running); // the window reports the socket's error
        QVERIFY(!dialogue.running());
        QCOMPARE(dialogue.timedOut(QStringLiteral("x")).outcome, Outcome::Running);
    }

    void restartForgetsHalfAReply()
    {
        SmtpDialogue dialogue;
        dialogue.start(message());
        dialogue.dataArrived("220 hi\r\n250-par");
        dialogue.start(message());
        QCOMPARE(dialogue.step(), 0);
        QCOMPARE(dialogue.dataArrived("220 hi\r\n").toSend, QByteArray("HELO me\r\n"));
    }

    void heloArgument_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QByteArray>("argument");
        QTest::newRow("address") << "me@example.test" << QByteArray("me");
        QTest::newRow("trimmed") << "  me@example.test\t" << QByteArray("me");
        QTest::newRow("first @") << "a@b@c" << QByteArray("a");
        QTest::newRow("no @") << " workstation " << QByteArray("workstation");
        QTest::newRow("empty") << "" << QByteArray("localhost");
        QTest::newRow("blank") << "   " << QByteArray("localhost");
        QTest::newRow("nothing before @") << "@example.test" << QByteArray("localhost");
    }
    void heloArgument()
    {
        QFETCH(QString, sender);
        QFETCH(QByteArray, argument);
        QCOMPARE(SmtpDialogue::heloArgument(sender), argument);
    }

    void dataSection_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("two lines")
            << "S"
            << "A\nB" << QByteArray() << QByteArray("Subject:S\r\n\r\nA\r\nB\r\n\r\n\r\n.\r\n");
        QTest::newRow("empty text")
            << "S"
            << "" << QByteArray() << QByteArray("Subject:S\r\n\r\n\r\n\r\n\r\n.\r\n");
        QTest::newRow("subject kept as typed")
            << " two  words "
            << "x" << QByteArray() << QByteArray("Subject: two  words \r\n\r\nx\r\n\r\n\r\n.\r\n");
        QTest::newRow("dots doubled") << "S"
                                      << ".\n.hidden\n..two\na.b" << QByteArray()
                                      << QByteArray("Subject:S\r\n\r\n..\r\n..hidden\r\n...two\r\n"
                                                    "a.b\r\n\r\n\r\n.\r\n");
        QTest::newRow("CR LF and CR are line ends once")
            << "S"
            << "A\r\nB\rC\r\n"
            << QByteArray() << QByteArray("Subject:S\r\n\r\nA\r\nB\r\nC\r\n\r\n\r\n\r\n.\r\n");
        QTest::newRow("non-ASCII as UTF-8") << "Grüße"
                                            << "Ünïcode €" << QByteArray()
                                            << QByteArray("Subject:Gr\xc3\xbc\xc3\x9f"
                                                          "e\r\n\r\n\xc3\x9cn\xc3\xaf"
                                                          "code "
                                                          "\xe2\x82\xac\r\n\r\n\r\n.\r\n");
        // The block's LF line ends go out as CR LF; its 14-byte last line
        // starts with "." and gets a second one; an empty line follows "end".
        QTest::newRow("block")
            << "S"
            << "A" << QByteArray("begin 664 a\n.86)C\n \nend\n")
            << QByteArray(
                   "Subject:S\r\n\r\nA\r\n\r\nbegin 664 a\r\n..86)C\r\n \r\nend\r\n\r\n.\r\n");
    }
    void dataSection()
    {
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, data);
        QCOMPARE(SmtpDialogue::dataSection(subject, text, block), data);
    }

    // STARTTLS, then AUTH LOGIN (the server offers no PLAIN): no credential
    // and no message before the connection is encrypted, EHLO again after.
    void submissionWithStartTlsAndLogin()
    {
        SmtpDialogue dialogue;
        dialogue.start(message(), SmtpDialogue::Security::StartTls, {"qbtest", "pässword"});
        dialogue.setClientAddress("[127.0.0.1]");
        const auto answer = [&](const QByteArray& reply) { return dialogue.dataArrived(reply); };
        QCOMPARE(answer("220 mail.example.test ESMTP\r\n").toSend,
                 QByteArray("EHLO [127.0.0.1]\r\n"));
        // AUTH offered before STARTTLS is not taken.
        QCOMPARE(answer("250-mail.example.test\r\n250-AUTH LOGIN\r\n250 STARTTLS\r\n").toSend,
                 QByteArray("STARTTLS\r\n"));
        const SmtpDialogue::Reaction go = answer("220 2.0.0 Ready to start TLS\r\n");
        QVERIFY(go.startTls);
        QVERIFY(go.toSend.isEmpty());
        // What comes in clear during the handshake is nobody's reply.
        const SmtpDialogue::Reaction stray = answer("250 stray\r\n");
        QCOMPARE(stray.outcome, Outcome::Running);
        QVERIFY(stray.toSend.isEmpty());

        dialogue.start(message(), SmtpDialogue::Security::StartTls, {"qbtest", "pässword"});
        answer("220 hi\r\n");
        answer("250-hi\r\n250 STARTTLS\r\n");
        QVERIFY(answer("220 go\r\n").startTls);
        QCOMPARE(dialogue.encrypted().toSend, QByteArray("EHLO [127.0.0.1]\r\n"));
        QCOMPARE(answer("250-hi\r\n250-AUTH=LOGIN\r\n250 8BITMIME\r\n").toSend,
                 QByteArray("AUTH LOGIN\r\n"));
        QCOMPARE(answer("334 VXNlcm5hbWU6\r\n").toSend, QByteArray("cWJ0ZXN0\r\n"));
        QCOMPARE(answer("334 UGFzc3dvcmQ6\r\n").toSend, QByteArray("cMOkc3N3b3Jk\r\n"));
        QCOMPARE(answer("235 2.7.0 Authentication successful\r\n").toSend,
                 QByteArray("MAIL FROM:<me@example.test>\r\n"));
        QCOMPARE(dialogue.step(), 2);

        // Without STARTTLS on offer nothing more goes out.
        dialogue.start(message(), SmtpDialogue::Security::StartTls, {"qbtest", "pw"});
        answer("220 hi\r\n");
        const SmtpDialogue::Reaction refused = answer("250-hi\r\n250 AUTH PLAIN\r\n");
        QCOMPARE(refused.outcome, Outcome::Failed);
        QVERIFY(refused.toSend.isEmpty());
        QVERIFY(refused.close);
    }

    // A man in the middle adds lines behind the "220" to STARTTLS: they
    // came in clear and must neither count as the reply to the EHLO over
    // TLS nor offer a mechanism the server does not.
    void injectionBeforeTheHandshakeIsDropped_data()
    {
        QTest::addColumn<QByteArray>("injected");
        QTest::newRow("continuation") << QByteArray("250-AUTH PLAIN\r\n");
        QTest::newRow("whole reply") << QByteArray("250 X\r\n");
        QTest::newRow("half a line") << QByteArray("250-AUTH PL");
    }
    void injectionBeforeTheHandshakeIsDropped()
    {
        QFETCH(QByteArray, injected);
        SmtpDialogue dialogue;
        dialogue.start(message(), SmtpDialogue::Security::StartTls, {"qbtest", "pw"});
        dialogue.setClientAddress("[127.0.0.1]");
        dialogue.dataArrived("220 hi\r\n");
        dialogue.dataArrived("250-hi\r\n250 STARTTLS\r\n");
        QVERIFY(dialogue.dataArrived("220 go\r\n" + injected).startTls);
        QVERIFY(dialogue.dataArrived(injected).toSend.isEmpty());
        QCOMPARE(dialogue.encrypted().toSend, QByteArray("EHLO [127.0.0.1]\r\n"));
        QCOMPARE(dialogue.dataArrived("250-hi\r\n250 AUTH LOGIN\r\n").toSend,
                 QByteArray("AUTH LOGIN\r\n"));
    }

    // Endless continuation lines, or a line without an end, are a broken
    // or hostile server: the send fails with a clear reason, nothing grows
    // without bound.
    void oversizedReplies_data()
    {
        QTest::addColumn<QByteArray>("piece");
        QTest::addColumn<QString>("reason");
        QTest::newRow("endless 220- lines")
            << QByteArray("220-" + QByteArray(1000, 'x') + "\r\n") << "longer than 1 MiB";
        QTest::newRow("a line without end") << QByteArray(1000, 'x') << "longer than 64 KiB";
    }
    void oversizedReplies()
    {
        QFETCH(QByteArray, piece);
        QFETCH(QString, reason);
        SmtpDialogue dialogue;
        dialogue.start(message());
        SmtpDialogue::Reaction reaction;
        int pieces = 0;
        while (reaction.outcome == Outcome::Running && pieces < 5000) {
            reaction = dialogue.dataArrived(piece);
            ++pieces;
        }
        QCOMPARE(reaction.outcome, Outcome::Failed);
        QVERIFY(reaction.close);
        QVERIFY2(reaction.reply.contains(reason), qPrintable(reaction.reply));
        QVERIFY(reaction.reply.endsWith(QLatin1String("Nothing was sent.")));
        QVERIFY(qsizetype(pieces) * piece.size() <= SmtpDialogue::MaxReply + piece.size());
    }

    // Each step of the plain dialogue takes the code that accepts it, and
    // only that one: 251 is a yes to RCPT, 354 is no answer to HELO.
    void plainStepCodes()
    {
        for (int step = 0; step < 5; ++step) {
            for (const QByteArray code : {"220", "250", "251", "354"}) {
                SmtpDialogue dialogue;
                dialogue.start(message());
                for (int i = 0; i < step; ++i)
                    dialogue.dataArrived(Ordinary[i].first);
                const SmtpDialogue::Reaction reaction = dialogue.dataArrived(code + " x\r\n");
                const QByteArray right = Ordinary[step].first.left(3);
                const bool accepted = code == right || (step == 3 && code == "251");
                QVERIFY2((reaction.outcome == Outcome::Running) == accepted,
                         qPrintable(QStringLiteral("step %1, %2").arg(step).arg(code)));
            }
        }
    }

    // The envelope takes the address of "Name <address>", and the header
    // keeps the name outside it; 8-bit text is declared on MAIL FROM.
    void envelopeAndFrom()
    {
        SmtpDialogue::Message m = message();
        m.sender = QStringLiteral("Jörg Müller <me@example.test>");
        m.recipient = QStringLiteral("\"Doe, J.\" <qbtest@localhost>");
        m.text = QStringLiteral("Grüße");
        SmtpDialogue plain;
        plain.start(m);
        QCOMPARE(plain.dataArrived("220 hi\r\n").toSend, QByteArray("HELO me\r\n"));
        QCOMPARE(plain.dataArrived("250 ok\r\n").toSend,
                 QByteArray("MAIL FROM:<me@example.test>\r\n"));
        QCOMPARE(plain.dataArrived("250 ok\r\n").toSend,
                 QByteArray("RCPT TO:<qbtest@localhost>\r\n"));

        SmtpDialogue secure;
        secure.start(m, SmtpDialogue::Security::Tls, {"qbtest", "pw"});
        secure.dataArrived("220 hi\r\n");
        QCOMPARE(secure.dataArrived("250-hi\r\n250 8BITMIME\r\n").toSend,
                 QByteArray("MAIL FROM:<me@example.test> BODY=8BITMIME\r\n"));
        const QByteArray head = secure.dataWriter().all();
        QVERIFY2(head.startsWith("From: =?UTF-8?B?" + QByteArray("Jörg Müller").toBase64() +
                                 "?= <me@example.test>\r\n"),
                 head.constData());
        QVERIFY2(head.contains("\r\nTo: \"Doe, J.\" <qbtest@localhost>\r\n"), head.constData());

        for (const char* bad :
             {"you@x.test> NOTIFY=SUCCESS", "a b@x.test", "<a@x.test", "a\x01@x.test"}) {
            const QString problem =
                SmtpDialogue::fieldProblem(QStringLiteral("h"), QStringLiteral("me@x.test"),
                                           QString::fromUtf8(bad), QString());
            QVERIFY2(problem.contains(QLatin1String("Mail To")), bad);
        }
    }

    // Without quoted-printable, a line longer than SMTP allows goes as
    // several, none over 998 bytes, none cut inside a character.
    void plainLongLinesAreSplit()
    {
        const QString text = QString(600, QChar(0x00e9)) + QStringLiteral("end");
        const QByteArray data = SmtpDialogue::dataSection(QStringLiteral("S"), text, {});
        QByteArray joined;
        const QList<QByteArray> lines = data.split('\n');
        for (const QByteArray& line : lines) {
            QVERIFY(line.size() <= 999);
            if (line.startsWith(QByteArray::fromStdString("\xc3\xa9")))
                joined += line.chopped(1);
        }
        QCOMPARE(QString::fromUtf8(joined), text);
    }

    void fieldProblems()
    {
        const QString ok = QStringLiteral("x");
        QVERIFY(SmtpDialogue::fieldProblem(ok, ok, ok, ok).isEmpty());
        QVERIFY(SmtpDialogue::fieldProblem(ok, ok, QString(), QString()).isEmpty());
        // No sender would be the null return path "<>" of bounces.
        QVERIFY(SmtpDialogue::fieldProblem(ok, QStringLiteral(" "), ok, ok).contains("Reply to"));
        QVERIFY(SmtpDialogue::fieldProblem(QString(), ok, ok, ok).contains("Host"));
        QVERIFY(SmtpDialogue::fieldProblem(QStringLiteral("  "), ok, ok, ok).contains("Host"));
        const QString broken = QStringLiteral("a\r\nRCPT TO:<b@c>");
        QVERIFY(SmtpDialogue::fieldProblem(broken, ok, ok, ok).contains("Host"));
        QVERIFY(SmtpDialogue::fieldProblem(ok, broken, ok, ok).contains("Reply to"));
        QVERIFY(SmtpDialogue::fieldProblem(ok, ok, QStringLiteral("a\nb"), ok).contains("Mail To"));
        const QString problem = SmtpDialogue::fieldProblem(ok, ok, ok, QStringLiteral("a\rb"));
        QVERIFY(problem.contains("Subject") && problem.contains("line break"));
    }
};

QTEST_GUILESS_MAIN(tst_smtpdialogue)
#include "tst_smtpdialogue.moc"
