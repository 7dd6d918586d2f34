#pragma once
// Where the mailbox popup and the viewer go. The design places them on a
// 1024 x 768 screen (15360 x 11520 twips): mailbox Left 12180, resting Top
// 8865, start Top 11190, viewer Left 8550. The same distances are kept to the
// bottom-right corner of the part of the screen no panel covers, so the
// popups sit at the bottom right of any screen; without panels on a
// 1024 x 768 screen the numbers are exactly the design's.

#include <QRectF>

class QScreen;

namespace PopupPlacement
{

struct Geometry {
    float mailboxLeft;
    float mailboxRestTop;
    float startTop; // both windows start here, below the screen's edge
    float viewerLeft;
};

// `area`: the available area of the screen, in twips.
Geometry forArea(const QRectF& area);

// For the primary screen's available area.
Geometry current();

} // namespace PopupPlacement
