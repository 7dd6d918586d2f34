// The display decoder over arbitrary messages: whatever the bytes, the list
// row, the viewer's subject, address line, body and attachment names are
// valid UTF-16, and decoding takes time linear in the size. GMime checks
// each line against every boundary still open, so linear means: the
// multiparts GMime is handed never nest deeper than the display's limit.
// A generous time bound per byte backs that up.

#include "mime/GMimeRef.h"
#include "mime/MessageDisplay.h"
#include "mime/MimeParts.h"
#include "mime/MimePrepass.h"
#include "pop3/ExtractHeaders.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

namespace
{
void check(bool condition)
{
    if (!condition)
        std::abort();
}

// HTML is laid out by a text document, which needs the application object.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_mime";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}
// How deeply the multiparts GMime finds nest, forwarded messages entered.
int multipartNesting(QByteArrayView bytes)
{
    const QByteArray flat = Mime::prepareForGMime(bytes, Mime::MaxNesting);
    const QByteArrayView input = flat.isNull() ? bytes : QByteArrayView(flat);
    Mime::ensureGMime();
    Mime::GMimeRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(input.data(), size_t(input.size())));
    Mime::GMimeRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    Mime::GMimeRef<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    int deepest = 0;
    QList<QPair<GMimeObject*, int>> pending{
        {message ? g_mime_message_get_mime_part(message.get()) : nullptr, 0}};
    while (!pending.isEmpty()) {
        const auto [object, depth] = pending.takeLast();
        if (GMIME_IS_MULTIPART(object)) {
            deepest = std::max(deepest, depth + 1);
            for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(object)); ++i)
                pending.append({g_mime_multipart_get_part(GMIME_MULTIPART(object), i), depth + 1});
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (inner)
                pending.append({g_mime_message_get_mime_part(inner), depth});
        }
    }
    return deepest;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text =
        bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    const QString body = Module1::ExtractHeaders(text)[Module1::HeaderBody];

    QElapsedTimer clock;
    clock.start();
    const Mime::ShownHeaders headers = Mime::shownHeaders(bytes);
    const Mime::DisplayedMessage shown = Mime::displayMessage(bytes, body);
    check(clock.elapsed() < 1000 + qint64(size) / 10); // 1 s + 100 µs per byte
    check(multipartNesting(bytes) <= Mime::MaxNesting);
    // The list row, the notice and the viewer read the same header fields.
    check(headers.subject == shown.subject && headers.from == shown.from);
    for (const QString& value : {shown.subject, shown.from, shown.body})
        check(QStringView(value).isValidUtf16());
    for (const Mime::Attachment& file : shown.attachments)
        check(QStringView(file.name).isValidUtf16() && file.size >= 0);
    // A saved file holds as many bytes as its listed size says.
    for (qsizetype i = 0; i < qMin<qsizetype>(3, shown.attachments.size()); ++i)
        check(Mime::fileContent(bytes, body, i).size() == shown.attachments[i].size);
    return 0;
}
