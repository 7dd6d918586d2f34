#pragma once
// The colours of the popups whose background the design fixes (white, with
// light cyan labels): the mailbox window, the viewer and the splash. Their
// text is fixed too, dark, so that a dark desktop theme, whose light text
// was made for dark backgrounds, does not leave it unreadable.

#include <QPalette>

class QWidget;

namespace PopupColours
{

// A complete light palette: white background, black text, a light blue
// selection with black text, on every colour group, so that nothing of the
// desktop's palette shows through.
QPalette palette();

// Gives the window that palette; its controls inherit it.
void apply(QWidget* window);

} // namespace PopupColours
