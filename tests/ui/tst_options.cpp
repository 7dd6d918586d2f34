// The Options window: its controls where the design puts them, the focus
// order, the "&File" menu, and what closing it does.

#include "support/TestEnvironment.h"
#include "tray/TrayIcon.h"
#include "ui/Options.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

class TestOptions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::resetWindows(); }

    void controlsInTwips_data();
    void controlsInTwips();
    void captionsAndClientArea();
    void focusFollowsTabIndex();
    void fileMenuItemsInOrder();
    void closingHidesOrEndsTheProgram();
};

void TestOptions::controlsInTwips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label1") << "Label1" << QRect(120, 120, 1575, 255);
    QTest::newRow("Server") << "Server" << QRect(120, 480, 3135, 285);
    QTest::newRow("Label4") << "Label4" << QRect(1920, 840, 1335, 255);
    QTest::newRow("Username") << "Username" << QRect(120, 1200, 3135, 285);
    QTest::newRow("Password") << "Password" << QRect(120, 1920, 3135, 285);
    QTest::newRow("ServerB") << "ServerB" << QRect(120, 2640, 3135, 285);
    QTest::newRow("chkSplash") << "chkSplash" << QRect(480, 3120, 2535, 495);
    QTest::newRow("chkDebug") << "chkDebug" << QRect(480, 3720, 2535, 495);
    QTest::newRow("cmdOK") << "cmdOK" << QRect(1080, 4560, 1215, 495);
}

void TestOptions::controlsInTwips()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    auto* control = Options::instance().findChild<QWidget*>(name);
    QVERIFY(control);
    // 96 DPI offscreen: 15 twips to the pixel.
    QCOMPARE(Twips::perPixel(), 15.0);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
}

void TestOptions::captionsAndClientArea()
{
    Options& options = Options::instance();
    QCOMPARE(options.windowTitle(), QStringLiteral("Options"));
    // The client area as laid out in the shown window: right under the menu
    // bar, 3465 x 5115 twips and the band of the automatic check below.
    options.show();
    QVERIFY(QTest::qWaitForWindowExposed(&options));
    QCOMPARE(options.centralWidget()->geometry(),
             QRect(0, options.menuBar()->geometry().bottom() + 1, 231, 417));
    QCOMPARE(options.Label1->text(), QStringLiteral("Incoming Mail Server"));
    QCOMPARE(options.Label4->text(), QStringLiteral("Default Port is 110"));
    QCOMPARE(options.Label3->text(), QStringLiteral("Outgoing Mail Server"));
    QCOMPARE(options.chkSplash->text(), QStringLiteral("Show Splash Screen At Startup"));
    QCOMPARE(options.chkDebug->text(), QStringLiteral("Show Debug Form"));
    QVERIFY(!options.chkDebug->isChecked());
    QCOMPARE(options.cmdOK->text(), QStringLiteral("&OK"));
    QCOMPARE(options.Password->echoMode(), QLineEdit::Normal); // shown in clear
    QCOMPARE(options.TrayIcon1->pos(), QPoint(2640 / 15, 3840 / 15));
}

void TestOptions::focusFollowsTabIndex()
{
    Options& options = Options::instance();
    const QList<QWidget*> expected = {options.chkSplash, options.Server, options.Password,
                                      options.ServerB,   options.cmdOK,  options.Username,
                                      options.chkDebug};
    for (int i = 0; i + 1 < expected.size(); ++i)
        QCOMPARE(expected[i]->nextInFocusChain(), expected[i + 1]);
}

void TestOptions::fileMenuItemsInOrder()
{
    Options& options = Options::instance();
    QCOMPARE(options.menuBar()->actions().size(), 1);
    QCOMPARE(options.mnuFile->title(), QStringLiteral("&File"));
    QStringList items;
    for (QAction* action : options.mnuFile->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QVERIFY(action->isEnabled());
        QVERIFY(!action->isCheckable());
        QVERIFY(action->shortcut().isEmpty());
    }
    QCOMPARE(items, (QStringList{"&Connect", "-", "&Options", "&Write Email", "&Delete All Mail",
                                 "-", "&Exit"}));
    options.mnuOptions->trigger();
    QVERIFY(options.isVisible());
}

void TestOptions::closingHidesOrEndsTheProgram()
{
    TestEnvironment::resetExit();
    Options& options = Options::instance();
    options.show();
    options.close();
    QVERIFY(!options.isVisible());
    QCOMPARE(TestEnvironment::exitCount(), 0);
    options.setCloseEndsProgram(true); // no notification area to live in
    options.show();
    options.close();
    QCOMPARE(TestEnvironment::exitCount(), 1);
    options.setCloseEndsProgram(false);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
