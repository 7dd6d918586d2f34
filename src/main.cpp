#include "tray/SessionPlatform.h"
#include "ui/AutoCheckWiring.h"
#include "ui/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    SessionPlatform::apply();
    QApplication app(argc, argv);
    Module1::ConfigureApplication(app);
    Module1::Main();
    Module1::StartAutoCheck();
    return app.exec();
}
