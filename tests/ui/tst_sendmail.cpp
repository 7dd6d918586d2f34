// The sender window: its controls, keys and buttons, and whole sends against a
// scripted server, byte for byte, down to the message box that ends them.

#include "core/Module1.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "ui/Twips.h"
#include "ui/frmSendMail.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace
{

struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Answers every message box the window opens, and remembers them.
class BoxAnswerer : public QObject
{
public:
    BoxAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            boxes.append({box->windowTitle(), box->text(), box->icon()});
            box->accept();
        });
        m_poll.start(5);
    }
    QList<Box> boxes;

private:
    QTimer m_poll;
};

const QByteArray Greeting = "220 mail.example.test ESMTP\r\n";

} // namespace

class tst_sendmail : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    frmSendMail& freshWindow()
    {
        TestEnvironment::resetWindows();
        return frmSendMail::instance();
    }

    // A window filled in and pointed at server.
    frmSendMail& windowFor(const ScriptedServer& server)
    {
        frmSendMail& window = freshWindow();
        window.txtHost->setText(QStringLiteral("127.0.0.1:%1").arg(server.port()));
        window.txtSender->setText(QStringLiteral(" me@example.test"));
        window.txtRecipient->setText(QStringLiteral("qbtest@localhost"));
        window.txtSubject->setText(QStringLiteral("Hello"));
        window.txtMessage->setPlainText(QStringLiteral("line one\n.dot line"));
        return window;
    }

    // The ordinary dialogue up to the reply to QUIT.
    static void scriptUpToQuit(ScriptedServer& server, const QByteArray& data)
    {
        server.send(Greeting)
            .expectLine("HELO me")
            .send("250 mail.example.test\r\n")
            .expectLine("MAIL FROM:<me@example.test>")
            .send("250 2.1.0 Ok\r\n")
            .expectLine("RCPT TO:<qbtest@localhost>")
            .send("250 2.1.5 Ok\r\n")
            .expectLine("DATA")
            .send("354 End data with <CR><LF>.<CR><LF>\r\n")
            .expectUntil(data)
            .send("250 2.0.0 Ok: queued as 1\r\n")
            .expectLine("QUIT");
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    static QList<QWidget*> focusOrder(QWidget* start, int count)
    {
        QList<QWidget*> order{start};
        QWidget* widget = start;
        for (int i = 1; i < count; ++i)
            order << (widget = widget->nextInFocusChain()->focusProxy()
                                   ? widget->nextInFocusChain()->focusProxy()
                                   : widget->nextInFocusChain());
        return order;
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolate();
        QVERIFY(m_dir.isValid());
    }

    void controlsArePlacedInTwips()
    {
        frmSendMail& window = freshWindow();
        QCOMPARE(window.windowTitle(), QStringLiteral("Quillbeacon"));
        QCOMPARE(window.size(), Twips::rect(0, 0, 11535, 6420).size());
        QCOMPARE(window.minimumSize(), window.maximumSize());
        const struct {
            QWidget* control;
            const char* name;
            int left, top, width, height;
        } placed[] = {
            {window.txtSender, "txtSender", 1920, 1200, 3015, 285},
            {window.txtHost, "txtHost", 1920, 840, 3015, 285},
            {window.cmdSend, "cmdSend", 10320, 5880, 845, 495},
            {window.cmdClear, "cmdClear", 9480, 5880, 845, 495},
            {window.cmdBrowse, "cmdBrowse", 5040, 2280, 375, 255},
            {window.txtAttachment, "txtAttachment", 1920, 2280, 3015, 285},
            {window.txtMessage, "txtMessage", 360, 2640, 10815, 3135},
            {window.txtRecipient, "txtRecipient", 1920, 1560, 3015, 285},
            {window.txtSubject, "txtSubject", 1920, 1920, 3015, 285},
            {window.Label7, "Label7", 720, 1200, 975, 255},
            {window.Label6, "Label6", 720, 840, 975, 255},
            {window.Label2, "Label2", 120, 120, 4215, 375},
            {window.Label1, "Label1", 0, 0, 11535, 735},
        };
        for (const auto& p : placed) {
            QCOMPARE(p.control->objectName(), QLatin1String(p.name));
            QCOMPARE(p.control->geometry(), Twips::rect(p.left, p.top, p.width, p.height));
        }
        // Labels sized to their text keep their top left corner.
        QCOMPARE(window.Label5->pos(), Twips::rect(840, 2280, 0, 0).topLeft());
        QCOMPARE(window.Label3->pos(), Twips::rect(1200, 1560, 0, 0).topLeft());
        QCOMPARE(window.Label4->pos(), Twips::rect(1185, 1920, 0, 0).topLeft());

        QCOMPARE(window.cmdSend->text(), QStringLiteral("&Send"));
        QCOMPARE(window.cmdClear->text(), QStringLiteral("Clear"));
        QCOMPARE(window.cmdBrowse->text(), QStringLiteral("..."));
        QCOMPARE(window.Label7->text(), QStringLiteral("Reply to"));
        QCOMPARE(window.Label6->text(), QStringLiteral("Host"));
        QCOMPARE(window.Label5->text(), QStringLiteral("Attachment:"));
        QCOMPARE(window.Label3->text(), QStringLiteral("Mail To"));
        QCOMPARE(window.Label4->text(), QStringLiteral("Subject:"));
        QCOMPARE(window.Label1->text(), QString());
        QCOMPARE(window.Label2->text(), QStringLiteral("Send Mails"));
        QVERIFY(window.Label2->font().bold());
        QCOMPARE(window.Label2->font().pointSizeF(), 15.75);
        QCOMPARE(window.Label2->palette().color(QPalette::WindowText), QColor(0, 192, 192));
        QCOMPARE(window.Label2->palette().color(QPalette::Window),
                 window.Label1->palette().color(QPalette::Window));
        QCOMPARE(window.txtMessage->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(window.smtp->objectName(), QStringLiteral("smtp"));
        QCOMPARE(window.dialog->windowTitle(), QStringLiteral("open file"));
        QCOMPARE(window.dialog->nameFilters(), QStringList{QStringLiteral("All files (*)")});
    }

    void focusMovesInOrderAndEnterMovesOn()
    {
        frmSendMail& window = freshWindow();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QList<QWidget*> expected{window.txtHost,    window.txtSender,     window.txtRecipient,
                                       window.txtSubject, window.txtAttachment, window.txtMessage,
                                       window.cmdBrowse,  window.cmdClear,      window.cmdSend,
                                       window.txtHost};
        window.txtHost->setFocus();
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected[i]);
        }
        // Enter in each one-line field moves on; the last of them leads to
        // the message text, where Enter starts a new line.
        window.txtHost->setFocus();
        for (int i = 1; i <= 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), expected[i]);
        }
        QTest::keyClicks(window.txtMessage, "a");
        QTest::keyClick(window.txtMessage, Qt::Key_Return);
        QTest::keyClicks(window.txtMessage, "b");
        QCOMPARE(QApplication::focusWidget(), window.txtMessage);
        QCOMPARE(window.txtMessage->toPlainText(), QStringLiteral("a\nb"));
    }

    void clearEmptiesEveryBoxAndLoadFillsTheHost()
    {
        Module1::SmtpServer = QStringLiteral("smtp.example.test");
        frmSendMail& window = freshWindow();
        Module1::SmtpServer = QStringLiteral("smtp.example.test");
        QCOMPARE(window.txtHost->text(), QString()); // loaded before the server was known
        TestEnvironment::resetWindows();
        Module1::SmtpServer = QStringLiteral("smtp.example.test");
        frmSendMail* loaded = &frmSendMail::instance();
        QCOMPARE(loaded->txtHost->text(), QStringLiteral("smtp.example.test"));
        for (QLineEdit* field :
             {loaded->txtSender, loaded->txtRecipient, loaded->txtSubject, loaded->txtAttachment})
            field->setText(QStringLiteral("something"));
        loaded->txtMessage->setPlainText(QStringLiteral("text"));
        QTest::mouseClick(loaded->cmdClear, Qt::LeftButton);
        for (QLineEdit* field : {loaded->txtHost, loaded->txtSender, loaded->txtRecipient,
                                 loaded->txtSubject, loaded->txtAttachment})
            QCOMPARE(field->text(), QString());
        QCOMPARE(loaded->txtMessage->toPlainText(), QString());

        // Closing by the close box unloads: the next showing starts afresh,
        // with the host as the settings have it then.
        loaded->show();
        loaded->txtSubject->setText(QStringLiteral("draft"));
        QPointer<frmSendMail> old = loaded;
        loaded->close();
        Module1::SmtpServer = QStringLiteral("other.example.test");
        frmSendMail& reloaded = frmSendMail::instance();
        reloaded.show();
        QCOMPARE(reloaded.txtSubject->text(), QString());
        QCOMPARE(reloaded.txtHost->text(), QStringLiteral("other.example.test"));
        QTRY_VERIFY(old.isNull());
        QCOMPARE(&frmSendMail::instance(), &reloaded); // showing again is the same window
    }

    void browsePicksAFileAndCancelKeepsThePreviousChoice()
    {
        frmSendMail& window = freshWindow();
        const QString chosen = writeFile("NOTES", "abc"); // no dot in the name
        auto answerDialog = [&window](const QString& name) {
            QTimer::singleShot(50, &window, [&window, name] {
                QFileDialog* dialog = window.dialog;
                if (name.isEmpty()) {
                    dialog->reject();
                    return;
                }
                auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!edit) {
                    dialog->reject();
                    return;
                }
                edit->setText(name);
                QTest::keyClick(edit, Qt::Key_Return);
            });
        };
        // The one filter lets every file show, with or without a dot.
        const QString filter = window.dialog->nameFilters().value(0);
        const QStringList patterns =
            filter.section(QLatin1Char('('), 1).chopped(1).split(QLatin1Char(' '));
        QVERIFY(QDir(m_dir.path()).entryList(patterns, QDir::Files).contains("NOTES"));

        window.txtAttachment->setText(QStringLiteral("typed by hand"));
        answerDialog(QString());
        window.cmdBrowse_Click();
        QCOMPARE(window.txtAttachment->text(), QString()); // nothing chosen yet
        answerDialog(chosen);
        window.cmdBrowse_Click();
        QCOMPARE(window.txtAttachment->text(), chosen);
        window.txtAttachment->setText(QStringLiteral("typed by hand"));
        answerDialog(QString());
        window.cmdBrowse_Click();
        QCOMPARE(window.txtAttachment->text(), chosen);
    }

    // The whole dialogue through the window's socket, with an attachment
    // whose last line starts with "." (14 bytes).
    void sendsTheMessageByteForByte()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        window.txtAttachment->setText(writeFile("fourteen.bin", "0123456789abcd"));
        const QByteArray data =
            "Subject:Hello\r\n\r\nline one\r\n..dot line\r\n\r\n"
            "begin 664 fourteen.bin\r\n..,#$R,S0U-C<X.6%B8V0@\r\n \r\nend\r\n\r\n"
            ".\r\n";
        scriptUpToQuit(server, data);
        server.send("221 2.0.0 Bye\r\n");
        BoxAnswerer answerer;
        QTest::mouseClick(window.cmdSend, Qt::LeftButton);
        QVERIFY(server.waitForScriptDone(10000));
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(server.mismatches(), QStringList());
        QVERIFY(server.received().contains("\r\n" + data));
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("Message has been sent"));
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Quillbeacon"));
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::NoIcon);
        QCOMPARE(Module1::SmtpStep, 6);
        QVERIFY(server.waitForDisconnect(5000));
        QTest::qWait(50);
        QCOMPARE(answerer.boxes.size(), 1);
        QCOMPARE(window.txtSubject->text(), QStringLiteral("Hello")); // fields stay

        // The next send without an attachment carries no block.
        server.reset();
        window.txtAttachment->clear();
        const QByteArray plain = "Subject:Hello\r\n\r\nline one\r\n..dot line\r\n\r\n\r\n.\r\n";
        scriptUpToQuit(server, plain);
        server.send("250 Ok\r\n"); // an accepted code to QUIT ends it just the same
        QTest::mouseClick(window.cmdSend, Qt::LeftButton);
        QVERIFY(server.waitForScriptDone(10000));
        QTRY_COMPARE(answerer.boxes.size(), 2);
        QCOMPARE(answerer.boxes[1].text, QStringLiteral("Message has been sent"));
        QVERIFY(!server.received().contains("begin 664"));
        QVERIFY(server.received().endsWith("\r\n" + plain + "QUIT\r\n"));
    }

    // Multi-line replies and replies that come a few bytes at a time.
    void repliesInPiecesAndOnManyLines()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        server.sendInPieces("220-mail.example.test ESMTP\r\n220 hello\r\n", 3)
            .expectLine("HELO me")
            .sendInPieces("250-mail.example.test\r\n250-PIPELINING\r\n250 8BITMIME\r\n", 1)
            .expectLine("MAIL FROM:<me@example.test>")
            .sendInPieces("250 2.1.0 Ok\r\n", 2)
            .expectLine("RCPT TO:<qbtest@localhost>")
            .send("250 2.1.5 Ok\r\n")
            .expectLine("DATA")
            .sendInPieces("354 go ahead\r\n", 5)
            .expectUntil("\r\n.\r\n")
            .sendInPieces("250 Ok\r\n", 1)
            .expectLine("QUIT")
            .sendInPieces("221 Bye\r\n", 4);
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QVERIFY(server.waitForScriptDone(10000));
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(server.mismatches(), QStringList());
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("Message has been sent"));
    }

    void refusalAtEachStepShowsTheReply_data()
    {
        QTest::addColumn<int>("step");
        for (int step = 0; step <= 5; ++step)
            QTest::addRow("step %d", step) << step;
    }
    void refusalAtEachStepShowsTheReply()
    {
        QFETCH(int, step);
        const QList<QPair<QByteArray, QByteArray>> dialogue = {
            {Greeting, "HELO me"},
            {"250 hi\r\n", "MAIL FROM:<me@example.test>"},
            {"250 Ok\r\n", "RCPT TO:<qbtest@localhost>"},
            {"250 Ok\r\n", "DATA"},
            {"354 go\r\n", ""},
            {"250 Ok\r\n", "QUIT"},
        };
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        for (int i = 0; i < step; ++i) {
            server.send(dialogue[i].first);
            if (i == 4)
                server.expectUntil("\r\n.\r\n");
            else
                server.expectLine(dialogue[i].second);
        }
        const QByteArray refusal = "554-5.7.1 not today\r\n554 5.7.1 really\r\n";
        server.send(refusal).silence();
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(server.mismatches(), QStringList());
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer.boxes[0].text, "Error: " + QString::fromLatin1(refusal));
        QCOMPARE(Module1::SmtpStep, step);
        QVERIFY(server.waitForDisconnect(5000));
        QCOMPARE(window.smtp->connection().socket()->state(), QAbstractSocket::UnconnectedState);
    }

    void refusedConnectionShowsTheSocketError()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        frmSendMail& window = freshWindow();
        window.txtHost->setText(QStringLiteral("127.0.0.1:%1").arg(closedPort));
        window.txtSender->setText(QStringLiteral("me@example.test"));
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Quillbeacon"));
        // The number is Winsock's for a refused connection, not Qt's 0.
        QVERIFY2(answerer.boxes[0].text.startsWith("Winsock Error number 10061\r\n"),
                 qPrintable(answerer.boxes[0].text));
        QVERIFY(answerer.boxes[0].text.contains("refused", Qt::CaseInsensitive));
        QCOMPARE(Module1::SmtpStep, 0);
    }

    void silentServerTimesOut()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        window.smtp->setReplyTimeouts(300, 300);
        server.send(Greeting).expectLine("HELO me").silence();
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
        QVERIFY2(answerer.boxes[0].text.startsWith("Error: No reply from the server"),
                 qPrintable(answerer.boxes[0].text));
        QVERIFY(server.waitForDisconnect(5000));
        QCOMPARE(Module1::SmtpStep, 1);
    }

    // The wait counts from the last complete reply: a greeting trickled a
    // byte at a time still times out, while the server is trickling.
    void tricklingServerTimesOut()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        window.smtp->setReplyTimeouts(500, 500);
        for (int i = 0; i < 30; ++i)
            server.send("2").pause(100);
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QVERIFY(!server.scriptDone());
        QVERIFY2(answerer.boxes[0].text.startsWith("Error: No reply from the server"),
                 qPrintable(answerer.boxes[0].text));
    }

    // A huge refusal is shown in part: the box stays quick to lay out.
    void hugeRefusalIsClipped()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        QByteArray refusal;
        for (int i = 0; i < 15; ++i)
            refusal += "550-" + QByteArray(60000, 'x') + "\r\n";
        server.send(Greeting).expectLine("HELO me").send(refusal + "550 end\r\n");
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QVERIFY2(answerer.boxes[0].text.startsWith("Error: 550-xxx"),
                 qPrintable(answerer.boxes[0].text.left(100)));
        QVERIFY(answerer.boxes[0].text.size() <= 1010);
    }

    // The server took the message and then went away without answering
    // QUIT: the mail is sent, and that is the one thing said.
    void connectionLostAfterTheDataCountsAsSent()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        scriptUpToQuit(server, "\r\n.\r\n");
        server.closeConnection();
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("Message has been sent"));
        QTest::qWait(100);
        QCOMPARE(answerer.boxes.size(), 1);
    }

    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("says");
        QTest::newRow("empty host") << "txtHost"
                                    << ""
                                    << "Host";
        QTest::newRow("blank host") << "txtHost"
                                    << "   "
                                    << "Host";
        QTest::newRow("line break in sender") << "txtSender"
                                              << "a@b\r\nRCPT TO:<x@y>"
                                              << "Reply to";
        QTest::newRow("line break in recipient") << "txtRecipient"
                                                 << "a@b\nDATA"
                                                 << "Mail To";
        QTest::newRow("line break in subject") << "txtSubject"
                                               << "Hi\nBcc: x@y"
                                               << "Subject";
        QTest::newRow("missing attachment") << "txtAttachment"
                                            << "/no/such/file.bin"
                                            << "file.bin";
        QTest::newRow("folder as attachment") << "txtAttachment"
                                              << "/tmp"
                                              << "folder";
        // A FIFO would block the window in open() until a writer came.
        QTest::newRow("FIFO as attachment") << "txtAttachment"
                                            << "<fifo>"
                                            << "not a regular file";
        // "MAIL FROM:<>" is the null return path of bounces.
        QTest::newRow("empty sender") << "txtSender"
                                      << " "
                                      << "Reply to";
        QTest::newRow("port out of range") << "txtHost"
                                           << "127.0.0.1:70000"
                                           << "\"70000\" is not a valid port";
        QTest::newRow("port not a number") << "txtHost"
                                           << " [::1]:smtp "
                                           << "\"smtp\" is not a valid port";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, says);
        ScriptedServer server;
        server.send(Greeting).silence();
        frmSendMail& window = windowFor(server);
        if (value == QLatin1String("<fifo>")) {
            value = m_dir.filePath(QStringLiteral("fifo"));
            QVERIFY(QFile::exists(value) ||
                    mkfifo(QFile::encodeName(value).constData(), 0600) == 0);
        }
        window.findChild<QLineEdit*>(field)->setText(value);
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Warning);
        QVERIFY2(answerer.boxes[0].text.contains(says), qPrintable(answerer.boxes[0].text));
        QVERIFY2(answerer.boxes[0].text.contains("Nothing was sent"),
                 qPrintable(answerer.boxes[0].text));
        QTest::qWait(100);
        QCOMPARE(server.connectionCount(), 0);
        QCOMPARE(window.smtp->connection().socket()->state(), QAbstractSocket::UnconnectedState);
    }

    // A new send while one is waiting drops the old connection and starts
    // over from the greeting.
    void sendAgainStartsOver()
    {
        ScriptedServer server;
        frmSendMail& window = windowFor(server);
        server.send(Greeting).expectLine("HELO me").silence();
        window.cmdSend_Click();
        QVERIFY(server.waitForScriptDone(5000));
        server.reset();
        scriptUpToQuit(server, "\r\n.\r\n");
        server.send("221 Bye\r\n");
        BoxAnswerer answerer;
        window.cmdSend_Click();
        QVERIFY(server.waitForScriptDone(10000));
        QTRY_COMPARE(answerer.boxes.size(), 1);
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("Message has been sent"));
        QCOMPARE(server.mismatches(), QStringList());
    }
};

QTEST_MAIN(tst_sendmail)
#include "tst_sendmail.moc"
