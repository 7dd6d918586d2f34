#pragma once
// Base64 as senders really write it. Characters outside the alphabet (line
// breaks, spaces, a stray "=" in the middle) are skipped instead of ending
// the data, and a last group of two or three characters still gives its one
// or two bytes.

#include <QByteArray>
#include <QByteArrayView>

namespace Mime
{

QByteArray decodeBase64(QByteArrayView encoded);

// How many bytes decodeBase64 gives, counted without decoding. Call it on
// consecutive pieces and add up `letters` to size data read in chunks.
qint64 base64Letters(QByteArrayView encoded);
inline qint64 base64Size(qint64 letters)
{
    return letters / 4 * 3 + (letters % 4 == 0 ? 0 : letters % 4 - 1);
}

} // namespace Mime
