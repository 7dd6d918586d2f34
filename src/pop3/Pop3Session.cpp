#include "pop3/Pop3Session.h"

#include "net/PlainReason.h"

#include <cstring>
#include <utility>

namespace
{

Pop3Action logAction(const QString& text)
{
    Pop3Action a(Pop3Action::Kind::Log);
    a.text = text;
    return a;
}

// The position of the terminator LF "." CR LF at or after `from`, or -1.
// Line ends are found with memchr, which is far quicker on long texts than a
// general substring search.
// On the way, a line that begins with ".." sets *doubledDots: the search
// looks at the start of every line anyway.
qsizetype findTerminator(const QByteArray& buffer, qsizetype from, bool* doubledDots)
{
    const char* data = buffer.constData();
    const char* end = data + buffer.size();
    const char* p = data + from;
    while (end - p >= 4) {
        p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p - 3)));
        if (!p)
            return -1;
        if (p[1] == '.') {
            if (p[2] == '\r' && p[3] == '\n')
                return p - data;
            *doubledDots = *doubledDots || p[2] == '.';
        }
        ++p;
    }
    return -1;
}

// Does a line after the first begin with ".."?
bool hasDoubledDotLine(QByteArrayView text)
{
    const char* data = text.data();
    const char* end = data + text.size();
    const char* p = data + 1;
    while (end - p >= 3) {
        p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p - 2)));
        if (!p)
            return false;
        if (p[-1] == '\r' && p[1] == '.' && p[2] == '.')
            return true;
        ++p;
    }
    return false;
}

bool holdsLineBreak(const QString& value)
{
    return value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'));
}

} // namespace

QString Pop3Session::accountProblem(const QString& user, const QString& password)
{
    if (holdsLineBreak(user) || holdsLineBreak(password))
        return QStringLiteral("the user name or the password holds a line break.");
    return QString();
}

void Pop3Session::start(Mode mode, const QString& user, const QString& password)
{
    m_mode = mode;
    m_user = user;
    m_password = password;
    m_running = true;
    m_step = Greeting;
    m_firstToFetch = 0;
    m_lastToFetch = 0;
    m_deleCount = 0;
    m_delesSent = 0;
    m_closingReplies = 0;
    m_refusedDeles.clear();
    m_quitSent = false;
    // Text left from an interrupted session must not end up in front of this
    // session's first message.
    m_receiveBuffer = QByteArray();
    m_message.reset();
    m_lineScanFrom = 0;
    m_statusEnd = -1;
    m_scanFrom = 0;
}

void Pop3Session::sendAndLog(Pop3Actions& out, const QByteArray& command, const QString& logged)
{
    Pop3Action send(Pop3Action::Kind::Send);
    send.bytes = command + "\r\n";
    out << send << logAction(logged);
}

void Pop3Session::sendQuit(Pop3Actions& out)
{
    m_step = Closing;
    m_quitSent = true;
    sendAndLog(out, "QUIT", QStringLiteral("QUIT"));
}

const QByteArray& Pop3Session::receiveBuffer() const
{
    return m_step == RetrReply && m_message ? *m_message : m_receiveBuffer;
}

void Pop3Session::startMessage(QByteArray bytesSoFar)
{
    // A buffer of its own for each message: the tables keep it, and the log
    // keeps ranges of it while it still grows.
    m_message = std::make_shared<QByteArray>(std::move(bytesSoFar));
    m_scanFrom = 0;
    m_doubledDots = false;
    m_statusEnd = -1;
    m_lineScanFrom = 0;
}

