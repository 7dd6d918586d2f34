#include "ui/PopupColours.h"

#include <QWidget>

namespace PopupColours
{

QPalette palette()
{
    // From a light grey button on white, Qt derives the shades of frames
    // and bevels; every role is then set, so none follows the desktop's.
    QPalette p(QColor(0xef, 0xef, 0xef), QColor(Qt::white));
    const QColor text(Qt::black);
    const QColor greyText(0x6e, 0x6e, 0x6e);
    const QColor selection(0xbf, 0xdf, 0xff);
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor foreground = disabled ? greyText : text;
        p.setColor(group, QPalette::Window, Qt::white);
        p.setColor(group, QPalette::Base, Qt::white);
        p.setColor(group, QPalette::AlternateBase, QColor(0xf5, 0xf5, 0xf5));
        p.setColor(group, QPalette::WindowText, foreground);
        p.setColor(group, QPalette::Text, foreground);
        p.setColor(group, QPalette::ButtonText, foreground);
        p.setColor(group, QPalette::PlaceholderText, greyText);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Highlight, selection);
        p.setColor(group, QPalette::HighlightedText, text);
        p.setColor(group, QPalette::Link, QColor(0x00, 0x00, 0xcc));
        p.setColor(group, QPalette::LinkVisited, QColor(0x55, 0x1a, 0x8b));
        p.setColor(group, QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
        p.setColor(group, QPalette::ToolTipText, text);
    }
    return p;
}

void apply(QWidget* window)
{
    window->setPalette(palette());
}

} // namespace PopupColours
