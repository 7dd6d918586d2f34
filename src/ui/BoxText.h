#pragma once
// What a message box shows of a text that came from a server: its first
// 1,000 characters, so that a huge reply cannot freeze the window that
// lays it out. The log keeps the rest.

#include <QString>

namespace BoxText
{
constexpr qsizetype MaxShown = 1000;
QString clipped(const QString& text);
} // namespace BoxText
