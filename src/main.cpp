#include "core/ProgramExit.h"
#include "core/SettingsStore.h"
#include "core/SingleInstance.h"
#include "tray/SessionPlatform.h"
#include "ui/AutoCheckWiring.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[])
{
    SessionPlatform::apply();
    QApplication app(argc, argv);
    Module1::ConfigureApplication(app);
    // Before any window, tray icon or settings: a second start on the same
    // settings shows the running program's Options window and ends here.
    // The settings are named by the folder that holds them, not read.
    SingleInstance instance(SingleInstance::serverName(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        SettingsStore::thisApplicationName()));
    if (!instance.claim())
        return 0;
    QObject::connect(&instance, &SingleInstance::anotherStart, Module1::ShowOptionsAgain);
    ProgramExit::addCleanup([&instance] { instance.close(); });
    Module1::Main();
    Module1::StartAutoCheck();
    return app.exec();
}
