#include "ui/CheckBand.h"

#include "autocheck/CheckSetting.h"
#include "autocheck/LoginStart.h"
#include "core/SettingsStore.h"
#include "ui/AutoCheckWiring.h"
#include "ui/Controls.h"
#include "ui/Options.h"
#include "ui/PlainText.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

namespace CheckBand
{

void build(Options& o, QWidget* client)
{
    o.lineCheck = Controls::make<QFrame>(client, "lineCheck", 0, 5115, 3465, 30);
    o.lineCheck->setFrameShape(QFrame::HLine);
    o.lineCheck->setFrameShadow(QFrame::Sunken);
    o.chkAutoCheck = Controls::make<QCheckBox>(client, "chkAutoCheck", 120, 5280, 2055, 285);
    o.chkAutoCheck->setText(QStringLiteral("Check for new mail every"));
    o.txtMinutes = Controls::make<QSpinBox>(client, "txtMinutes", 2175, 5265, 615, 315);
    o.txtMinutes->setRange(1, CheckSetting::MaximumMinutes);
    o.txtMinutes->setValue(CheckSetting::DefaultMinutes);
    o.lblMinutes =
        Controls::label(client, "lblMinutes", QStringLiteral("minutes"), 2835, 5310, 600, 255);
    o.chkLogin = Controls::make<QCheckBox>(client, "chkLogin", 120, 5760, 3135, 285);
    o.chkLogin->setText(QStringLiteral("Start Quillbeacon when I log in"));
    // After every control the window had before.
    Controls::setFocusOrder({o.chkDebug, o.chkAutoCheck, o.txtMinutes, o.chkLogin});
}

void load(Options& o)
{
    const int seconds = CheckSetting::seconds(SettingsStore::forThisProgram());
    o.chkAutoCheck->setChecked(seconds > 0);
    o.txtMinutes->setValue(CheckSetting::minutesShown(seconds));
    o.chkLogin->setChecked(LoginStart::isOn());
    // A value stored in seconds (a short one, for a test) stays as it is
    // until the minutes are changed.
    o.txtMinutes->setProperty("storedSeconds", seconds);
}

void save(Options& o)
{
    SettingsStore store = SettingsStore::forThisProgram();
    int seconds = 0;
    if (o.chkAutoCheck->isChecked()) {
        const int stored = o.txtMinutes->property("storedSeconds").toInt();
        seconds = stored > 0 && CheckSetting::minutesShown(stored) == o.txtMinutes->value()
                      ? stored
                      : o.txtMinutes->value() * 60;
    }
    QStringList problems;
    // Written only when it changes: with the setting left off, OK does what
    // it always did.
    if (seconds != CheckSetting::seconds(store) && !CheckSetting::save(store, seconds))
        problems << store.errorString();
    o.txtMinutes->setProperty("storedSeconds", seconds);
    QString error;
    if (o.chkLogin->isChecked() != LoginStart::isOn() &&
        !LoginStart::set(o.chkLogin->isChecked(), QCoreApplication::applicationFilePath(), &error))
        problems << error;
    Module1::ApplyAutoCheckSetting(seconds);
    if (!problems.isEmpty())
        PlainText::warning(&o, QStringLiteral("Options"), problems.join(QLatin1Char('\n')));
}

} // namespace CheckBand
