// The IMAP framer and parser on what Dovecot really sends (transcripts
// recorded from the mail host by tests/imap/capture_dovecot.py), however the
// bytes are cut, and on hostile input: every response written back gives the
// server's bytes again, the typed accessors read what a notifier needs, and
// a malformed or oversized response ends with a plain reason at once.

#include "imap/ImapCommand.h"
#include "imap/ImapLimits.h"
#include "imap/ImapParser.h"
#include "imap/ImapResponseFramer.h"

#include <QFile>
#include <QtTest>

namespace
{

QByteArray transcript(const QString& name)
{
    QFile file(qEnvironmentVariable("QB_SOURCE_DIR") + "/tests/data/imap/" + name + ".server");
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

struct Framed {
    QList<ImapResponse> responses;
    QList<ImapResponseBytes> raw;
    QString error; // the framer's or the first parse error
    qsizetype pending = 0;
};

// Feeds `bytes` in pieces of `piece` bytes (all at once for 0), frames and
// parses every response; stops at the first error.
Framed frame(const QByteArray& bytes, qsizetype piece = 0,
             qsizetype literalLimit = ImapLimits::HeaderLiterals)
{
    Framed out;
    ImapResponseFramer framer(literalLimit);
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(1, bytes.size());
    for (qsizetype at = 0; at < bytes.size() && out.error.isEmpty(); at += step) {
        framer.append(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)));
        ImapResponseBytes response;
        ImapResponseFramer::Status status;
        while ((status = framer.next(response)) == ImapResponseFramer::Status::Complete) {
            const ImapParseResult parsed = ImapParser::parse(response);
            if (!parsed.ok()) {
                out.error = parsed.error;
                break;
            }
            out.responses << parsed.response;
            out.raw << response;
        }
        if (status == ImapResponseFramer::Status::Failed)
            out.error = framer.error();
    }
    out.pending = framer.pending();
    return out;
}

// A response written back as the server wrote it (Dovecot writes one space
// between values and a literal where a string needs one).
QByteArray written(const ImapResponse& r)
{
    QByteArray out = r.kind == ImapResponse::Kind::Tagged     ? r.tag
                     : r.kind == ImapResponse::Kind::Untagged ? QByteArray("*")
                                                              : QByteArray("+");
    if (r.kind != ImapResponse::Kind::Continuation) {
        if (r.number || r.name == "EXISTS" || r.name == "RECENT")
            out += ' ' + QByteArray::number(r.number);
        out += ' ' + r.name;
    }
    for (const ImapValue& v : r.data)
        out += ' ' + ImapCommand::written(v);
    if (r.status != ImapResponse::Status::None || r.isContinuation()) {
        out += ' ';
        if (!r.code.name.isEmpty())
            out += '[' + r.code.name + (r.code.text.isEmpty() ? "" : ' ' + r.code.text) + "] ";
        out += r.text;
    }
    return out + "\r\n";
}

const ImapResponse& find(const Framed& f, const std::function<bool(const ImapResponse&)>& which,
                         int skip = 0)
{
    for (const ImapResponse& r : f.responses) {
        if (which(r) && skip-- == 0)
            return r;
    }
    qFatal("no such response");
}

} // namespace

