#pragma once
// The readable text of an HTML part: paragraphs and line breaks kept, no
// markup, no scripts or style sheets, nothing loaded.

#include <QString>

namespace Mime
{

// Laying out HTML costs time that grows with the square of how deeply its
// elements nest; deeper markup than this is not turned into text.
inline constexpr int MaxHtmlNesting = 1000;

// The text, or a null string when the markup nests too deeply.
QString htmlToText(const QString& html);

// An upper bound of how deeply the elements of the markup nest: every start
// tag of an element that needs an end tag counts one level until its end tag.
int htmlNesting(QStringView html);

} // namespace Mime
