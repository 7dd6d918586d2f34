#include "imap/ImapResponseFramer.h"

#include <limits>

namespace
{

// The size a line announces with "{n}" or "{n+}" at its end, -1 where it
// announces none; a size too large for qint64 comes back as its maximum.
qint64 announcedLiteral(QByteArrayView line)
{
    if (!line.endsWith('}'))
        return -1;
    qsizetype at = line.size() - 2;
    if (at >= 0 && line[at] == '+')
        --at;
    const qsizetype last = at;
    while (at >= 0 && line[at] >= '0' && line[at] <= '9')
        --at;
    if (at < 0 || line[at] != '{' || at == last)
        return -1;
    qint64 size = 0;
    for (qsizetype i = at + 1; i <= last; ++i) {
        const int digit = line[i] - '0';
        if (size > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::numeric_limits<qint64>::max();
        size = size * 10 + digit;
    }
    return size;
}

} // namespace

ImapResponseFramer::ImapResponseFramer(qsizetype literalLimit) : m_literalLimit(literalLimit) {}

void ImapResponseFramer::append(QByteArrayView data)
{
    if (m_state == State::Failed || data.isEmpty())
        return;
    compact();
    m_buffer->append(data);
}

// Drops the bytes before the response being framed (what the pieces taken
// so far do not need). A buffer that no range shares is shortened in place
// once half of it is spent; a shared one is left to its holders, and the
// rest moves to a new buffer once that copies no more than it frees, so the
// copying stays in proportion to what arrives.
void ImapResponseFramer::compact()
{
    const qsizetype spent = m_pieceStart;
    const qsizetype rest = m_buffer->size() - spent;
    if (spent == 0)
        return;
    if (m_buffer.use_count() == 1) {
        if (rest == 0)
            m_buffer->clear();
        else if (spent >= rest)
            m_buffer->remove(0, spent);
        else
            return;
    } else {
        if (rest > spent)
            return;
        m_buffer = std::make_shared<QByteArray>(m_buffer->sliced(spent));
    }
    m_responseStart = std::max<qsizetype>(0, m_responseStart - spent);
    m_searched -= spent;
    m_pieceStart = 0;
}

ImapResponseFramer::Status ImapResponseFramer::fail(const QString& reason)
{
    m_state = State::Failed;
    m_error = reason;
    m_response = {};
    return Status::Failed;
}

ImapResponseFramer::Status ImapResponseFramer::next(ImapResponseBytes& response)
{
    const QByteArray& data = *m_buffer;
    for (;;) {
        switch (m_state) {
        case State::Failed:
            return Status::Failed;
        case State::Literal: {
            if (data.size() - m_pieceStart < m_literalSize)
                return Status::Incomplete;
            m_response.literals.append(ByteRange(m_buffer, m_pieceStart, m_literalSize));
            m_pieceStart += m_literalSize;
            m_searched = m_pieceStart;
            m_state = State::Line;
            break;
        }
        case State::Line: {
            const qsizetype end = data.indexOf('\n', m_searched);
            if (end < 0) {
                m_searched = data.size();
                // A CR at the end may still be followed by its LF.
                const qsizetype line = data.size() - m_pieceStart - (data.endsWith('\r') ? 1 : 0);
                if (m_lineBytes + line > MaxLine)
                    return fail(QStringLiteral("a line longer than %1 bytes").arg(MaxLine));
                return Status::Incomplete;
            }
            qsizetype lineEnd = end;
            if (lineEnd > m_pieceStart && data[lineEnd - 1] == '\r')
                --lineEnd;
            const QByteArrayView line(data.constData() + m_pieceStart, lineEnd - m_pieceStart);
            m_lineBytes += line.size() + 2;
            if (m_lineBytes > MaxLine + 2)
                return fail(QStringLiteral("a line longer than %1 bytes").arg(MaxLine));
            m_response.lines.append(line.toByteArray());
            m_pieceStart = m_searched = end + 1;
            const qint64 literal = announcedLiteral(line);
            if (literal >= 0) {
                if (literal > m_literalLimit - m_literalBytes)
                    return fail(QStringLiteral("a literal of %1 bytes where at most %2 are allowed")
                                    .arg(literal)
                                    .arg(m_literalLimit - m_literalBytes));
                m_literalBytes += literal;
                m_literalSize = qsizetype(literal);
                m_state = State::Literal;
                break;
            }
            response = std::move(m_response);
            m_response = {};
            m_responseStart = m_pieceStart;
            m_lineBytes = m_literalBytes = 0;
            return Status::Complete;
        }
        }
    }
}
