// ExtractHeaders over arbitrary text: the values come from single lines, the
// angle brackets are gone from sender and recipient, and the body is the end
// of the message. The values taken from the bytes, as the message tables
// take them, equal those of the decoded text.

#include "pop3/ExtractHeaders.h"

#include <cstdlib>

namespace
{
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString message =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const Module1::ExtractedHeaders values = Module1::ExtractHeaders(message);
    for (int slot : {Module1::HeaderSubject, Module1::HeaderSender, Module1::HeaderRecipient}) {
        check(!values[slot].contains(QLatin1String("\r\n")));
        check(values[slot].size() <= message.size());
    }
    for (int slot : {Module1::HeaderSender, Module1::HeaderRecipient}) {
        check(!values[slot].contains(QLatin1Char('<')));
        check(!values[slot].contains(QLatin1Char('>')));
    }
    check(message.endsWith(values[Module1::HeaderBody]));
    const qsizetype blank = message.indexOf(QLatin1String("\r\n\r\n"));
    if (blank >= 0)
        check(values[Module1::HeaderBody] == message.mid(blank + 4));

    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool utf8 = bytes.isValidUtf8();
    const Module1::ExtractedHeaders decoded =
        Module1::ExtractHeaders(Module1::decodeMessageBytes(bytes, utf8));
    const Module1::ExtractedHeaders fromBytes = Module1::ExtractHeaderValues(bytes, utf8);
    for (int slot : {Module1::HeaderSubject, Module1::HeaderSender, Module1::HeaderRecipient})
        check(fromBytes[slot] == decoded[slot]);
    check(Module1::ExtractBody(bytes, utf8) == decoded[Module1::HeaderBody]);
    return 0;
}
