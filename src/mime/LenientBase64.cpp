#include "mime/LenientBase64.h"

#include <array>

namespace Mime
{
namespace
{

constexpr std::array<signed char, 256> alphabet()
{
    std::array<signed char, 256> values{};
    for (auto& v : values)
        v = -1;
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(letters[i])] = static_cast<signed char>(i);
    return values;
}

constexpr std::array<signed char, 256> Values = alphabet();

} // namespace

QByteArray decodeBase64(QByteArrayView encoded)
{
    QByteArray out;
    out.reserve(encoded.size() / 4 * 3 + 3);
    quint32 group = 0;
    int count = 0;
    for (const char c : encoded) {
        const int value = Values[static_cast<unsigned char>(c)];
        if (value < 0)
            continue;
        group = (group << 6) | quint32(value);
        if (++count == 4) {
            out += char(group >> 16);
            out += char(group >> 8);
            out += char(group);
            group = 0;
            count = 0;
        }
    }
    if (count >= 2) {
        group <<= 6 * (4 - count);
        out += char(group >> 16);
        if (count == 3)
            out += char(group >> 8);
    }
    return out;
}

qint64 base64Letters(QByteArrayView encoded)
{
    qint64 letters = 0;
    for (const char c : encoded)
        letters += Values[static_cast<unsigned char>(c)] >= 0;
    return letters;
}

} // namespace Mime
