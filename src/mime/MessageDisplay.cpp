#include "mime/MessageDisplay.h"

#include "mime/GMimeRef.h"
#include "mime/HeaderBlock.h"
#include "mime/HeaderText.h"
#include "mime/MimeParts.h"
#include "mime/MimePrepass.h"
#include "mime/TextDecoding.h"
#include "mime/UuBlocks.h"

namespace Mime
{
namespace
{

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

bool hasMimeVersion(QByteArrayView header)
{
    static constexpr QByteArrayView name("mime-version");
    qsizetype lineStart = 0;
    while (lineStart < header.size()) {
        qsizetype end = header.indexOf('\n', lineStart);
        if (end < 0)
            end = header.size();
        QByteArrayView line = header.sliced(lineStart, end - lineStart);
        lineStart = end + 1;
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

// The header lines alone, closed by an empty line, are a message without a
// body: GMime reads them as it reads any header block. GMime's strings end at
// a NUL, which would cut a value short: it shows as U+FFFD instead.
ShownHeaders headersOf(QByteArrayView header)
{
    if (header.isEmpty())
        return {};
    QByteArray block = header.toByteArray();
    if (block.contains('\0'))
        block.replace('\0', "\xEF\xBF\xBD");
    block += block.endsWith('\n') ? "\r\n" : "\r\n\r\n";
    GMimeRef<GMimeMessage> parsed(parse(block));
    if (!parsed)
        return {};
    return {validUtf16(subjectText(parsed.get())), validUtf16(fromText(parsed.get()))};
}

// The body of a message read without MIME: the one the tables keep where it
// starts right after the header block, else the text after the header block
// (the tables cut theirs at the first empty line). Bytes that are not UTF-8
// read as Windows-1252, where the tables read Latin-1.
QString plainBody(QByteArrayView message, const HeaderExtent& extent, const QString& storedBody)
{
    const bool utf8 = message.isValidUtf8();
    const qsizetype emptyLine = message.indexOf("\r\n\r\n");
    if (emptyLine >= 0 && emptyLine + 4 == extent.bodyStart)
        return utf8 ? storedBody : latin1ToWindows1252(storedBody);
    const QByteArrayView rest = message.sliced(extent.bodyStart);
    return utf8 ? QString::fromUtf8(rest) : latin1ToWindows1252(QString::fromLatin1(rest));
}

// The display, and the content of file `wanted` when `content` is given.
DisplayedMessage display(QByteArrayView message, const QString& storedBody, qsizetype wanted,
                         QByteArray* content)
{
    const HeaderExtent extent = headerExtent(message);
    const QByteArrayView header = message.first(extent.length);
    const ShownHeaders headers = headersOf(header);
    DisplayedMessage shown{headers.subject, headers.from, {}, {}};
    bool plain = true;
    if (hasMimeVersion(header)) {
        const QByteArray prepared = prepareForGMime(message, MaxNesting);
        GMimeRef<GMimeMessage> parsed(
            parse(prepared.isNull() ? message : QByteArrayView(prepared)));
        MessageParts parts;
        if (parsed)
            parts = readParts(parsed.get(), wanted, content);
        // Input GMime finds nothing in (a missing boundary, say) shows as it
        // stands; a message of headers only has no body.
        plain = !parts.found && extent.bodyStart < message.size();
        shown.body = std::move(parts.body);
        shown.attachments = std::move(parts.attachments);
    }
    if (plain)
        shown.body = plainBody(message, extent, storedBody);

    const QList<Attachment> blocks = uuBlocks(shown.body);
    const qsizetype block = wanted - shown.attachments.size();
    if (content && block >= 0 && block < blocks.size())
        *content = uuContent(shown.body, block);
    shown.attachments += blocks;

    shown.body = validUtf16(std::move(shown.body));
    for (Attachment& file : shown.attachments)
        file.name = validUtf16(std::move(file.name));
    return shown;
}

} // namespace

bool isMimeMessage(QByteArrayView message)
{
    return hasMimeVersion(message.first(headerExtent(message).length));
}

ShownHeaders shownHeaders(QByteArrayView message)
{
    return headersOf(message.first(headerExtent(message).length));
}

DisplayedMessage displayMessage(QByteArrayView message, const QString& storedBody)
{
    return display(message, storedBody, -1, nullptr);
}

QByteArray fileContent(QByteArrayView message, const QString& storedBody, qsizetype file)
{
    QByteArray content;
    if (file >= 0)
        display(message, storedBody, file, &content);
    return content;
}

} // namespace Mime
