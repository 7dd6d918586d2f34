// The stored form of the password: table shape, round trips, the shape of the
// scrambled text, and the second form for passwords that would not come back.

#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "ui/Startup.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace PasswordScrambler;

class TestPasswordScrambler : public QObject
{
    Q_OBJECT
private slots:
    void tableOrderAndCodes();
    void everyLetterRoundTrips();
    void scrambledLettersAreNestedCodes_data();
    void scrambledLettersAreNestedCodes();
    void passwordsWithoutLettersAreUnchanged();
    void randomPasswordsComeBackExactly();
    void digitBeforeCapitalUsesTheHexForm();
    void decodePasswordWorksInPlaceOverFiftyRounds();
};

void TestPasswordScrambler::tableOrderAndCodes()
{
    QSet<QString> codes;
    for (int i = 0; i < TableSize; ++i) {
        const Pair& pair = table()[i];
        const char expected = i % 2 == 0 ? char('a' + i / 2) : char('A' + i / 2);
        QCOMPARE(pair.letter, expected);
        QVERIFY(pair.code[0] >= '0' && pair.code[0] <= '9');
        QVERIFY(pair.code[1] >= 'A' && pair.code[1] <= 'Z');
        codes.insert(QLatin1String(pair.code, 2));
    }
    QCOMPARE(codes.size(), TableSize);
    QVERIFY(deepestNesting() >= 1);
    QVERIFY(deepestNesting() <= 5); // far from the 50 rounds decoding does
}

void TestPasswordScrambler::everyLetterRoundTrips()
{
    for (int i = 0; i < TableSize; ++i) {
        const QString letter(QChar(table()[i].letter));
        QCOMPARE(storedForm(letter), scramble(letter));
        QCOMPARE(decode(scramble(letter)), letter);
    }
    QString all;
    for (char c = 'a'; c <= 'z'; ++c) {
        all += QLatin1Char(c);
        all += QLatin1Char(char(c - 'a' + 'A'));
    }
    QCOMPARE(decode(scramble(all)), all);
}

void TestPasswordScrambler::scrambledLettersAreNestedCodes_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("lower") << "secret";
    QTest::newRow("mixed") << "HelloWorld";
    QTest::newRow("capitals") << "ZZTOP";
}

void TestPasswordScrambler::scrambledLettersAreNestedCodes()
{
    QFETCH(QString, password);
    const QString stored = scramble(password);
    static const QRegularExpression shape(QStringLiteral("^([0-9]+[A-Z])+$"));
    QVERIFY2(shape.match(stored).hasMatch(), qPrintable(stored));
    QVERIFY(stored.size() >= 2 * password.size());
    QCOMPARE(stored.count(QRegularExpression(QStringLiteral("[A-Z]"))), password.size());
}

void TestPasswordScrambler::passwordsWithoutLettersAreUnchanged()
{
    for (const QString& p :
         {QString(), QStringLiteral("1234"), QStringLiteral(" ,.;!"), QStringLiteral("äöüßé€")}) {
        QCOMPARE(scramble(p), p);
        QCOMPARE(decode(p), p);
        QCOMPARE(storedForm(p), p);
    }
    QCOMPARE(scramble(QStringLiteral("été")), QStringLiteral("é") + scramble("t") + "é");
}

void TestPasswordScrambler::randomPasswordsComeBackExactly()
{
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01"
                                            "23456789 ,.-_!\"#$%&'()*+/:;<=>?@é€");
    QRandomGenerator rng(4711);
    int hexForms = 0;
    for (int n = 0; n < 5000; ++n) {
        QString password;
        const int length = rng.bounded(0, 24);
        for (int i = 0; i < length; ++i)
            password += alphabet.at(rng.bounded(alphabet.size()));
        const QString stored = storedForm(password);
        QCOMPARE(decode(stored), password);
        QVERIFY(!stored.contains(QLatin1Char(',')) || password.contains(QLatin1Char(',')));
        if (stored.startsWith(QLatin1String(HexFormMarker)))
            ++hexForms;
        else
            QCOMPARE(stored, scramble(password)); // the usual form wherever it works
    }
    QVERIFY(hexForms > 0); // the generator does hit digit-before-capital passwords
}

void TestPasswordScrambler::digitBeforeCapitalUsesTheHexForm()
{
    // "8A" is the code of "a": scrambled and decoded, "x8Ay" would come back
    // as "xay".
    const QString password = QStringLiteral("x8Ay");
    QCOMPARE(decode(scramble(password)), QStringLiteral("xay"));
    const QString stored = storedForm(password);
    QVERIFY(stored.startsWith(QLatin1String(HexFormMarker)));
    QVERIFY(stored.contains(QRegularExpression(QStringLiteral("[a-z]"))));
    QCOMPARE(decode(stored), password);
    // A scrambled form never holds a lower-case letter, so it is never taken
    // for the hex form.
    QVERIFY(!scramble(QStringLiteral("qbhex:41")).contains(QRegularExpression("[a-z]")));
    QCOMPARE(decode(scramble(QStringLiteral("qbhex:41"))), QStringLiteral("qbhex:41"));
}

void TestPasswordScrambler::decodePasswordWorksInPlaceOverFiftyRounds()
{
    // A round turns "6A" into "A" once, so each round takes one "6" off this
    // text: exactly fifty rounds leave ten.
    Module1::MailPassword = QString(60, u'6') + u'A';
    Module1::DecodePassword();
    QCOMPARE(Module1::MailPassword, QString(10, u'6') + u'A');
    Module1::MailPassword = scramble(QStringLiteral("aZ"));
    Module1::DecodePassword();
    QCOMPARE(Module1::MailPassword, QStringLiteral("aZ"));
}

QTEST_GUILESS_MAIN(TestPasswordScrambler)
#include "tst_passwordscrambler.moc"
