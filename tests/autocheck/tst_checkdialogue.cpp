// The automatic check's dialogue as transcripts: the server's side in one
// stream, cut at every byte; the client's commands, what it stores and the
// outcome must not depend on the cut. Then the controller against a server
// without ids, and the seen-id file.

#include "autocheck/AutoCheck.h"
#include "autocheck/CheckDialogue.h"
#include "autocheck/SeenIdStore.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Outcome = CheckDialogue::Outcome;
Q_DECLARE_METATYPE(Outcome)
using Seen = std::optional<QSet<QByteArray>>;
Q_DECLARE_METATYPE(Seen)

namespace
{

struct Run {
    QByteArray sent;
    QList<int> storedIndices;
    QByteArrayList storedReplies;
    Outcome outcome = Outcome::Running;
    QSet<QByteArray> onServer;
    int newCount = 0;
};

Run play(const Seen& seen, const QList<QByteArray>& pieces)
{
    CheckDialogue dialogue;
    dialogue.start(QStringLiteral("ann"), QStringLiteral("pw"), seen);
    Run run;
    for (const QByteArray& piece : pieces) {
        for (const Pop3Action& a : dialogue.receive(piece)) {
            if (a.kind == Pop3Action::Kind::Send)
                run.sent += a.bytes;
            if (a.kind == Pop3Action::Kind::Store) {
                run.storedIndices << a.index;
                run.storedReplies << a.bytes;
            }
        }
    }
    run.outcome = dialogue.outcome();
    run.onServer = dialogue.choice().onServer;
    run.newCount = dialogue.choice().newCount;
    return run;
}

QByteArray message(int n)
{
    return "+OK\r\nSubject: M" + QByteArray::number(n) + "\r\n\r\nbody\r\n.\r\n";
}

QByteArray header(int n)
{
    return "Subject: M" + QByteArray::number(n) + "\r\n\r\n";
}

QByteArray digest(int n)
{
    return QCryptographicHash::hash(header(n), QCryptographicHash::Sha256).toHex();
}

// The reply to "LIST n".
QByteArray listed(int n, qint64 size = 40)
{
    return "+OK " + QByteArray::number(n) + " " + QByteArray::number(size) + "\r\n";
}

const QByteArray Login = "+OK hi\r\n+OK\r\n+OK\r\n";
const QByteArray LoginSent = "USER ann\r\nPASS pw\r\nSTAT\r\n";

QSet<QByteArray> ids(std::initializer_list<const char*> list)
{
    QSet<QByteArray> s;
    for (const char* id : list)
        s.insert(id);
    return s;
}

} // namespace

class TestCheckDialogue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void transcript_data();
    void transcript();
    void manyNew();
    void listingBounds();
    void digestsOfTheNewest();
    void serverWithoutIds();
    void refusalsAtLogin();
    void seenIdFile();
};

