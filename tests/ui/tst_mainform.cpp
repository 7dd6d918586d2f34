// The message viewer: what it shows, the cut of an attachment, where it ends
// up, and its two commands.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/PlainCheck.h"
#include "support/TestEnvironment.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/PictureButton.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"
#include "ui/Twips.h"
#include "ui/ViewerBody.h"
#include "ui/frmSendMail.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace
{

void fillMessages(int count)
{
    Email& email = Email::instance();
    email.lstMessages->clear();
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        email.lstMessages->addItem(Module1::storeRetrievedMessage(
            i, "+OK\r\nSubject: Subject " + n + "\r\nTo: rcpt" + n + "@x.test\r\nFrom: <from" + n +
                   "@x.test>\r\n\r\nBody " + n + "\r\n.\r\n"));
    }
}

QList<MainForm*> viewers()
{
    QList<MainForm*> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<MainForm*>(w); v && v->isVisible())
            open << v;
    return open;
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cutsAttachment_data();
    void cutsAttachment();
    void opensOnSelectedRow();
    void doubleClickOpensViewer();
    void slidesLevelWithMailbox();
    void noSelectionDoesNothing();
    void eachOpeningIsANewViewer();
    void replyShowsTheOneSenderWindow();
    void longSubjectIsElidedAndWholeInTooltip();
};

void TestMainForm::initTestCase()
{
    TestEnvironment::isolate();
}

void TestMainForm::init()
{
    TestEnvironment::resetWindows();
    DefaultInstance<Email>::destroyForTest();
    SlideIn::setPauseForTest(0);
    Module1::SlideInMailbox(); // the mailbox window at rest
}

void TestMainForm::cleanup()
{
    for (MainForm* v : viewers())
        delete v;
}

void TestMainForm::cutsAttachment_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    const QString block = "begin 664 a.txt\n#86)C\n`\nend\n";
    QTest::newRow("two lines then a block")
        << "one\r\ntwo\r\n" + block << QStringLiteral("one\r\ntwo\r\n");
    QTest::newRow("two blocks") << "x\r\n" + block + "y\r\n" + block << QStringLiteral("x\r\n");
    QTest::newRow("capitals only") << QStringLiteral("BEGIN 664 a\r\nBegin 664 b\r\n")
                                   << QStringLiteral("BEGIN 664 a\r\nBegin 664 b\r\n");
    QTest::newRow("mid-line") << QStringLiteral("see begin 664 here") << QStringLiteral("see ");
    // Other modes start a block only on a line of their own, with a name.
    QTest::newRow("mode 644") << "x\r\nbegin 644 a.txt\r\n#86)C\r\n`\r\nend\r\n"
                              << QStringLiteral("x\r\n");
    QTest::newRow("mode 0755 first")
        << QStringLiteral("begin 0755 run.sh\nbegin 664 b\n") << QString();
    QTest::newRow("other modes not blocks")
        << QStringLiteral("see begin 644 a.txt\r\nbegin 644\r\nbegin 999 x\r\nbegin 64 x\r\n")
        << QStringLiteral("see begin 644 a.txt\r\nbegin 644\r\nbegin 999 x\r\nbegin 64 x\r\n");
    QTest::newRow("none") << QStringLiteral("plain\r\n") << QStringLiteral("plain\r\n");
}

void TestMainForm::cutsAttachment()
{
    QFETCH(QString, body);
    QTEST(ViewerBody::withoutAttachment(body), "shown");
}

