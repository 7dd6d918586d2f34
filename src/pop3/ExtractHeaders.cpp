#include "pop3/ExtractHeaders.h"

#include <QStringView>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Calls found(position) for every ':' in the text, in order. Colons are
// found sixteen bytes at a time where the processor allows.
template <class Found> void forEachColon(QStringView text, Found found)
{
    const char16_t* chars = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i colon = _mm_set1_epi16(':');
    for (; i + 8 <= size; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(block, colon)));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            found(i + bit / 2);
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i < size; ++i) {
        if (chars[i] == u':')
            found(i);
    }
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

// Everything but the body, which the two entry points take differently.
ExtractedHeaders scan(QStringView text)
{
    ExtractedHeaders result;
    // Every keyword ends in ':', so only the characters before each colon
    // need testing. The last match of each keyword in the text decides.
    static constexpr QLatin1StringView subject("subject:");
    static constexpr QLatin1StringView sender("sender:");
    static constexpr QLatin1StringView to("to:");
    qsizetype lastSubject = -1, lastSender = -1, lastTo = -1; // keyword starts
    const char16_t* chars = text.utf16();
    forEachColon(text, [&](qsizetype colon) {
        // Most colons end none of the keywords: one test of the character
        // before them rules them out ("subject:", "sender:", "to:").
        const char16_t before = colon > 0 ? char16_t(chars[colon - 1] | 0x20) : u'\0';
        if (before == u't' && matchesBefore(text, colon, subject))
            lastSubject = colon - 7;
        else if (before == u'r' && matchesBefore(text, colon, sender))
            lastSender = colon - 6;
        else if (before == u'o' && matchesBefore(text, colon, to))
            lastTo = colon - 2;
    });

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

// Where the body starts: after the first empty line, or after the first
// three characters; -1 when the text is too short for either.
qsizetype bodyStart(QStringView text)
{
    const qsizetype emptyLine = text.indexOf(u"\r\n\r\n");
    const qsizetype start = emptyLine >= 0 ? emptyLine + 4 : 3;
    return start <= text.size() ? start : -1;
}

} // namespace

ExtractedHeaders ExtractHeaders(const QString& Message)
{
    ExtractedHeaders result = scan(Message);
    const qsizetype start = bodyStart(Message);
    if (start >= 0)
        result[HeaderBody] = Message.sliced(start);
    return result;
}

ExtractedHeaders ExtractHeaders(QString&& Message)
{
    ExtractedHeaders result = scan(Message);
    const qsizetype start = bodyStart(Message);
    if (start >= 0) {
        // Dropping the front of a string keeps its buffer: no copy of the body.
        result[HeaderBody] = std::move(Message);
        result[HeaderBody].remove(0, start);
    }
    return result;
}

} // namespace Module1
