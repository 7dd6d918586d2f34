// Mail from today's programs (built by Python's email package) through the
// real Dovecot: the list rows and every viewer show what Python reads out of
// the same messages.
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
#include <QtTest>

class TestMimeLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listAndViewers();
};

void TestMimeLive::initTestCase()
{
    if (!Mailhost::available())
        QSKIP("the local mail host is not running (scripts/mailhost start)");
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
}

void TestMimeLive::listAndViewers()
{
    const QList<GeneratedMail::Message> messages = GeneratedMail::make();
    QVERIFY(messages.size() >= 10);
    QList<QByteArray> files;
    for (const GeneratedMail::Message& message : messages)
        files << message.bytes;
    QVERIFY(Mailhost::clear());
    QVERIFY(Mailhost::add(files));

    Module1::MailServer = QString::fromLatin1(Mailhost::Host);
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    Module1::ConnectRetrieve();
    Email& email = Email::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!email.sessionRunning(), 60000);
    QCOMPARE(email.lstMessages->count(), messages.size());

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

QTEST_MAIN(TestMimeLive)
#include "tst_mime_live.moc"
