// Writes the settings of one copy of the program, as its Options window would
// save them, so scripts/demo can start a copy that is already set up for the
// local mail servers. The program itself takes no command line.
//
//   qb_demo_settings EXECUTABLE SERVER USER PASSWORD SPLASH(0|1)

#include "core/PasswordScrambler.h"
#include "core/PreferencesRecord.h"
#include "core/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 6 || (args[5] != QLatin1String("0") && args[5] != QLatin1String("1"))) {
        err << "usage: qb_demo_settings EXECUTABLE SERVER USER PASSWORD SPLASH(0|1)\n";
        return 2;
    }
    const QFileInfo exe(args[1]);
    SettingsStore store(SettingsStore::applicationName(QDir::toNativeSeparators(exe.absolutePath()),
                                                       exe.completeBaseName()));
    const QString record =
        PreferencesRecord::join(args[2], args[3], PasswordScrambler::storedForm(args[4]));
    if (!store.SaveSettings({{QStringLiteral("Preferences"), QStringLiteral("All")},
                             {QStringLiteral("Splash"), QStringLiteral("OnOff")}},
                            {record, args[5]})) {
        err << store.errorString() << '\n';
        return 1;
    }
    QTextStream(stdout) << QDir::toNativeSeparators(store.fileName()) << '\n';
    return 0;
}
