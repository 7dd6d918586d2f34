#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace Twips
{

double perPixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return PerInch / (dpi > 0 ? dpi : 96.0);
}

int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / perPixel()));
}

double fromPixels(int pixels)
{
    return pixels * perPixel();
}

QRect rect(double left, double top, double width, double height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

void place(QWidget* widget, double left, double top, double width, double height)
{
    widget->setGeometry(rect(left, top, width, height));
}

void resizeClient(QWidget* window, double width, double height)
{
    window->resize(toPixels(width), toPixels(height));
}

} // namespace Twips
