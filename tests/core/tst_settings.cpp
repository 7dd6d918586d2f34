// The settings store and the preferences record, through LoadSettings and
// the Options window's OK button as the program runs them.

#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "core/PreferencesRecord.h"
#include "core/SettingsStore.h"
#include "support/TestEnvironment.h"
#include "ui/Options.h"
#include "ui/Startup.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>
#include <QtTest>

namespace
{

QString storedRecord()
{
    return SettingsStore::forThisProgram().GetSetting("Preferences", "All", "<absent>");
}

void storeRecord(const QString& record)
{
    QVERIFY(SettingsStore::forThisProgram().SaveSetting("Preferences", "All", record));
}

// Answers the next modal message box with OK and hands back its text.
QString* answerNextMessageBox()
{
    auto* text = new QString;
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        }
    });
    return text;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::startAfresh(); }

    void applicationNameFromExecutablePath();
    void storesOfTwoFoldersAreIndependent();
    void absentEntriesGiveTheDefault();
    void recordFields_data();
    void recordFields();
    void loadSettingsStopsAtMissingField_data();
    void loadSettingsStopsAtMissingField();
    void okStoresRecordAndSplashSwitch();
    void okWithEmptyBoxesStoresBareRecord();
    void okTwiceKeepsThePassword();
    void passwordWithCommaSurvivesRestart();
    void okRefusesCommaOrLineBreak();
    void settingsFileIsPrivate();
};

void TestSettings::applicationNameFromExecutablePath()
{
    QCOMPARE(SettingsStore::applicationName("/opt/qb", "quillbeacon"),
             QStringLiteral("/opt/qb\\quillbeacon.exe"));
    QCOMPARE(SettingsStore::applicationName("C:\\Apps", "Quill"),
             QStringLiteral("C:\\Apps\\Quill.exe"));
    QVERIFY(SettingsStore::thisApplicationName().endsWith(QLatin1String("\\tst_settings.exe")));
}

void TestSettings::storesOfTwoFoldersAreIndependent()
{
    SettingsStore first(SettingsStore::applicationName("/tmp/one", "quillbeacon"));
    SettingsStore second(SettingsStore::applicationName("/tmp/one/two", "quillbeacon"));
    SettingsStore nested(QStringLiteral("/tmp/one"));
    QVERIFY(first.SaveSetting("Preferences", "All", "a,110,b,c"));
    QVERIFY(second.SaveSetting("Preferences", "All", "x,110,y,z"));
    QCOMPARE(first.GetSetting("Preferences", "All", {}), QStringLiteral("a,110,b,c"));
    QCOMPARE(second.GetSetting("Preferences", "All", {}), QStringLiteral("x,110,y,z"));
    // The separators of a path do not make groups: nothing lies "below" a
    // shorter path.
    QCOMPARE(nested.GetSetting("one\\quillbeacon.exe/Preferences", "All", "absent"),
             QStringLiteral("absent"));
    QSettings raw(first.fileName(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups().size(), 2);
}

void TestSettings::absentEntriesGiveTheDefault()
{
    const SettingsStore store = SettingsStore::forThisProgram();
    QCOMPARE(store.GetSetting("Preferences", "All", QString()), QString());
    QCOMPARE(store.GetSetting("Splash", "OnOff", "1"), QStringLiteral("1"));
}

void TestSettings::recordFields_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("all empty") << ",110,," << QStringList{"", "110", "", ""};
    QTest::newRow("full") << "pop.example,110,ann,6A"
                          << QStringList{"pop.example", "110", "ann", "6A"};
    QTest::newRow("three") << "pop,110,ann" << QStringList{"pop", "110", "ann"};
    QTest::newRow("password commas")
        << "pop,110,ann,8A,,6B," << QStringList{"pop", "110", "ann", "8A,,6B,"};
}

void TestSettings::recordFields()
{
    QFETCH(QString, record);
    QFETCH(QStringList, fields);
    QCOMPARE(PreferencesRecord::split(record), fields);
}

void TestSettings::loadSettingsStopsAtMissingField_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("boxesFilled");
    QTest::newRow("none") << ""
                          << ""
                          << ""
                          << "" << false;
    QTest::newRow("server only") << "pop"
                                 << "pop"
                                 << ""
                                 << "" << false;
    QTest::newRow("no user") << "pop,110"
                             << "pop"
                             << ""
                             << "" << false;
    QTest::newRow("no password") << "pop,110,ann"
                                 << "pop"
                                 << "ann"
                                 << "" << false;
    QTest::newRow("port ignored") << "pop,995,ann,8A"
                                  << "pop"
                                  << "ann"
                                  << "8A" << true;
}

