// Mail from today's programs (built by Python's email package) through the
// real Dovecot: the list rows and every viewer show what Python reads out of
// the same messages. The demo's own mail, which has no MIME: its rows and
// viewers name the real subject and sender, and its picture is found.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/GeneratedMail.h"
#include "support/Mailhost.h"
#include "support/PlainCheck.h"
#include "support/TestEnvironment.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class TestMimeLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listAndViewers();
    void demoMessages();

private:
    void retrieve(const QList<QByteArray>& messages);
};

void TestMimeLive::initTestCase()
{
    if (!Mailhost::available())
        QSKIP("the local mail host is not running (scripts/mailhost start)");
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
}

void TestMimeLive::retrieve(const QList<QByteArray>& messages)
{
    QVERIFY(Mailhost::clear());
    QVERIFY(Mailhost::add(messages));
    Module1::MailServer = QString::fromLatin1(Mailhost::Host);
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    Module1::ConnectRetrieve();
    Email& email = Email::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!email.sessionRunning(), 60000);
    QCOMPARE(email.lstMessages->count(), messages.size());
}

void TestMimeLive::listAndViewers()
{
    const QList<GeneratedMail::Message> messages = GeneratedMail::make();
    QVERIFY(messages.size() >= 10);
    QList<QByteArray> files;
    for (const GeneratedMail::Message& message : messages)
        files << message.bytes;
    retrieve(files);
    if (QTest::currentTestFailed())
        return;
    Email& email = Email::instance();

    for (int row = 0; row < messages.size(); ++row) {
        email.lstMessages->setCurrentRow(row);
        Module1::OpenViewer();
        MainForm* viewer = Module1::Viewer;
        QVERIFY(viewer && viewer->isVisible());
        const QList<Mime::Attachment> files = Module1::displayedMessage(row).attachments;
        // A long subject is elided in its label; the tooltip shows it.
        const QString wrong =
            GeneratedMail::mismatch(messages[row], email.lstMessages->item(row)->text(),
                                    PlainCheck::shownToolTip(viewer->txtSubject->toolTip()),
                                    viewer->txtSender->text(), viewer->shownBody(), files);
        QVERIFY2(wrong.isEmpty(), qPrintable(messages[row].kind + ": " + wrong));
        QCOMPARE(viewer->lblAttachments->isVisible(), !files.isEmpty());
        delete viewer;
    }
}

void TestMimeLive::demoMessages()
{
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("uuencode"), QStringLiteral("sharutils")));
    QByteArray picture;
    const QList<QByteArray> demo = GeneratedMail::demoMessages(&picture);
    QCOMPARE(demo.size(), 4);
    retrieve(demo);
    if (QTest::currentTestFailed())
        return;
    const QStringList subjects{"Welcome to Quillbeacon", "Lunch on Friday?",
                               "Picture of the beacon (attached)", "Weekly report"};
    const QStringList senders{
        "Ada Lovelace <ada@example.test>", "Grace Hopper <grace@example.test>",
        "Alan Turing <alan@example.test>", "Quillbeacon demo <demo@example.test>"};
    Email& email = Email::instance();
    for (int row = 0; row < demo.size(); ++row) {
        QCOMPARE(email.lstMessages->item(row)->text(), subjects[row]);
        email.lstMessages->setCurrentRow(row);
        Module1::OpenViewer();
        MainForm* viewer = Module1::Viewer;
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(PlainCheck::shownToolTip(viewer->txtSubject->toolTip()).trimmed(), subjects[row]);
        QCOMPARE(viewer->txtSender->text(), senders[row]);
        // The tables still keep the recipient.
        QCOMPARE(Module1::MessageRecipients[row], QStringLiteral("qbtest@localhost"));
        QCOMPARE(viewer->cmdSave->isVisible(), row == 2);
        if (row == 2) {
            QCOMPARE(viewer->shownBody(),
                     QStringLiteral("Here is the picture of the beacon I promised.\r\n\r\n"));
            QCOMPARE(
                viewer->lblAttachments->text(),
                QStringLiteral("Attached: beacon.png (%1 KB)").arg((picture.size() + 512) / 1024));
            QCOMPARE(Module1::fileContent(Module1::heldMessage(row), 0), picture);
        }
        delete viewer;
    }
}

QTEST_MAIN(TestMimeLive)
#include "tst_mime_live.moc"
