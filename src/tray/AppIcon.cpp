#include "tray/AppIcon.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace AppIcon
{

QIcon icon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/images/app.png"), QSize(36, 36));
    for (int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/images/app-%1.png").arg(size), QSize(size, size));
    return icon;
}

bool isPicture(const QIcon& icon)
{
    return !icon.isNull() && !icon.pixmap(QSize(32, 32)).isNull();
}

QIcon forScreens(const QIcon& icon, const QList<qreal>& ratios)
{
    QIcon prepared;
    for (qreal ratio : ratios) {
        for (int size : {16, 22, 24, 32, 36, 48, 64}) {
            QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
            if (pixmap.isNull())
                continue;
            pixmap.setDevicePixelRatio(ratio);
            prepared.addPixmap(pixmap);
        }
    }
    return prepared;
}

QList<qreal> screenRatios()
{
    QList<qreal> ratios{1.0};
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (!ratios.contains(screen->devicePixelRatio()))
            ratios.append(screen->devicePixelRatio());
    }
    return ratios;
}

} // namespace AppIcon