void TestCheckDialogue::transcript_data()
{
    QTest::addColumn<Seen>("seen");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QByteArray>("client");
    // n of "Subject: Mn", in order; -n where only its header was fetched
    QTest::addColumn<QList<int>>("storedSubjects");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QSet<QByteArray>>("onServer");

    QTest::newRow("first check: recorded, nothing fetched")
        << Seen() << Login + "+OK 2 99\r\n+OK\r\n1 a\r\n2 b\r\n.\r\n+OK bye\r\n"
        << LoginSent + "UIDL\r\nQUIT\r\n"
        << QList<int>{} << Outcome::Done << ids({"a", "b"});
    // "a" went (another client deleted it) and the rest moved up a number:
    // only "c" is new, fetched by its new number.
    QTest::newRow("deleted and renumbered")
        << Seen(ids({"a", "b"}))
        << Login + "+OK 2 99\r\n+OK\r\n1 b\r\n2 c\r\n.\r\n" + listed(2) + message(3) + "+OK bye\r\n"
        << LoginSent + "UIDL\r\nLIST 2\r\nRETR 2\r\nQUIT\r\n"
        << QList<int>{3} << Outcome::Done << ids({"b", "c"});
    QTest::newRow("nothing new") << Seen(ids({"a"}))
                                 << Login + "+OK 1 9\r\n+OK\r\n1 a\r\n.\r\n+OK\r\n"
                                 << LoginSent + "UIDL\r\nQUIT\r\n"
                                 << QList<int>{} << Outcome::Done << ids({"a"});
    QTest::newRow("empty mailbox forgets every id")
        << Seen(ids({"a"})) << Login + "+OK 0 0\r\n+OK\r\n"
        << LoginSent + "QUIT\r\n"
        << QList<int>{} << Outcome::Done << QSet<QByteArray>{};
    // Numbers outside the mailbox, a number listed twice and an id listed
    // twice name nothing to fetch; the id of 2 counts once.
    QTest::newRow("broken listing")
        << Seen(ids({"a"}))
        << Login + "+OK 3 9\r\n+OK\r\n0 z\r\n9 y\r\n1 a\r\n1 x\r\n2 n\r\n3 n\r\nfoo\r\n.\r\n" +
               listed(3) + message(3) + "+OK\r\n"
        << LoginSent + "UIDL\r\nLIST 3\r\nRETR 3\r\nQUIT\r\n"
        << QList<int>{3} << Outcome::Done << ids({"a", "n"});
    QTest::newRow("no UIDL: header digests")
        << Seen(QSet<QByteArray>{digest(1)})
        << Login + "+OK 2 9\r\n-ERR no\r\n+OK\r\n" + header(1) + ".\r\n+OK\r\n" + header(2) +
               ".\r\n" + listed(2) + message(2) + "+OK\r\n"
        << LoginSent + "UIDL\r\nTOP 1 0\r\nTOP 2 0\r\nLIST 2\r\nRETR 2\r\nQUIT\r\n"
        << QList<int>{2} << Outcome::Done << QSet<QByteArray>{digest(1), digest(2)};
    QTest::newRow("neither UIDL nor TOP")
        << Seen(ids({"a"})) << Login + "+OK 2 9\r\n-ERR no\r\n-ERR no\r\n"
        << LoginSent + "UIDL\r\nTOP 1 0\r\n"
        << QList<int>{} << Outcome::NoIds << QSet<QByteArray>{};
    QTest::newRow("password refused")
        << Seen(ids({"a"})) << QByteArray("+OK hi\r\n+OK\r\n-ERR [AUTH] no\r\n")
        << QByteArray("USER ann\r\nPASS pw\r\n") << QList<int>{} << Outcome::LoginRefused
        << QSet<QByteArray>{};
    QTest::newRow("RETR refused") << Seen(ids({"a"}))
                                  << Login + "+OK 1 9\r\n+OK\r\n1 b\r\n.\r\n" + listed(1) +
                                         "-ERR gone\r\n"
                                  << LoginSent + "UIDL\r\nLIST 1\r\nRETR 1\r\n"
                                  << QList<int>{} << Outcome::Failed << QSet<QByteArray>{};
    // An id is 1 to 70 characters from "!" to "~": a listing with any other
    // fails whole, and its good ids are not recorded either.
    QTest::newRow("an id of 71 characters")
        << Seen(ids({"a"}))
        << Login + "+OK 2 9\r\n+OK\r\n1 b\r\n2 " + QByteArray(71, 'i') + "\r\n.\r\n"
        << LoginSent + "UIDL\r\n"
        << QList<int>{} << Outcome::Failed << QSet<QByteArray>{};
    // Larger than 25 MiB by the RETR status line: read to its end and
    // dropped, whatever the cut, then announced from its header alone.
    QTest::newRow("large by its status line")
        << Seen(ids({"a"}))
        << Login + "+OK 1 9\r\n+OK\r\n1 b\r\n.\r\n" + listed(1) +
               "+OK 26214401 octets\r\nSubject: M1\r\n\r\n.x\r\n.\r\n+OK\r\n" + header(1) +
               ".\r\n+OK\r\n"
        << LoginSent + "UIDL\r\nLIST 1\r\nRETR 1\r\nTOP 1 0\r\nQUIT\r\n"
        << QList<int>{-1} << Outcome::Done << ids({"b"});
}

