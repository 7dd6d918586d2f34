#include "pop3/MessageStore.h"

#include "core/Module1.h"
#include "pop3/Pop3Session.h"

namespace Module1
{
namespace
{

// The reply without its status line and terminator, dots as they came.
QByteArrayView textOfReply(const QByteArray& reply)
{
    const qsizetype statusEnd = reply.indexOf("\r\n");
    if (statusEnd < 0)
        return {};
    const qsizetype start = statusEnd + 2;
    const qsizetype length = reply.size() - start - 3;
    if (length <= 0)
        return {};
    return QByteArrayView(reply.constData() + start, length);
}

bool inTables(int index)
{
    return index >= 0 && index < MessageTableSize;
}

} // namespace

QString storeRetrievedMessage(int index, QByteArray reply)
{
    if (!inTables(index))
        return QString();
    Pop3Session::StoredMessage message = Pop3Session::extractMessage(reply);
    MessageBodies[index] = std::move(message.body);
    MessageRecipients[index] = std::move(message.recipient);
    MessageSubjects[index] = std::move(message.subject);
    // Header lines never begin with a dot, so the doubled dots the text may
    // still hold do not change the row.
    QString row = Mime::listSubject(textOfReply(reply), MessageSubjects[index]);
    MessageSources[index] = std::move(reply);
    return row;
}

QByteArray messageOfReply(const QByteArray& reply)
{
    const QByteArrayView text = textOfReply(reply);
    QByteArray message;
    message.reserve(text.size());
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype next = text.indexOf("\r\n", lineStart);
        next = next < 0 ? text.size() : next + 2;
        QByteArrayView line = text.sliced(lineStart, next - lineStart);
        if (line.startsWith(".."))
            line = line.sliced(1);
        message.append(line);
        lineStart = next;
    }
    return message;
}

Mime::DisplayedMessage displayedMessage(int index)
{
    if (!inTables(index))
        return {};
    return Mime::displayMessage(
        messageOfReply(MessageSources[index]),
        {MessageSubjects[index], MessageRecipients[index], MessageBodies[index]});
}

} // namespace Module1
