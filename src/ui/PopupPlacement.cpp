#include "ui/PopupPlacement.h"

#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace PopupPlacement
{
namespace
{
// The design screen and the design positions, in twips.
constexpr float DesignRight = 15360;
constexpr float DesignBottom = 11520;
constexpr float MailboxLeft = 12180;
constexpr float MailboxRestTop = 8865;
constexpr float StartTop = 11190;
constexpr float ViewerLeft = 8550;
} // namespace

Geometry forArea(const QRectF& area)
{
    const float right = float(area.x() + area.width());
    const float bottom = float(area.y() + area.height());
    return Geometry{right - (DesignRight - MailboxLeft), bottom - (DesignBottom - MailboxRestTop),
                    bottom - (DesignBottom - StartTop), right - (DesignRight - ViewerLeft)};
}

Geometry current()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect pixels = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return forArea(QRectF(Twips::fromPixels(pixels.x()), Twips::fromPixels(pixels.y()),
                          Twips::fromPixels(pixels.width()), Twips::fromPixels(pixels.height())));
}

} // namespace PopupPlacement
