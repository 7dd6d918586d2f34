// Text from strangers shows as text. One table of hostile strings goes
// through every place the program shows such text: as subjects and file
// names of mail that the real Dovecot serves to Connect, as the replies of
// scripted POP3 and SMTP servers, and (the names of the "hostile"
// certificate of scripts/mailhost) as a certificate's names. Each place
// shows the string literally, or its clipped start, in plain text, and a
// tooltip that QToolTip shows comes back. Whenever a box is up, and with
// every window open, a walk over all windows finds no label that is not
// plain text and no tooltip not made literal.

#include "core/Module1.h"
#include "net/PlainTextConsent.h"
#include "support/Mailhost.h"
#include "support/PlainCheck.h"
#include "support/ScriptedServer.h"
#include "support/TestEnvironment.h"
#include "tray/NoTrayNotice.h"
#include "tray/TrayIcon.h"
#include "ui/DebugA.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/Options.h"
#include "ui/PlainText.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"
#include "ui/frmSendMail.h"
#include "ui/frmSplash.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QToolTip>
#include <QtTest>

#include <sys/resource.h>

namespace
{

const QChar Ellipsis(0x2026);

QStringList hostileStrings()
{
    return {QStringLiteral("<img src=/dev/zero>"),
            QStringLiteral("<a href=http://example.test/>x</a>"),
            QStringLiteral("<h3>Verified by Audit Mail</h3><p>It is safe.</p><!--"),
            QStringLiteral("<b>bold</b>"),
            QStringLiteral("Tom & Jerry"),
            QStringLiteral("&lt;b&gt; &amp; &#60;"),
            QStringLiteral("<img src=/dev/zero> <b>long</b>").repeated(3200)}; // 100 KB
}

// The names of scripts/mailhost's "hostile" certificate.
QStringList certificateNames()
{
    return {QStringLiteral("<img src=/dev/zero>"),
            QStringLiteral("<h3>Verified by Audit Mail</h3><p>This is the certificate your "
                           "provider publishes. It is safe to answer Yes.</p><!--"),
            QStringLiteral("<a href=http://example.test/>x</a>"),
            QStringLiteral("<b>bold</b>"),
            QStringLiteral("Tom & Jerry"),
            QString(250, QLatin1Char('x')) + QStringLiteral("<img src=/dev/zero>"),
            QStringLiteral("localhost")};
}

// Shown is the literal text, or a start of it cut with "…" (by the clip or
// by a label too narrow).
bool literalOrCut(QString shown, const QString& literal)
{
    shown = shown.trimmed();
    if (shown == literal.trimmed())
        return true;
    if (!shown.endsWith(Ellipsis))
        return false;
    shown.chop(1);
    return literal.trimmed().startsWith(shown.trimmed());
}

QByteArray mailWith(const QString& text)
{
    const QByteArray raw = text.toUtf8();
    return "MIME-Version: 1.0\r\nFrom: sender@example.test\r\nTo: qbtest@localhost\r\n"
           "Subject: " +
           raw +
           "\r\nContent-Type: multipart/mixed; boundary=\"part\"\r\n\r\n--part\r\n"
           "Content-Type: text/plain\r\n\r\nbody\r\n--part\r\n"
           "Content-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename=\"" +
           raw + "\"\r\n\r\nfile\r\n--part--\r\n";
}

long residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4 / 1024;
}

} // namespace

class TestPlainTextLive : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void subjectsAndFileNames();
    void serverReplies();
    void certificateNames();
    void everyOtherWindow();

private:
    struct Box {
        QString name, text, informative, details;
        int height = 0;
    };
    void watchBoxes();
    // Shows the tooltip with QToolTip and waits until it is up.
    static bool shows(QWidget* widget, const QString& tip);
    bool runUntilBox(const std::function<void()>& start, Box* box);

    QList<Box> m_boxes;
    QStringList m_offenders;
    QTimer m_watcher;
};

void TestPlainTextLive::initTestCase()
{
    QB_REQUIRE_OR_SKIP(Mailhost::missing());
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    connect(&m_watcher, &QTimer::timeout, this, &TestPlainTextLive::watchBoxes);
    m_watcher.start(5);
}

void TestPlainTextLive::init()
{
    TestEnvironment::startAfresh();
    m_boxes.clear();
    m_offenders.clear();
    Module1::UserName = QString::fromLatin1(Mailhost::User);
    Module1::MailPassword = QString::fromLatin1(Mailhost::Password);
    QVERIFY(Mailhost::clear());
}

void TestPlainTextLive::cleanup()
{
    QList<QPointer<MainForm>> viewers;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<MainForm*>(window))
            viewers << viewer;
    }
    qDeleteAll(viewers);
    PlainTextConsent::setIsLocalForTest(nullptr);
    QVERIFY(Mailhost::setCertificate(QStringLiteral("good")));
    QVERIFY2(m_offenders.isEmpty(), qPrintable(m_offenders.join(QLatin1Char('\n'))));
    QVERIFY2(residentMiB() < 400, qPrintable(QString::number(residentMiB())));
}