void TestCheckDialogue::transcript()
{
    QFETCH(Seen, seen);
    QFETCH(QByteArray, server);
    QFETCH(QByteArray, client);
    QFETCH(QList<int>, storedSubjects);
    QFETCH(Outcome, outcome);
    QFETCH(QSet<QByteArray>, onServer);

    // Every cut into two pieces, and byte by byte.
    QList<QList<QByteArray>> cuts;
    for (qsizetype k = 0; k <= server.size(); ++k)
        cuts << QList<QByteArray>{server.left(k), server.mid(k)};
    QList<QByteArray> bytes;
    for (char c : server)
        bytes << QByteArray(1, c);
    cuts << bytes;

    for (const QList<QByteArray>& pieces : cuts) {
        const Run run = play(seen, pieces);
        const QByteArray where = "cut at " + QByteArray::number(pieces.first().size());
        QVERIFY2(run.sent == client, where + ": " + run.sent);
        QVERIFY2(run.outcome == outcome, where);
        QList<int> expectedIndices;
        for (int i = 0; i < storedSubjects.size(); ++i) {
            expectedIndices << i;
            const int n = storedSubjects[i];
            const QByteArray reply = n > 0 ? message(n) : "+OK\r\n" + header(-n) + ".\r\n";
            QVERIFY2(run.storedReplies.value(i) == reply, where);
        }
        QCOMPARE(run.storedIndices, expectedIndices);
        if (outcome == Outcome::Done)
            QCOMPARE(run.onServer, onServer);
    }
}

void TestCheckDialogue::manyNew()
{
    // 60 new of 61: the newest 51 (11 to 61), ascending, at 0 to 50.
    QByteArray server = Login + "+OK 61 9\r\n+OK\r\n";
    for (int n = 1; n <= 61; ++n)
        server += QByteArray::number(n) + " id" + QByteArray::number(n) + "\r\n";
    server += ".\r\n";
    QByteArray client = LoginSent + "UIDL\r\n";
    for (int n = 11; n <= 61; ++n) {
        server += listed(n) + message(n);
        client += "LIST " + QByteArray::number(n) + "\r\nRETR " + QByteArray::number(n) + "\r\n";
    }
    server += "+OK\r\n";
    client += "QUIT\r\n";
    const Run run = play(Seen(ids({"id1"})), {server});
    QCOMPARE(run.sent, client);
    QCOMPARE(run.storedIndices.size(), 51);
    QCOMPARE(run.storedIndices.last(), 50);
    QCOMPARE(run.newCount, 60);
    QCOMPARE(run.onServer.size(), 61);
}

void TestCheckDialogue::listingBounds()
{
    // 100,000 lines of the longest ids are a listing; one line more fails
    // the check.
    auto uidl = [](int lines) {
        QByteArray text = Login + "+OK " + QByteArray::number(lines) + " 9\r\n+OK\r\n";
        for (int n = 1; n <= lines; ++n)
            text += QByteArray::number(n) + ' ' +
                    QByteArray::number(n).leftJustified(NewMail::MaxIdLength, 'i') + "\r\n";
        return text + ".\r\n+OK\r\n";
    };
    QByteArray full = uidl(CheckDialogue::MaxListingLines);
    QVERIFY(full.size() < CheckDialogue::MaxListingBytes);
    const Run run = play(Seen(), {full});
    QCOMPARE(run.outcome, Outcome::Done);
    QCOMPARE(run.onServer.size(), CheckDialogue::MaxListingLines);
    // The same listing with a line more, under a count that still fits.
    full.replace("+OK 100000 9", "+OK 99999 9");
    full.insert(full.indexOf("\r\n.\r\n") + 2, "1 again\r\n");
    QCOMPARE(play(Seen(), {full}).outcome, Outcome::Failed);
}

