// Saving a file from the viewer: the names a message gives become plain file
// names in the folder chosen (never a path, never a hidden file), the bytes
// written are those Python's email package decodes, a failed write leaves
// nothing behind, and the folder opens only when asked.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/GeneratedMail.h"
#include "support/TestEnvironment.h"
#include "ui/AttachmentSave.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/SafeFileName.h"
#include "ui/SlideIn.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestAttachmentSave : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void safeNames_data();
    void safeNames();
    void savesEachFileInTheChosenFolder();
    void failedWriteLeavesNothing();

public slots:
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    MainForm* openViewerOn(const QByteArray& message);
    QList<QUrl> m_opened;
};

void TestAttachmentSave::initTestCase()
{
    TestEnvironment::isolate();
    SlideIn::setPauseForTest(0);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
}

void TestAttachmentSave::safeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    // The hostile names of the generated message are saved below.
    QTest::newRow("windows path") << "C:\\Users\\a\\report.pdf"
                                  << "report.pdf";
    QTest::newRow("dots only") << "../.."
                               << "attachment";
    QTest::newRow("forbidden on Windows") << "a<b>:c\"d|e?f*.txt"
                                          << "a_b__c_d_e_f_.txt";
    QTest::newRow("device name") << "CON.txt"
                                 << "_CON.txt";
    QTest::newRow("bidi override") << QString::fromUtf8("invoice\u202Etxt.exe") << "invoicetxt.exe";
    QTest::newRow("kept as it is") << QString::fromUtf8("Grüße aus Köln – März.pdf")
                                   << QString::fromUtf8("Grüße aus Köln – März.pdf");
    QTest::newRow("long, extension kept")
        << QString(300, u'x') + ".tar" << QString(196, u'x') + ".tar";
}

void TestAttachmentSave::safeNames()
{
    QFETCH(QString, name);
    QTEST(SafeFileName::of(name), "safe");
}

MainForm* TestAttachmentSave::openViewerOn(const QByteArray& message)
{
    TestEnvironment::resetWindows();
    DefaultInstance<Email>::destroyForTest();
    Email& email = Email::instance();
    email.lstMessages->addItem(Module1::storeRetrievedMessage(0, GeneratedMail::replyFor(message)));
    email.lstMessages->setCurrentRow(0);
    Module1::OpenViewer();
    return Module1::Viewer;
}

void TestAttachmentSave::savesEachFileInTheChosenFolder()
{
    GeneratedMail::Message hostile;
    for (const GeneratedMail::Message& message : GeneratedMail::make())
        if (message.kind == QLatin1String("hostilenames"))
            hostile = message;
    QVERIFY(!hostile.bytes.isEmpty());
    const QJsonArray files = hostile.expected[QLatin1String("attachments")].toArray();
    QCOMPARE(files.size(), 4);

    const QString downloads = QDir::home().filePath(QStringLiteral("Downloads"));
    QVERIFY(QDir().mkpath(downloads));
    QTemporaryDir root;
    const QString chosen = root.filePath(QStringLiteral("a/b"));
    QVERIFY(QDir().mkpath(chosen));
    QStringList suggested;
    AttachmentSave::setChooserForTest([&](const QString& path) {
        suggested << path;
        return QDir(chosen).filePath(QFileInfo(path).fileName());
    });

    MainForm* viewer = openViewerOn(hostile.bytes);
    QVERIFY(viewer && viewer->cmdSave->isVisible());
    // The tables move on; the viewer saves from the message it shows.
    Module1::storeRetrievedMessage(0, GeneratedMail::replyFor("Subject: other\r\n\r\nx\r\n"));
    QTest::mouseClick(viewer->cmdSave, Qt::LeftButton);
    auto* menu = viewer->findChild<QMenu*>(QStringLiteral("mnuFiles"));
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 4);
    for (QAction* action : menu->actions())
        action->trigger();

    QCOMPARE(suggested.size(), 4);
    for (const QString& path : std::as_const(suggested))
        QCOMPARE(QFileInfo(path).absolutePath(), downloads);
    QDir folder(chosen);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"ab", "bashrc", "hidden", "passwd"}));
    QCOMPARE(QDir(root.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    const QStringList names{"bashrc", "passwd", "ab", "hidden"};
    for (qsizetype i = 0; i < files.size(); ++i) {
        QFile saved(folder.filePath(names[i]));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(saved.readAll(), QCryptographicHash::Sha256).toHex(),
                 files[i][QLatin1String("sha256")].toString().toLatin1());
    }

    // Each save says where the file went; the folder opens only on request.
    const QList<QMessageBox*> boxes =
        viewer->findChildren<QMessageBox*>(QStringLiteral("AttachmentSaved"));
    QCOMPARE(boxes.size(), 4);
    QVERIFY(boxes.last()->isVisible());
    QVERIFY2(boxes.last()->text().contains(QStringLiteral("Saved hidden in ")),
             qPrintable(boxes.last()->text()));
    QCOMPARE(m_opened, QList<QUrl>());
    QAbstractButton* show = nullptr;
    for (QAbstractButton* button : boxes.last()->buttons())
        if (button->text() == QLatin1String("Show in Folder"))
            show = button;
    QVERIFY(show);
    show->click();
    QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(chosen)}));
    delete viewer;
}

void TestAttachmentSave::failedWriteLeavesNothing()
{
    QTemporaryDir root;
    const QString missing = root.filePath(QStringLiteral("gone/report.pdf"));
    AttachmentSave::setChooserForTest([&](const QString&) { return missing; });
    MainForm* viewer = openViewerOn("MIME-Version: 1.0\r\nContent-Type: application/pdf; "
                                    "name=report.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                                    "JVBERi0xLjQ=\r\n");
    QVERIFY(viewer);
    QCOMPARE(viewer->lblAttachments->text(), QStringLiteral("Attached: report.pdf (8 bytes)"));
    QTest::mouseClick(viewer->cmdSave, Qt::LeftButton); // one file: no menu
    const auto* box = viewer->findChild<QMessageBox*>(QStringLiteral("AttachmentSaved"));
    QVERIFY(box);
    QVERIFY2(box->text().contains(QStringLiteral("could not be saved")), qPrintable(box->text()));
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    delete viewer;
    AttachmentSave::setChooserForTest({});
}

QTEST_MAIN(TestAttachmentSave)
#include "tst_attachmentsave.moc"
