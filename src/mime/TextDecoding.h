#pragma once
// Turning bytes and header text into display strings: the charset rules that
// every window applies, whether the message is MIME or not.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Mime
{

// UTF-8 where the bytes are valid UTF-8, Windows-1252 otherwise.
QString fromUtf8OrWindows1252(QByteArrayView bytes);
// A text that was read byte for byte as Latin-1, as it would have come out
// of Windows-1252: only U+0080 to U+009F change.
QString latin1ToWindows1252(QString text);
// RFC 2047 encoded words decoded in any charset GMime knows; the rest of the
// text, leading space included, stays as it is.
QString decodeEncodedWords(const QString& text);
// Bytes in the named charset; unknown or missing charsets follow
// fromUtf8OrWindows1252.
QString fromCharset(QByteArrayView bytes, const char* charset);
// A charset name that iconv knows for the one the message gives: the names
// some mail programs write (eucgb2312_cn, x-sjis, ks_c_5601-1987, ...) are
// mapped, any other comes back as it is.
const char* knownCharset(const char* charset);
// The text with the charset of each encoded word replaced by knownCharset's.
QByteArray withKnownCharsets(QByteArray text);
// Unpaired surrogates become U+FFFD, so the text is valid UTF-16.
QString validUtf16(QString text);

} // namespace Mime