Pop3Actions Pop3Session::receive(const QByteArray& data)
{
    Pop3Actions out;
    if (!m_running || m_step != RetrReply) {
        m_arrival = ByteRange(data);
        if (!m_running)
            return out;
        m_receiveBuffer += data;
    } else {
        m_arrival = ByteRange(m_message, m_message->size(), data.size());
        m_message->append(data);
    }
    while (m_running) {
        if (m_step == RetrReply) {
            const qsizetype before = out.size();
            out += collectMessage();
            if (out.size() == before)
                break; // more data is to come
            continue;
        }
        // One reply is one line, whatever the cut of the arrivals. Only the
        // bytes not searched yet are searched.
        const qsizetype end = m_receiveBuffer.indexOf('\n', m_lineScanFrom);
        if (end < 0 ? m_receiveBuffer.size() > MaxReplyLine : end >= MaxReplyLine) {
            out += fail(
                "a reply line is longer than " + QByteArray::number(MaxReplyLine) + " bytes.",
                QStringLiteral("The server sent a line longer than %1 bytes, which no POP3 server "
                               "does. Check the incoming mail server and its port in Options.")
                    .arg(MaxReplyLine));
            break;
        }
        if (end < 0) {
            m_lineScanFrom = m_receiveBuffer.size();
            break;
        }
        const QByteArray reply = m_receiveBuffer.left(end + 1);
        m_receiveBuffer.remove(0, end + 1);
        m_lineScanFrom = 0;
        ++m_progress;
        out += handleReply(reply);
    }
    return out;
}

Pop3Actions Pop3Session::connectionFailed(const QString& reason, const QString& plain)
{
    if (!m_running)
        return {};
    if (m_quitSent) {
        return endAfterQuit({logAction(
            QStringLiteral("QUIT was sent; the session ends without its reply: ") + reason)});
    }
    return fail(reason.toUtf8(), plain);
}

Pop3Actions Pop3Session::endAfterQuit(Pop3Actions out)
{
    m_running = false;
    if (m_refusedDeles.isEmpty()) {
        out << Pop3Action(Pop3Action::Kind::Close);
        return out;
    }
    QByteArrayList numbers;
    for (int n : m_refusedDeles)
        numbers << QByteArray::number(n);
    Pop3Action a(Pop3Action::Kind::Fail);
    const QByteArray which = QByteArray(numbers.size() > 1 ? "s " : " ") + numbers.join(", ");
    a.bytes = "the server refused DELE for message" + which + ".";
    a.text = QStringLiteral("The server did not delete message%1; the other messages were "
                            "deleted.")
                 .arg(QString::fromLatin1(which));
    out << a;
    return out;
}

Pop3Actions Pop3Session::fail(const QByteArray& what, const QString& plain)
{
    m_running = false;
    Pop3Action a(Pop3Action::Kind::Fail);
    a.bytes = what;
    a.text = plain;
    return {a};
}

Pop3Actions Pop3Session::refusedReply(const QByteArray& reply)
{
    QString plain = PlainReason::serverSaid(reply);
    if (!reply.startsWith('-')) {
        plain += QStringLiteral(" That is no POP3 reply: check the incoming mail server and its "
                                "port in Options.");
    } else if (m_step == UserReply || m_step == PassReply) {
        plain += QStringLiteral(" Check the user name and password in Options.");
    }
    return fail(reply, plain);
}

Pop3Actions Pop3Session::handleReply(const QByteArray& reply)
{
    if (m_step == Closing)
        return closingReply(reply);
    if (!reply.startsWith('+'))
        return refusedReply(reply);

    Pop3Actions out;
    switch (m_step) {
    case Greeting:
        m_messageCount = 0;
        m_currentMessage = 0;
        sendAndLog(out, "USER " + m_user.toUtf8(), QStringLiteral("USER ") + m_user);
        m_step = UserReply;
        break;
    case UserReply:
        // The password never goes into the log.
        sendAndLog(out, "PASS " + m_password.toUtf8(), QStringLiteral("PASS ****"));
        m_step = PassReply;
        break;
    case PassReply:
        sendAndLog(out, "STAT", QStringLiteral("STAT"));
        m_step = StatReply;
        break;
    case StatReply:
        out = afterStat(reply);
        break;
    default:
        break;
    }
    return out;
}

Pop3Actions Pop3Session::closingReply(const QByteArray& reply)
{
    // The replies to the DELE commands come in their order, then QUIT's; the
    // socket closes only once QUIT is answered, so the server carries out
    // the deletions. A refused DELE (another client removed the message)
    // must not cost the others theirs.
    const int number = ++m_closingReplies;
    const bool toDele = number <= m_deleCount;
    if (!reply.startsWith('+') && !toDele)
        return fail(reply, PlainReason::serverSaid(reply));
    Pop3Actions out;
    if (!reply.startsWith('+')) {
        m_refusedDeles << number;
        out << logAction(QStringLiteral("DELE%1 refused; the other deletions go on.").arg(number));
    }
    if (toDele) {
        sendDeles(out);
        return out;
    }
    return endAfterQuit(out);
}

