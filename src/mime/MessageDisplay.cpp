#include "mime/MessageDisplay.h"

#include "mime/GMimeRef.h"
#include "mime/HeaderText.h"
#include "mime/MimeParts.h"
#include "mime/NestingGuard.h"
#include "mime/TextDecoding.h"
#include "mime/UuBlocks.h"

namespace Mime
{
namespace
{

// The lines before the first empty line.
QByteArrayView headerBlock(QByteArrayView message)
{
    if (message.startsWith("\r\n"))
        return {};
    const qsizetype end = message.indexOf("\r\n\r\n");
    return end < 0 ? message : message.first(end + 2);
}

GMimeMessage* parse(QByteArrayView bytes)
{
    ensureGMime();
    GMimeRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.data(), size_t(bytes.size())));
    GMimeRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GMimeParserOptions* options = g_mime_parser_options_new();
    static const char* fallbackCharsets[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallbackCharsets);
    GMimeMessage* message = g_mime_parser_construct_message(parser.get(), options);
    g_mime_parser_options_free(options);
    return message;
}

StoredValues readAsWindows1252(QByteArrayView message, const StoredValues& stored)
{
    // The tables read bytes that are not UTF-8 as Latin-1, one character each.
    if (message.isValidUtf8())
        return stored;
    return {latin1ToWindows1252(stored.subject), latin1ToWindows1252(stored.recipient),
            latin1ToWindows1252(stored.body)};
}

DisplayedMessage plainDisplay(QByteArrayView message, const StoredValues& stored)
{
    StoredValues values = readAsWindows1252(message, stored);
    DisplayedMessage shown{decodeEncodedWords(values.subject),
                           decodeEncodedWords(values.recipient),
                           std::move(values.body),
                           {}};
    shown.attachments = uuBlocks(shown.body);
    return shown;
}

DisplayedMessage validated(DisplayedMessage shown)
{
    shown.subject = validUtf16(std::move(shown.subject));
    shown.from = validUtf16(std::move(shown.from));
    shown.body = validUtf16(std::move(shown.body));
    for (Attachment& file : shown.attachments)
        file.name = validUtf16(std::move(file.name));
    return shown;
}

} // namespace

bool isMimeMessage(QByteArrayView message)
{
    const QByteArrayView header = headerBlock(message);
    static constexpr QByteArrayView name("mime-version");
    qsizetype lineStart = 0;
    while (lineStart < header.size()) {
        qsizetype end = header.indexOf("\r\n", lineStart);
        if (end < 0)
            end = header.size();
        QByteArrayView line = header.sliced(lineStart, end - lineStart);
        lineStart = end + 2;
        if (line.size() <= name.size() || qstrnicmp(line.data(), name.data(), name.size()) != 0)
            continue;
        line = line.sliced(name.size());
        while (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t'))
            line = line.sliced(1);
        if (line.startsWith(':'))
            return true;
    }
    return false;
}

QString listSubject(QByteArrayView message, const QString& storedSubject)
{
    if (!isMimeMessage(message)) {
        // Only a subject that holds U+0080..U+009F can differ under Windows-1252.
        bool c1 = false;
        for (QChar c : storedSubject)
            c1 = c1 || (c.unicode() >= 0x80 && c.unicode() <= 0x9F);
        const QString subject =
            c1 && !message.isValidUtf8() ? latin1ToWindows1252(storedSubject) : storedSubject;
        return validUtf16(decodeEncodedWords(subject));
    }
    // The header block alone, closed by an empty line, is a message without a body.
    QByteArray header = headerBlock(message).toByteArray();
    header += header.endsWith("\r\n") ? "\r\n" : "\r\n\r\n";
    GMimeRef<GMimeMessage> parsed(parse(header));
    if (!parsed)
        return validUtf16(decodeEncodedWords(storedSubject));
    return validUtf16(subjectText(parsed.get()));
}

DisplayedMessage displayMessage(QByteArrayView message, const StoredValues& stored)
{
    if (!isMimeMessage(message))
        return validated(plainDisplay(message, stored));
    const QByteArray shallow = flattenDeepNesting(message, MaxNesting);
    GMimeRef<GMimeMessage> parsed(parse(shallow.isNull() ? message : QByteArrayView(shallow)));
    if (!parsed)
        return validated(plainDisplay(message, stored));

    MessageParts parts = readParts(parsed.get());
    DisplayedMessage shown;
    shown.subject = subjectText(parsed.get());
    shown.from = fromText(parsed.get());
    if (parts.found) {
        shown.body = std::move(parts.body);
    } else if (headerBlock(message).size() < message.size()) {
        // A missing boundary, say: the text as it stands.
        shown.body = plainDisplay(message, {{}, {}, stored.body}).body;
    } // else headers only: no body, and no piece of the header block either
    shown.attachments = std::move(parts.attachments) + uuBlocks(shown.body);
    return validated(std::move(shown));
}

} // namespace Mime
