#include "tray/CountBadge.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace CountBadge
{
namespace
{

// White on this red stands out by 5.6 to 1 (WCAG's measure; text wants 4.5).
const QColor Fill(198, 40, 40);
const QColor Ink(Qt::white);

QImage picture(const QIcon& icon, int size, qreal ratio)
{
    const int device = qRound(size * ratio);
    QImage image = icon.pixmap(QSize(size, size), ratio).toImage();
    if (image.size() != QSize(device, device))
        image = image.scaled(device, device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    return image;
}

// Draws the badge with `text` into the lower right of `image`, in device
// pixels.
void drawBadge(QImage& image, const QString& text)
{
    const qreal side = image.width();
    const qreal height = std::max(9.0, std::round(side * 0.625));
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(int(height));
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text);

    const qreal pad = height * 0.2;
    const qreal minimumPad = std::max(1.0, height * 0.1);
    const qreal width = std::clamp(ink.width() + 2 * pad, height, side);
    const qreal squeeze = std::min(1.0, (width - 2 * minimumPad) / ink.width());
    const QRectF badge(side - width, side - height, width, height);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Fill);
    painter.drawRoundedRect(badge, height / 2, height / 2);

    // The text's own outline (not the line's) centred in the badge.
    painter.translate(badge.center());
    painter.scale(squeeze, 1);
    painter.setFont(font);
    painter.setPen(Ink);
    painter.drawText(-ink.center(), text);
}

} // namespace

QString label(int count)
{
    if (count <= 0)
        return {};
    if (count > 99)
        return QStringLiteral("99+");
    return QString::number(count);
}

QPixmap pixmap(const QIcon& icon, int count, int size, qreal ratio)
{
    QImage image = picture(icon, size, ratio);
    const QString text = label(count);
    if (!text.isEmpty())
        drawBadge(image, text);
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

QIcon icon(const QIcon& icon, int count, const QList<qreal>& ratios)
{
    if (label(count).isEmpty())
        return icon;
    QIcon drawn;
    for (qreal ratio : ratios) {
        for (int size : {16, 22, 24, 32, 36, 48, 64})
            drawn.addPixmap(pixmap(icon, count, size, ratio));
    }
    return drawn;
}

} // namespace CountBadge
