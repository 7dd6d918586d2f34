#include "ui/BoxText.h"

#include "core/TextClip.h"
#include "ui/PlainText.h"

#include <QLabel>
#include <QMessageBox>

namespace BoxText
{

QString clipped(const QString& text)
{
    return TextClip::clipped(text, MaxShown);
}

void setReason(QMessageBox& box, const QString& reason)
{
    PlainText::setInformativeText(box, clipped(reason));
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setMinimumWidth(ReasonWidth);
}

} // namespace BoxText
