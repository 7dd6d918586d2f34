#include "core/TextClip.h"

namespace TextClip
{

QString clipped(const QString& text, qsizetype max)
{
    if (text.size() <= max)
        return text;
    qsizetype end = max;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

} // namespace TextClip
