#include "ui/BoxText.h"

#include <QLabel>
#include <QMessageBox>

namespace BoxText
{

QString clipped(const QString& text)
{
    if (text.size() <= MaxShown)
        return text;
    qsizetype end = MaxShown;
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

void setReason(QMessageBox& box, const QString& reason)
{
    box.setInformativeText(clipped(reason));
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setMinimumWidth(ReasonWidth);
}

} // namespace BoxText
