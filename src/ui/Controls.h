#pragma once
// Making the controls of a window: each one named as the code refers to it and
// placed in twips inside its parent.

#include "ui/PlainText.h"
#include "ui/PopupColours.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QPainter>
#include <QString>

#include <initializer_list>

namespace Controls
{

template <class Control>
Control* make(QWidget* parent, const char* name, double left, double top, double width,
              double height)
{
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    Twips::place(control, left, top, width, height);
    return control;
}

inline QLabel* label(QWidget* parent, const char* name, const QString& caption, double left,
                     double top, double width, double height)
{
    QLabel* control = make<QLabel>(parent, name, left, top, width, height);
    PlainText::setText(control, caption);
    return control;
}

// A popup of the mailbox kind: no border, no title bar, no taskbar button,
// a white background and dark text, whatever the desktop's theme.
inline void makeWhitePopup(QWidget* window)
{
    window->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    PopupColours::apply(window);
    window->setAutoFillBackground(true);
}

// The keyboard focus goes from each control to the next, in this order.
inline void setFocusOrder(std::initializer_list<QWidget*> order)
{
    QWidget* previous = nullptr;
    for (QWidget* control : order) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

// A line drawn on a window, from (x1, y1) to (x2, y2) in twips, width in pixels.
inline void drawLine(QPainter& painter, double x1, double y1, double x2, double y2, int width)
{
    painter.setPen(QPen(Qt::black, width));
    painter.drawLine(Twips::toPixels(x1), Twips::toPixels(y1), Twips::toPixels(x2),
                     Twips::toPixels(y2));
}

} // namespace Controls
