#include "core/PasswordScrambler.h"

#include <QByteArray>

namespace PasswordScrambler
{
namespace
{

// A lower-case letter becomes "8" and its upper-case partner; the upper-case
// letter's own step, which comes next, turns that into "86" and the letter. An
// upper-case letter becomes "6" and itself: the inserted letter is not scanned
// again within its own step, and no later step touches it. So no letter nests
// deeper than two levels.
constexpr Pair kTable[TableSize] = {
    {'a', "8A"}, {'A', "6A"}, {'b', "8B"}, {'B', "6B"}, {'c', "8C"}, {'C', "6C"}, {'d', "8D"},
    {'D', "6D"}, {'e', "8E"}, {'E', "6E"}, {'f', "8F"}, {'F', "6F"}, {'g', "8G"}, {'G', "6G"},
    {'h', "8H"}, {'H', "6H"}, {'i', "8I"}, {'I', "6I"}, {'j', "8J"}, {'J', "6J"}, {'k', "8K"},
    {'K', "6K"}, {'l', "8L"}, {'L', "6L"}, {'m', "8M"}, {'M', "6M"}, {'n', "8N"}, {'N', "6N"},
    {'o', "8O"}, {'O', "6O"}, {'p', "8P"}, {'P', "6P"}, {'q', "8Q"}, {'Q', "6Q"}, {'r', "8R"},
    {'R', "6R"}, {'s', "8S"}, {'S', "6S"}, {'t', "8T"}, {'T', "6T"}, {'u', "8U"}, {'U', "6U"},
    {'v', "8V"}, {'V', "6V"}, {'w', "8W"}, {'W', "6W"}, {'x', "8X"}, {'X', "6X"}, {'y', "8Y"},
    {'Y', "6Y"}, {'z', "8Z"}, {'Z', "6Z"},
};

bool isHexForm(const QString& stored, QByteArray* bytes)
{
    const QString marker = QLatin1String(HexFormMarker);
    if (!stored.startsWith(marker))
        return false;
    const QString hex = stored.mid(marker.size());
    if (hex.size() % 2 != 0)
        return false;
    for (QChar c : hex) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    *bytes = QByteArray::fromHex(hex.toLatin1());
    return true;
}

} // namespace

const Pair* table()
{
    return kTable;
}

QString scramble(const QString& password)
{
    QString text = password;
    for (const Pair& pair : kTable)
        text.replace(QChar(pair.letter), QLatin1String(pair.code, 2));
    return text;
}

QString decodeRound(const QString& stored)
{
    QString text = stored;
    for (const Pair& pair : kTable)
        text.replace(QLatin1String(pair.code, 2), QString(QChar(pair.letter)));
    return text;
}

QString decode(const QString& stored)
{
    QByteArray bytes;
    if (isHexForm(stored, &bytes))
        return QString::fromUtf8(bytes);
    QString text = stored;
    for (int round = 1; round <= DecodeRounds; ++round)
        text = decodeRound(text);
    return text;
}

QString storedForm(const QString& password)
{
    const QString scrambled = scramble(password);
    if (decode(scrambled) == password)
        return scrambled;
    return QLatin1String(HexFormMarker) + QString::fromLatin1(password.toUtf8().toHex());
}

int deepestNesting()
{
    int deepest = 0;
    for (const Pair& pair : kTable) {
        QString text = scramble(QString(QChar(pair.letter)));
        int depth = 0;
        while (text != QString(QChar(pair.letter)) && depth <= DecodeRounds) {
            text = decodeRound(text);
            ++depth;
        }
        deepest = std::max(deepest, depth);
    }
    return deepest;
}

} // namespace PasswordScrambler