void Pop3Session::sendDeles(Pop3Actions& out)
{
    // At most DeleWindow commands wait for their replies: a mailbox of
    // millions (or a server that claims one) is deleted a window at a time,
    // not planned in one piece. QUIT follows the last DELE.
    while (m_delesSent < m_deleCount && m_delesSent - m_closingReplies < DeleWindow) {
        const int number = ++m_delesSent;
        out << logAction(QStringLiteral("DELE%1").arg(number));
        Pop3Action send(Pop3Action::Kind::Send);
        send.bytes = "DELE " + QByteArray::number(number) + "\r\n";
        send.yieldAfter = true;
        out << send;
    }
    if (m_delesSent == m_deleCount && !m_quitSent)
        sendQuit(out);
}

bool Pop3Session::parseStatCount(const QByteArray& reply, int* count)
{
    // "+OK 3 4711": the count runs from the 5th character to the next space
    // (or the line end).
    if (reply.size() < 5)
        return false;
    qsizetype end = 4;
    while (end < reply.size() && reply[end] != ' ' && reply[end] != '\r' && reply[end] != '\n')
        ++end;
    const QByteArray digits = reply.mid(4, end - 4);
    if (digits.isEmpty())
        return false;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const char c = digits[i];
        if (!(c >= '0' && c <= '9') && !(i == 0 && c == '-' && digits.size() > 1))
            return false;
    }
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok)
        return false;
    *count = value;
    return true;
}

Pop3Actions Pop3Session::afterStat(const QByteArray& reply)
{
    int count = 0;
    if (!parseStatCount(reply, &count)) {
        return fail(reply, PlainReason::serverSaid(reply) +
                               QStringLiteral(" The number of messages in it cannot be read."));
    }
    m_messageCount = count;

    Pop3Actions out;
    if (count <= 0) {
        sendQuit(out);
        out << logAction(QStringLiteral("You have not mail."));
        return out;
    }
    if (m_mode == Mode::Delete) {
        // Replies to DELE may come in while the commands are still going out;
        // every reply from here on is counted against the DELEs and the QUIT.
        m_step = Closing;
        m_deleCount = count;
        m_delesSent = 0;
        sendDeles(out);
        return out;
    }
    m_step = RetrReply;
    m_firstToFetch = qMax(1, count - MaxMessages + 1);
    m_lastToFetch = count;
    m_currentMessage = m_firstToFetch;
    // Whatever already followed the STAT reply is the start of the RETR reply.
    startMessage(std::exchange(m_receiveBuffer, QByteArray()));
    const QByteArray number = QByteArray::number(m_currentMessage);
    sendAndLog(out, "RETR " + number, QStringLiteral("RETR ") + QString::fromLatin1(number));
    return out;
}

qsizetype Pop3Session::announcedOctets(QByteArrayView statusLine)
{
    if (!statusLine.startsWith("+OK "))
        return -1;
    qsizetype i = 4;
    qsizetype octets = 0;
    while (i < statusLine.size() && statusLine[i] >= '0' && statusLine[i] <= '9' &&
           octets < MaxMessageBytes) {
        octets = octets * 10 + (statusLine[i] - '0');
        ++i;
    }
    return i == 4 ? -1 : octets;
}

qsizetype Pop3Session::messageLimit(qsizetype statusLength, qsizetype octets)
{
    if (octets < 0)
        return MaxMessageBytes;
    return qMin(MaxMessageBytes, statusLength + 2 * octets + MessageSlack);
}

void Pop3Session::prepareForMessage(qsizetype lineEnd)
{
    // "+OK 1048576 octets": room for the whole reply at once, and a limit
    // past which it is no message.
    const qsizetype octets = announcedOctets(QByteArrayView(*m_message).first(lineEnd));
    m_messageLimit = messageLimit(lineEnd + 1, octets);
    const qsizetype wanted = lineEnd + 1 + octets + octets / 32 + 64; // dots may be doubled
    if (octets > 0)
        m_message->reserve(qMin(wanted, MaxReservation));
}

