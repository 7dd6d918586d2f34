// IMAP commands as they go out and as the log shows them: strings quoted or
// sent as literals of each kind, the pieces a synchronising literal cuts a
// command into, the password never in the log, SASL PLAIN, UID sets and
// tags. Whatever a string holds, the parser reads back exactly that string.

#include "imap/ImapCommand.h"
#include "imap/ImapParser.h"
#include "imap/ImapResponseFramer.h"
#include "imap/ImapTags.h"

#include <QtTest>

namespace
{

using Literals = ImapCommand::Literals;

QByteArrayList wire(const ImapCommand& c)
{
    QByteArrayList out;
    for (const ImapCommand::Piece& p : c.pieces())
        out << p.wire;
    return out;
}

QByteArrayList logged(const ImapCommand& c)
{
    QByteArrayList out;
    for (const ImapCommand::Piece& p : c.pieces())
        out << p.logged;
    return out;
}

} // namespace

class tst_imapcommand : public QObject
{
    Q_OBJECT

private slots:
    void login_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("literals");
        QTest::addColumn<QByteArrayList>("wire");
        QTest::newRow("plain") << QByteArray("qbpass") << int(Literals::Synchronising)
                               << QByteArrayList{"A0001 LOGIN \"qbtest\" \"qbpass\"\r\n"};
        QTest::newRow("quotes and backslashes")
            << QByteArray("a\"b\\c") << int(Literals::Synchronising)
            << QByteArrayList{"A0001 LOGIN \"qbtest\" \"a\\\"b\\\\c\"\r\n"};
        QTest::newRow("8-bit, synchronising")
            << QByteArray("p\xc3\xa4ss") << int(Literals::Synchronising)
            << QByteArrayList{"A0001 LOGIN \"qbtest\" {5}\r\n", "p\xc3\xa4ss\r\n"};
        QTest::newRow("CR LF, LITERAL+")
            << QByteArray("a\r\nb") << int(Literals::Plus)
            << QByteArrayList{"A0001 LOGIN \"qbtest\" {4+}\r\na\r\nb\r\n"};
        QTest::newRow("LITERAL- small")
            << QByteArray("\xff") << int(Literals::Minus)
            << QByteArrayList{"A0001 LOGIN \"qbtest\" {1+}\r\n\xff\r\n"};
        const QByteArray big(4097, '\xe9');
        QTest::newRow("LITERAL- past 4096")
            << big << int(Literals::Minus)
            << QByteArrayList{"A0001 LOGIN \"qbtest\" {4097}\r\n", big + "\r\n"};
    }
    // The wire form, and the log form with the password (and its size) hidden.
    void login()
    {
        QFETCH(QByteArray, password);
        QFETCH(int, literals);
        QFETCH(QByteArrayList, wire);
        const ImapCommand c = ImapCommand::login("A0001", "qbtest", password, Literals(literals));
        QVERIFY(c.sendable());
        QCOMPARE(::wire(c), wire);
        QCOMPARE(c.logged(), QByteArray("A0001 LOGIN \"qbtest\" ****"));
        QCOMPARE(logged(c).first(), QByteArray("A0001 LOGIN \"qbtest\" ****"));
        for (const QByteArray& piece : logged(c))
            QVERIFY(!piece.contains(password) && !piece.contains("{"));
    }

    // Any string but one with a NUL reads back as itself.
    void stringsReadBack()
    {
        QList<QByteArray> strings = {
            "", "x", "\"", "\\", "a b (c) {3}", "\r\n* BYE\r\n", QByteArray("\x01\x7f\x80\xff", 4)};
        for (int c = 1; c < 256; ++c)
            strings << QByteArray(1, char(c)) + "end";
        for (const QByteArray& s : strings) {
            for (Literals mode : {Literals::Synchronising, Literals::Plus}) {
                ImapCommand c("*", "X", mode);
                c.string(s);
                QByteArray bytes;
                for (const ImapCommand::Piece& p : c.pieces())
                    bytes += p.wire;
                bytes.replace("+}\r\n", "}\r\n"); // a server writes no {n+}
                ImapResponseFramer framer(1024 * 1024);
                framer.append(bytes);
                ImapResponseBytes r;
                QCOMPARE(framer.next(r), ImapResponseFramer::Status::Complete);
                const ImapParseResult parsed = ImapParser::parse(r);
                QVERIFY2(parsed.ok(), qPrintable(parsed.error));
                QCOMPARE(parsed.response.data.size(), 1);
                QCOMPARE(parsed.response.data.first().text(), s);
            }
        }
        ImapCommand nul("A1", "LOGIN");
        nul.string("a").secret(QByteArray("b\0c", 3));
        QVERIFY(!nul.sendable());
        QVERIFY(!ImapCommand("A1", "SELECT").atom("IN\r\nBOX").sendable());
    }

    void authenticatePlain()
    {
        // base64 of "\0qbtest\0qbpass", as Python's base64 module writes it.
        const QByteArray response = "AHFidGVzdABxYnBhc3M=";
        QCOMPARE(ImapCommand::saslPlain("qbtest", "qbpass"), response);
        const ImapCommand ir = ImapCommand::authenticatePlain("A0002", "qbtest", "qbpass", true);
        QCOMPARE(wire(ir), QByteArrayList{"A0002 AUTHENTICATE PLAIN " + response + "\r\n"});
        QCOMPARE(ir.logged(), QByteArray("A0002 AUTHENTICATE PLAIN ****"));
        const ImapCommand two = ImapCommand::authenticatePlain("A0002", "qbtest", "qbpass", false);
        QCOMPARE(wire(two), (QByteArrayList{"A0002 AUTHENTICATE PLAIN\r\n", response + "\r\n"}));
        QCOMPARE(logged(two), (QByteArrayList{"A0002 AUTHENTICATE PLAIN", "****"}));
        QVERIFY(!ImapCommand::authenticatePlain("A1", QByteArray("a\0b", 3), "c", true).sendable());
    }

    void uidSets()
    {
        QCOMPARE(UidSet::parse("4:7,9,1:2,3")->text(), QByteArray("1:7,9"));
        QCOMPARE(UidSet::parse("7:4")->text(), QByteArray("4:7"));
        QCOMPARE(UidSet::parse("1:4294967295")->count(), quint64(4294967295u));
        for (const char* bad : {"", "0", "*", "4:", ":4", "1,,2", "4294967296", "1:2:3", "a"})
            QVERIFY2(!UidSet::parse(bad).has_value(), bad);
        UidSet set;
        for (quint32 uid : {10u, 8u, 9u, 20u, 0u, 12u, 11u})
            set.add(uid);
        QCOMPARE(set.text(), QByteArray("8:12,20"));
        QVERIFY(set.contains(11) && !set.contains(13) && !set.contains(0));
        QCOMPARE(set.highest(), 20u);
        ImapCommand fetch("A0005", "UID FETCH");
        fetch.uids(set).atom("(UID FLAGS)");
        QCOMPARE(wire(fetch), QByteArrayList{"A0005 UID FETCH 8:12,20 (UID FLAGS)\r\n"});
        QVERIFY(!ImapCommand("A1", "UID FETCH").uids(UidSet()).sendable());
    }

    void tagsAndLiteralKinds()
    {
        ImapTags tags;
        QCOMPARE(tags.next(), QByteArray("A0001"));
        for (int i = 2; i < 10000; ++i)
            tags.next();
        QCOMPARE(tags.next(), QByteArray("A10000"));
        QCOMPARE(ImapCommand::literalsFor({"IMAP4REV1", "LITERAL+"}), Literals::Plus);
        QCOMPARE(ImapCommand::literalsFor({"LITERAL-"}), Literals::Minus);
        QCOMPARE(ImapCommand::literalsFor({"IMAP4REV1"}), Literals::Synchronising);
    }
};

QTEST_GUILESS_MAIN(tst_imapcommand)
#include "tst_imapcommand.moc"