void TestSettings::loadSettingsStopsAtMissingField()
{
    QFETCH(QString, record);
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, boxesFilled);
    if (!record.isEmpty())
        storeRecord(record);
    Module1::LoadSettings();
    QCOMPARE(Module1::MailServer, server);
    QCOMPARE(Module1::UserName, user);
    QCOMPARE(Module1::MailPassword, password); // still scrambled
    QCOMPARE(Options::instance().Server->text(), boxesFilled ? server : QString());
    QCOMPARE(Options::instance().Username->text(), boxesFilled ? user : QString());
}

void TestSettings::okStoresRecordAndSplashSwitch()
{
    Options& options = Options::instance();
    options.Server->setText("pop.example.test");
    options.Username->setText("ann");
    options.Password->setText("Secret9");
    options.ServerB->setText("smtp.example.test");
    options.chkSplash->setChecked(false);
    options.show();
    options.cmdOK_Click();

    QCOMPARE(storedRecord(), "pop.example.test,110,ann," + PasswordScrambler::scramble("Secret9"));
    QCOMPARE(SettingsStore::forThisProgram().GetSetting("Splash", "OnOff", "?"),
             QStringLiteral("0"));
    QVERIFY(!options.isVisible());
    QCOMPARE(Module1::MailServer, QStringLiteral("pop.example.test"));
    QCOMPARE(Module1::UserName, QStringLiteral("ann"));
    QCOMPARE(Module1::MailPassword, QStringLiteral("Secret9"));
    QCOMPARE(Module1::SmtpServer, QStringLiteral("smtp.example.test"));
    QCOMPARE(options.Password->text(), QStringLiteral("Secret9"));

    // The next start reads it all back, the password in clear.
    TestEnvironment::resetWindows();
    Module1::LoadSettings();
    Module1::DecodePassword();
    QCOMPARE(Module1::MailPassword, QStringLiteral("Secret9"));
    QCOMPARE(Options::instance().Server->text(), QStringLiteral("pop.example.test"));
}

void TestSettings::okWithEmptyBoxesStoresBareRecord()
{
    Options::instance().cmdOK_Click();
    QCOMPARE(storedRecord(), QStringLiteral(",110,,"));
    QCOMPARE(SettingsStore::forThisProgram().GetSetting("Splash", "OnOff", "?"),
             QStringLiteral("0"));
}

void TestSettings::okTwiceKeepsThePassword()
{
    Options& options = Options::instance();
    options.Password->setText("hunter2");
    options.cmdOK_Click();
    const QString first = storedRecord();
    options.cmdOK_Click();
    QCOMPARE(storedRecord(), first);
    QCOMPARE(Module1::MailPassword, QStringLiteral("hunter2"));
}

void TestSettings::passwordWithCommaSurvivesRestart()
{
    // The last one scrambles to 60,000 characters, more than a line edit
    // holds by default.
    const QString longPassword = QStringLiteral("Pa55word,").repeated(2223).left(20000);
    for (const QString& password :
         {QStringLiteral("a,b,,c,"), QStringLiteral("x9Q,1"), longPassword}) {
        Options::instance().Password->setText(password);
        Options::instance().cmdOK_Click();
        TestEnvironment::resetWindows();
        Module1::LoadSettings();
        Module1::DecodePassword();
        QCOMPARE(Module1::MailPassword, password);
    }
}

void TestSettings::okRefusesCommaOrLineBreak()
{
    Options& options = Options::instance();
    options.show();
    const QList<std::tuple<QLineEdit*, QString, QString>> refused = {
        {options.Server, "a,b", "comma"},
        {options.Username, "a,b", "comma"},
        {options.Username, "ann\r\nDELE 1", "line break"},
        {options.Password, "pw\n", "line break"},
    };
    for (const auto& [box, text, word] : refused) {
        options.Server->setText("pop");
        options.Username->setText("ann");
        options.Password->setText("pw");
        box->setText(text);
        QCOMPARE(box->text(), text);
        std::unique_ptr<QString> shown(answerNextMessageBox());
        options.cmdOK_Click();
        QVERIFY2(shown->contains(word), qPrintable(*shown));
        QCOMPARE(storedRecord(), QStringLiteral("<absent>"));
        QVERIFY(options.isVisible());
        QCOMPARE(options.Password->text(), box == options.Password ? text : "pw");
    }
}

void TestSettings::settingsFileIsPrivate()
{
    Options::instance().Password->setText("pw");
    Options::instance().cmdOK_Click();
    const QFile::Permissions permissions =
        QFile::permissions(SettingsStore::forThisProgram().fileName());
    QCOMPARE(permissions &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(permissions & QFile::ReadOwner);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
