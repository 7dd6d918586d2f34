#pragma once
// What a message box shows of a text that came from a server: its first
// 1,000 characters, so that a huge reply cannot freeze the window that
// lays it out. The log keeps the rest.

#include <QString>

class QMessageBox;

namespace BoxText
{
constexpr qsizetype MaxShown = 1000;
QString clipped(const QString& text);

// The reason in plain words under a box's text, clipped, on lines wide
// enough to read as sentences (a box with a short text would otherwise
// wrap it to a narrow column).
constexpr int ReasonWidth = 360; // pixels
void setReason(QMessageBox& box, const QString& reason);
} // namespace BoxText
