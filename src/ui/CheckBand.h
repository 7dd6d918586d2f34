#pragma once
// The band under the Options window's own controls: the automatic check's
// interval and the start at log-in. OK saves it with the rest.

class Options;
class QWidget;

namespace CheckBand
{
// The client area's height with the band, in twips.
constexpr double ClientHeight = 6255;

void build(Options& options, QWidget* client);
// The stored setting into the controls.
void load(Options& options);
// The controls into the settings store and the autostart entry; then the
// automatic check follows the new values. Problems are told in one box:
// the user has just pressed OK.
void save(Options& options);
} // namespace CheckBand