void TestCheckDialogue::digestsOfTheNewest()
{
    // Without UIDL only the newest 51 header blocks are read. Another client
    // deleted message 30 of 60, so the 51 newest now reach down to message 9,
    // whose digest was never recorded: it is older than every known one, so
    // it is not new. Message 61, which came in, is.
    QList<int> mailbox; // the "Subject: Mn" of each, in the server's order
    for (int n = 1; n <= 61; ++n) {
        if (n != 30)
            mailbox << n;
    }
    QSet<QByteArray> known;
    for (int n = 10; n <= 60; ++n)
        known << digest(n);
    QByteArray server = Login + "+OK 60 9\r\n-ERR no\r\n";
    QByteArray client = LoginSent + "UIDL\r\n";
    for (int number = 10; number <= 60; ++number) {
        server += "+OK\r\n" + header(mailbox[number - 1]) + ".\r\n";
        client += "TOP " + QByteArray::number(number) + " 0\r\n";
    }
    server += listed(60) + message(61) + "+OK\r\n";
    client += "LIST 60\r\nRETR 60\r\nQUIT\r\n";
    Run run = play(Seen(known), {server});
    QCOMPARE(run.sent, client);
    QCOMPARE(run.storedReplies, QByteArrayList{message(61)});
    QCOMPARE(run.newCount, 1);
    QCOMPARE(run.onServer.size(), 51);
    // Deleted only: nothing is new, though message 9 is unknown.
    mailbox.removeLast();
    server = Login + "+OK 59 9\r\n-ERR no\r\n";
    for (int number = 9; number <= 59; ++number)
        server += "+OK\r\n" + header(mailbox[number - 1]) + ".\r\n";
    run = play(Seen(known), {server + "+OK\r\n"});
    QCOMPARE(run.outcome, Outcome::Done);
    QCOMPARE(run.newCount, 0);
    QVERIFY(run.sent.endsWith("TOP 59 0\r\nQUIT\r\n"));
}

void TestCheckDialogue::serverWithoutIds()
{
    // A scripted server without UIDL or TOP: the check says so in the
    // tooltip and logs in no more until the setting is applied again.
    QTemporaryDir dir;
    ScriptedServer server;
    server.send("+OK hi\r\n").expectLine("USER ann").send("+OK\r\n").expectLine("PASS pw");
    server.send("+OK\r\n").expectLine("STAT").send("+OK 1 5\r\n").expectLine("UIDL");
    server.send("-ERR what\r\n").expectLine("TOP 1 0").send("-ERR what\r\n").silence();
    AutoCheck check;
    check.setStore(SeenIdStore(dir.path()));
    check.setFirstCheckDelay(0);
    QSignalSpy ended(&check, &AutoCheck::checkEnded);
    check.configure(QStringLiteral("127.0.0.1:%1").arg(server.port()), QStringLiteral("ann"),
                    QStringLiteral("pw"), 30);
    QVERIFY(ended.wait(10000));
    QCOMPARE(server.mismatches(), QStringList());
    QVERIFY(check.paused());
    QVERIFY2(check.toolTip().contains(QStringLiteral("lists no message ids")),
             qPrintable(check.toolTip()));
    check.schedule().bringForward(0);
    QTest::qWait(300);
    QCOMPARE(server.connectionCount(), 1);
}

namespace
{
class Recorder : public NewMailNotifier
{
public:
    void notify(const Notice& notice) override { notices << notice; }
    QList<Notice> notices;
};
} // namespace