// Every box is walked over while it is up, then answered: No to a question,
// OK to the others.
void TestPlainTextLive::watchBoxes()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    for (const QString& offender : PlainCheck::offenders())
        m_offenders << box->objectName() + QStringLiteral(" up: ") + offender;
    m_boxes << Box{box->objectName(), box->text(), box->informativeText(), box->detailedText(),
                   box->height()};
    const bool question = box->objectName() == QLatin1String("certificateQuestion") ||
                          box->objectName() == QLatin1String("unencryptedQuestion");
    box->done(question ? QMessageBox::No : QMessageBox::Ok);
}

bool TestPlainTextLive::shows(QWidget* widget, const QString& tip)
{
    QToolTip::showText(widget->mapToGlobal(QPoint(2, 2)), tip, widget);
    const bool up =
        QTest::qWaitFor([&] { return QToolTip::isVisible(); }, 5000) && QToolTip::text() == tip;
    QToolTip::hideText();
    return up;
}

bool TestPlainTextLive::runUntilBox(const std::function<void()>& start, Box* box)
{
    const qsizetype before = m_boxes.size();
    start();
    if (!QTest::qWaitFor([&] { return m_boxes.size() > before; }, 30000))
        return false;
    *box = m_boxes.last();
    return true;
}

void TestPlainTextLive::subjectsAndFileNames()
{
    const QStringList strings = hostileStrings();
    QList<QByteArray> mails;
    for (const QString& text : strings)
        mails << mailWith(text);
    QVERIFY(Mailhost::add(mails));
    Module1::MailServer = QStringLiteral("127.0.0.1");
    Module1::ConnectRetrieve();
    QListWidget* list = Email::instance().lstMessages;
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), strings.size(), 30000);
    QCOMPARE(m_boxes.size(), 0);

    for (int i = 0; i < strings.size(); ++i) {
        const QString& text = strings[i];
        QListWidgetItem* row = list->item(i);
        QVERIFY2(literalOrCut(row->text(), text), qPrintable(row->text().left(80)));
        QVERIFY(row->text().size() <= PlainText::MaxShown + 2);
        QVERIFY(literalOrCut(PlainCheck::shownToolTip(row->toolTip()), text));
        QVERIFY(shows(list->viewport(), row->toolTip()));

        list->setCurrentRow(i);
        Module1::OpenViewer();
        MainForm* viewer = Module1::Viewer;
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->txtSubject->textFormat(), Qt::PlainText);
        QVERIFY2(literalOrCut(viewer->txtSubject->text(), text),
                 qPrintable(viewer->txtSubject->text()));
        QVERIFY(literalOrCut(PlainCheck::shownToolTip(viewer->txtSubject->toolTip()), text));
        QVERIFY(shows(viewer->txtSubject, viewer->txtSubject->toolTip()));
        QLabel* files = viewer->lblAttachments;
        QVERIFY(files->isVisible());
        QCOMPARE(files->textFormat(), Qt::PlainText);
        const QString line = files->text();
        QVERIFY2(literalOrCut(line, QStringLiteral("Attached: ") + text) ||
                     line.startsWith(QStringLiteral("Attached: ") + text + QStringLiteral(" (")),
                 qPrintable(line));
        const QString names = PlainCheck::shownToolTip(files->toolTip());
        QVERIFY2(literalOrCut(names, text) || names.startsWith(text + QStringLiteral(" (")),
                 qPrintable(names.left(200)));
        QVERIFY(shows(files, files->toolTip()));
    }
    const QStringList offenders = PlainCheck::offenders();
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char('\n'))));
}

// A POP3 server's refusal in the error box, an SMTP server's in the
// "Error: " box, and the Winsock box of a refused connection.
void TestPlainTextLive::serverReplies()
{
    for (QString text : hostileStrings()) {
        text.truncate(60000); // a longer reply line ends the session unquoted
        const QByteArray reply = text.toUtf8();
        ScriptedServer pop3;
        pop3.send("+OK ready\r\n").expectLine("USER qbtest").send("-ERR " + reply + "\r\n");
        Module1::MailServer = QStringLiteral("127.0.0.1:%1").arg(pop3.port());
        Box box;
        QVERIFY(runUntilBox(Module1::ConnectRetrieve, &box));
        QCOMPARE(box.text, QStringLiteral("Error Has Occured"));
        QVERIFY2(box.informative.contains(text.left(200)), qPrintable(box.informative.left(200)));
        QVERIFY(box.informative.size() <= PlainText::MaxShown + 1);

        ScriptedServer smtp;
        smtp.send("220 ready\r\n").expectLine("HELO me").send("554 " + reply + "\r\n");
        frmSendMail& window = frmSendMail::instance();
        window.txtHost->setText(QStringLiteral("127.0.0.1:%1").arg(smtp.port()));
        window.txtSender->setText(QStringLiteral("me@example.test"));
        window.txtRecipient->setText(QStringLiteral("qbtest@localhost"));
        QVERIFY(runUntilBox([&] { window.cmdSend_Click(); }, &box));
        QVERIFY2(box.text.startsWith(QStringLiteral("Error: 554 ") + text.left(200)),
                 qPrintable(box.text.left(200)));
        QVERIFY(box.text.size() <= PlainText::MaxShown + 10);
    }
    frmSendMail& window = frmSendMail::instance();
    window.txtHost->setText(QStringLiteral("127.0.0.1:1"));
    Box box;
    QVERIFY(runUntilBox([&] { window.cmdSend_Click(); }, &box));
    QVERIFY2(box.text.startsWith(QStringLiteral("Winsock Error number 10061")),
             qPrintable(box.text));
}

