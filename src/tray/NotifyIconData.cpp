#include "tray/NotifyIconData.h"

#include <algorithm>

std::array<char, NotifyIconData::TipSize> NotifyIconData::tipField(const QString& toolTip)
{
    std::array<char, TipSize> field;
    field.fill(' ');
    const QByteArray text = toolTip.left(TipSize - 1).toLatin1();
    std::copy(text.cbegin(), text.cend(), field.begin());
    field[static_cast<size_t>(text.size())] = '\0';
    return field;
}

QString NotifyIconData::tipText() const
{
    const auto end = std::find(szTip.cbegin(), szTip.cend(), '\0');
    return QString::fromLatin1(szTip.data(), end - szTip.cbegin());
}
