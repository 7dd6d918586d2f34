#include "autocheck/CheckDialogue.h"

#include "pop3/Pop3Session.h"

#include <QCryptographicHash>

#include <utility>

namespace
{

Pop3Action logAction(const QString& text)
{
    Pop3Action a(Pop3Action::Kind::Log);
    a.text = text;
    return a;
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The size in "+OK 3 4711", -1 when there is none. Any size past the
// largest message a session takes is one past it.
qint64 listedSize(const QByteArray& line)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    if (parts.size() < 3 || parts[2].isEmpty())
        return -1;
    qint64 size = 0;
    for (char c : parts[2]) {
        if (c < '0' || c > '9')
            return -1;
        size = std::min<qint64>(size * 10 + (c - '0'), Pop3Session::MaxMessageBytes + 1);
    }
    return size;
}

} // namespace

bool CheckDialogue::refusesAccount(QByteArrayView reply)
{
    // "-ERR [SYS/TEMP] ..." (RFC 2449, 3206): the code's first level says
    // what kind of refusal it is.
    QByteArrayView rest = reply;
    if (rest.startsWith("-ERR"))
        rest = rest.sliced(4);
    rest = rest.trimmed();
    if (!rest.startsWith('['))
        return true;
    qsizetype end = 1;
    while (end < rest.size() && rest[end] != ']' && rest[end] != '/')
        ++end;
    return rest.sliced(1, end - 1).compare("AUTH", Qt::CaseInsensitive) == 0;
}

void CheckDialogue::start(const QString& user, const QString& password,
                          std::optional<QSet<QByteArray>> seen)
{
    *this = CheckDialogue();
    m_user = user;
    m_password = password;
    m_seen = std::move(seen);
    m_running = true;
}

void CheckDialogue::send(Pop3Actions& out, const QByteArray& command, const QString& logged)
{
    Pop3Action a(Pop3Action::Kind::Send);
    a.bytes = command + "\r\n";
    out << a << logAction(logged);
}

void CheckDialogue::sendQuit(Pop3Actions& out)
{
    m_step = Step::Quit;
    send(out, "QUIT", QStringLiteral("QUIT"));
}

Pop3Actions CheckDialogue::fail(const QByteArray& why, Outcome outcome)
{
    m_running = false;
    m_outcome = outcome;
    m_buffer = QByteArray();
    m_listing = {};
    Pop3Action a(Pop3Action::Kind::Fail);
    a.bytes = why;
    return {a};
}

Pop3Actions CheckDialogue::connectionFailed(const QString& reason)
{
    if (!m_running)
        return {};
    if (m_step == Step::Quit) {
        // Everything was in before QUIT went out.
        m_running = false;
        return {
            logAction(QStringLiteral("QUIT was sent; the check ends without its reply: ") + reason),
            Pop3Action(Pop3Action::Kind::Close)};
    }
    return fail(reason.toUtf8());
}

qsizetype CheckDialogue::replyLimit() const
{
    switch (m_step) {
    case Step::Uidl:
        return MaxListingBytes;
    case Step::Top:
    case Step::Header:
        return MaxHeaderBytes;
    default:
        return m_messageLimit;
    }
}

Pop3Actions CheckDialogue::receive(const QByteArray& data)
{
    Pop3Actions out;
    if (!m_running)
        return out;
    m_buffer += data;
    while (m_running) {
        if (m_inBody && m_step == Step::Oversized) {
            const qsizetype before = out.size();
            out += dropOversized();
            if (out.size() == before)
                break; // more data is to come
            continue;
        }
        if (m_inBody) {
            // The terminator: LF "." CR LF, the LF being the status line's
            // own when the body is empty.
            const qsizetype at = m_buffer.indexOf("\n.\r\n", m_scanFrom);
            if (at < 0) {
                if (m_buffer.size() > replyLimit()) {
                    out += fail("a reply grew past " + QByteArray::number(replyLimit()) +
                                " bytes without its end; the check was ended.");
                    break;
                }
                m_scanFrom = std::max<qsizetype>(m_statusEnd, m_buffer.size() - 3);
                break;
            }
            // The reply leaves the buffer; a large buffer goes with it.
            QByteArray reply;
            if (at + 4 == m_buffer.size()) {
                reply = std::exchange(m_buffer, QByteArray());
            } else {
                reply = m_buffer.left(at + 4);
                m_buffer = m_buffer.mid(at + 4);
            }
            m_inBody = false;
            ++m_progress;
            out += handleBody(std::move(reply), m_statusEnd);
            continue;
        }
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0 ? m_buffer.size() > MaxReplyLine : end >= MaxReplyLine) {
            out +=
                fail("a reply line is longer than " + QByteArray::number(MaxReplyLine) + " bytes.");
            break;
        }
        if (end < 0)
            break;
        if (multiLine() && m_buffer.startsWith('+')) {
            out += beginBody(end);
            continue;
        }
        const QByteArray line = m_buffer.left(end + 1);
        m_buffer.remove(0, end + 1);
        ++m_progress;
        out += handleLine(line);
    }
    return out;
}

