#include "mime/NestingGuard.h"

#include <QHash>
#include <QList>

#include <cstring>

namespace Mime
{
namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (isBlank(text.front()) || text.front() == '\r'))
        text = text.sliced(1);
    while (!text.isEmpty() && (isBlank(text.back()) || text.back() == '\r'))
        text.chop(1);
    return text;
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() &&
           qstrnicmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The offset of the value when the line is a "Content-Type:" field, else -1.
qsizetype contentTypeValue(QByteArrayView line)
{
    static constexpr QByteArrayView name("content-type");
    if (!startsWithNoCase(line, name))
        return -1;
    qsizetype at = name.size();
    while (at < line.size() && isBlank(line[at]))
        ++at;
    return at < line.size() && line[at] == ':' ? at + 1 : -1;
}

QByteArray boundaryOf(QByteArrayView value)
{
    const QByteArray lower = value.toByteArray().toLower();
    qsizetype at = lower.indexOf("boundary");
    while (at >= 0) {
        qsizetype i = at + 8;
        while (i < value.size() && isBlank(value[i]))
            ++i;
        if (i < value.size() && value[i] == '=') {
            ++i;
            while (i < value.size() && isBlank(value[i]))
                ++i;
            if (i < value.size() && value[i] == '"') {
                const qsizetype end = value.indexOf('"', i + 1);
                return end < 0 ? QByteArray() : value.sliced(i + 1, end - i - 1).toByteArray();
            }
            qsizetype end = i;
            while (end < value.size() && value[end] != ';' && !isBlank(value[end]))
                ++end;
            return value.sliced(i, end - i).toByteArray();
        }
        at = lower.indexOf("boundary", at + 8);
    }
    return QByteArray();
}

struct Open {
    QByteArray boundary;
    bool digest;
};

class Scanner
{
public:
    Scanner(QByteArrayView message, int maxDepth) : m_message(message), m_maxDepth(maxDepth) {}

    QByteArray run()
    {
        qsizetype at = 0;
        while (at < m_message.size()) {
            qsizetype end = m_message.indexOf('\n', at);
            const qsizetype next = end < 0 ? m_message.size() : end + 1;
            QByteArrayView line = m_message.sliced(at, (end < 0 ? m_message.size() : end) - at);
            if (line.endsWith('\r'))
                line.chop(1);
            if (m_inHeaders)
                headerLine(line, at);
            else if (line.startsWith("--") && !m_open.isEmpty())
                boundaryLine(line);
            at = next;
        }
        return m_result;
    }

private:
    void headerLine(QByteArrayView line, qsizetype at)
    {
        if (line.isEmpty()) {
            endOfHeader();
            return;
        }
        if (isBlank(line.front())) {
            if (m_inType)
                m_type += line;
            return;
        }
        const qsizetype value = contentTypeValue(line);
        m_inType = value >= 0;
        if (m_inType) {
            m_typeAt << at + value;
            m_type = line.sliced(value).toByteArray();
        }
    }

    void endOfHeader()
    {
        const QByteArrayView type = trimmed(m_type);
        const bool digestPart = m_digestPart;
        m_inHeaders = false;
        m_digestPart = false;
        if (m_typeAt.isEmpty()) {
            m_inHeaders = digestPart; // a digest's part is a message by default
        } else if (startsWithNoCase(type, "multipart/")) {
            const QByteArray boundary = boundaryOf(type);
            if (m_typeAt.size() > 1 || boundary.isEmpty() || m_open.size() >= m_maxDepth) {
                flatten();
            } else {
                m_index.insert(boundary, int(m_open.size()));
                m_open << Open{boundary, startsWithNoCase(type, "multipart/digest")};
            }
        } else if (startsWithNoCase(type, "message/rfc822") ||
                   startsWithNoCase(type, "message/global") ||
                   startsWithNoCase(type, "message/news")) {
            m_inHeaders = m_typeAt.size() == 1;
        }
        m_typeAt.clear();
        m_type.clear();
        m_inType = false;
    }

    void flatten()
    {
        for (const qsizetype at : std::as_const(m_typeAt)) {
            qsizetype i = at;
            while (i < m_message.size() && isBlank(m_message[i]))
                ++i;
            if (!startsWithNoCase(m_message.sliced(i), "multipart"))
                continue;
            if (m_result.isNull())
                m_result = m_message.toByteArray();
            std::memcpy(m_result.data() + i, TooDeepType, sizeof(TooDeepType) - 1);
        }
    }

    void boundaryLine(QByteArrayView line)
    {
        QByteArrayView rest = line.sliced(2);
        while (!rest.isEmpty() && isBlank(rest.back()))
            rest.chop(1);
        bool close = false;
        auto found = m_index.constFind(rest.toByteArray());
        if (found == m_index.cend() && rest.endsWith("--")) {
            close = true;
            found = m_index.constFind(rest.chopped(2).toByteArray());
        }
        if (found == m_index.cend())
            return;
        const int level = found.value();
        while (m_open.size() > level + 1)
            pop();
        if (close) {
            pop();
        } else {
            m_inHeaders = true;
            m_digestPart = m_open.back().digest;
        }
    }

    void pop()
    {
        const Open last = m_open.takeLast();
        const auto found = m_index.constFind(last.boundary);
        if (found == m_index.cend() || found.value() != m_open.size())
            return;
        m_index.erase(found);
        // The same boundary further out is the one its lines close again.
        for (qsizetype i = m_open.size() - 1; i >= 0; --i) {
            if (m_open[i].boundary == last.boundary) {
                m_index.insert(last.boundary, int(i));
                break;
            }
        }
    }

    QByteArrayView m_message;
    int m_maxDepth;
    QByteArray m_result;
    QList<Open> m_open;
    QHash<QByteArray, int> m_index; // boundary -> its place in m_open
    bool m_inHeaders = true;        // a message starts with its header block
    bool m_digestPart = false;
    bool m_inType = false;     // the field being read is Content-Type
    QList<qsizetype> m_typeAt; // where each Content-Type value of the block starts
    QByteArray m_type;         // the last one, unfolded
};

} // namespace

QByteArray flattenDeepNesting(QByteArrayView message, int maxDepth)
{
    return Scanner(message, maxDepth).run();
}

} // namespace Mime
