#include "ui/AutoCheckWiring.h"

#include "autocheck/AutoCheck.h"
#include "autocheck/CheckSetting.h"
#include "core/Module1.h"
#include "core/SettingsStore.h"
#include "tray/DesktopNotifier.h"
#include "tray/TrayIcon.h"
#include "ui/CheckBand.h"
#include "ui/Email.h"
#include "ui/Options.h"

#include <QListWidget>

namespace Module1
{

namespace
{
bool created = false;
}

AutoCheck& TheAutoCheck()
{
    created = true;
    static AutoCheck* check = [] {
        auto* c = new AutoCheck(&Options::instance());
        auto* notifier = new DesktopNotifier(
            [](const QString& title, const QString& text) {
                return Options::instance().TrayIcon1->ShowMessage(title, text);
            },
            c);
        c->setNotifier(notifier);
        c->setBusy([] { return Email::instance().sessionRunning(); });
        QObject::connect(c, &AutoCheck::messageStored, c, [](int index, const QString& subject) {
            // The tables are filled from index 0 again: so is the list.
            QListWidget* list = Email::instance().lstMessages;
            if (index == 0)
                list->clear();
            Email::instance().addRow(subject);
        });
        QObject::connect(c, &AutoCheck::newMail, c, [] { SlideInMailbox(); });
        QObject::connect(c, &AutoCheck::toolTipChanged, c, [](const QString& text) {
            TrayIcon* icon = Options::instance().TrayIcon1;
            icon->setToolTip(text);
            icon->Modify();
        });
        QObject::connect(notifier, &NewMailNotifier::activated, c, [] {
            Email& email = Email::instance();
            email.show();
            email.raise();
            email.activateWindow();
        });
        return c;
    }();
    return *check;
}

void StartAutoCheck()
{
    CheckBand::load(Options::instance());
    ApplyAutoCheckSetting(CheckSetting::seconds(SettingsStore::forThisProgram()));
}

void ApplyAutoCheckSetting(int seconds)
{
    // With the setting off the program runs as it would without it.
    if (seconds <= 0 && !created)
        return;
    TheAutoCheck().configure(MailServer, UserName, MailPassword, seconds);
}

void EndAutoCheck()
{
    if (created)
        TheAutoCheck().abort();
}

} // namespace Module1