class tst_imapparser : public QObject
{
    Q_OBJECT

private slots:
    void dovecotWrittenBack_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"examine-fetch-expunge", "idle-kick", "uidvalidity-changed",
                                 "restart", "starttls-required"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    // Cut anywhere, literals included, each transcript gives the same
    // responses, and written back they are the server's bytes.
    void dovecotWrittenBack()
    {
        QFETCH(QString, name);
        const QByteArray bytes = transcript(name);
        const Framed whole = frame(bytes);
        QCOMPARE(whole.error, QString());
        QCOMPARE(whole.pending, qsizetype(0));
        QByteArray back;
        for (const ImapResponse& r : whole.responses)
            back += written(r);
        QCOMPARE(back, bytes);
        for (qsizetype piece : {1, 2, 7, 100, 1000}) {
            const Framed cut = frame(bytes, piece);
            QCOMPARE(cut.error, QString());
            QCOMPARE(cut.responses.size(), whole.responses.size());
            for (qsizetype i = 0; i < cut.responses.size(); ++i)
                QCOMPARE(written(cut.responses[i]), written(whole.responses[i]));
        }
        // A code read as values says what its text says.
        for (const ImapResponse& r : whole.responses) {
            QStringList args;
            for (const ImapValue& v : r.code.args)
                args << QString::fromLatin1(ImapCommand::written(v));
            if (!r.code.args.isEmpty())
                QCOMPARE(args.join(' '), QString::fromLatin1(r.code.text));
        }
    }

    // What a notifier reads from EXAMINE, SEARCH and FETCH, and that the
    // literals point into the bytes as they arrived instead of copies.
    void examineAndFetch()
    {
        const Framed f = frame(transcript("examine-fetch-expunge"));
        QVERIFY(f.error.isEmpty());
        const QList<QByteArray> before = f.responses[0].capabilities();
        for (const char* c : {"IMAP4REV1", "SASL-IR", "LITERAL+", "IDLE", "AUTH=PLAIN"})
            QVERIFY2(before.contains(c), c);
        const QList<QByteArray> after =
            find(f, [](auto& r) { return r.isTagged("A0001"); }).capabilities();
        for (const char* c : {"UIDPLUS", "ESEARCH", "CONDSTORE", "IDLE"})
            QVERIFY2(after.contains(c), c);
        QVERIFY(!before.contains("UIDPLUS"));

        auto code = [&](const char* name) -> const ImapResponse& {
            return find(f, [name](auto& r) { return r.code.name == name; });
        };
        QCOMPARE(code("UIDVALIDITY").code.number(), 1796739266u);
        QCOMPARE(code("UIDNEXT").code.number(), 34u);
        QCOMPARE(code("READ-ONLY").tag, QByteArray("A0002"));
        QCOMPARE(code("READ-ONLY").status, ImapResponse::Status::Ok);
        QVERIFY(code("PERMANENTFLAGS").code.args.first().items().isEmpty());
        QCOMPARE(find(f, [](auto& r) { return r.isUntagged("EXISTS"); }).number, 5u);
        QCOMPARE(find(f, [](auto& r) { return r.isUntagged("FLAGS"); }).data.first().items().size(),
                 5);
        QCOMPARE(find(f, [](auto& r) { return r.isUntagged("SEARCH"); }).searchNumbers(),
                 (QList<quint32>{29, 30, 31, 32, 33}));
        const UidSet unseen = find(f, [](auto& r) { return r.isUntagged("ESEARCH"); }).esearchAll();
        QCOMPARE(unseen.text(), QByteArray("29:32"));
        QCOMPARE(unseen.count(), quint64(4));

        auto fetch = [&](int skip) -> const ImapResponse& {
            return find(
                f, [](auto& r) { return r.isUntagged("FETCH"); }, skip);
        };
        QCOMPARE(fetch(0).number, 1u);
        QCOMPARE(fetch(0).fetchUid(), 29u);
        QCOMPARE(fetch(0).fetchFlags(), QList<QByteArray>{"\\Recent"});
        QCOMPARE(fetch(0).fetchItem("rfc822.size")->toNumber(), quint64(300));
        QCOMPARE(fetch(0).fetchSection()->text(),
                 QByteArray("Subject: Message 1\r\nFrom: seed@example.test\r\n\r\n"));
        QCOMPARE(fetch(4).fetchUid(), 33u);
        QCOMPARE(fetch(4).fetchFlags(), (QList<QByteArray>{"\\Seen", "\\Recent"}));
        QVERIFY(fetch(3).fetchSection()->text().contains("Subject: Hello \"quoted\" world\r\n"));

        // ENVELOPE: date, subject (a literal, for its quotes), from ...
        const ImapResponse& envelope = fetch(5);
        const QList<ImapValue>& e = envelope.fetchItem("ENVELOPE")->items();
        QCOMPARE(e.size(), 10);
        QCOMPARE(e[1].kind(), ImapValue::Kind::Literal);
        QCOMPARE(e[1].text(), QByteArray("Hello \"quoted\" world"));
        QCOMPARE(e[2].items()[0].items()[2].text(), QByteArray("sender"));
        QVERIFY(e[2].items()[0].items()[1].isNil());
        const ByteRange body = envelope.fetchSection()->bytes();
        QCOMPARE(quint64(body.size), fetch(3).fetchItem("RFC822.SIZE")->toNumber());
        QVERIFY(body.view().endsWith("\r\n\r\nDelivered by scripts/mailhost.\r\n"));
        // All fed at once, every literal is a range of that one buffer.
        QCOMPARE(body.bytes.get(), fetch(0).fetchSection()->bytes().bytes.get());
        QVERIFY(body.bytes->size() >= transcript("examine-fetch-expunge").size());

        QCOMPARE(fetch(6).fetchItem("BODYSTRUCTURE")->items().size(), 12);
        const ImapResponse& permanent = find(
            f, [](auto& r) { return r.code.name == "PERMANENTFLAGS"; }, 1);
        QCOMPARE(permanent.code.args.first().items().last().text(), QByteArray("\\*"));
        QCOMPARE(find(f, [](auto& r) { return r.isUntagged("EXPUNGE"); }).number, 2u);
        QCOMPARE(f.responses.last().tag, QByteArray("A0014"));
        QCOMPARE(f.responses[f.responses.size() - 2].status, ImapResponse::Status::Bye);
    }

