#include "pop3/ExtractHeaders.h"

#include <QStringDecoder>
#include <QStringView>

#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Module1
{
namespace
{

template <class View> constexpr View LineEnd;
template <> constexpr QStringView LineEnd<QStringView> = u"\r\n";
template <> constexpr QByteArrayView LineEnd<QByteArrayView> = "\r\n";

const char16_t* charsOf(QStringView text)
{
    return text.utf16();
}
const char* charsOf(QByteArrayView text)
{
    return text.data();
}
// A character of the text as a number: bytes are unsigned.
template <class Char> char16_t unit(Char c)
{
    return char16_t(std::make_unsigned_t<Char>(c));
}

// Does text[from, from + keyword.size()) equal keyword (lower-case ASCII),
// ignoring the case of the text? Only A-Z lower-case into the keywords'
// letters, so a plain ASCII fold gives the same answer as lower-casing.
// The same holds for the bytes of a message, whose keywords are ASCII too.
template <class Char>
bool matchesBefore(const Char* text, qsizetype colon, QLatin1StringView keyword)
{
    const qsizetype length = keyword.size() - 1; // the keyword without its ':'
    if (colon < length)
        return false;
    const Char* at = text + colon - length;
    for (qsizetype i = 0; i < length; ++i) {
        char16_t c = unit(at[i]);
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        if (c != char16_t(keyword[i].unicode()))
            return false;
    }
    return true;
}

// Calls found(position) for every ':' in the text, in order. Colons are
// found sixteen bytes at a time where the processor allows.
template <class Found> void forEachColon(QByteArrayView text, Found found)
{
    if (text.isEmpty())
        return; // an empty view may have no data pointer at all
    const char* data = text.data();
    const char* end = data + text.size();
    for (const char* p = data; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, ':', size_t(end - p)));
        if (!p)
            return;
        found(p - data);
    }
}

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
template <class View> View lineAround(View text, qsizetype at)
{
    qsizetype start = 0;
    if (at >= 2) {
        // A CR LF that ends at or before `at` (keywords hold neither CR nor LF).
        const qsizetype crlf = text.first(at).lastIndexOf(LineEnd<View>);
        if (crlf >= 0)
            start = crlf + 2;
    }
    qsizetype end = text.indexOf(LineEnd<View>, at);
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

// Where the last "subject:", "sender:" and "to:" of the text start, -1 for
// a keyword that is not there. The last match of each keyword decides.
struct Keywords {
    qsizetype subject = -1, sender = -1, to = -1;
};

template <class View> Keywords lastKeywords(View text)
{
    // Every keyword ends in ':', so only the characters before each colon
    // need testing.
    static constexpr QLatin1StringView subject("subject:");
    static constexpr QLatin1StringView sender("sender:");
    static constexpr QLatin1StringView to("to:");
    Keywords found;
    const auto* chars = charsOf(text);
    forEachColon(text, [&](qsizetype colon) {
        // Most colons end none of the keywords: one test of the character
        // before them rules them out ("subject:", "sender:", "to:").
        const char16_t before = colon > 0 ? char16_t(unit(chars[colon - 1]) | 0x20) : u'\0';
        if (before == u't' && matchesBefore(chars, colon, subject))
            found.subject = colon - 7;
        else if (before == u'r' && matchesBefore(chars, colon, sender))
            found.sender = colon - 6;
        else if (before == u'o' && matchesBefore(chars, colon, to))
            found.to = colon - 2;
    });
    return found;
}

// Everything but the body, which the entry points take differently. `decode`
// turns a piece of the text into a QString.
template <class View, class Decode> ExtractedHeaders scan(View text, Decode decode)
{
    ExtractedHeaders result;
    const Keywords at = lastKeywords(text);
    if (at.subject >= 0) {
        // The rest of the line after the keyword, which is ASCII: decoding
        // only that piece gives the same text as cutting the decoded line.
        const View line = lineAround(text, at.subject);
        const qsizetype inLine = at.subject - (line.data() - text.data());
        result[HeaderSubject] = decode(line.sliced(inLine + 8));
    }
    if (at.sender >= 0)
        result[HeaderSender] = bracketsToSpaces(decode(lineAround(text, at.sender)).sliced(7));
    if (at.to >= 0)
        result[HeaderRecipient] = bracketsToSpaces(decode(lineAround(text, at.to)).sliced(3));
    return result;
}

ExtractedHeaders scan(QStringView text)
{
    return scan(text, [](QStringView piece) { return piece.toString(); });
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

namespace Module1
{

QString decodeMessageBytes(QByteArrayView bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

namespace
{
// A piece of a message's bytes as it reads inside the decoded message: a
// byte order mark is dropped only at the very start of the message.
QString decodePiece(QByteArrayView message, QByteArrayView piece, bool utf8)
{
    if (!utf8 || piece.data() == message.data() || !piece.startsWith("\xef\xbb\xbf"))
        return decodeMessageBytes(piece, utf8);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(piece);
}
} // namespace

ExtractedHeaders ExtractHeaderValues(QByteArrayView Message, bool utf8)
{
    return scan(Message, [&](QByteArrayView piece) { return decodePiece(Message, piece, utf8); });
}

QString ExtractBody(QByteArrayView Message, bool utf8)
{
    // The first empty line is found in the bytes as in the text: decoding
    // keeps CR and LF where they are. The three characters of a text without
    // one are characters, not bytes, so that rare case decodes first.
    const qsizetype emptyLine = Message.indexOf("\r\n\r\n");
    if (emptyLine >= 0)
        return decodePiece(Message, Message.sliced(emptyLine + 4), utf8);
    const QString text = decodeMessageBytes(Message, utf8);
    return text.size() >= 3 ? text.sliced(3) : QString();
}

} // namespace Module1
