#include "mime/TextDecoding.h"

#include "mime/GMimeRef.h"

#include <QByteArray>

#include <cstring>

namespace Mime
{
namespace
{

// Windows-1252 at 0x80..0x9F; the five bytes it leaves undefined keep their
// Latin-1 control characters, as Windows itself does.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isUtf8Name(const char* charset)
{
    return g_ascii_strcasecmp(charset, "utf-8") == 0 || g_ascii_strcasecmp(charset, "utf8") == 0 ||
           g_ascii_strcasecmp(charset, "us-ascii") == 0;
}

// Names that mail programs write and that neither GMime nor iconv knows,
// with a name iconv knows for the same (or a larger) character set.
struct Alias {
    const char* written;
    const char* known;
};
constexpr Alias Aliases[] = {
    {"eucgb2312_cn", "GB18030"},  {"euc_cn", "GB18030"},       {"euc-cn", "GB18030"},
    {"gb2312-80", "GB18030"},     {"x-gbk", "GB18030"},        {"gb2312", "GB18030"},
    {"gbk", "GB18030"},           {"ks_c_5601-1987", "CP949"}, {"ks_c_5601", "CP949"},
    {"x-sjis", "SHIFT_JIS"},      {"shift-jis", "SHIFT_JIS"},  {"sjis", "SHIFT_JIS"},
    {"cp932", "CP932"},           {"windows-31j", "CP932"},    {"windows-874", "CP874"},
    {"x-mac-roman", "MACINTOSH"}, {"macroman", "MACINTOSH"},   {"x-mac-ce", "MAC-CENTRALEUROPE"}};

} // namespace

const char* knownCharset(const char* charset)
{
    if (!charset)
        return charset;
    for (const Alias& alias : Aliases) {
        if (g_ascii_strcasecmp(charset, alias.written) == 0)
            return alias.known;
    }
    return charset;
}

QByteArray withKnownCharsets(QByteArray text)
{
    // Each encoded word starts "=?charset?" (or "=?charset*language?").
    for (qsizetype at = text.indexOf("=?"); at >= 0; at = text.indexOf("=?", at + 2)) {
        qsizetype end = at + 2;
        while (end < text.size() && end - at < 40 && text[end] != '?' && text[end] != '*' &&
               text[end] != ' ')
            ++end;
        if (end >= text.size() || (text[end] != '?' && text[end] != '*'))
            continue;
        const QByteArray name = text.mid(at + 2, end - at - 2);
        const char* known = knownCharset(name.constData());
        if (known != name.constData())
            text.replace(at + 2, name.size(), known);
    }
    return text;
}

QString latin1ToWindows1252(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 && u <= 0x9F)
            c = QChar(Windows1252High[u - 0x80]);
    }
    return text;
}

QString fromUtf8OrWindows1252(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    return latin1ToWindows1252(QString::fromLatin1(bytes));
}

QString decodeEncodedWords(const QString& text)
{
    if (!text.contains(QLatin1String("=?")))
        return text;
    ensureGMime();
    // GMime reads up to a NUL: the text after one is kept as it stands.
    const qsizetype nul = text.indexOf(QChar(0));
    const QByteArray utf8 = withKnownCharsets((nul < 0 ? text : text.left(nul)).toUtf8());
    char* decoded = g_mime_utils_header_decode_text(nullptr, utf8.constData());
    if (!decoded)
        return text;
    QString result = QString::fromUtf8(decoded);
    g_free(decoded);
    if (nul >= 0)
        result += text.mid(nul);
    return result;
}

QString fromCharset(QByteArrayView bytes, const char* charset)
{
    charset = knownCharset(charset);
    if (!charset || isUtf8Name(charset) || bytes.isEmpty())
        return fromUtf8OrWindows1252(bytes);
    // Mail labelled Latin-1 is nearly always written on Windows.
    const char* name = g_mime_charset_iso_to_windows(g_mime_charset_canon_name(charset));
    if (g_ascii_strcasecmp(name, "windows-cp1252") == 0 ||
        g_ascii_strcasecmp(name, "iso-8859-1") == 0)
        return latin1ToWindows1252(QString::fromLatin1(bytes));
    iconv_t cd = g_mime_iconv_open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return fromUtf8OrWindows1252(bytes);
    char* converted = g_mime_iconv_strndup(cd, bytes.data(), size_t(bytes.size()));
    g_mime_iconv_close(cd);
    if (!converted)
        return fromUtf8OrWindows1252(bytes);
    QString result = QString::fromUtf8(converted, qsizetype(std::strlen(converted)));
    g_free(converted);
    return result;
}

QString validUtf16(QString text)
{
    QChar* chars = text.data();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (chars[i].isHighSurrogate() && i + 1 < size && chars[i + 1].isLowSurrogate())
            ++i;
        else if (chars[i].isSurrogate())
            chars[i] = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace Mime
