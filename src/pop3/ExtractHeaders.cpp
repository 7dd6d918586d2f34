#include "pop3/ExtractHeaders.h"

#include <QStringView>

namespace Module1
{
namespace
{

// Does text[from, from + keyword.size()) equal keyword (lower-case ASCII),
// ignoring the case of the text? Only A-Z lower-case into the keywords'
// letters, so a plain ASCII fold gives the same answer as lower-casing.
bool matchesBefore(QStringView text, qsizetype colon, QLatin1StringView keyword)
{
    const qsizetype length = keyword.size() - 1; // the keyword without its ':'
    if (colon < length)
        return false;
    const QChar* at = text.data() + colon - length;
    for (qsizetype i = 0; i < length; ++i) {
        char16_t c = at[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        if (c != char16_t(keyword[i].unicode()))
            return false;
    }
    return true;
}

// The line (split at CR LF) that holds position `at`: [start, end).
QStringView lineAround(QStringView text, qsizetype at)
{
    qsizetype start = 0;
    if (at >= 2) {
        // A CR LF that ends at or before `at` (keywords hold neither CR nor LF).
        const qsizetype crlf = text.first(at).lastIndexOf(u"\r\n");
        if (crlf >= 0)
            start = crlf + 2;
    }
    qsizetype end = text.indexOf(u"\r\n", at);
    if (end < 0)
        end = text.size();
    return text.sliced(start, end - start);
}

QString bracketsToSpaces(QString value)
{
    value.replace(u'<', u' ');
    value.replace(u'>', u' ');
    return value;
}

} // namespace

ExtractedHeaders ExtractHeaders(const QString& Message)
{
    ExtractedHeaders result;
    const QStringView text(Message);

    const qsizetype emptyLine = text.indexOf(u"\r\n\r\n");
    const qsizetype bodyStart = emptyLine >= 0 ? emptyLine + 4 : 3;
    if (bodyStart <= text.size())
        result[HeaderBody] = Message.sliced(bodyStart);

    // Every keyword ends in ':', so only the characters before each colon
    // need testing. The last match of each keyword in the text decides.
    static constexpr QLatin1StringView subject("subject:");
    static constexpr QLatin1StringView sender("sender:");
    static constexpr QLatin1StringView to("to:");
    qsizetype lastSubject = -1, lastSender = -1, lastTo = -1; // keyword starts
    for (qsizetype colon = text.indexOf(u':'); colon >= 0; colon = text.indexOf(u':', colon + 1)) {
        if (matchesBefore(text, colon, subject))
            lastSubject = colon - 7;
        else if (matchesBefore(text, colon, sender))
            lastSender = colon - 6;
        if (matchesBefore(text, colon, to))
            lastTo = colon - 2;
    }

    if (lastSubject >= 0) {
        const QStringView line = lineAround(text, lastSubject);
        const qsizetype inLine = lastSubject - (line.data() - text.data());
        result[HeaderSubject] = line.sliced(inLine + 8).toString();
    }
    if (lastSender >= 0)
        result[HeaderSender] = bracketsToSpaces(lineAround(text, lastSender).sliced(7).toString());
    if (lastTo >= 0)
        result[HeaderRecipient] = bracketsToSpaces(lineAround(text, lastTo).sliced(3).toString());
    return result;
}

} // namespace Module1