void TestMainForm::opensOnSelectedRow()
{
    fillMessages(3);
    Module1::storeRetrievedMessage(1, "+OK\r\nSubject: Subject 1\r\nTo: rcpt1@x.test\r\n"
                                      "From: Ann Example <ann@x.test>\r\n\r\n"
                                      "Hi\r\nthere\r\nbegin 664 f.bin\nM86)C\nend\n.\r\n");
    Email::instance().lstMessages->setCurrentRow(1);
    Module1::OpenViewer();
    MainForm* viewer = Module1::Viewer;
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    // The sender, not the recipient the tables keep.
    QCOMPARE(viewer->txtSender->text(), QStringLiteral("Ann Example <ann@x.test>"));
    QCOMPARE(Module1::MessageRecipients[1], QStringLiteral("rcpt1@x.test"));
    QCOMPARE(viewer->txtSubject->text(), QStringLiteral("Subject 1"));
    QCOMPARE(viewer->shownBody(), QStringLiteral("Hi\r\nthere\r\n"));
    QCOMPARE(viewer->txtMessage->toPlainText(), QStringLiteral("Hi\nthere\n"));
    // The table keeps the whole body.
    QVERIFY(Module1::MessageBodies[1].contains("begin 664"));

    QVERIFY(viewer->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(viewer->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QCOMPARE(viewer->size(), QSize(Twips::toPixels(3630), Twips::toPixels(2775)));
    QCOMPARE(viewer->Command1->text(), QStringLiteral("Reply"));
    QCOMPARE(viewer->Command1->geometry(), Twips::rect(2880, 600, 615, 255));
    // The uuencoded block is named under a shorter body box.
    QCOMPARE(viewer->txtMessage->geometry(), Twips::rect(600, 960, 2895, 1425));
    QVERIFY(viewer->lblAttachments->isVisible());
    QCOMPARE(viewer->lblAttachments->text(), QStringLiteral("Attached: f.bin (3 bytes)"));
    QCOMPARE(viewer->Exit->pixmap().size(), QSize(11, 11));
}

void TestMainForm::doubleClickOpensViewer()
{
    fillMessages(2);
    QListWidget* list = Email::instance().lstMessages;
    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    QVERIFY(Module1::Viewer);
    QCOMPARE(Module1::Viewer->txtSubject->text(), QStringLiteral("Subject 1"));
}

void TestMainForm::slidesLevelWithMailbox()
{
    fillMessages(1);
    Email& email = Email::instance();
    email.lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    MainForm* viewer = Module1::Viewer;
    QCOMPARE(viewer->slideSteps(), 93);
    QCOMPARE(viewer->Top(), email.Top());
    QCOMPARE(viewer->Left(), email.Left() - 3630);
    QCOMPARE(viewer->Left(), PopupPlacement::current().viewerLeft);
    QCOMPARE(viewer->geometry().right() + 1, email.geometry().left());
    QCOMPARE(viewer->geometry().top(), email.geometry().top());

    // A mailbox window lower than the viewer's start: no steps, put level.
    delete viewer;
    email.setTop(PopupPlacement::current().startTop + 300);
    Module1::OpenViewer();
    QCOMPARE(Module1::Viewer->slideSteps(), 0);
    QCOMPARE(Module1::Viewer->Top(), email.Top());
}

void TestMainForm::noSelectionDoesNothing()
{
    fillMessages(2);
    Email::instance().lstMessages->setCurrentRow(-1);
    Module1::OpenViewer();
    QVERIFY(!Module1::Viewer);
    QCOMPARE(viewers().size(), 0);
}

void TestMainForm::eachOpeningIsANewViewer()
{
    fillMessages(1);
    Email::instance().lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    MainForm* first = Module1::Viewer;
    Module1::OpenViewer();
    MainForm* second = Module1::Viewer;
    QVERIFY(first != second);
    QCOMPARE(viewers().size(), 2);
    QCOMPARE(first->pos(), second->pos());
    QCOMPARE(first->shownBody(), second->shownBody());

    QPointer<MainForm> gone = second;
    QTest::mouseClick(second->Exit, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_VERIFY(!gone);
    QCOMPARE(viewers(), QList<MainForm*>({first}));
    QVERIFY(Email::instance().isVisible());
    QCOMPARE(TestEnvironment::exitCount(), 0);
}

void TestMainForm::replyShowsTheOneSenderWindow()
{
    fillMessages(2);
    Email::instance().lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    MainForm* first = Module1::Viewer;
    Email::instance().lstMessages->setCurrentRow(1);
    Module1::OpenViewer();
    MainForm* second = Module1::Viewer;
    QTest::mouseClick(first->Command1, Qt::LeftButton);
    frmSendMail* sender = &frmSendMail::instance();
    QVERIFY(sender->isVisible());
    QTest::mouseClick(second->Command1, Qt::LeftButton);
    QCOMPARE(&frmSendMail::instance(), sender);
    int senders = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        senders += qobject_cast<frmSendMail*>(w) != nullptr;
    QCOMPARE(senders, 1);
}

// A subject far wider than its label: the label ends in "…" within its
// width, the whole subject is in its tooltip and accessible description,
// and in the tooltip of its list row.
void TestMainForm::longSubjectIsElidedAndWholeInTooltip()
{
    QString subject = QStringLiteral("Re: Fwd: URGENT - Please read");
    while (subject.size() < 300)
        subject += QStringLiteral(" and then the rest of it");
    const QByteArray reply = "+OK\r\nSubject: " + subject.toUtf8() + "\r\n\r\nbody\r\n.\r\n";
    Email& email = Email::instance();
    email.lstMessages->clear();
    emit email.pop3->messageStored(0, Module1::storeRetrievedMessage(0, reply));
    QCOMPARE(PlainCheck::shownToolTip(email.lstMessages->item(0)->toolTip()).trimmed(), subject);

    email.lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    const QLabel* label = Module1::Viewer->txtSubject;
    QVERIFY2(label->text().endsWith(QChar(0x2026)), qPrintable(label->text()));
    QVERIFY(label->text().trimmed().startsWith(QStringLiteral("Re: Fwd: URGENT")));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QCOMPARE(PlainCheck::shownToolTip(label->toolTip()).trimmed(), subject);
    QCOMPARE(label->accessibleDescription().trimmed(), subject);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
