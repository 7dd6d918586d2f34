// ExtractHeaders is a keyword scan with deliberate quirks. The fast scan is
// checked against a literal, position-by-position reference on random texts
// built from the pieces that trip such scans up.
#include "pop3/ExtractHeaders.h"

#include <QRandomGenerator>
#include <QtTest>

using Module1::ExtractedHeaders;
using Module1::ExtractHeaders;

namespace
{

// The scan exactly as described: every line, every position, lower-cased
// comparisons, last match wins.
ExtractedHeaders naiveExtract(const QString& message)
{
    ExtractedHeaders r;
    const qsizetype p = message.indexOf(QLatin1String("\r\n\r\n")) + 1; // 1-based, 0 if none
    const qsizetype count = message.size() - p - 3;
    if (count >= 0)
        r[3] = message.right(count);
    const QStringList lines = message.split(QLatin1String("\r\n"));
    for (const QString& line : lines) {
        for (qsizetype j = 0; j < line.size(); ++j) {
            if (line.mid(j, 8).toLower() == QLatin1String("subject:"))
                r[0] = line.mid(j + 8);
            else if (line.mid(j, 7).toLower() == QLatin1String("sender:"))
                r[1] = line.mid(7);
            else if (line.mid(j, 3).toLower() == QLatin1String("to:"))
                r[2] = line.mid(3);
        }
    }
    for (int slot : {1, 2}) {
        r[slot].replace(QLatin1Char('<'), QLatin1Char(' '));
        r[slot].replace(QLatin1Char('>'), QLatin1Char(' '));
    }
    return r;
}

QString randomMessage(QRandomGenerator& random)
{
    static const QStringList pieces = {"subject:",
                                       "Subject: ",
                                       "SUBJECT:",
                                       "sender:",
                                       "Sender: ",
                                       "to:",
                                       "To: ",
                                       "TO:",
                                       "Reply-To: ",
                                       ":",
                                       "\r\n",
                                       "\r",
                                       "\n",
                                       "\r\n\r\n",
                                       "<",
                                       ">",
                                       " ",
                                       "a",
                                       "x",
                                       "ject:",
                                       "t",
                                       "o",
                                       "s",
                                       "nder:",
                                       QString::fromUtf8("é"),
                                       QString::fromUtf8("İ"),
                                       QString::fromUtf8("\xF0\x9F\x93\xA7"),
                                       "Bob <bob@x>",
                                       "."};
    QString text;
    const int n = random.bounded(40);
    for (int i = 0; i < n; ++i)
        text += pieces.at(random.bounded(pieces.size()));
    return text;
}

QString crlf(const char* text)
{
    return QString::fromUtf8(text).replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

} // namespace

class TestExtractHeaders : public QObject
{
    Q_OBJECT
private slots:
    void examples_data();
    void examples();
    void matchesReferenceOnRandomTexts();
    void matchesReferenceOnLongText();
};

void TestExtractHeaders::examples_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("body");

    QTest::newRow("empty") << QString() << ""
                           << ""
                           << ""
                           << "";
    QTest::newRow("two chars, no empty line") << "ab"
                                              << ""
                                              << ""
                                              << ""
                                              << "";
    QTest::newRow("plain") << crlf("Subject: Hello\nTo: Bob <bob>\n\nHi\n") << " Hello"
                           << ""
                           << " Bob  bob " << crlf("Hi\n");
    QTest::newRow("case ignored, no space") << crlf("SUBJECT:Hi\n\n") << "Hi"
                                            << ""
                                            << ""
                                            << "";
    QTest::newRow("From is no keyword") << crlf("From: ann\n\nx") << ""
                                        << ""
                                        << ""
                                        << "x";
    QTest::newRow("Reply-To quirk") << crlf("Reply-To: x\n\n") << ""
                                    << ""
                                    << "ly-To: x"
                                    << "";
    QTest::newRow("later To wins") << crlf("Reply-To: x\nTo: y\n\n") << ""
                                   << ""
                                   << " y"
                                   << "";
    QTest::newRow("to inside subject")
        << crlf("Subject: Meet to: discuss\n\n") << " Meet to: discuss"
        << ""
        << "ject: Meet to: discuss"
        << "";
    QTest::newRow("body line wins") << crlf("Subject: a\n\nsubject: b\n") << " b"
                                    << ""
                                    << "" << crlf("subject: b\n");
    // The value starts at the 8th character (the space after the colon) and
    // the "<" becomes a second space.
    QTest::newRow("sender brackets") << crlf("Sender: <ann>\n\n") << ""
                                     << "  ann "
                                     << ""
                                     << "";
    QTest::newRow("no empty line") << crlf("abcdef\nTo: z") << ""
                                   << ""
                                   << " z" << crlf("def\nTo: z");
    QTest::newRow("keyword at line end") << crlf("xsubject:\n\n") << ""
                                         << ""
                                         << ""
                                         << "";
}

void TestExtractHeaders::examples()
{
    QFETCH(QString, message);
    const ExtractedHeaders r = ExtractHeaders(message);
    QTEST(r[Module1::HeaderSubject], "subject");
    QTEST(r[Module1::HeaderSender], "sender");
    QTEST(r[Module1::HeaderRecipient], "recipient");
    QTEST(r[Module1::HeaderBody], "body");
    QCOMPARE(r, naiveExtract(message));
}

void TestExtractHeaders::matchesReferenceOnRandomTexts()
{
    QRandomGenerator random(20240607);
    for (int i = 0; i < 20000; ++i) {
        const QString message = randomMessage(random);
        const ExtractedHeaders fast = ExtractHeaders(message);
        const ExtractedHeaders naive = naiveExtract(message);
        QString copy = message;
        copy.detach();
        if (ExtractHeaders(std::move(copy)) != naive)
            QFAIL(qPrintable("moved-in text differs for: " + message));
        if (fast != naive) {
            qWarning() << "input:" << message;
            QCOMPARE(fast, naive);
        }
    }
}

void TestExtractHeaders::matchesReferenceOnLongText()
{
    QRandomGenerator random(7);
    QString message;
    while (message.size() < 200000)
        message += randomMessage(random);
    QCOMPARE(ExtractHeaders(message), naiveExtract(message));
}

QTEST_GUILESS_MAIN(TestExtractHeaders)
#include "tst_extractheaders.moc"
