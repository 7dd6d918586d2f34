#include "pop3/MessageStore.h"

#include "pop3/ExtractHeaders.h"
#include "pop3/Pop3Session.h"

#include <array>

namespace Module1
{
namespace
{

struct StoredMessage : HeldMessage {
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
QByteArrayView messageOf(const HeldMessage& message, QByteArray* storage)
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
    // A doubled dot at the start of a header line leaves it a header line
    // of another name, so the dots the text may still hold do not change the row.
    return Mime::shownHeaders(Pop3Session::messageBytes(message.reply)).subject;
}

const QByteArray& storedReply(int index)
{
    static const QByteArray none;
    return inTables(index) ? s_messages[size_t(index)].reply : none;
}

HeldMessage heldMessage(int index)
{
    return inTables(index) ? HeldMessage(s_messages[size_t(index)]) : HeldMessage();
}

Mime::DisplayedMessage displayedMessage(const HeldMessage& message)
{
    QByteArray storage;
    const QByteArrayView text = messageOf(message, &storage);
    return Mime::displayMessage(text, ExtractBody(text, message.utf8));
}

QByteArray fileContent(const HeldMessage& message, qsizetype file)
{
    QByteArray storage;
    const QByteArrayView text = messageOf(message, &storage);
    return Mime::fileContent(text, ExtractBody(text, message.utf8), file);
}

Mime::DisplayedMessage displayedMessage(int index)
{
    return inTables(index) ? displayedMessage(s_messages[size_t(index)]) : Mime::DisplayedMessage();
}

Mime::ShownHeaders shownHeaders(int index)
{
    return inTables(index)
               ? Mime::shownHeaders(Pop3Session::messageBytes(s_messages[size_t(index)].reply))
               : Mime::ShownHeaders();
}

void ClearMessages()
{
    s_messages = {};
}

} // namespace Module1