Pop3Actions CheckDialogue::beginBody(qsizetype statusEnd)
{
    m_inBody = true;
    m_statusEnd = statusEnd;
    m_scanFrom = statusEnd;
    if (m_step != Step::Retr)
        return {};
    // The same bound as the mailbox window's: twice what the status line
    // announces (or LIST, where it does not) and a little room.
    const qsizetype octets =
        Pop3Session::announcedOctets(QByteArrayView(m_buffer).first(statusEnd));
    const qsizetype announced =
        octets >= 0 ? octets
                    : qsizetype(std::min<qint64>(m_listedSize, Pop3Session::MaxMessageBytes));
    m_messageLimit = Pop3Session::messageLimit(statusEnd + 1, announced);
    if (octets <= MaxFetchedBytes)
        return {};
    // Too large to keep: read to its end and drop it, then ask for its
    // header. The status line's LF stays: it may begin the terminator.
    m_step = Step::Oversized;
    m_buffer.remove(0, statusEnd);
    m_dropped = statusEnd;
    m_statusEnd = 0;
    m_scanFrom = 0;
    return {logAction(QStringLiteral("Message %1 is %2 bytes: it is read and dropped, and only "
                                     "its header is fetched.")
                          .arg(currentNumber())
                          .arg(octets))};
}

Pop3Actions CheckDialogue::dropOversized()
{
    const qsizetype at = m_buffer.indexOf("\n.\r\n", m_scanFrom);
    if (at < 0) {
        if (m_dropped + m_buffer.size() > m_messageLimit)
            return fail("message " + QByteArray::number(currentNumber()) + " grew past " +
                        QByteArray::number(m_messageLimit) +
                        " bytes without its end; the check was ended.");
        // Three bytes stay, for a terminator cut across arrivals.
        const qsizetype drop = std::max<qsizetype>(0, m_buffer.size() - 3);
        m_dropped += drop;
        m_buffer.remove(0, drop);
        m_scanFrom = 0;
        return {};
    }
    m_buffer = m_buffer.mid(at + 4);
    m_inBody = false;
    ++m_progress;
    return fetchHeader(QString());
}

Pop3Actions CheckDialogue::handleLine(const QByteArray& line)
{
    Pop3Actions out;
    const bool ok = line.startsWith('+');
    switch (m_step) {
    case Step::Greeting:
        if (!ok)
            return fail(line);
        send(out, "USER " + m_user.toUtf8(), QStringLiteral("USER ") + m_user);
        m_step = Step::User;
        return out;
    case Step::User:
    case Step::Pass:
        if (!ok)
            return fail(line, refusesAccount(line) ? Outcome::LoginRefused : Outcome::Failed);
        if (m_step == Step::User) {
            send(out, "PASS " + m_password.toUtf8(), QStringLiteral("PASS ****"));
            m_step = Step::Pass;
        } else {
            send(out, "STAT", QStringLiteral("STAT"));
            m_step = Step::Stat;
        }
        return out;
    case Step::Stat:
        if (!ok || !Pop3Session::parseStatCount(line, &m_count) || m_count < 0)
            return fail(line);
        if (m_count > MaxListingLines)
            return fail("the server reports " + QByteArray::number(m_count) +
                        " messages; an automatic check takes on at most " +
                        QByteArray::number(MaxListingLines) + ", so it was ended.");
        if (m_count == 0)
            return afterListing();
        send(out, "UIDL", QStringLiteral("UIDL"));
        m_step = Step::Uidl;
        return out;
    case Step::Uidl: {
        // No unique ids: the header blocks of the newest messages stand in.
        m_digests = true;
        m_step = Step::Top;
        m_topNumber = std::max(1, m_count - MaxMessages + 1);
        const QByteArray command = "TOP " + QByteArray::number(m_topNumber) + " 0";
        send(out, command, QString::fromLatin1(command));
        return out;
    }
    case Step::Top:
        return fail("the server offers neither UIDL nor TOP, so new mail cannot be told from "
                    "old; automatic checks stop until the next OK in Options.",
                    Outcome::NoIds);
    case Step::List: {
        if (!ok)
            return fail(line);
        m_listedSize = listedSize(line);
        if (m_listedSize > MaxFetchedBytes)
            return fetchHeader(QStringLiteral("Message %1 is %2 bytes: only its header is "
                                              "fetched.")
                                   .arg(currentNumber())
                                   .arg(m_listedSize));
        const QByteArray command = "RETR " + QByteArray::number(currentNumber());
        send(out, command, QString::fromLatin1(command));
        m_step = Step::Retr;
        return out;
    }
    case Step::Header:
        // Without its header there is nothing to announce it by.
        out << logAction(QStringLiteral("The server sent no header of message %1; it is not "
                                        "announced.")
                             .arg(currentNumber()));
        ++m_fetched;
        return nextMessage(out);
    case Step::Retr:
    case Step::Oversized:
        return fail(line);
    case Step::Quit:
        m_running = false;
        if (!ok)
            out << logAction(QStringLiteral("The reply to QUIT was not +OK."));
        out << Pop3Action(Pop3Action::Kind::Close);
        return out;
    }
    return out;
}

