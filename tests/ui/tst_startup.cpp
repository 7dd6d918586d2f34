// Start-up: the four steps, their order and independence, and the splash
// window's hand-over to Options.

#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "core/SettingsStore.h"
#include "support/TestEnvironment.h"
#include "ui/Options.h"
#include "ui/Startup.h"
#include "ui/frmSplash.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

namespace
{

void store(const QString& section, const QString& key, const QString& value)
{
    QVERIFY(SettingsStore::forThisProgram().SaveSetting(section, key, value));
}

// Counts how often Options becomes visible.
struct ShowCounter : QObject {
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::startAfresh(); }

    void failingStepDoesNotStopTheNext();
    void firstStartWithoutSettings();
    void startWithSettingsFillsOptions();
    void splashSwitchOff();
    void splashValueOtherThanZeroOrOne_data();
    void splashValueOtherThanZeroOrOne();
    void clickBeforeTimeoutShowsOptionsOnce();
    void characterKeyClosesSplashOtherKeysDoNot();
    void timerClosesSplashAfterFiveSeconds();
};

void TestStartup::failingStepDoesNotStopTheNext()
{
    QStringList ran;
    Module1::RunStartupSteps({[&] { ran << "1"; },
                              [&] {
                                  ran << "2";
                                  throw std::runtime_error("step 2 fails");
                                  ran << "never";
                              },
                              [&] { ran << "3"; }, [&] { ran << "4"; }});
    QCOMPARE(ran, (QStringList{"1", "2", "3", "4"}));
}

void TestStartup::firstStartWithoutSettings()
{
    Module1::DeleteMode = Module1::True;
    Module1::Main();
    QCOMPARE(Module1::DeleteMode, Module1::False);
    QVERIFY(frmSplash::loaded());
    QVERIFY(frmSplash::instance().isVisible());
    Options& options = Options::instance();
    QVERIFY(!options.isVisible());
    QVERIFY(options.chkSplash->isChecked());
    QVERIFY(options.Server->text().isEmpty());
    QVERIFY(options.Username->text().isEmpty());
    QVERIFY(options.Password->text().isEmpty());
}

void TestStartup::startWithSettingsFillsOptions()
{
    store("Preferences", "All", "pop.test,110,ann," + PasswordScrambler::storedForm("Pa55word"));
    store("Splash", "OnOff", "0");
    Module1::Main();
    Options& options = Options::instance();
    QVERIFY(options.isVisible());
    QVERIFY(!frmSplash::loaded());
    QVERIFY(!options.chkSplash->isChecked());
    QCOMPARE(options.Server->text(), QStringLiteral("pop.test"));
    QCOMPARE(options.Username->text(), QStringLiteral("ann"));
    QCOMPARE(options.Password->text(), QStringLiteral("Pa55word"));
    QCOMPARE(Module1::MailPassword, QStringLiteral("Pa55word"));
}

void TestStartup::splashSwitchOff()
{
    store("Splash", "OnOff", "0");
    Module1::LoadSplashSetting();
    QVERIFY(Options::instance().isVisible());
    QVERIFY(!frmSplash::loaded());
}

void TestStartup::splashValueOtherThanZeroOrOne_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("two") << "2";
    QTest::newRow("minus one") << "-1";
    QTest::newRow("text") << "yes";
    QTest::newRow("empty") << "";
}

void TestStartup::splashValueOtherThanZeroOrOne()
{
    QFETCH(QString, value);
    store("Splash", "OnOff", value);
    Module1::LoadSplashSetting();
    QVERIFY(frmSplash::loaded());
    QVERIFY(Options::instance().chkSplash->isChecked());
}

void TestStartup::clickBeforeTimeoutShowsOptionsOnce()
{
    Module1::Main();
    ShowCounter counter;
    Options::instance().installEventFilter(&counter);
    QPointer<frmSplash> splash = &frmSplash::instance();
    QTest::qWait(1000);
    QTest::mouseClick(splash, Qt::LeftButton);
    QVERIFY(!frmSplash::loaded());
    QCOMPARE(counter.shows, 1);
    QTRY_VERIFY(splash.isNull()); // unloaded, not just hidden
    QTest::qWait(4500);           // past the five seconds
    QCOMPARE(counter.shows, 1);
}

void TestStartup::characterKeyClosesSplashOtherKeysDoNot()
{
    Module1::LoadSplashSetting();
    frmSplash& splash = frmSplash::instance();
    QTest::keyClick(&splash, Qt::Key_Shift);
    QTest::keyClick(&splash, Qt::Key_Left);
    QVERIFY(frmSplash::loaded());
    QVERIFY(!Options::instance().isVisible());
    QTest::keyClick(&splash, Qt::Key_Q);
    QVERIFY(!frmSplash::loaded());
    QVERIFY(Options::instance().isVisible());
}

void TestStartup::timerClosesSplashAfterFiveSeconds()
{
    Module1::LoadSplashSetting();
    QCOMPARE(frmSplash::instance().Timer1->interval(), 5000);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(Options::instance().isVisible(), 8000);
    QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!frmSplash::loaded());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
