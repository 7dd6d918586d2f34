// The floor of start-up: a bare Qt window of the splash's size, nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(500, 400);
    window.show();
    return app.exec();
}
