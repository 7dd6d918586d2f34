#include "ui/BoxText.h"

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

} // namespace BoxText
