#include "ui/PictureButton.h"

#include "ui/PlainText.h"

#include <QMouseEvent>

PictureButton::PictureButton(QWidget* parent) : QLabel(parent)
{
    PlainText::makePlain(this);
    setPixmap(QPixmap(QStringLiteral(":/images/cross.png")));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
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