Pop3Actions Pop3Session::collectMessage()
{
    QByteArray& buffer = *m_message;
    if (m_statusEnd < 0) {
        const qsizetype end = buffer.indexOf('\n', m_lineScanFrom);
        if (end < 0) {
            m_lineScanFrom = buffer.size();
            return {};
        }
        m_lineScanFrom = 0;
        if (buffer.startsWith('-')) {
            // "-ERR no such message": there will be no terminator to wait for.
            const QByteArray reply = buffer.left(end + 1);
            return fail(reply, PlainReason::serverSaid(reply));
        }
        m_statusEnd = end;
        prepareForMessage(end);
    }

    // Only the bytes that arrived since the last search (and three before
    // them, for a terminator cut across arrivals) are searched.
    const qsizetype at = findTerminator(buffer, m_scanFrom, &m_doubledDots);
    if (at < 0 && buffer.size() > m_messageLimit) {
        // Nothing of it is kept.
        m_message.reset();
        const QByteArray why = "message " + QByteArray::number(m_currentMessage) +
                               " is larger than " + QByteArray::number(m_messageLimit) +
                               " bytes without its end; the session was ended.";
        return fail(why, QStringLiteral("The server sent a message far larger than it said "
                                        "and did not end it: the check was stopped."));
    }
    if (at < 0) {
        m_scanFrom = qMax<qsizetype>(0, buffer.size() - 3);
        return {};
    }
    const qsizetype end = at + 4;
    // The buffer goes to the tables as it is, shared with the log and not
    // copied; only bytes a server sent after the terminator, which belong
    // to no message, are copied out.
    QByteArray after = buffer.sliced(end);
    QByteArray reply = end == buffer.size() ? buffer : buffer.first(end);
    m_message.reset();
    ++m_progress;
    Pop3Actions out = messageComplete(std::move(reply));
    if (m_step == RetrReply)
        startMessage(std::move(after));
    else
        m_receiveBuffer = std::move(after);
    return out;
}

Pop3Actions Pop3Session::messageComplete(QByteArray reply)
{
    // The next command goes out before the message is taken apart, so the
    // server sends the next message while this one is decoded. Nothing in
    // the log or on the server tells the two orders apart.
    Pop3Actions out;
    Pop3Action store(Pop3Action::Kind::Store);
    store.index = m_currentMessage - m_firstToFetch;
    store.bytes = std::move(reply);
    store.doubledDots = m_doubledDots;

    if (m_currentMessage >= m_lastToFetch) {
        sendQuit(out);
        out << store;
        if (m_firstToFetch > 1)
            out << logAction(QStringLiteral("The newest %1 of %2 messages retrieved; %3 older "
                                            "ones left on the server.")
                                 .arg(m_lastToFetch - m_firstToFetch + 1)
                                 .arg(m_messageCount)
                                 .arg(m_firstToFetch - 1));
        out << Pop3Action(Pop3Action::Kind::SlideIn);
        return out;
    }
    ++m_currentMessage;
    const QByteArray number = QByteArray::number(m_currentMessage);
    sendAndLog(out, "RETR " + number, QStringLiteral("RETR ") + QString::fromLatin1(number));
    out << store;
    return out;
}

QByteArrayView Pop3Session::messageBytes(QByteArrayView reply)
{
    // Drop the status line, then the terminator's "." CR LF; the text keeps
    // the CR LF of its last line.
    const qsizetype statusEnd = reply.indexOf("\r\n");
    if (statusEnd < 0)
        return {};
    const qsizetype start = statusEnd + 2;
    const qsizetype length = reply.size() - start - 3;
    if (length <= 0)
        return {};
    return reply.sliced(start, length);
}

QByteArrayView Pop3Session::unstuffed(QByteArrayView text, QByteArray* storage)
{
    if (text.isEmpty() || (!text.startsWith("..") && !hasDoubledDotLine(text)))
        return text;
    storage->clear();
    storage->reserve(text.size());
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype next = text.indexOf("\r\n", lineStart);
        next = next < 0 ? text.size() : next + 2;
        QByteArrayView line = text.sliced(lineStart, next - lineStart);
        if (line.startsWith(".."))
            line = line.sliced(1);
        storage->append(line);
        lineStart = next;
    }
    return *storage;
}

QString Pop3Session::messageText(QByteArrayView reply)
{
    QByteArray storage;
    return decode(unstuffed(messageBytes(reply), &storage));
}

QString Pop3Session::decode(QByteArrayView bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}
