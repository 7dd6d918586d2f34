#include "ui/PictureButton.h"

#include <QMouseEvent>
#include <QPainter>

PictureButton::PictureButton(QWidget* parent) : QLabel(parent)
{
    QPixmap cross(QStringLiteral(":/images/cross.png"));
    setPixmap(cross.isNull() ? drawnCross() : cross);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
}

QPixmap PictureButton::drawnCross()
{
    QPixmap pixmap(11, 11);
    pixmap.fill(QColor(0xF0, 0x50, 0x20)); // red-orange
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawLine(QPointF(2.5, 2.5), QPointF(8.5, 8.5));
    painter.drawLine(QPointF(8.5, 2.5), QPointF(2.5, 8.5));
    return pixmap;
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}
