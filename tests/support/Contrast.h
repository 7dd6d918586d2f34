#pragma once
// WCAG's measure of how far a text's colour stands out from its background:
// the ratio of the two relative luminances (each plus 0.05), from 1 (the
// same) to 21 (black on white). Text asks for 4.5 (level AA).

#include <QRgb>

namespace Contrast
{

// The relative luminance of an sRGB colour, 0 for black to 1 for white.
double luminance(QRgb colour);
double ratio(QRgb a, QRgb b);

} // namespace Contrast
