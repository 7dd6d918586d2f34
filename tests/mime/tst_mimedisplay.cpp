// What the list row and the viewer show of a message: mail from today's
// programs and awkward but legal shapes checked against Python's email
// package (header fields, texts, files and their decoded bytes), mail without
// MIME read by its header fields, input that must fall back, and HTML that
// must load nothing.
#include "core/Module1.h"
#include "mime/MessageDisplay.h"
#include "mime/OfflineTextDocument.h"
#include "pop3/ExtractHeaders.h"
#include "pop3/MessageStore.h"
#include "pop3/Pop3Session.h"
#include "support/GeneratedMail.h"
#include "ui/ViewerBody.h"

#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

namespace
{

// What the viewer would show, through the same store the session uses.
Mime::DisplayedMessage storeAndShow(const QByteArray& message, QString* row = nullptr)
{
    const QString listed = Module1::storeRetrievedMessage(0, GeneratedMail::replyFor(message));
    if (row)
        *row = listed;
    return Module1::displayedMessage(0);
}

QByteArray mime(const QByteArray& headers, const QByteArray& body)
{
    return "MIME-Version: 1.0\r\nFrom: a@b.test\r\nSubject: s\r\n" + headers + "\r\n" + body;
}

} // namespace

Q_DECLARE_METATYPE(GeneratedMail::Message)

class TestMimeDisplay : public QObject
{
    Q_OBJECT
private slots:
    void generatedMessages_data();
    void generatedMessages();
    void messagesWithoutMime_data();
    void messagesWithoutMime();
    void badInputFallsBack_data();
    void badInputFallsBack();
    void htmlLoadsNothing();
};

void TestMimeDisplay::generatedMessages_data()
{
    QTest::addColumn<GeneratedMail::Message>("message");
    const QList<GeneratedMail::Message> messages = GeneratedMail::make();
    QVERIFY(messages.size() >= 20);
    for (const GeneratedMail::Message& message : messages)
        QTest::newRow(qPrintable(message.kind)) << message;
}

void TestMimeDisplay::generatedMessages()
{
    QFETCH(GeneratedMail::Message, message);
    QString row;
    const Mime::DisplayedMessage shown = storeAndShow(message.bytes, &row);
    const QString wrong =
        GeneratedMail::mismatch(message, row, shown.subject, shown.from,
                                ViewerBody::withoutAttachment(shown.body), shown.attachments);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // Each file saves as the bytes Python decodes.
    const QJsonArray files = message.expected[QLatin1String("attachments")].toArray();
    const Module1::HeldMessage held = Module1::heldMessage(0);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray content = Module1::fileContent(held, i);
        QCOMPARE(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex(),
                 files[i][QLatin1String("sha256")].toString().toLatin1());
    }
    // The tables still hold what the keyword scan finds.
    const Module1::ExtractedHeaders scanned =
        Module1::ExtractHeaders(Pop3Session::messageText(GeneratedMail::replyFor(message.bytes)));
    QCOMPARE(Module1::MessageSubjects[0], scanned[Module1::HeaderSubject]);
    QCOMPARE(Module1::MessageRecipients[0], scanned[Module1::HeaderRecipient].trimmed());
    QCOMPARE(Module1::MessageBodies[0], scanned[Module1::HeaderBody]);
}

void TestMimeDisplay::messagesWithoutMime_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("body");
    // The From field names the sender, never the recipient the tables keep.
    QTest::newRow("no From") << QByteArray("Subject: Hello\r\nTo: Bob <bob>\r\n\r\nHi\r\n")
                             << "Hello" << QString() << "Hi\r\n";
    QTest::newRow("reply-to and body keyword")
        << QByteArray("Subject: Old\r\nReply-To: x\r\nFrom: Ann <a@x.test>\r\n\r\n"
                      "subject: New\r\n")
        << "Old"
        << "Ann <a@x.test>"
        << "subject: New\r\n";
    QTest::newRow("encoded words")
        << QByteArray("Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"
                      "From: =?ISO-8859-1?Q?J=F6rg?= <j@x.test>\r\n\r\n=?UTF-8?Q?kept?=\r\n")
        << QString::fromUtf8("Grüße aus Köln") << QString::fromUtf8("Jörg <j@x.test>")
        << "=?UTF-8?Q?kept?=\r\n";
    QTest::newRow("windows-1252") << QByteArray(
                                         "Subject: \x93Quote\x94 \x80 5\r\n\r\nIt\x92s \x85\r\n")
                                  << QString::fromUtf8("“Quote” € 5") << QString()
                                  << QString::fromUtf8("It’s …\r\n");
    // The tables cut their body at the first empty line after it.
    QTest::newRow("empty first line") << QByteArray("\r\nHello\r\n\r\nWorld\r\n") << QString()
                                      << QString() << "Hello\r\n\r\nWorld\r\n";
}