    // Refused logins, continuations, what IDLE pushes, and the ways a
    // session ends: a kick, a restart, a changed UIDVALIDITY, TLS required.
    void sessionsAndTheirEnds()
    {
        const Framed idle = frame(transcript("idle-kick"));
        QCOMPARE(idle.responses[1].status, ImapResponse::Status::No);
        QCOMPARE(idle.responses[1].code.name, QByteArray("AUTHENTICATIONFAILED"));
        QVERIFY(idle.responses[2].isContinuation());
        QCOMPARE(idle.responses[2].text, QByteArray("OK"));
        QVERIFY(idle.responses[4].isContinuation());
        QCOMPARE(idle.responses[4].text, QByteArray());
        QCOMPARE(find(
                     idle, [](auto& r) { return r.isUntagged("EXISTS"); }, 2)
                     .number,
                 4u);
        QCOMPARE(find(idle, [](auto& r) { return r.isUntagged("EXPUNGE"); }).number, 1u);
        QList<quint32> uids;
        for (const ImapResponse& r : idle.responses) {
            if (r.isUntagged("FETCH"))
                uids << r.fetchUid();
        }
        QCOMPARE(uids, (QList<quint32>{35, 36, 37}));
        QCOMPARE(idle.responses.last().status, ImapResponse::Status::Bye);
        QCOMPARE(idle.responses.last().text, QByteArray("Server shutting down."));

        const Framed changed = frame(transcript("uidvalidity-changed"));
        const ImapResponse& flagsOnly = changed.responses[changed.responses.size() - 2];
        QCOMPARE(flagsOnly.fetchUid(), 0u);
        QCOMPARE(flagsOnly.fetchFlags(), QList<QByteArray>{"\\Seen"});
        QVERIFY(changed.responses.last().isUntagged("BYE"));

        const Framed tls = frame(transcript("starttls-required"));
        QVERIFY(tls.responses[0].capabilities().contains("LOGINDISABLED"));
        QVERIFY(!tls.responses[0].capabilities().contains("AUTH=PLAIN"));
        QCOMPARE(tls.responses[1].status, ImapResponse::Status::Bad);
        QCOMPARE(tls.responses[1].code.name, QByteArray("ALERT"));
        QCOMPARE(tls.responses[2].code.name, QByteArray("PRIVACYREQUIRED"));
        QVERIFY(find(tls, [](auto& r) { return r.isUntagged("CAPABILITY"); })
                    .capabilities()
                    .contains("AUTH=PLAIN"));
    }

