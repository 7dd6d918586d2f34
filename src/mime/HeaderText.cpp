#include "mime/HeaderText.h"

#include "mime/TextDecoding.h"

#include <QByteArray>

namespace Mime
{
namespace
{

// The header's value as written, folded lines and all; null when absent.
QByteArray rawHeader(GMimeMessage* message, const char* name)
{
    GMimeHeaderList* list = g_mime_object_get_header_list(GMIME_OBJECT(message));
    GMimeHeader* header = list ? g_mime_header_list_get_header(list, name) : nullptr;
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return raw ? QByteArray(raw) : QByteArray();
}

QByteArray unfolded(const QByteArray& raw)
{
    char* text = g_mime_utils_header_unfold(raw.constData());
    const QByteArray result(text);
    g_free(text);
    return result.trimmed();
}

// A line break left in the text (a bare CR, say) becomes a space, and
// encoded words GMime left alone are decoded.
QString oneLine(QString text)
{
    text.remove(QLatin1String("\r\n"));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    if (text.contains(QLatin1String("=?")))
        text = decodeEncodedWords(text);
    return text.trimmed();
}

QString fromGMime(char* text)
{
    const QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

bool hasAddress(InternetAddressList* list)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address))
            return true;
        const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        if (addr && *addr)
            return true;
    }
    return false;
}

} // namespace

QString addressText(InternetAddressList* list)
{
    if (!list || internet_address_list_length(list) == 0)
        return QString();
    return fromGMime(internet_address_list_to_string(list, nullptr, FALSE));
}

QString subjectText(GMimeMessage* message)
{
    const QByteArray raw = rawHeader(message, "Subject");
    const QByteArray known = withKnownCharsets(raw);
    if (known == raw) {
        const char* subject = g_mime_message_get_subject(message);
        return oneLine(subject ? QString::fromUtf8(subject) : QString());
    }
    return oneLine(fromGMime(g_mime_utils_header_decode_text(nullptr, unfolded(known))));
}

QString fromText(GMimeMessage* message)
{
    const QByteArray raw = rawHeader(message, "From");
    if (raw.isNull())
        return QString();
    const QByteArray rewritten = withKnownCharsets(raw);
    const QByteArray known = unfolded(rewritten);
    GMimeRef<InternetAddressList> parsed(
        rewritten == raw ? nullptr : internet_address_list_parse(nullptr, known.constData()));
    InternetAddressList* list = parsed ? parsed.get() : g_mime_message_get_from(message);
    if (hasAddress(list))
        return oneLine(addressText(list));
    // No address to show (MAILER-DAEMON <>, say): the name, else the header
    // as written; never an address found elsewhere in the message.
    const QString written = oneLine(fromUtf8OrWindows1252(known));
    QString name = written;
    name.remove(QLatin1String("<>"));
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.sliced(1, name.size() - 2);
    return name.isEmpty() ? written : name;
}

} // namespace Mime
