// The POP3 dialogue without a socket: the same server stream cut at every
// place gives the same commands and messages; the STAT count and the message
// text are taken apart as the server meant them.
#include "pop3/Pop3Session.h"

#include <QtTest>

namespace
{

struct Outcome {
    QByteArray sent;
    QStringList logged;
    QList<int> stored;
    QList<QByteArray> replies;
    QList<bool> doubledDots;
    int closes = 0;
    int fails = 0;
    int slides = 0;
};

void collect(Outcome& o, const Pop3Actions& actions)
{
    for (const Pop3Action& a : actions) {
        switch (a.kind) {
        case Pop3Action::Kind::Send:
            o.sent += a.bytes;
            break;
        case Pop3Action::Kind::Log:
            o.logged << a.text;
            break;
        case Pop3Action::Kind::Store:
            o.stored << a.index;
            o.replies << a.bytes;
            o.doubledDots << a.doubledDots;
            break;
        case Pop3Action::Kind::SlideIn:
            ++o.slides;
            break;
        case Pop3Action::Kind::Close:
            ++o.closes;
            break;
        case Pop3Action::Kind::Fail:
            ++o.fails;
            break;
        }
    }
}

Outcome feed(Pop3Session::Mode mode, const QList<QByteArray>& pieces)
{
    Pop3Session session;
    session.start(mode, QStringLiteral("bob"), QStringLiteral("pw"));
    Outcome o;
    for (const QByteArray& piece : pieces)
        collect(o, session.receive(piece));
    return o;
}

const QByteArray RetrieveStream = "+OK hi\r\n+OK\r\n+OK\r\n+OK 2 40\r\n"
                                  "+OK 20 octets\r\nSubject: a\r\n\r\n..x\r\n.\r\n"
                                  "+OK 9 octets\r\nSubject: b\r\n\r\n.\r\n"
                                  "+OK bye\r\n";

} // namespace

class TestPop3Session : public QObject
{
    Q_OBJECT
private slots:
    void anyCutGivesTheSameSession();
    void deleteRepliesCountedUntilQuit();
    void nothingAfterTheEnd();
    void statCount_data();
    void statCount();
    void messageText_data();
    void messageText();
    void bogusOctetCount();
    void messageWithoutAnEnd();
};

void TestPop3Session::anyCutGivesTheSameSession()
{
    const Outcome whole = feed(Pop3Session::Mode::Retrieve, {RetrieveStream});
    QCOMPARE(whole.sent, QByteArray("USER bob\r\nPASS pw\r\nSTAT\r\nRETR 1\r\nRETR 2\r\nQUIT\r\n"));
    QCOMPARE(whole.logged,
             QStringList({"USER bob", "PASS ****", "STAT", "RETR 1", "RETR 2", "QUIT"}));
    QCOMPARE(whole.stored, QList<int>({0, 1}));
    QCOMPARE(whole.slides, 1);
    QCOMPARE(whole.closes, 1);
    QCOMPARE(whole.fails, 0);
    QCOMPARE(Pop3Session::messageText(whole.replies[0]),
             QStringLiteral("Subject: a\r\n\r\n.x\r\n"));
    QCOMPARE(whole.doubledDots, QList<bool>({true, false})); // only the first has a ".." line

    for (qsizetype cut = 1; cut < RetrieveStream.size(); ++cut) {
        const Outcome two =
            feed(Pop3Session::Mode::Retrieve, {RetrieveStream.left(cut), RetrieveStream.mid(cut)});
        QCOMPARE(two.sent, whole.sent);
        QCOMPARE(two.replies, whole.replies);
        QCOMPARE(two.doubledDots, whole.doubledDots);
        QCOMPARE(two.closes, 1);
    }
    QList<QByteArray> bytes;
    for (char c : RetrieveStream)
        bytes << QByteArray(1, c);
    const Outcome single = feed(Pop3Session::Mode::Retrieve, bytes);
    QCOMPARE(single.sent, whole.sent);
    QCOMPARE(single.replies, whole.replies);
    QCOMPARE(single.doubledDots, whole.doubledDots);
}

