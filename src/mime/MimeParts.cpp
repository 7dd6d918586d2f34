#include "mime/MimeParts.h"

#include "mime/FlowedText.h"
#include "mime/GMimeRef.h"
#include "mime/HtmlText.h"
#include "mime/TextDecoding.h"

#include <QByteArrayView>

namespace Mime
{
namespace
{

// The parts of one message, before any of them is decoded.
struct Found {
    GMimePart* plain = nullptr;
    GMimePart* html = nullptr;
    QList<GMimeMessage*> forwarded;
    QList<GMimePart*> files;
};

bool isType(GMimeObject* object, const char* type, const char* subtype)
{
    GMimeContentType* contentType = g_mime_object_get_content_type(object);
    return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

// Depth first and in order, without recursion: markup nested thousands deep
// must not exhaust the stack. Forwarded messages are not entered.
Found findParts(GMimeObject* root)
{
    Found found;
    QList<GMimeObject*> pending{root};
    while (!pending.isEmpty()) {
        GMimeObject* object = pending.takeLast();
        if (!object)
            continue;
        if (GMIME_IS_MULTIPART(object)) {
            auto* multipart = GMIME_MULTIPART(object);
            for (int i = g_mime_multipart_get_count(multipart) - 1; i >= 0; --i)
                pending << g_mime_multipart_get_part(multipart, i);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                found.forwarded << inner;
        } else if (GMIME_IS_PART(object)) {
            auto* part = GMIME_PART(object);
            if (g_mime_part_get_filename(part)) {
                found.files << part;
            } else if (!g_mime_part_is_attachment(part)) {
                if (!found.plain && isType(object, "text", "plain"))
                    found.plain = part;
                else if (!found.html && isType(object, "text", "html"))
                    found.html = part;
            }
        }
    }
    return found;
}

// The part's content with its transfer encoding undone and its charset
// converted.
QString partText(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return QString();
    GMimeRef<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, memory.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    auto* object = GMIME_OBJECT(part);
    QString text = fromCharset(
        QByteArrayView(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len)),
        g_mime_object_get_content_type_parameter(object, "charset"));
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
    GMimeRef<GMimeStream> counter(g_mime_stream_null_new());
    g_mime_data_wrapper_write_to_stream(content, counter.get());
    return qint64(GMIME_STREAM_NULL(counter.get())->written);
}

QString fromGMime(const char* utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

} // namespace

QString addressText(InternetAddressList* list)
{
    if (!list || internet_address_list_length(list) == 0)
        return QString();
    char* text = internet_address_list_to_string(list, nullptr, FALSE);
    QString result = fromGMime(text);
    g_free(text);
    return result;
}

MessageParts readParts(GMimeMessage* message)
{
    MessageParts result;
    // Each forwarded message follows the text of the one that holds it.
    struct Pending {
        GMimeMessage* message;
        int depth;
    };
    QList<Pending> pending{{message, 0}};
    while (!pending.isEmpty()) {
        const Pending current = pending.takeFirst();
        const Found found = findParts(g_mime_message_get_mime_part(current.message));
        if (current.depth > 0) {
            if (!result.body.isEmpty())
                result.body += QLatin1String(result.body.endsWith(u'\n') ? "\r\n" : "\r\n\r\n");
            result.body +=
                QLatin1String("From: ") + addressText(g_mime_message_get_from(current.message)) +
                QLatin1String("\r\nSubject: ") +
                fromGMime(g_mime_message_get_subject(current.message)) + QLatin1String("\r\n\r\n");
            result.found = true;
        }
        if (found.plain) {
            result.body += partText(found.plain);
            result.found = true;
        } else if (found.html) {
            const QString text = htmlToText(partText(found.html));
            result.body += text;
            result.found = result.found || !text.isNull();
        }
        for (GMimePart* file : found.files) {
            result.attachments << Attachment{fromGMime(g_mime_part_get_filename(file)),
                                             decodedSize(file)};
            result.found = true;
        }
        if (current.depth < MaxForwardDepth) {
            for (qsizetype i = found.forwarded.size() - 1; i >= 0; --i)
                pending.prepend({found.forwarded[i], current.depth + 1});
        }
    }
    return result;
}

} // namespace Mime
