#include "mime/MimeParts.h"

#include "mime/FlowedText.h"
#include "mime/HeaderText.h"
#include "mime/HtmlText.h"
#include "mime/LenientBase64.h"
#include "mime/MimePrepass.h"
#include "mime/TextDecoding.h"

#include <QByteArrayView>
#include <QMimeDatabase>
#include <QStringList>

#include <utility>

namespace Mime
{
namespace
{

bool isType(GMimeObject* object, const char* type, const char* subtype)
{
    GMimeContentType* contentType = g_mime_object_get_content_type(object);
    return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

bool isAttachment(GMimeObject* object)
{
    const char* disposition = g_mime_object_get_disposition(object);
    return disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
}

// Text types, and the reports bounces carry, which are lines of text too.
bool isTextual(GMimeObject* object)
{
    return isType(object, "text", "*") || isType(object, "message", "delivery-status") ||
           isType(object, "message", "disposition-notification");
}

bool isBase64(GMimeDataWrapper* content)
{
    return g_mime_data_wrapper_get_encoding(content) == GMIME_CONTENT_ENCODING_BASE64;
}

// The content as it stands in the message, transfer encoding and all.
QByteArray encodedContent(GMimeDataWrapper* content)
{
    GMimeStream* stream = g_mime_data_wrapper_get_stream(content);
    QByteArray bytes;
    if (!stream || g_mime_stream_reset(stream) < 0)
        return bytes;
    const gint64 length = g_mime_stream_length(stream);
    if (length > 0)
        bytes.reserve(qsizetype(length));
    char chunk[65536];
    for (ssize_t got; (got = g_mime_stream_read(stream, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, qsizetype(got));
    return bytes;
}

QByteArray decodedContent(GMimeDataWrapper* content)
{
    GMimeRef<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, memory.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

// Characters no text holds: control characters but white space, and
// bytes that are not valid in the charset.
bool mostlyGarbage(QByteArrayView bytes, const char* charset)
{
    const char* known = knownCharset(charset);
    const QString text = !known || g_ascii_strcasecmp(known, "utf-8") == 0 ||
                                 g_ascii_strcasecmp(known, "us-ascii") == 0
                             ? QString::fromUtf8(bytes)
                             : fromCharset(bytes, known);
    qsizetype bad = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bad += (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f') ||
               (u >= 0x7F && u <= 0x9F) || u == 0xFFFD;
    }
    return bad * 10 > text.size();
}

// The part's text with its transfer encoding undone and its charset
// converted. Base64 that decodes to garbage was not base64: the text as it
// stands is shown instead.
QString partText(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return QString();
    auto* object = GMIME_OBJECT(part);
    const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
    QByteArray bytes;
    if (isBase64(content)) {
        const QByteArray encoded = encodedContent(content);
        bytes = decodeBase64(encoded);
        if (mostlyGarbage(bytes, charset))
            bytes = encoded;
    } else {
        bytes = decodedContent(content);
    }
    QString text = fromCharset(bytes, charset);
    const char* format = g_mime_object_get_content_type_parameter(object, "format");
    if (format && g_ascii_strcasecmp(format, "flowed") == 0) {
        const char* delSp = g_mime_object_get_content_type_parameter(object, "delsp");
        text = unflowText(text, delSp && g_ascii_strcasecmp(delSp, "yes") == 0);
    }
    return text;
}

qint64 decodedSize(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return 0;
    if (isBase64(content)) {
        // Counted in pieces, so a large file is never held a second time.
        GMimeStream* stream = g_mime_data_wrapper_get_stream(content);
        if (!stream || g_mime_stream_reset(stream) < 0)
            return 0;
        qint64 letters = 0;
        char chunk[65536];
        for (ssize_t got; (got = g_mime_stream_read(stream, chunk, sizeof chunk)) > 0;)
            letters += base64Letters(QByteArrayView(chunk, qsizetype(got)));
        return base64Size(letters);
    }
    GMimeRef<GMimeStream> counter(g_mime_stream_null_new());
    g_mime_data_wrapper_write_to_stream(content, counter.get());
    return qint64(GMIME_STREAM_NULL(counter.get())->written);
}

// A file without a name is named by its type: "attachment.pdf".
QString fileName(GMimePart* part)
{
    if (const char* name = g_mime_part_get_filename(part); name && *name)
        return QString::fromUtf8(name);
    GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    char* mimeType = type ? g_mime_content_type_get_mime_type(type) : nullptr;
    const QString typeName = QString::fromUtf8(mimeType).toLower();
    g_free(mimeType);
    QString suffix;
    if (typeName != QLatin1String("application/octet-stream"))
        suffix = QMimeDatabase().mimeTypeForName(typeName).preferredSuffix();
    return QStringLiteral("attachment.") + (suffix.isEmpty() ? QStringLiteral("bin") : suffix);
}

// The text of the HTML parts under a multipart/related's first part, as
// bytes: what its other parts' Content-IDs are looked up in.
QByteArray htmlOf(GMimeObject* object, int depth)
{
    if (!object || depth > MaxNesting)
        return QByteArray();
    if (GMIME_IS_MULTIPART(object)) {
        QByteArray html;
        auto* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            html += htmlOf(g_mime_multipart_get_part(multipart, i), depth + 1);
        return html;
    }
    if (!GMIME_IS_PART(object) || !isType(object, "text", "html"))
        return QByteArray();
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
    return content ? decodedContent(content) : QByteArray();
}

// A picture the HTML shows by "cid:": the sender did not attach it.
bool isReferenced(GMimeObject* object, const QByteArray& html)
{
    const char* id = g_mime_object_get_content_id(object);
    return id && *id && html.contains("cid:" + QByteArray(id));
}

// The file's bytes as saved: base64 decoded as leniently as it is sized.
QByteArray fileBytes(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return QByteArray();
    return isBase64(content) ? decodeBase64(encodedContent(content)) : decodedContent(content);
}

class Walker
{
public:
    Walker(qsizetype wanted, QByteArray* content) : m_wanted(wanted), m_content(content) {}

    MessageParts result;

    void message(GMimeMessage* message, int depth)
    {
        const int textsBefore = std::exchange(m_texts, 0);
        walk(g_mime_message_get_mime_part(message), depth);
        m_texts = textsBefore;
    }

private:
    void walk(GMimeObject* object, int depth)
    {
        if (!object)
            return;
        if (depth > MaxNesting) {
            deepNotice();
            return;
        }
        if (GMIME_IS_MULTIPART(object)) {
            auto* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            result.found = result.found || count > 0; // an empty part shows nothing
            if (isType(object, "multipart", "alternative")) {
                GMimeObject* chosen = chosenAlternative(multipart);
                for (int i = 0; i < count; ++i) {
                    GMimeObject* part = g_mime_multipart_get_part(multipart, i);
                    // The other branches say the same in other forms; their
                    // files are files all the same.
                    const bool filesOnly =
                        std::exchange(m_filesOnly, m_filesOnly || part != chosen);
                    walk(part, depth + 1);
                    m_filesOnly = filesOnly;
                }
            } else if (isType(object, "multipart", "related") && count > 0) {
                GMimeObject* root = g_mime_multipart_get_part(multipart, 0);
                const QByteArray html = htmlOf(root, depth + 1);
                walk(root, depth + 1);
                for (int i = 1; i < count; ++i) {
                    GMimeObject* part = g_mime_multipart_get_part(multipart, i);
                    if (isAttachment(part) || !isReferenced(part, html))
                        walk(part, depth + 1);
                }
            } else {
                for (int i = 0; i < count; ++i)
                    walk(g_mime_multipart_get_part(multipart, i), depth + 1);
            }
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (inner) {
                if (!m_filesOnly)
                    addText(QLatin1String("From: ") + fromText(inner) +
                            QLatin1String("\r\nSubject: ") + subjectText(inner) +
                            QLatin1String("\r\n"));
                message(inner, depth + 1);
            }
        } else if (GMIME_IS_PART(object)) {
            leaf(GMIME_PART(object));
        }
    }

    // The plain text, else the HTML, else a multipart that may hold either.
    static GMimeObject* chosenAlternative(GMimeMultipart* alternative)
    {
        GMimeObject* html = nullptr;
        GMimeObject* nested = nullptr;
        for (int i = 0; i < g_mime_multipart_get_count(alternative); ++i) {
            GMimeObject* part = g_mime_multipart_get_part(alternative, i);
            if (GMIME_IS_PART(part) && !isAttachment(part)) {
                if (isType(part, "text", "plain"))
                    return part;
                if (!html && isType(part, "text", "html"))
                    html = part;
            } else if (!nested && GMIME_IS_MULTIPART(part)) {
                nested = part;
            }
        }
        return html ? html : nested;
    }

    // Disposition first, then type: a named text part is text while it is
    // the first text of its message.
    void leaf(GMimePart* part)
    {
        auto* object = GMIME_OBJECT(part);
        if (isType(object, "message", "external-body") || isType(object, UnreadableType, "*"))
            return;
        if (isType(object, TooDeepType, "*")) {
            deepNotice();
            return;
        }
        if (m_filesOnly) {
            if (isAttachment(object) || g_mime_part_get_filename(part) ||
                !(isType(object, "text", "plain") || isType(object, "text", "html")))
                addFile(part);
            return;
        }
        if (!isAttachment(object) && isTextual(object) &&
            (m_texts == 0 || !g_mime_part_get_filename(part))) {
            ++m_texts;
            QString text = partText(part);
            if (isType(object, "text", "html"))
                text = htmlToText(text);
            if (!text.isNull())
                addText(text);
            return;
        }
        const QString name = addFile(part);
        if (!result.body.isEmpty())
            m_between << name;
    }

    QString addFile(GMimePart* part)
    {
        if (m_content && result.attachments.size() == m_wanted)
            *m_content = fileBytes(part);
        const QString name = fileName(part);
        result.attachments << Attachment{name, decodedSize(part)};
        result.found = true;
        return name;
    }

    // Once, where the first part too deep to show stood.
    void deepNotice()
    {
        if (m_filesOnly || std::exchange(m_deepNoticed, true))
            return;
        addText(QLatin1String(DeepNotice));
    }

    void addText(const QString& text)
    {
        result.found = true;
        if (text.trimmed().isEmpty())
            return;
        QString piece;
        for (const QString& name : std::as_const(m_between))
            piece += QLatin1String("[Attached: ") + name + QLatin1String("]\r\n");
        m_between.clear();
        if (!piece.isEmpty())
            append(piece);
        append(text);
    }

    // Texts are kept apart by one empty line.
    void append(const QString& text)
    {
        if (!result.body.isEmpty()) {
            qsizetype end = result.body.size();
            while (end > 0 && result.body[end - 1].isSpace())
                --end;
            result.body.truncate(end);
            result.body += QLatin1String("\r\n\r\n");
        }
        result.body += text;
    }

    qsizetype m_wanted;
    QByteArray* m_content;
    int m_texts = 0;          // texts shown so far of the message being walked
    QStringList m_between;    // files met since the last text
    bool m_filesOnly = false; // in a branch of an alternative that is not shown
    bool m_deepNoticed = false;
};

} // namespace

MessageParts readParts(GMimeMessage* message, qsizetype wanted, QByteArray* content)
{
    Walker walker(wanted, content);
    walker.message(message, 0);
    return std::move(walker.result);
}

} // namespace Mime
