// The display decoder over arbitrary messages: whatever the bytes, the list
// row, the viewer's subject, address line, body and attachment names are
// valid UTF-16, and decoding ends.

#include "mime/MessageDisplay.h"
#include "pop3/ExtractHeaders.h"

#include <QGuiApplication>

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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text =
        bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    const Module1::ExtractedHeaders values = Module1::ExtractHeaders(text);
    const Mime::StoredValues stored{values[Module1::HeaderSubject],
                                    values[Module1::HeaderRecipient].trimmed(),
                                    values[Module1::HeaderBody]};

    check(QStringView(Mime::listSubject(bytes, stored.subject)).isValidUtf16());
    const Mime::DisplayedMessage shown = Mime::displayMessage(bytes, stored);
    for (const QString& value : {shown.subject, shown.from, shown.body})
        check(QStringView(value).isValidUtf16());
    for (const Mime::Attachment& file : shown.attachments)
        check(QStringView(file.name).isValidUtf16() && file.size >= 0);
    return 0;
}
