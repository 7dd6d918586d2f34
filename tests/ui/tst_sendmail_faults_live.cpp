// Faults against the real Postfix, through the sender window as the program
// runs it: the server stopped while a large attachment is on its way, the
// port closed, a server that never answers, and an attachment that is gone
// by the time of the send. Each ends in one clear box, nothing is reported
// as sent that was not, and the next send goes through.

#include "core/Module1.h"
#include "support/Mailhost.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "ui/frmSendMail.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

namespace
{

struct Box {
    QString title;
    QString text;
    QString informative;
};

} // namespace

class tst_sendmail_faults_live : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<Box> m_boxes;
    QTimer m_boxAnswerer;

    QString writeFile(const QString& name, qint64 size)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char((i * 7 + i / 251) & 0xff);
        for (qint64 left = size; left > 0; left -= chunk.size())
            file.write(chunk.constData(), qMin<qint64>(left, chunk.size()));
        return file.fileName();
    }

    // A fresh window, filled in for the local Postfix.
    frmSendMail& window(const QString& subject, const QString& attachment = {})
    {
        TestEnvironment::resetWindows();
        frmSendMail& window = frmSendMail::instance();
        fill(window, subject, attachment);
        return window;
    }

    static void fill(frmSendMail& window, const QString& subject, const QString& attachment)
    {
        window.txtHost->setText(QString::fromLatin1(Mailhost::Host));
        window.txtSender->setText(QStringLiteral("me@example.test"));
        window.txtRecipient->setText(QString::fromLatin1(Mailhost::Address));
        window.txtSubject->setText(subject);
        window.txtMessage->setPlainText(QStringLiteral("see the file"));
        window.txtAttachment->setText(attachment);
    }

    // Sends and waits for the box that ends the send.
    QString send(frmSendMail& window, int seconds = 60)
    {
        const qsizetype before = m_boxes.size();
        window.cmdSend_Click();
        QElapsedTimer clock;
        clock.start();
        while (m_boxes.size() == before && clock.elapsed() < seconds * 1000)
            QTest::qWait(10);
        return m_boxes.size() > before ? m_boxes.last().text : QString();
    }

    // One more mail in the mailbox, then none for a moment.
    static bool oneMoreDelivered(int before)
    {
        if (!Mailhost::waitCount(before + 1, 30))
            return false;
        QTest::qWait(500);
        return Mailhost::count() == before + 1;
    }

    // The next command after the fault, in the same window: a send with an
    // attachment that the server delivers.
    void sendWorks(frmSendMail& sender, const QString& attachment)
    {
        const int before = Mailhost::count();
        const QString subject = QStringLiteral("after the fault %1")
                                    .arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
        fill(sender, subject, attachment);
        QCOMPARE(send(sender), QStringLiteral("Message has been sent"));
        QVERIFY(oneMoreDelivered(before));
        bool found = false;
        for (const QString& path : Mailhost::list()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            if (content.contains("Subject:" + subject.toUtf8() + "\n")) {
                found = true;
                QVERIFY(content.contains("begin 664 " + QFileInfo(attachment).fileName().toUtf8()));
                QVERIFY(content.endsWith("\n \nend\n\n"));
            }
        }
        QVERIFY(found);
    }

