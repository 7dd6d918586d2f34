#include "pop3/MessageStore.h"

#include "pop3/ExtractHeaders.h"
#include "pop3/Pop3Session.h"

#include <array>

namespace Module1
{
namespace
{

struct StoredMessage {
    QByteArray reply;        // status line through terminator, as it arrived
    bool utf8 = true;        // how its text reads: UTF-8, or else Latin-1
    bool doubledDots = true; // a line may begin with "..": read through unstuffed()
    QString subject;
    QString recipient;
};

std::array<StoredMessage, MessageTableSize> s_messages;

bool inTables(int index)
{
    return index >= 0 && index < MessageTableSize;
}

// The message of a stored reply: unstuffed, still in bytes; `storage` holds
// it when dots had to be undone.
QByteArrayView messageOf(const StoredMessage& message, QByteArray* storage)
{
    const QByteArrayView text = Pop3Session::messageBytes(message.reply);
    return message.doubledDots ? Pop3Session::unstuffed(text, storage) : text;
}

} // namespace

QString MessageColumn::operator[](int index) const
{
    if (!inTables(index))
        return QString();
    const StoredMessage& message = s_messages[size_t(index)];
    switch (m_which) {
    case Subjects:
        return message.subject;
    case Recipients:
        return message.recipient;
    case Bodies:
        break;
    }
    QByteArray storage;
    return ExtractBody(messageOf(message, &storage), message.utf8);
}

QString storeRetrievedMessage(int index, QByteArray reply, bool doubledDots)
{
    if (!inTables(index))
        return QString();
    StoredMessage& message = s_messages[size_t(index)];
    message.reply = std::move(reply);
    message.doubledDots = doubledDots;
    QByteArray storage;
    const QByteArrayView text = messageOf(message, &storage);
    message.utf8 = text.isValidUtf8();
    ExtractedHeaders headers = ExtractHeaderValues(text, message.utf8);
    message.subject = std::move(headers[HeaderSubject]);
    message.recipient = headers[HeaderRecipient].trimmed();
    // Header lines never begin with a dot, so the doubled dots the text may
    // still hold do not change the row.
    return Mime::listSubject(Pop3Session::messageBytes(message.reply), message.subject);
}

const QByteArray& storedReply(int index)
{
    static const QByteArray none;
    return inTables(index) ? s_messages[size_t(index)].reply : none;
}

Mime::DisplayedMessage displayedMessage(int index)
{
    if (!inTables(index))
        return {};
    QByteArray storage;
    const StoredMessage& message = s_messages[size_t(index)];
    const QByteArrayView text = messageOf(message, &storage);
    return Mime::displayMessage(
        text, {message.subject, message.recipient, ExtractBody(text, message.utf8)});
}

void ClearMessages()
{
    s_messages = {};
}

} // namespace Module1
