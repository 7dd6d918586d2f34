#pragma once
// One IMAP response as it arrived, cut where its literals are: a line that
// ends in "{n}" (or "{n+}") goes on after the n bytes that follow its CR LF.
// `lines` are those line pieces without their line ends; `literals[i]` is
// the literal announced at the end of `lines[i]`, a range of the buffer it
// arrived in. A response without literals is one line.

#include "core/SharedBytes.h"

#include <QByteArray>
#include <QList>

struct ImapResponseBytes {
    QList<QByteArray> lines;
    QList<ByteRange> literals; // one fewer than lines

    // The bytes of the lines together, the literals not counted.
    qsizetype lineBytes() const
    {
        qsizetype total = 0;
        for (const QByteArray& line : lines)
            total += line.size();
        return total;
    }
};
