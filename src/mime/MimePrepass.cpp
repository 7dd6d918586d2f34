#include "mime/MimePrepass.h"

#include "mime/GMimeRef.h"
#include "mime/HeaderBlock.h"

#include <QHash>
#include <QList>

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
    ensureGMime();
    GMimeRef<GMimeContentType> type(
        g_mime_content_type_parse(nullptr, value.toByteArray().constData()));
    const char* boundary =
        type ? g_mime_content_type_get_parameter(type.get(), "boundary") : nullptr;
    return QByteArray(boundary);
}

// Bytes replaced at one place of the message: `removed` of them by `text`.
struct Edit {
    qsizetype at;
    qsizetype removed;
    QByteArray text;
};

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
            const bool header = m_inHeaders && headerLine(line, at);
            if (!header && line.startsWith("--") && !m_open.isEmpty())
                boundaryLine(line, at);
            at = next;
        }
        return edited();
    }

private:
    // False when the line is not one of the header block, which it ends.
    bool headerLine(QByteArrayView line, qsizetype at)
    {
        if (line.isEmpty()) {
            endOfHeader();
            return true;
        }
        if (isBlank(line.front()) && m_fields > 0) {
            if (m_inType)
                m_type += line;
            return true;
        }
        if (!isFieldStart(line)) {
            endOfHeader(); // its edits lie before this line
            m_edits << Edit{at, 0, "\r\n"};
            return false;
        }
        ++m_fields;
        const qsizetype value = contentTypeValue(line);
        m_inType = value >= 0;
        if (m_inType) {
            m_typeAt << at + value;
            m_type = line.sliced(value).toByteArray();
        }
        return true;
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
            if (m_typeAt.size() > 1 || boundary.isEmpty()) {
                overwriteType("multipart", UnreadableType);
            } else if (m_open.size() >= m_maxDepth) {
                overwriteType("multipart", TooDeepType);
            } else {
                m_index.insert(boundary, int(m_open.size()));
                m_open << Open{boundary, startsWithNoCase(type, "multipart/digest")};
            }
        } else if (startsWithNoCase(type, "message/rfc822") ||
                   startsWithNoCase(type, "message/global") ||
                   startsWithNoCase(type, "message/news")) {
            m_inHeaders = m_typeAt.size() == 1;
        } else {
            bareText();
        }
        m_typeAt.clear();
        m_type.clear();
        m_inType = false;
        m_fields = 0;
    }

    // Where a Content-Type value of the block begins with `name`, past blanks.
    template <class Each> void typesNamed(QByteArrayView name, Each each)
    {
        for (const qsizetype at : std::as_const(m_typeAt)) {
            qsizetype i = at;
            while (i < m_message.size() && isBlank(m_message[i]))
                ++i;
            if (startsWithNoCase(m_message.sliced(i), name))
                each(i);
        }
    }

    void overwriteType(QByteArrayView name, const char* type)
    {
        typesNamed(name, [&](qsizetype at) { m_edits << Edit{at, name.size(), type}; });
    }

    // "text" alone, or followed by its parameters.
    void bareText()
    {
        typesNamed("text", [&](qsizetype at) {
            const qsizetype after = at + 4;
            if (after == m_message.size() || QByteArrayView(";\r\n \t(").contains(m_message[after]))
                m_edits << Edit{after, 0, "/plain"};
        });
    }

    void boundaryLine(QByteArrayView line, qsizetype at)
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
        if (found == m_index.cend()) {
            closedBefore(rest, at + 2);
            return;
        }
        const int level = found.value();
        closeTo(level);
        if (close) {
            pop();
        } else {
            m_inHeaders = true;
            m_digestPart = m_open.back().digest;
        }
    }

    // A close delimiter followed by more on its line: the innermost open
    // boundary it names ends there, and the rest of the line goes.
    void closedBefore(QByteArrayView rest, qsizetype restAt)
    {
        for (qsizetype level = m_open.size() - 1; level >= 0; --level) {
            const QByteArray& boundary = m_open[level].boundary;
            if (rest.size() > boundary.size() + 2 && rest.startsWith(boundary) &&
                rest.sliced(boundary.size()).startsWith("--")) {
                const qsizetype junk = boundary.size() + 2;
                m_edits << Edit{restAt + junk, rest.size() - junk,
                                QByteArray(rest.size() - junk, ' ')};
                closeTo(int(level));
                pop();
                return;
            }
        }
    }

    void closeTo(int level)
    {
        while (m_open.size() > level + 1)
            pop();
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

    // The message with the edits made, in the order of their places.
    QByteArray edited() const
    {
        if (m_edits.isEmpty())
            return QByteArray();
        QByteArray result;
        qsizetype grown = 0;
        for (const Edit& edit : m_edits)
            grown += edit.text.size() - edit.removed;
        result.reserve(m_message.size() + grown);
        qsizetype copied = 0;
        for (const Edit& edit : m_edits) {
            result += m_message.sliced(copied, edit.at - copied);
            result += edit.text;
            copied = edit.at + edit.removed;
        }
        result += m_message.sliced(copied);
        return result;
    }

    QByteArrayView m_message;
    int m_maxDepth;
    QList<Edit> m_edits; // in the order of their places
    QList<Open> m_open;
    QHash<QByteArray, int> m_index; // boundary -> its place in m_open
    bool m_inHeaders = true;        // a message starts with its header block
    bool m_digestPart = false;
    int m_fields = 0;          // fields of the header block so far
    bool m_inType = false;     // the field being read is Content-Type
    QList<qsizetype> m_typeAt; // where each Content-Type value of the block starts
    QByteArray m_type;         // the last one, unfolded
};

} // namespace

QByteArray prepareForGMime(QByteArrayView message, int maxDepth)
{
    return Scanner(message, maxDepth).run();
}

} // namespace Mime
