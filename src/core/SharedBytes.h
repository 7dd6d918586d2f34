#pragma once
// Bytes held by several owners at once without a copy: a retrieved message is
// kept by the message tables and, for as long as it is among its newest
// entries, by the protocol log.
//
// A QByteArray cannot do this while it grows: appending to a shared one
// copies it. A SharedBytes is one QByteArray behind a shared handle, so a
// reader keeps a range of it (ByteRange) while the owner still appends;
// appending never changes the bytes already there, so the range stays right.

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

using SharedBytes = std::shared_ptr<QByteArray>;

struct ByteRange {
    std::shared_ptr<const QByteArray> bytes;
    qsizetype from = 0;
    qsizetype size = 0;

    ByteRange() = default;
    ByteRange(std::shared_ptr<const QByteArray> b, qsizetype f, qsizetype s)
        : bytes(std::move(b)), from(f), size(s)
    {
    }
    // All of `whole`, shared as a QByteArray shares.
    explicit ByteRange(const QByteArray& whole)
        : bytes(std::make_shared<const QByteArray>(whole)), size(whole.size())
    {
    }

    QByteArrayView view() const
    {
        return bytes ? QByteArrayView(bytes->constData() + from, size) : QByteArrayView();
    }
};