private slots:
    void initTestCase()
    {
        QB_REQUIRE_OR_SKIP(Mailhost::missing());
        TestEnvironment::isolate();
        QVERIFY(m_dir.isValid());
        connect(&m_boxAnswerer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            m_boxes.append({box->windowTitle(), box->text(), box->informativeText()});
            box->accept();
        });
        m_boxAnswerer.start(5);
    }

    void init()
    {
        m_boxes.clear();
        QVERIFY(Mailhost::clear());
    }

    // A test that failed half-way must not leave the server down.
    void cleanup()
    {
        if (!Mailhost::available())
            QVERIFY(Mailhost::startSmtp());
    }

    // Postfix goes away while a 20 MB attachment is being written: the
    // socket's error in one box, nothing delivered, and the same send goes
    // through once the server is back.
    void serverStoppedMidData()
    {
        const QString attachment = writeFile(QStringLiteral("big.bin"), 20 * 1024 * 1024);
        frmSendMail& sender = window(QStringLiteral("cut off"), attachment);
        // Short enough to see that no reply timer outlives the failure.
        sender.smtp->setReplyTimeouts(3000, 3000);
        // The stop runs once the first megabytes of the message have gone
        // out: nothing more is written meanwhile, and most of it is still to
        // come.
        bool stopped = false;
        qint64 writtenInData = 0;
        qint64 unsentAtStop = 0;
        qint64 stopMs = 0;
        // Each send has a socket of its own: the hook goes on once it is there.
        QMetaObject::Connection hook;
        const QMetaObject::Connection ready =
            connect(&sender.smtp->connection(), &MailConnection::ready, this, [&] {
                hook = connect(sender.smtp->connection().socket(), &QTcpSocket::bytesWritten, this,
                               [&](qint64 bytes) {
                                   if (stopped || Module1::SmtpStep != 5)
                                       return;
                                   writtenInData += bytes;
                                   if (writtenInData < 4 * 1024 * 1024)
                                       return;
                                   stopped = true;
                                   unsentAtStop = 20 * 1024 * 1024 - writtenInData;
                                   QElapsedTimer stopping;
                                   stopping.start();
                                   QVERIFY(Mailhost::stopSmtp());
                                   stopMs = stopping.elapsed();
                               });
            });
        const QString said = send(sender, 30);
        disconnect(ready);
        disconnect(hook);
        QVERIFY(stopped);
        QVERIFY2(unsentAtStop > 1024 * 1024, QByteArray::number(unsentAtStop).constData());

        qInfo("%lld bytes of the data written, %lld not yet, when the server stopped (in %lld "
              "ms); the box said: %s",
              writtenInData, unsentAtStop, stopMs,
              qPrintable(QString(said).replace(QLatin1String("\r\n"), " | ")));
        QVERIFY2(said.startsWith(QStringLiteral("Winsock Error number ")), qPrintable(said));
        // Winsock's number for a reset or aborted connection, then Qt's words.
        QVERIFY2(QRegularExpression(QStringLiteral("^Winsock Error number 1005[34]\r\n.+"))
                     .match(said)
                     .hasMatch(),
                 qPrintable(said));
        QCOMPARE(Module1::SmtpStep, 5);
        QCOMPARE(sender.smtp->connection().socket()->state(), QAbstractSocket::UnconnectedState);

        QVERIFY(Mailhost::startSmtp());
        QTest::qWait(3500); // past the reply time-out: still the one box
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(Mailhost::count(), 0);
        sender.smtp->setReplyTimeouts(SmtpClient::ReplyTimeoutMs, SmtpClient::DataReplyTimeoutMs);
        m_boxes.clear();
        sendWorks(sender, attachment);
    }

    // Nothing listens on port 25: the socket's "refused" in the box.
    void refusedConnection()
    {
        QVERIFY(Mailhost::stopSmtp());
        frmSendMail& sender = window(QStringLiteral("refused"));
        const QString said = send(sender, 10);
        QVERIFY(Mailhost::startSmtp());

        QVERIFY2(said.startsWith(QStringLiteral("Winsock Error number 10061\r\n")),
                 qPrintable(said));
        QVERIFY2(said.contains("refused", Qt::CaseInsensitive), qPrintable(said));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].title, QStringLiteral("Quillbeacon"));
        QCOMPARE(m_boxes[0].informative,
                 QStringLiteral("Nothing answered at %1:25. Check the server and its port in the "
                                "Host box, and that the server is running.")
                     .arg(QString::fromLatin1(Mailhost::Host)));
        QCOMPARE(Module1::SmtpStep, 0);

        sendWorks(sender, writeFile(QStringLiteral("small.txt"), 100));
    }

    // A server that takes the connection and never greets: the reply
    // time-out ends the send with an error box and lets go of the socket.
    void silentServerTimesOut()
    {
        ScriptedServer silent;
        silent.silence();
        frmSendMail& sender = window(QStringLiteral("silence"));
        sender.txtHost->setText(QStringLiteral("127.0.0.1:%1").arg(silent.port()));
        sender.smtp->setReplyTimeouts(500, 500);

        const QString said = send(sender, 10);
        QCOMPARE(said, QStringLiteral("Error: No reply from the server for 0.5 seconds; the "
                                      "connection was closed."));
        QCOMPARE(m_boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(silent.connectionCount(), 1);
        QVERIFY(silent.waitForDisconnect(5000));
        QCOMPARE(Module1::SmtpStep, 0);
        QTest::qWait(700); // no second box from a timer left running
        QCOMPARE(m_boxes.size(), 1);

        sender.smtp->setReplyTimeouts(SmtpClient::ReplyTimeoutMs, SmtpClient::DataReplyTimeoutMs);
        sendWorks(sender, writeFile(QStringLiteral("small.txt"), 100));
    }

    // The file chosen in the dialog is gone (or is a folder now) when Send
    // is pressed: a box names it and says nothing was sent, and no
    // connection is made at all.
    void attachmentGoneBeforeTheSend_data()
    {
        QTest::addColumn<bool>("replacedByFolder");
        QTest::newRow("deleted") << false;
        QTest::newRow("replaced by a folder") << true;
    }
    void attachmentGoneBeforeTheSend()
    {
        QFETCH(bool, replacedByFolder);
        const QString path = writeFile(QStringLiteral("chosen file.bin"), 5000);
        ScriptedServer server;
        server.send("220 mail.example.test ESMTP\r\n").silence();
        frmSendMail& sender = window(QStringLiteral("vanished"));
        sender.txtHost->setText(QStringLiteral("127.0.0.1:%1").arg(server.port()));
        QTimer::singleShot(50, &sender, [&sender, path] {
            auto* edit = sender.dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit) {
                sender.dialog->reject();
                return;
            }
            edit->setText(path);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        sender.cmdBrowse_Click();
        QCOMPARE(sender.txtAttachment->text(), path);

        QVERIFY(QFile::remove(path));
        if (replacedByFolder)
            QVERIFY(QDir().mkdir(path));
        const int before = Mailhost::count();
        const QString said = send(sender, 10);
        QVERIFY2(said.contains(QStringLiteral("chosen file.bin")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("Nothing was sent")), qPrintable(said));
        QCOMPARE(m_boxes.last().title, QStringLiteral("Quillbeacon"));
        QTest::qWait(200);
        QCOMPARE(server.connectionCount(), 0);
        QCOMPARE(sender.smtp->connection().socket()->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(Mailhost::count(), before);
        if (replacedByFolder)
            QVERIFY(QDir().rmdir(path));

        // Put back, the same file goes out with the next send.
        QCOMPARE(writeFile(QStringLiteral("chosen file.bin"), 5000), path);
        sendWorks(sender, path);
    }
};

QTEST_MAIN(tst_sendmail_faults_live)
#include "tst_sendmail_faults_live.moc"