void TestCheckDialogue::refusalsAtLogin()
{
    // "[IN-USE]" (another client holds the mailbox) and "[SYS/TEMP]" fail
    // the check quietly, and the next one runs; "[AUTH]" pauses checking
    // with one notice.
    QTemporaryDir dir;
    ScriptedServer server;
    Recorder notices;
    AutoCheck check;
    check.setStore(SeenIdStore(dir.path()));
    check.setNotifier(&notices);
    check.setFirstCheckDelay(0);
    QSignalSpy ended(&check, &AutoCheck::checkEnded);
    const QList<QByteArray> refusals = {"-ERR [IN-USE] Mailbox locked by another client\r\n",
                                        "-ERR [SYS/TEMP] Try again later\r\n",
                                        "-ERR [AUTH] no\r\n"};
    for (int i = 0; i < refusals.size(); ++i) {
        server.reset();
        server.send("+OK hi\r\n").expectLine("USER ann").send("+OK\r\n").expectLine("PASS pw");
        server.send(refusals[i]);
        if (i == 0)
            check.configure(QStringLiteral("127.0.0.1:%1").arg(server.port()),
                            QStringLiteral("ann"), QStringLiteral("pw"), 600);
        else
            check.schedule().bringForward(0);
        QVERIFY(ended.wait(10000));
        QCOMPARE(server.mismatches(), QStringList());
        const bool temporary = i < 2;
        QCOMPARE(check.paused(), !temporary);
        if (temporary) {
            QVERIFY2(check.toolTip().contains(QStringLiteral("check failed: -ERR [")),
                     qPrintable(check.toolTip()));
            QVERIFY(notices.notices.isEmpty());
            // The next check is an interval away.
            const qint64 wait = check.schedule().dueAt() - QDateTime::currentMSecsSinceEpoch();
            QVERIFY2(wait > 590000 && wait <= 600000, qPrintable(QString::number(wait)));
        }
    }
    QCOMPARE(notices.notices.size(), 1);
    QVERIFY(notices.notices.first().body.contains(QStringLiteral("refused the user name")));
}

void TestCheckDialogue::seenIdFile()
{
    QTemporaryDir dir;
    const SeenIdStore store(dir.path() + QStringLiteral("/ids"));
    const QString server = QStringLiteral("pop.example.test:995");
    QVERIFY(!store.load(server, QStringLiteral("ann")).has_value());
    QVERIFY(store.save(server, QStringLiteral("ann"), ids({"x", "y"})));
    QCOMPARE(store.load(server, QStringLiteral("ann")).value(), ids({"x", "y"}));
    QVERIFY(!store.load(server, QStringLiteral("bob")).has_value()); // another account
    QFile file(store.fileName(server, QStringLiteral("ann")));
    QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
    // A file cut short is no list: the next check is a first check, which
    // announces nothing, rather than one that takes every message for new.
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.resize(file.size() - 2);
    file.close();
    QVERIFY(!store.load(server, QStringLiteral("ann")).has_value());

    // A file of 8 MiB is damage too; a list that would make one is not
    // written, and the old file stays.
    QVERIFY(store.save(server, QStringLiteral("ann"), ids({"x"})));
    QSet<QByteArray> many;
    for (int n = 0; many.size() * 71 < SeenIdStore::MaxFileBytes; ++n)
        many << QByteArray::number(n).leftJustified(NewMail::MaxIdLength, 'i');
    QVERIFY(!store.save(server, QStringLiteral("ann"), many));
    QCOMPARE(store.load(server, QStringLiteral("ann")).value(), ids({"x"}));
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll();
    file.seek(0);
    file.write(text.left(text.size() - 5) + QByteArray(SeenIdStore::MaxFileBytes, '\n') +
               "\nend\n");
    file.close();
    QVERIFY(!store.load(server, QStringLiteral("ann")).has_value());
}

QTEST_MAIN(TestCheckDialogue)
#include "tst_checkdialogue.moc"
