#include "core/DebugLog.h"

void DebugLog::log(const QString& text)
{
    logBytes(text.toUtf8());
}

void DebugLog::logBytes(const QByteArray& bytes)
{
    m_pieces << QByteArrayLiteral("\r\n") << bytes;
    m_size += 2 + bytes.size();
    m_joinedValid = false;
    emit appended();
}

const QByteArray& DebugLog::text() const
{
    if (!m_joinedValid) {
        m_joined = textFrom(0);
        m_joinedValid = true;
    }
    return m_joined;
}

QByteArray DebugLog::textFrom(qsizetype offset) const
{
    QByteArray out;
    out.reserve(qMax<qsizetype>(0, m_size - offset));
    qsizetype at = 0;
    for (const QByteArray& piece : m_pieces) {
        const qsizetype end = at + piece.size();
        if (end > offset)
            out.append(piece.constData() + qMax<qsizetype>(0, offset - at),
                       end - qMax(at, offset));
        at = end;
    }
    return out;
}

void DebugLog::clear()
{
    m_pieces.clear();
    m_size = 0;
    m_joined.clear();
    m_joinedValid = true;
    emit appended();
}
