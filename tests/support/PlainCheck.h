#pragma once
// Whether the windows show a stranger's text as text. Qt's own rendering is
// the judge: what a tooltip shows is what Qt's rich text makes of it when
// Qt takes it for rich text, and the text itself otherwise.

#include <QString>
#include <QStringList>

namespace PlainCheck
{

// The text a tooltip shows.
QString shownToolTip(const QString& tip);
// The text the tray icon's tip shows (its word joiners show as nothing).
QString shownTrayTip(const QString& tip);

// Walks every window of the program and names each label that does not
// show its text as plain text (or would open a link), each tooltip of a
// widget or a list row not made by PlainText::toolTip, and each tray tip
// not made by PlainText::trayToolTip. Empty when there is none.
QStringList offenders();

} // namespace PlainCheck
