#pragma once
// Cuts a fuzz input into the pieces a socket would deliver: the first byte
// chooses the piece sizes, so one input explores one way of splitting.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstddef>
#include <cstdint>

inline QList<QByteArrayView> piecesOf(const uint8_t* data, size_t size)
{
    QList<QByteArrayView> pieces;
    if (size == 0)
        return pieces;
    const int seed = data[0];
    const char* p = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    for (int i = 0; left > 0; ++i) {
        size_t length = size_t(1 + (seed * 31 + i * 17) % (seed % 64 + 1));
        if (seed >= 224)
            length = left; // everything in one arrival
        length = length < left ? length : left;
        pieces << QByteArrayView(p, qsizetype(length));
        p += length;
        left -= length;
    }
    return pieces;
}
