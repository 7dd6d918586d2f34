#include "core/DebugLog.h"

namespace
{
constexpr qint64 LineBreak = 2;

// Appends bytes [from, to) of CR LF + `bytes` to `out`.
void appendPart(QByteArray& out, QByteArrayView bytes, qint64 from, qint64 to)
{
    for (qint64 i = from; i < qMin<qint64>(to, LineBreak); ++i)
        out.append(i == 0 ? '\r' : '\n');
    const qint64 start = qMax<qint64>(from, LineBreak) - LineBreak;
    const qint64 end = to - LineBreak;
    if (end > start)
        out.append(bytes.sliced(start, end - start));
}
} // namespace

void DebugLog::log(const QString& text)
{
    logRange(ByteRange(text.toUtf8()));
}

void DebugLog::logBytes(const QByteArray& bytes)
{
    // Data read from a socket comes in the socket's buffer, often many times
    // the size of what arrived. Sharing that buffer would keep its slack for
    // as long as the entry is kept, beyond what the limit counts: such data
    // is kept as a copy of its own size.
    if (bytes.capacity() > bytes.size() + bytes.size() / 8 + 64)
        logRange(ByteRange(QByteArray(bytes.constData(), bytes.size())));
    else
        logRange(ByteRange(bytes));
}

void DebugLog::logRange(ByteRange bytes)
{
    m_kept += LineBreak + bytes.size;
    m_entries.push_back(std::move(bytes));
    keepWithinLimit();
    emit appended();
}

void DebugLog::keepWithinLimit()
{
    // Whole entries give way, oldest first; an entry larger than the limit
    // on its own keeps its newest bytes.
    while (m_kept > m_limit && !m_entries.empty()) {
        const qint64 rest = LineBreak + m_entries.front().size - m_frontCut;
        if (m_entries.size() == 1) {
            const qint64 cut = m_kept - m_limit;
            m_frontCut += cut;
            m_kept -= cut;
            m_leftOut += cut;
            break;
        }
        m_kept -= rest;
        m_leftOut += rest;
        m_frontCut = 0;
        m_entries.pop_front();
    }
}

QByteArray DebugLog::text() const
{
    if (m_leftOut == 0)
        return textFrom(0);
    QByteArray out = "\r\n[" + QByteArray::number(m_leftOut) +
                     " bytes of this log were left out before this line; it keeps its newest " +
                     QByteArray::number(m_limit) + " bytes.]";
    return out + textFrom(m_leftOut);
}

QByteArray DebugLog::textFrom(qint64 offset) const
{
    QByteArray out;
    out.reserve(qMax<qint64>(0, appendedTotal() - qMax(offset, m_leftOut)));
    qint64 at = m_leftOut; // where the current entry's kept part begins
    bool first = true;
    for (const ByteRange& entry : m_entries) {
        const qint64 skip = first ? m_frontCut : 0;
        const qint64 end = at + LineBreak + entry.size - skip;
        if (end > offset)
            appendPart(out, entry.view(), skip + qMax<qint64>(0, offset - at),
                       LineBreak + entry.size);
        at = end;
        first = false;
    }
    return out;
}

void DebugLog::setLimit(qsizetype bytes)
{
    m_limit = bytes;
    keepWithinLimit();
}

void DebugLog::clear()
{
    m_entries.clear();
    m_kept = 0;
    m_leftOut = 0;
    m_frontCut = 0;
    emit appended();
}
