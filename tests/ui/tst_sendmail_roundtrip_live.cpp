// The closed loop: a mail written and sent in the sender window goes through
// Postfix into the Maildir, "&Connect" fetches it from Dovecot, and the viewer
// shows its text without the attached block. The viewer's Reply and the
// tray's "&Write Email" bring up that same sender window.

#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/Mailhost.h"
#include "support/TestEnvironment.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/Options.h"
#include "ui/SlideIn.h"
#include "ui/frmSendMail.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class tst_sendmail_roundtrip_live : public QObject
{
    Q_OBJECT

private:
    QStringList m_boxes;
    QTimer m_answerer;

private slots:
    void initTestCase()
    {
        QB_REQUIRE_OR_SKIP(Mailhost::missing());
        TestEnvironment::isolate();
        SlideIn::setPauseForTest(0);
        connect(&m_answerer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_boxes << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_answerer.start(10);
    }

    void sentMailComesBackThroughConnect()
    {
        TestEnvironment::resetWindows();
        DefaultInstance<Email>::destroyForTest();
        QVERIFY(Mailhost::clear());
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("notes.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(1000, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + 3);
        file.write(bytes);
        file.close();

        Module1::SmtpServer = QString::fromLatin1(Mailhost::Host);
        Options::instance().mnuWrite->trigger();
        frmSendMail& sender = frmSendMail::instance();
        QVERIFY(sender.isVisible());
        QCOMPARE(sender.txtHost->text(), QString::fromLatin1(Mailhost::Host));
        sender.txtSender->setText(QStringLiteral("me@example.test"));
        sender.txtRecipient->setText(QString::fromLatin1(Mailhost::Address));
        sender.txtSubject->setText(QStringLiteral("Round trip"));
        const QString text = QStringLiteral("Hello\n.a line with a dot\nGrüße");
        sender.txtMessage->setPlainText(text);
        sender.txtAttachment->setText(file.fileName());
        QTest::mouseClick(sender.cmdSend, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes, QStringList{"Message has been sent"}, 30000);
        QVERIFY(Mailhost::waitCount(1, 30));

        m_boxes.clear();
        Module1::MailServer = QString::fromLatin1(Mailhost::Host);
        Module1::UserName = QString::fromLatin1(Mailhost::User);
        Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
        Options::instance().mnuConnect->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!Email::instance().sessionRunning(), 30000);
        QCOMPARE(m_boxes, QStringList());
        Email& email = Email::instance();
        QCOMPARE(email.lstMessages->count(), 1);
        QVERIFY2(Module1::MessageSubjects[0].contains(QStringLiteral("Round trip")),
                 qPrintable(Module1::MessageSubjects[0]));
        QVERIFY(Module1::MessageBodies[0].contains(QStringLiteral("begin 664 notes.bin\r\n")));

        email.lstMessages->setCurrentRow(0);
        Module1::OpenViewer();
        QVERIFY(Module1::Viewer);
        MainForm* viewer = Module1::Viewer;
        QCOMPARE(viewer->shownBody(),
                 QStringLiteral("Hello\r\n.a line with a dot\r\nGrüße\r\n\r\n"));

        // Reply brings up the sender window that is already open.
        QTest::mouseClick(viewer->Command1, Qt::LeftButton);
        QCOMPARE(&frmSendMail::instance(), &sender);
        QVERIFY(sender.isVisible());
        QCOMPARE(sender.txtSubject->text(), QStringLiteral("Round trip"));
        delete viewer;
    }
};

QTEST_MAIN(tst_sendmail_roundtrip_live)
#include "tst_sendmail_roundtrip_live.moc"
