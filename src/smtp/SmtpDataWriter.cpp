#include "smtp/SmtpDataWriter.h"

#include <cstring>

namespace
{

// One line of the body as quoted-printable lines of at most 76 characters,
// each ended by CR LF (soft breaks as "=" CR LF), appended to `out` through
// `put(begin, end)` so that each output line is dot-stuffed like any other.
template <class Put> void quotedPrintable(const char* begin, const char* end, Put put)
{
    static const char Hex[] = "0123456789ABCDEF";
    char line[80];
    int used = 0;
    for (const char* p = begin; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        const bool last = p + 1 == end;
        char piece[3];
        int length = 1;
        if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last)) {
            piece[0] = char(c);
        } else {
            piece[0] = '=';
            piece[1] = Hex[c >> 4];
            piece[2] = Hex[c & 15];
            length = 3;
        }
        if (used + length > 75) { // room for the "=" of a soft break
            line[used++] = '=';
            put(line, line + used);
            used = 0;
        }
        std::memcpy(line + used, piece, std::size_t(length));
        used += length;
    }
    put(line, line + used);
}

} // namespace

SmtpDataWriter::SmtpDataWriter(QByteArray head, const QByteArray& text, QByteArray block,
                               Encoding encoding)
    : m_head(std::move(head)), m_block(std::move(block)), m_encoding(encoding)
{
    m_text = text;
    m_text.replace("\r\n", "\n").replace('\r', '\n');
    // An empty line after the text; the block ends in its own LF, so one
    // follows it too (or, without a block, one more empty line).
    m_text += "\n\n";
}

qsizetype SmtpDataWriter::longestLine(const QByteArray& text)
{
    qsizetype longest = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype lf = text.indexOf('\n', start);
        if (lf < 0)
            lf = text.size();
        qsizetype length = lf - start;
        if (length > 0 && text.at(lf - 1) == '\r')
            --length;
        longest = qMax(longest, length);
        start = lf + 1;
    }
    return longest;
}

bool SmtpDataWriter::nextLine(const char** begin, const char** end)
{
    // The body is the text (which ends in LF) followed by the block; the
    // text after the body's last LF is a line too, even when empty.
    while (m_segment <= 1) {
        const QByteArray& part = m_segment == 0 ? m_text : m_block;
        const bool lastPart = m_segment == 1 || m_block.isEmpty();
        const char* data = part.constData();
        if (m_offset <= part.size()) {
            const auto* lf = static_cast<const char*>(
                std::memchr(data + m_offset, '\n', std::size_t(part.size() - m_offset)));
            if (lf || lastPart) {
                *begin = data + m_offset;
                *end = lf ? lf : data + part.size();
                m_offset = lf ? (lf - data) + 1 : part.size() + 1;
                if (*end > *begin && (*end)[-1] == '\r')
                    --*end;
                return true;
            }
        }
        ++m_segment;
        m_offset = 0;
        if (m_segment == 1 && m_block.isEmpty())
            break;
    }
    return false;
}

void SmtpDataWriter::appendLine(QByteArray& out, const char* begin, const char* end) const
{
    const auto put = [&out](const char* b, const char* e) {
        if (b != e && *b == '.')
            out += '.';
        out.append(b, e - b);
        out += "\r\n";
    };
    if (m_encoding == Encoding::QuotedPrintable) {
        quotedPrintable(begin, end, put);
        return;
    }
    // SMTP takes lines of at most 998 bytes: a longer one goes as several,
    // never cut inside a UTF-8 character.
    while (end - begin > MaxLine) {
        const char* cut = begin + MaxLine;
        while (cut > begin + 1 && (static_cast<unsigned char>(*cut) & 0xC0) == 0x80)
            --cut;
        put(begin, cut);
        begin = cut;
    }
    put(begin, end);
}

QByteArray SmtpDataWriter::next(qsizetype size)
{
    QByteArray out;
    if (m_done)
        return out;
    out.reserve(size + 128);
    if (m_segment < 0) {
        out += m_head;
        m_segment = 0;
    }
    const char* begin = nullptr;
    const char* end = nullptr;
    while (out.size() < size) {
        if (!nextLine(&begin, &end)) {
            out += ".\r\n";
            m_done = true;
            m_text.clear();
            m_block.clear();
            break;
        }
        appendLine(out, begin, end);
    }
    return out;
}

QByteArray SmtpDataWriter::all()
{
    QByteArray whole;
    while (!m_done)
        whole += next(1 << 20);
    return whole;
}