void TestPop3Session::deleteRepliesCountedUntilQuit()
{
    Pop3Session session;
    session.start(Pop3Session::Mode::Delete, QStringLiteral("bob"), QStringLiteral("pw"));
    Outcome o;
    collect(o, session.receive("+OK\r\n+OK\r\n+OK\r\n+OK 2 10\r\n"));
    QCOMPARE(o.sent, QByteArray("USER bob\r\nPASS pw\r\nSTAT\r\nDELE 1\r\nDELE 2\r\nQUIT\r\n"));
    QCOMPARE(o.logged.mid(3), QStringList({"DELE1", "DELE2", "QUIT"}));
    // Two DELE replies are not the end; the reply to QUIT is.
    collect(o, session.receive("+OK\r\n+OK\r\n"));
    QCOMPARE(o.closes, 0);
    QVERIFY(session.running());
    collect(o, session.receive("+OK bye\r\n"));
    QCOMPARE(o.closes, 1);
    QVERIFY(o.stored.isEmpty());

    // A large mailbox (or a server that claims one) is deleted a window of
    // commands at a time, every number once and in order, QUIT last.
    Pop3Session large;
    large.start(Pop3Session::Mode::Delete, QStringLiteral("bob"), QStringLiteral("pw"));
    Outcome l;
    collect(l, large.receive("+OK\r\n+OK\r\n+OK\r\n+OK 2000000000 10\r\n"));
    QCOMPARE(l.sent.count("DELE "), qsizetype(Pop3Session::DeleWindow));
    large.start(Pop3Session::Mode::Delete, QStringLiteral("bob"), QStringLiteral("pw"));
    l = Outcome();
    collect(l, large.receive("+OK\r\n+OK\r\n+OK\r\n+OK 250 10\r\n"));
    for (int i = 0; i < 250; ++i)
        collect(l, large.receive("+OK\r\n"));
    QByteArray expected = "USER bob\r\nPASS pw\r\nSTAT\r\n";
    for (int i = 1; i <= 250; ++i)
        expected += "DELE " + QByteArray::number(i) + "\r\n";
    QCOMPARE(l.sent, expected + "QUIT\r\n");
    collect(l, large.receive("+OK bye\r\n"));
    QCOMPARE(l.closes, 1);
}

void TestPop3Session::nothingAfterTheEnd()
{
    Pop3Session session;
    session.start(Pop3Session::Mode::Retrieve, QStringLiteral("bob"), QStringLiteral("pw"));
    QVERIFY(!session.receive("-ERR go away\r\n").isEmpty());
    QVERIFY(!session.running());
    QVERIFY(session.receive("+OK\r\n").isEmpty());
    QVERIFY(session.connectionFailed(QStringLiteral("lost")).isEmpty());
}

void TestPop3Session::statCount_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("count");
    QTest::newRow("usual") << QByteArray("+OK 3 4711\r\n") << true << 3;
    QTest::newRow("no size") << QByteArray("+OK 3\r\n") << true << 3;
    QTest::newRow("bare LF") << QByteArray("+OK 12\n") << true << 12;
    QTest::newRow("above 16 bits") << QByteArray("+OK 40000 1\r\n") << true << 40000;
    QTest::newRow("largest") << QByteArray("+OK 2147483647 1\r\n") << true << 2147483647;
    QTest::newRow("negative") << QByteArray("+OK -1 0\r\n") << true << -1;
    QTest::newRow("too large") << QByteArray("+OK 2147483648 1\r\n") << false << 0;
    QTest::newRow("huge") << QByteArray("+OK 99999999999999999999 1\r\n") << false << 0;
    QTest::newRow("not a number") << QByteArray("+OK x 1\r\n") << false << 0;
    QTest::newRow("trailing junk") << QByteArray("+OK 3x 1\r\n") << false << 0;
    QTest::newRow("missing") << QByteArray("+OK\r\n") << false << 0;
    QTest::newRow("two spaces") << QByteArray("+OK  3 1\r\n") << false << 0;
    QTest::newRow("lone minus") << QByteArray("+OK - 1\r\n") << false << 0;
}