    void hostile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // a part of the reason; empty: parses
        QTest::addColumn<int>("responses"); // parsed before the error
        const QByteArray deep64 = QByteArray(64, '(') + QByteArray(64, ')');
        const QByteArray deep65 = QByteArray(65, '(') + QByteArray(65, ')');
        QTest::newRow("a literal holding protocol")
            << QByteArray("* 1 FETCH (BODY[] {22}\r\n\r\n* BYE x\r\nA1 OK {5}\r\n)\r\n")
            << QString() << 1;
        QTest::newRow("BYE in the middle of a FETCH")
            << QByteArray("* 1 FETCH (UID 5 FLAGS (\\Seen)\r\n* BYE going\r\n")
            << "a list without its closing parenthesis" << 0;
        QTest::newRow("a literal past the limit")
            << QByteArray("* 1 FETCH (BODY[] {1048577}\r\n") << "where at most 1048576" << 0;
        QTest::newRow("an endless literal")
            << QByteArray("* 1 FETCH (BODY[] {99999999999999999999999}\r\n") << "where at most"
            << 0;
        QTest::newRow("literals past the limit together")
            << "* 1 FETCH (X {600000}\r\n" + QByteArray(600000, 'a') + " Y {600000}\r\n"
            << "where at most 448576" << 0;
        QTest::newRow("64 lists deep") << "* X " + deep64 + "\r\n" << QString() << 1;
        QTest::newRow("65 lists deep") << "* X " + deep65 + "\r\n"
                                       << "nested more than 64" << 0;
        QTest::newRow("a line of 64 KiB") << "* OK " + QByteArray(65531, 'x') + "\r\n"
                                          << QString() << 1;
        QTest::newRow("a line past 64 KiB, no line end yet")
            << "* OK " + QByteArray(65532, 'x') << "a line longer than 65536" << 0;
        QTest::newRow("unterminated quote")
            << QByteArray("* LIST () \"/ INBOX\r\n") << "without its closing quote" << 0;
        QTest::newRow("bad escape")
            << QByteArray("* LIST () \"\\/\" INBOX\r\n") << "a backslash before \"/\"" << 0;
        QTest::newRow("quote glued to an atom")
            << QByteArray("* LIST () \"/\"INBOX\r\n") << "right after a value" << 0;
        QTest::newRow("NUL in a quote") << QByteArray("* LIST () \"a") + '\0' + "b\" X\r\n"
                                        << "a NUL byte" << 0;
        QTest::newRow("escapes") << QByteArray("* LIST () \"\\\"\\\\\" X\r\n") << QString() << 1;
        QTest::newRow("UID zero") << QByteArray("* 1 FETCH (UID 0)\r\n") << "UID is not" << 0;
        QTest::newRow("UID past 32 bits")
            << QByteArray("* 1 FETCH (UID 4294967296)\r\n") << "UID is not" << 0;
        QTest::newRow("two UIDs") << QByteArray("* 1 FETCH (UID 4 UID 5)\r\n") << "two UIDs" << 0;
        QTest::newRow("unpaired FETCH") << QByteArray("* 1 FETCH (UID)\r\n") << "pair up" << 0;
        QTest::newRow("FLAGS not a list")
            << QByteArray("* 1 FETCH (FLAGS \\Seen)\r\n") << "not a list of flags" << 0;
        QTest::newRow("section a number")
            << QByteArray("* 1 FETCH (BODY[] 5)\r\n") << "neither a string nor NIL" << 0;
        QTest::newRow("UIDVALIDITY zero")
            << QByteArray("* OK [UIDVALIDITY 0] x\r\n") << "UIDVALIDITY that is not" << 0;
        QTest::newRow("UIDNEXT a word")
            << QByteArray("* OK [UIDNEXT soon] x\r\n") << "UIDNEXT that is not" << 0;
        QTest::newRow("free-text code")
            << QByteArray("* NO [REFERRAL imap://a;AUTH=*@b/] go\r\n") << QString() << 1;
        QTest::newRow("code unclosed")
            << QByteArray("* OK [ALERT hi\r\n") << "closing bracket" << 0;
        QTest::newRow("FETCH without a number")
            << QByteArray("* FETCH (UID 0)\r\n") << "without its message number" << 0;
        QTest::newRow("EXPUNGE of 0") << QByteArray("* 0 EXPUNGE\r\n") << "message 0" << 0;
        QTest::newRow("number past 32 bits")
            << QByteArray("* 4294967296 EXISTS\r\n") << "past 4294967295" << 0;
        QTest::newRow("tagged MAYBE") << QByteArray("A1 MAYBE x\r\n") << "not OK, NO or BAD" << 0;
        QTest::newRow("empty line") << QByteArray("\r\n") << "an empty line" << 0;
        QTest::newRow("star alone") << QByteArray("*\r\n") << "without its space" << 0;
        QTest::newRow("stray parenthesis")
            << QByteArray("* X a)\r\n") << "closing parenthesis" << 0;
        QTest::newRow("binary literal")
            << QByteArray("* 1 FETCH (BINARY[] ~{3}\r\nabc)\r\n") << "binary literal" << 0;
        QTest::newRow("literal inside status text")
            << QByteArray("* OK hello {3}\r\nabc\r\n") << "inside the text" << 0;
        QTest::newRow("bare LF line ends")
            << QByteArray("* 2 EXISTS\n* 1 FETCH (BODY[] {2}\nab)\n") << QString() << 2;
    }
    void hostile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, responses);
        for (qsizetype piece : {0, 1, 4096}) {
            const Framed f = frame(bytes, piece);
            QVERIFY2(f.error.contains(error), qPrintable(f.error));
            QCOMPARE(error.isEmpty(), f.error.isEmpty());
            QCOMPARE(f.responses.size(), responses);
        }
    }

    // An oversized literal fails as soon as it is announced, before a byte
    // of it arrives, and a failed framer stays failed.
    void limitsFailAtOnce()
    {
        ImapResponseFramer framer(100);
        ImapResponseBytes r;
        framer.append("* 1 FETCH (BODY[] {50}\r\n");
        QCOMPARE(framer.next(r), ImapResponseFramer::Status::Incomplete);
        framer.setLiteralLimit(10);
        framer.append(QByteArray(50, 'x') + ")\r\n* 2 FETCH (BODY[] {11}\r\n");
        QCOMPARE(framer.next(r), ImapResponseFramer::Status::Complete);
        QCOMPARE(r.literals.first().size, qsizetype(50));
        QCOMPARE(framer.next(r), ImapResponseFramer::Status::Failed);
        framer.append("* 3 EXISTS\r\n");
        QCOMPARE(framer.next(r), ImapResponseFramer::Status::Failed);
    }

    // Bytes the framer did not cut itself: announcements must match.
    void literalMustMatchItsAnnouncement()
    {
        ImapResponseBytes r;
        r.lines = {"* 1 FETCH (BODY[] {5}", ")"};
        r.literals = {ByteRange(QByteArray("abc"))};
        QVERIFY(ImapParser::parse(r).error.contains("of 3 bytes where 5 were announced"));
        r.lines = {"* SEARCH 1", "2"};
        QVERIFY(ImapParser::parse(r).error.contains("a line break"));
        r.lines = {"* 1 FETCH (BODY[] {3}"};
        QVERIFY(ImapParser::parse(r).error.contains("do not match its lines"));
    }
};

QTEST_GUILESS_MAIN(tst_imapparser)
#include "tst_imapparser.moc"