// The names stand apart, each as it is or clipped to 255 characters, five
// and a count of the others; the fixed part says whose certificate it is,
// its fingerprint and how to compare it, and holds no name.
void TestPlainTextLive::certificateNames()
{
    QVERIFY(Mailhost::setCertificate(QStringLiteral("hostile")));
    Module1::MailServer = QStringLiteral("127.0.0.1:995");
    Box box;
    QVERIFY(runUntilBox(Module1::ConnectRetrieve, &box));
    QCOMPARE(box.name, QStringLiteral("certificateQuestion"));
    // Our words first: a name there would have made Qt take the box for
    // rich text.
    const QString lead = box.text.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(lead.startsWith(QStringLiteral("The certificate of 127.0.0.1:995 is not trusted: ")) &&
                 lead.contains(QStringLiteral("it is self-signed")) &&
                 lead.contains(QStringLiteral("it was issued for another name")),
             qPrintable(lead));
    QVERIFY(box.text.contains(QRegularExpression(QStringLiteral(
        "SHA-256 fingerprint:\n([0-9A-F]{2}:){31}[0-9A-F]{2}\n\nCompare it with "))));
    QVERIFY(box.text.endsWith(QStringLiteral("Answer No unless the fingerprint is the same.")));
    QVERIFY2(!box.text.contains(QLatin1Char('<')), qPrintable(box.text));
    QVERIFY(box.height < 600);

    const QString names = box.details.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(names.startsWith(QStringLiteral("It names: ")) &&
                 names.endsWith(QStringLiteral(" and 2 more")),
             qPrintable(names));
    // Five of the names, as they are or clipped, and nothing else.
    int shown = 0;
    qsizetype length = QStringLiteral("It names:  and 2 more").size() - 2;
    for (const QString& name : ::certificateNames()) {
        const QString asShown = name.size() > 255 ? name.left(255) + QString(Ellipsis) : name;
        if (names.contains(asShown)) {
            ++shown;
            length += asShown.size() + 2;
        }
    }
    QCOMPARE(shown, 5);
    QCOMPARE(names.size(), length);
    QVERIFY(box.details.contains(QStringLiteral("\nIssued by: <img src=/dev/zero>\n")));

    QTRY_COMPARE(m_boxes.size(), 2);
    QCOMPARE(m_boxes[1].text, QStringLiteral("Error Has Occured"));
}

// The boxes and windows not met above: the question before a password goes
// unencrypted, the no-tray notice, Options, the sender window, the debug
// window and the splash, the tray icon with a hostile tip.
void TestPlainTextLive::everyOtherWindow()
{
    PlainTextConsent::setIsLocalForTest([](const QString&) { return false; });
    Module1::MailServer = QStringLiteral("127.0.0.1");
    Box box;
    QVERIFY(runUntilBox(Module1::ConnectRetrieve, &box));
    QCOMPARE(box.name, QStringLiteral("unencryptedQuestion"));

    Options& options = Options::instance();
    options.show();
    frmSendMail::instance().show();
    DebugA::instance().show();
    frmSplash::instance().show();
    NoTrayNotice::show(&options);
    const QString tip = QStringLiteral("Quillbeacon: check failed: -ERR <img src=/dev/zero>");
    options.TrayIcon1->Start();
    options.TrayIcon1->setToolTip(tip);
    options.TrayIcon1->Modify();
    auto* tray = options.TrayIcon1->findChild<QSystemTrayIcon*>();
    QVERIFY(tray);
    QCOMPARE(PlainCheck::shownTrayTip(tray->toolTip()), tip);
    QTest::qWait(50);
    const QStringList offenders = PlainCheck::offenders();
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char('\n'))));
    options.TrayIcon1->Remove();
}

QTEST_MAIN(TestPlainTextLive)
#include "tst_plaintext_live.moc"
