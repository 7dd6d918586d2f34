#pragma once
// A text cut to a length a window can lay out quickly: its first `max`
// characters and "…". A surrogate pair is never split.

#include <QString>

namespace TextClip
{
QString clipped(const QString& text, qsizetype max);
} // namespace TextClip