void TestMimeDisplay::messagesWithoutMime()
{
    QFETCH(QByteArray, message);
    QString row;
    const Mime::DisplayedMessage shown = storeAndShow(message, &row);
    QTEST(row, "subject");
    QTEST(shown.subject, "subject");
    QTEST(shown.from, "from");
    QTEST(shown.body, "body");
}

void TestMimeDisplay::badInputFallsBack_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("bodyStart"); // empty: the tables' body, unchanged
    const QByteArray text = "Content-Type: text/plain; charset=utf-8\r\n";
    const QByteArray b64 = "Content-Transfer-Encoding: base64\r\n";
    QTest::newRow("missing boundary")
        << mime("Content-Type: multipart/mixed\r\n", "--x\r\n\r\nhello\r\n--x--\r\n") << "";
    QTest::newRow("wrong boundary")
        << mime("Content-Type: multipart/mixed; boundary=y\r\n", "--x\r\n\r\nhello\r\n--x--\r\n")
        << "";
    QTest::newRow("base64 garbage") << mime(text + b64, "SGVs!!*bG8g\x01"
                                                        "d29y~bGQ=\r\n")
                                    << "Hello world";
    QTest::newRow("base64 truncated") << mime(text + b64, "SGVsbG8gd29y") << "Hello wor";
    QTest::newRow("unknown charset")
        << mime("Content-Type: text/plain; charset=x-no-such\r\n", "caf\xe9 \x80"
                                                                   "\r\n")
        << QString::fromUtf8("café €");
    QTest::newRow("bad encoded word")
        << QByteArray("MIME-Version: 1.0\r\nSubject: =?x-none?Q?a=ZZ?= =?utf-8?B?@@?= ok\r\n\r\n"
                      "text\r\n")
        << "text";
    QByteArray nested;
    for (int i = 0; i < 10000; ++i)
        nested += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) +
                  "\r\n\r\n--b" + QByteArray::number(i) + "\r\n";
    QTest::newRow("10000 nested multiparts") << mime("", nested) << "";
    QTest::newRow("1 MB header line")
        << mime("X-Long: " + QByteArray(1 << 20, 'a') + "\r\n" + text, "short\r\n") << "short";
    QTest::newRow("10 MB of one tag")
        << mime("Content-Type: text/html\r\n", QByteArray("<div>").repeated(2 << 20)) << "";
    QTest::newRow("NUL bytes") << mime(text, QByteArray("be\0fore\r\nafter\r\n", 16))
                               << QString::fromUtf8("be\0fore", 7);
}

void TestMimeDisplay::badInputFallsBack()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, bodyStart);
    const Mime::DisplayedMessage shown = storeAndShow(message);
    if (bodyStart.isEmpty())
        QCOMPARE(shown.body, Module1::MessageBodies[0]);
    else
        QVERIFY2(shown.body.startsWith(bodyStart), qPrintable(shown.body.left(80)));
    for (const QString& value : {shown.subject, shown.from, shown.body})
        QVERIFY(QStringView(value).isValidUtf16());
}

void TestMimeDisplay::htmlLoadsNothing()
{
    // A picture a plain document does load, as the control that the check
    // would see a load.
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("pixel.png"));
    QImage(4, 4, QImage::Format_RGB32).save(picture);
    const QString html =
        QStringLiteral("<p>x<img src=\"%1\"><img src=\"http://127.0.0.1:9/t.png\">"
                       "<link rel=stylesheet href=\"http://127.0.0.1:9/s.css\"></p>")
            .arg(QUrl::fromLocalFile(picture).toString());
    QTextDocument plain;
    plain.setHtml(html);
    plain.size(); // lays it out
    QVERIFY(plain.resource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid());

    OfflineTextDocument offline;
    offline.setHtml(html);
    offline.size();
    QVERIFY(offline.refusedRequests() >= 2);
    QVERIFY(
        !offline.resource(QTextDocument::ImageResource, QUrl::fromLocalFile(picture)).isValid());
}

QTEST_MAIN(TestMimeDisplay)
#include "tst_mimedisplay.moc"
