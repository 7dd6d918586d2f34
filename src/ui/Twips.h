#pragma once
// Window geometry is designed in twips: 1440 to the inch, so 15 to the pixel
// at 96 logical DPI. Every window and control is placed through these helpers.

#include <QRect>

class QWidget;

namespace Twips
{

inline constexpr double PerInch = 1440.0;

// Twips per logical pixel of the primary screen (15 at 96 DPI).
double perPixel();

int toPixels(double twips);
double fromPixels(int pixels);

// A rectangle given as Left, Top, Width, Height in twips, in pixels.
QRect rect(double left, double top, double width, double height);

// Place a control inside its parent.
void place(QWidget* widget, double left, double top, double width, double height);

// Give a window a client area of width x height twips.
void resizeClient(QWidget* window, double width, double height);

} // namespace Twips
