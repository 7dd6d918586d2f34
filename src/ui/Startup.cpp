#include "ui/Startup.h"

#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "core/PreferencesRecord.h"
#include "core/SettingsStore.h"
#include "tray/AppIcon.h"
#include "tray/TrayIcon.h"
#include "ui/Options.h"
#include "ui/frmSplash.h"

#include <QApplication>
#include <QFont>

namespace Module1
{

void ConfigureApplication(QApplication& app)
{
    app.setApplicationName(QStringLiteral("Quillbeacon"));
    app.setOrganizationName(QStringLiteral("Quillbeacon"));
    app.setApplicationDisplayName(QString());
    app.setDesktopFileName(QStringLiteral("io.github.quillbeacon.Quillbeacon"));
    app.setWindowIcon(AppIcon::icon());
    // The program lives on in the tray with every window hidden.
    app.setQuitOnLastWindowClosed(false);
    // The windows are laid out in twips for a narrow 8-point sans serif face;
    // the usual default face would cut the captions off, and its stand-ins
    // run a little wider, hence 7.5 points.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                                QStringLiteral("Helvetica"),
                                QStringLiteral("DejaVu Sans Condensed")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(7.5);
    app.setFont(font);
}

void RunStartupSteps(std::initializer_list<std::function<void()>> steps)
{
    for (const auto& step : steps) {
        try {
            step();
        } catch (...) {
            // Continue-on-error: the step ends here and the next one runs.
        }
    }
}

void Main()
{
    RunStartupSteps({LoadSettings, DecodePassword, StartTray, LoadSplashSetting});
}

void LoadSettings()
{
    const SettingsStore store = SettingsStore::forThisProgram();
    const QStringList fields = PreferencesRecord::split(
        store.GetSetting(QStringLiteral("Preferences"), QStringLiteral("All"), QString()));
    // A missing field ends the load there: what was taken before it stays.
    if (fields.size() < 1)
        return;
    MailServer = fields[0];
    if (fields.size() < 2)
        return; // the port field is read, never used: the port is always 110
    if (fields.size() < 3)
        return;
    UserName = fields[2];
    if (fields.size() < 4)
        return;
    MailPassword = fields[3];
    Options& options = Options::instance();
    options.Server->setText(MailServer);
    options.Username->setText(UserName);
}

void DecodeRound()
{
    MailPassword = PasswordScrambler::decodeRound(MailPassword);
}

void DecodePassword()
{
    MailPassword = PasswordScrambler::decode(MailPassword);
}

void StartTray()
{
    DeleteMode = False;
    Options& options = Options::instance();
    options.TrayIcon1->Start();
    options.Password->setText(MailPassword);
}

void LoadSplashSetting()
{
    const SettingsStore store = SettingsStore::forThisProgram();
    bool isNumber = false;
    int value =
        store.GetSetting(QStringLiteral("Splash"), QStringLiteral("OnOff"), QStringLiteral("1"))
            .trimmed()
            .toInt(&isNumber);
    // Anything but 0 or 1 counts as the default.
    if (!isNumber || (value != 0 && value != 1))
        value = 1;
    if (value == 1)
        frmSplash::instance().show();
    else
        Options::instance().show();
    Options::instance().chkSplash->setChecked(value == 1);
}

void ShowOptionsAgain()
{
    Options& options = Options::instance();
    options.mnuOptions_Click();
    options.raise();
    options.activateWindow();
}

} // namespace Module1
