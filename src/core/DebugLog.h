#pragma once
// The protocol log of a run: every POP3 reply and command, kept as the bytes
// that will be appended to "Debug.txt". Received data is kept exactly as it
// arrived; other entries are UTF-8.
//
// Entries are ranges of shared bytes, not copies: the data of a retrieved
// message is the very buffer the message tables keep. The log is bounded
// (a notifier runs for weeks): it keeps its newest entries up to Limit bytes,
// and once older ones have given way its text begins with one line that says
// how many bytes were left out. The text as one piece is put together only
// when somebody reads it.

#include "core/SharedBytes.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>

class DebugLog : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype DefaultLimit = 16 * 1024 * 1024;

    using QObject::QObject;

    // "log X": CR LF, then X.
    void log(const QString& text);
    void logBytes(const QByteArray& bytes);
    void logRange(ByteRange bytes);

    // The log as "Debug.txt" gets it: the line on what was left out, if
    // anything was, then the entries kept.
    QByteArray text() const;
    // Bytes appended since the run began (or the last clear), left-out ones
    // included: text() ends at this offset of the whole run's log.
    qint64 appendedTotal() const { return m_leftOut + m_kept; }
    // Bytes of the whole run's log no longer kept.
    qint64 leftOut() const { return m_leftOut; }
    // The whole run's log from `offset` on, as far as it is kept; an offset
    // that was left out gives the empty text.
    QByteArray textFrom(qint64 offset) const;

    void setLimit(qsizetype bytes);
    void clear();

signals:
    void appended();

private:
    void keepWithinLimit();

    std::deque<ByteRange> m_entries; // each one stands for CR LF + its bytes
    qint64 m_kept = 0;               // bytes the kept entries stand for
    qint64 m_frontCut = 0; // bytes of the oldest entry left out (one too big for the limit)
    qint64 m_leftOut = 0;
    qsizetype m_limit = DefaultLimit;
};