void TestPop3Session::statCount()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, valid);
    int count = 0;
    QCOMPARE(Pop3Session::parseStatCount(reply, &count), valid);
    if (valid)
        QTEST(int(count), "count");
}

void TestPop3Session::messageText_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("+OK\r\nA\r\nB\r\n.\r\n") << "A\r\nB\r\n";
    QTest::newRow("empty") << QByteArray("+OK\r\n.\r\n") << "";
    QTest::newRow("status ended by bare LF") << QByteArray("+OK\n.\r\n") << "";
    QTest::newRow("first line doubled dot") << QByteArray("+OK\r\n..a\r\n.\r\n") << ".a\r\n";
    QTest::newRow("dot-only line") << QByteArray("+OK\r\nx\r\n..\r\n.\r\n") << "x\r\n.\r\n";
    QTest::newRow("three dots") << QByteArray("+OK\r\nx\r\n...y\r\n.\r\n") << "x\r\n..y\r\n";
    QTest::newRow("dots inside a line stay") << QByteArray("+OK\r\na..b\r\n.\r\n") << "a..b\r\n";
    QTest::newRow("UTF-8") << QByteArray("+OK\r\n\xc3\xa9\r\n.\r\n") << QString::fromUtf8("é\r\n");
    QTest::newRow("Latin-1") << QByteArray("+OK\r\n\xe9\xff\r\n.\r\n")
                             << QString::fromLatin1("\xe9\xff\r\n");
}

void TestPop3Session::messageText()
{
    QFETCH(QByteArray, reply);
    QTEST(Pop3Session::messageText(reply), "text");
}

void TestPop3Session::bogusOctetCount()
{
    // The announced size is a hint for the buffer only up to a modest cap; an
    // absurd one reserves nothing absurd and the message still comes in.
    for (const QByteArray octets : {"250000000", "999999999999999999"}) {
        Pop3Session session;
        session.start(Pop3Session::Mode::Retrieve, QStringLiteral("bob"), QStringLiteral("pw"));
        Outcome o;
        collect(o, session.receive("+OK\r\n+OK\r\n+OK\r\n+OK 1 1\r\n+OK " + octets +
                                   " octets\r\nSubject: s\r\n"));
        QVERIFY2(session.receiveBuffer().capacity() <= 16 * 1024 * 1024 + 64,
                 QByteArray::number(session.receiveBuffer().capacity()).constData());
        collect(o, session.receive("\r\n.\r\n"));
        QCOMPARE(o.stored, QList<int>({0}));
        QCOMPARE(o.fails, 0);
    }
}

void TestPop3Session::messageWithoutAnEnd()
{
    // A RETR reply that outgrows twice its announced size (and a little
    // room) without a terminator ends the session; nothing of it is stored
    // or kept.
    Pop3Session session;
    session.start(Pop3Session::Mode::Retrieve, QStringLiteral("bob"), QStringLiteral("pw"));
    Outcome o;
    collect(o, session.receive("+OK\r\n+OK\r\n+OK\r\n+OK 1 100\r\n+OK 100 octets\r\n"));
    const QByteArray lines = QByteArray(1000, 'x') + "\r\n";
    qsizetype fed = 0;
    while (session.running() && fed < 8 * Pop3Session::MessageSlack) {
        collect(o, session.receive(lines));
        fed += lines.size();
    }
    QVERIFY(!session.running());
    QCOMPARE(o.fails, 1);
    QVERIFY(o.stored.isEmpty());
    QVERIFY(fed <= Pop3Session::MessageSlack + 200 + lines.size());
    QVERIFY(session.receiveBuffer().isEmpty());
}

QTEST_GUILESS_MAIN(TestPop3Session)
#include "tst_pop3session.moc"
