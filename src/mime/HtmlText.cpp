#include "mime/HtmlText.h"

#include "mime/OfflineTextDocument.h"

#include <QSet>

namespace Mime
{
namespace
{

// Elements without an end tag, or whose end tag is optional in practice.
bool closesItself(QStringView name)
{
    static const QSet<QString> names = {
        QStringLiteral("br"),       QStringLiteral("img"),   QStringLiteral("hr"),
        QStringLiteral("meta"),     QStringLiteral("link"),  QStringLiteral("input"),
        QStringLiteral("p"),        QStringLiteral("li"),    QStringLiteral("td"),
        QStringLiteral("tr"),       QStringLiteral("th"),    QStringLiteral("option"),
        QStringLiteral("col"),      QStringLiteral("wbr"),   QStringLiteral("area"),
        QStringLiteral("base"),     QStringLiteral("dt"),    QStringLiteral("dd"),
        QStringLiteral("!doctype"), QStringLiteral("source")};
    return names.contains(name.toString().toLower());
}

} // namespace

int htmlNesting(QStringView html)
{
    int depth = 0;
    int deepest = 0;
    const qsizetype size = html.size();
    for (qsizetype i = html.indexOf(u'<'); i >= 0 && i + 1 < size; i = html.indexOf(u'<', i + 1)) {
        const QChar next = html[i + 1];
        if (next == u'/') {
            depth = qMax(0, depth - 1);
            continue;
        }
        if (!next.isLetter())
            continue;
        qsizetype end = i + 1;
        while (end < size && end - i <= 10 && (html[end].isLetterOrNumber() || html[end] == u'!'))
            ++end;
        if (closesItself(html.sliced(i + 1, end - i - 1)))
            continue;
        deepest = qMax(deepest, ++depth);
    }
    return deepest;
}

QString htmlToText(const QString& html)
{
    if (htmlNesting(html) > MaxHtmlNesting)
        return QString();
    OfflineTextDocument document;
    document.setHtml(html);
    QString text = document.toPlainText();
    // Line breaks inside a paragraph come out as U+2028, images as U+FFFC.
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

} // namespace Mime