Pop3Actions CheckDialogue::handleBody(QByteArray reply, qsizetype statusEnd)
{
    if (m_step == Step::Uidl) {
        // The body runs from after the status line to the terminator's ".".
        const qsizetype bodyStart = statusEnd + 1;
        const qsizetype bodyLength = std::max<qsizetype>(0, reply.size() - 3 - bodyStart);
        const QByteArray broken =
            parseUidl(QByteArrayView(reply.constData() + bodyStart, bodyLength));
        if (!broken.isEmpty())
            return fail(broken);
        return afterListing();
    }
    if (m_step == Step::Top) {
        const qsizetype bodyStart = statusEnd + 1;
        const qsizetype bodyLength = std::max<qsizetype>(0, reply.size() - 3 - bodyStart);
        const QByteArrayView body(reply.constData() + bodyStart, bodyLength);
        m_listing << NewMail::Listed{
            m_topNumber, QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex()};
        if (m_topNumber >= m_count)
            return afterListing();
        ++m_topNumber;
        Pop3Actions out;
        const QByteArray command = "TOP " + QByteArray::number(m_topNumber) + " 0";
        send(out, command, QString::fromLatin1(command));
        return out;
    }
    return store(std::move(reply)); // RETR, or TOP of a large message
}

Pop3Actions CheckDialogue::store(QByteArray reply)
{
    // The next command goes out before this message is handed over.
    Pop3Action stored(Pop3Action::Kind::Store);
    stored.index = m_stored++;
    stored.bytes = std::move(reply);
    ++m_fetched;
    Pop3Actions out = nextMessage({});
    // The Store goes before a closing SlideIn, after any next command.
    const bool last = !out.isEmpty() && out.last().kind == Pop3Action::Kind::SlideIn;
    out.insert(last ? out.size() - 1 : out.size(), stored);
    return out;
}

Pop3Actions CheckDialogue::nextMessage(Pop3Actions out)
{
    if (m_fetched < m_choice.fetch.size())
        return out + fetchNext();
    sendQuit(out);
    m_outcome = Outcome::Done;
    out << Pop3Action(Pop3Action::Kind::SlideIn);
    return out;
}

QByteArray CheckDialogue::parseUidl(QByteArrayView body)
{
    QSet<int> numbers;
    qsizetype from = 0;
    int lines = 0;
    while (from < body.size()) {
        qsizetype next = body.indexOf('\n', from);
        if (next < 0)
            next = body.size();
        if (++lines > MaxListingLines)
            return "the list of message ids (UIDL) is longer than " +
                   QByteArray::number(MaxListingLines) + " lines; nothing of it was recorded.";
        QByteArrayView line = body.sliced(from, next - from).trimmed();
        from = next + 1;
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        const QByteArrayView digits = line.first(space);
        const QByteArrayView id = line.sliced(space + 1).trimmed();
        if (!allDigits(digits))
            continue;
        if (!NewMail::isValidId(id))
            return "the list of message ids (UIDL) gives message " + digits.toByteArray() +
                   " an id that is not 1 to " + QByteArray::number(NewMail::MaxIdLength) +
                   " printable characters; nothing of it was recorded.";
        const int number = digits.toInt();
        // A number outside the mailbox, or listed twice, names nothing that
        // could be fetched.
        if (number < 1 || number > m_count || numbers.contains(number))
            continue;
        numbers.insert(number);
        m_listing << NewMail::Listed{number, id.toByteArray()};
    }
    return {};
}

Pop3Actions CheckDialogue::afterListing()
{
    m_choice = NewMail::choose(m_listing, m_seen, MaxMessages,
                               m_digests ? NewMail::Ids::NewestDigests : NewMail::Ids::Unique);
    m_listing = {};
    m_seen.reset();
    Pop3Actions out;
    if (m_choice.fetch.isEmpty()) {
        sendQuit(out);
        m_outcome = Outcome::Done;
        return out;
    }
    if (m_choice.newCount > m_choice.fetch.size())
        out << logAction(QStringLiteral("%1 new messages; the newest %2 are fetched.")
                             .arg(m_choice.newCount)
                             .arg(m_choice.fetch.size()));
    m_fetched = 0;
    return out + fetchNext();
}

Pop3Actions CheckDialogue::fetchNext()
{
    Pop3Actions out;
    m_listedSize = -1;
    const QByteArray command = "LIST " + QByteArray::number(currentNumber());
    send(out, command, QString::fromLatin1(command));
    m_step = Step::List;
    return out;
}

Pop3Actions CheckDialogue::fetchHeader(const QString& why)
{
    Pop3Actions out;
    if (!why.isEmpty())
        out << logAction(why);
    const QByteArray command = "TOP " + QByteArray::number(currentNumber()) + " 0";
    send(out, command, QString::fromLatin1(command));
    m_step = Step::Header;
    return out;
}
