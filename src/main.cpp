#include "core/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Module1::ConfigureApplication(app);
    Module1::Main();
    return app.exec();
}
