// Sends through the real window to the local Postfix (which refuses bare LF
// line ends) and reads the delivered files back from the Maildir: the subject
// and the lines intact, and the attached bytes as GNU uudecode gets them.

#include "support/Mailhost.h"
#include "support/TestEnvironment.h"
#include "ui/frmSendMail.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

class tst_sendmail_live : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Sends one mail through a fresh window; the text of the box that ends
    // the send.
    QString send(const QString& subject, const QString& text, const QString& attachment)
    {
        TestEnvironment::resetWindows();
        frmSendMail& window = frmSendMail::instance();
        window.txtHost->setText(QString::fromLatin1(Mailhost::Host));
        window.txtSender->setText(QStringLiteral("me@example.test"));
        window.txtRecipient->setText(QString::fromLatin1(Mailhost::Address));
        window.txtSubject->setText(subject);
        window.txtMessage->setPlainText(text);
        window.txtAttachment->setText(attachment);
        QString said;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&said] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
            }
        });
        poll.start(5);
        window.cmdSend_Click();
        QElapsedTimer clock;
        clock.start();
        while (said.isEmpty() && clock.elapsed() < 60000)
            QTest::qWait(10);
        return said;
    }

    // The delivered file whose Subject line is "Subject:" + subject.
    static QByteArray delivered(const QString& subject)
    {
        const QByteArray wanted = "\nSubject:" + subject.toUtf8() + "\n";
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            for (const QString& path : Mailhost::list()) {
                QFile file(path);
                if (file.open(QIODevice::ReadOnly)) {
                    const QByteArray content = file.readAll();
                    if (content.contains(wanted))
                        return content;
                }
            }
            QTest::qWait(100);
        }
        return {};
    }

    static QByteArray bodyOf(const QByteArray& message)
    {
        const qsizetype end = message.indexOf("\n\n");
        return end < 0 ? QByteArray() : message.mid(end + 2);
    }

    static QString uniqueSubject(const QString& what)
    {
        return what + QLatin1Char(' ') + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolate();
        QVERIFY(m_dir.isValid());
        QB_REQUIRE_OR_SKIP(Mailhost::missing());
        QVERIFY(Mailhost::clear());
    }

    void textArrivesLineForLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("lines beginning with dots")
            << ".leading dot\n..two dots\n.\nplain\n. space after dot";
        QTest::newRow("empty text") << "";
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße aus Köln – 10 € ✓\nzweite Zeile");
        QTest::newRow("empty lines") << "\n\nafter two empty lines\n\n";
    }
    void textArrivesLineForLine()
    {
        QFETCH(QString, text);
        const QString subject = uniqueSubject(QStringLiteral("Grüße text"));
        QCOMPARE(send(subject, text, QString()), QStringLiteral("Message has been sent"));
        const QByteArray message = delivered(subject);
        QVERIFY2(!message.isEmpty(), "the mail was not delivered");
        // The text, the empty line after it, and the empty line that stands
        // where a block would go.
        QCOMPARE(bodyOf(message), text.toUtf8() + "\n\n\n");
    }

    // Sizes around a full line, one whose last line starts with "." (14
    // bytes) and a megabyte of random bytes.
    void attachmentDecodesToTheSameBytes_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {0, 14, 44, 45, 46, 1 << 20})
            QTest::addRow("%d bytes", size) << size;
    }
    void attachmentDecodesToTheSameBytes()
    {
        QFETCH(int, size);
        QB_REQUIRE_OR_SKIP(
            Prerequisite::program(QStringLiteral("uudecode"), QStringLiteral("GNU sharutils")));
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator random(quint32(size) + 5);
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(256));
        if (size == 14)
            QVERIFY(bytes.size() + 32 == '.');
        const QString name = QStringLiteral("random %1.bin").arg(size);
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        const QString subject = uniqueSubject(QStringLiteral("attachment"));
        QCOMPARE(send(subject, QStringLiteral("see the file"), file.fileName()),
                 QStringLiteral("Message has been sent"));
        const QByteArray message = delivered(subject);
        QVERIFY2(!message.isEmpty(), "the mail was not delivered");
        const QByteArray body = bodyOf(message);
        QVERIFY(body.startsWith("see the file\n\nbegin 664 " + name.toUtf8() + "\n"));
        QVERIFY(body.endsWith("\n \nend\n\n"));

        // uudecode exits 2 for sizes that are a multiple of 45 while writing
        // the right bytes: the bytes decide.
        QTemporaryDir work;
        QFile mail(work.filePath(QStringLiteral("mail.txt")));
        QVERIFY(mail.open(QIODevice::WriteOnly));
        mail.write(message);
        mail.close();
        QProcess decoder;
        decoder.setWorkingDirectory(work.path());
        decoder.start(QStringLiteral("uudecode"),
                      {QStringLiteral("-o"), QStringLiteral("decoded.bin"), mail.fileName()});
        QVERIFY(decoder.waitForFinished(30000));
        QFile decoded(work.filePath(QStringLiteral("decoded.bin")));
        QVERIFY2(decoded.open(QIODevice::ReadOnly), decoder.readAllStandardError().constData());
        QVERIFY(decoded.readAll() == bytes);
    }

    // A refusal from the real server ends in the error box with its reply.
    void unknownRecipientIsRefused()
    {
        TestEnvironment::resetWindows();
        frmSendMail& window = frmSendMail::instance();
        window.txtHost->setText(QString::fromLatin1(Mailhost::Host));
        window.txtSender->setText(QStringLiteral("me@example.test"));
        window.txtRecipient->setText(QStringLiteral("nobody@localhost"));
        QString said;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&said] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text() + QLatin1Char('|') + box->windowTitle();
                box->accept();
            }
        });
        poll.start(5);
        window.cmdSend_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!said.isEmpty(), 30000);
        QVERIFY2(said.startsWith("Error: 550 ") && said.endsWith("\r\n|Error"), qPrintable(said));
    }
};

QTEST_MAIN(tst_sendmail_live)
#include "tst_sendmail_live.moc"
