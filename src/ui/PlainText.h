#pragma once
// Text from a stranger (a message, a server, a certificate, the network)
// is shown as text: never read as markup, never with a link that opens.
// Qt reads a label's text, a box's text and every tooltip as rich text
// when it looks like HTML, and rich text loads what an <img> names: a
// subject "<img src=/dev/zero>" would have it read that device without
// end. Every label, box and tooltip of the program is set through here.

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace PlainText
{

// What is shown of a subject, a sender or a file name: its first 1,000
// characters. The message tables keep it whole.
constexpr qsizetype MaxShown = 1000;
QString clipped(const QString& text);

// The label shows the text as it is.
void setText(QLabel* label, const QString& text);
// The label shows its text as it is, whatever is set later.
void makePlain(QLabel* label);

// A tooltip that shows the text as it is: escaped, in a paragraph that
// keeps its spaces and line breaks (and wraps a long one).
QString toolTip(const QString& text);

// The tray icon's tip. It reaches the desktop either as a Qt tooltip
// (XEmbed), rich text when it looks like HTML, or as the title of a
// StatusNotifierItem, which hosts show as plain text: escaping would show
// there. A word joiner after each "<" and "&" shows as nothing in both and
// keeps the tip from looking like HTML.
QString trayToolTip(const QString& text);

// A box's text and informative text, shown as they are. Every label of the
// box is made plain, links included.
void setText(QMessageBox& box, const QString& text);
void setInformativeText(QMessageBox& box, const QString& text);
// QMessageBox::warning, with the text shown as it is.
void warning(QWidget* parent, const QString& title, const QString& text);

} // namespace PlainText
