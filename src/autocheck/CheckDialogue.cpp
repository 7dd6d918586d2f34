#include "autocheck/CheckDialogue.h"

#include "pop3/Pop3Session.h"

#include <QCryptographicHash>

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

} // namespace

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

qsizetype CheckDialogue::bodyLimit() const
{
    switch (m_step) {
    case Step::Uidl:
        return 1024 * 1024 + qsizetype(m_count) * (MaxIdLength + 16);
    case Step::Top:
        return 1024 * 1024;
    default:
        return Pop3Session::MaxMessageBytes;
    }
}

Pop3Actions CheckDialogue::receive(const QByteArray& data)
{
    Pop3Actions out;
    if (!m_running)
        return out;
    m_buffer += data;
    while (m_running) {
        if (m_inBody) {
            // The terminator: LF "." CR LF, the LF being the status line's
            // own when the body is empty.
            const qsizetype at = m_buffer.indexOf("\n.\r\n", m_scanFrom);
            if (at < 0) {
                if (m_buffer.size() > bodyLimit()) {
                    out += fail("a reply grew past " + QByteArray::number(bodyLimit()) +
                                " bytes without its end; the check was ended.");
                    break;
                }
                m_scanFrom = std::max<qsizetype>(m_statusEnd, m_buffer.size() - 3);
                break;
            }
            QByteArray reply = m_buffer.left(at + 4);
            m_buffer.remove(0, at + 4);
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
            m_inBody = true;
            m_statusEnd = end;
            m_scanFrom = end;
            continue;
        }
        const QByteArray line = m_buffer.left(end + 1);
        m_buffer.remove(0, end + 1);
        ++m_progress;
        out += handleLine(line);
    }
    return out;
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
        if (!ok)
            return fail(line, Outcome::LoginRefused);
        send(out, "PASS " + m_password.toUtf8(), QStringLiteral("PASS ****"));
        m_step = Step::Pass;
        return out;
    case Step::Pass:
        if (!ok)
            return fail(line, Outcome::LoginRefused);
        send(out, "STAT", QStringLiteral("STAT"));
        m_step = Step::Stat;
        return out;
    case Step::Stat:
        if (!ok || !Pop3Session::parseStatCount(line, &m_count) || m_count < 0)
            return fail(line);
        if (m_count == 0)
            return afterListing();
        send(out, "UIDL", QStringLiteral("UIDL"));
        m_step = Step::Uidl;
        return out;
    case Step::Uidl:
        // No unique ids: the header block of each message stands in.
        m_digests = true;
        m_step = Step::Top;
        m_topNumber = 1;
        send(out, "TOP 1 0", QStringLiteral("TOP 1 0"));
        return out;
    case Step::Top:
        m_running = false;
        return fail("the server offers neither UIDL nor TOP, so new mail cannot be told from "
                    "old; automatic checks stop until the next OK in Options.",
                    Outcome::NoIds);
    case Step::Retr:
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
    // The body runs from after the status line to the terminator's ".".
    const qsizetype bodyStart = statusEnd + 1;
    const qsizetype bodyLength = std::max<qsizetype>(0, reply.size() - 3 - bodyStart);
    const QByteArrayView body(reply.constData() + bodyStart, bodyLength);
    if (m_step == Step::Uidl) {
        parseUidl(body);
        return afterListing();
    }
    if (m_step == Step::Top) {
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
    // RETR: the next command goes out before this message is handed over.
    Pop3Actions out;
    Pop3Action store(Pop3Action::Kind::Store);
    store.index = int(m_fetched);
    store.bytes = std::move(reply);
    ++m_fetched;
    if (m_fetched < m_choice.fetch.size()) {
        out += fetchNext();
        out << store;
        return out;
    }
    sendQuit(out);
    m_outcome = Outcome::Done;
    out << store << Pop3Action(Pop3Action::Kind::SlideIn);
    return out;
}

void CheckDialogue::parseUidl(QByteArrayView body)
{
    QSet<int> numbers;
    qsizetype from = 0;
    while (from < body.size()) {
        qsizetype next = body.indexOf('\n', from);
        if (next < 0)
            next = body.size();
        QByteArrayView line = body.sliced(from, next - from).trimmed();
        from = next + 1;
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        const QByteArrayView digits = line.first(space);
        const QByteArrayView id = line.sliced(space + 1).trimmed();
        if (!allDigits(digits) || id.isEmpty() || id.size() > MaxIdLength)
            continue;
        const int number = digits.toInt();
        // A number outside the mailbox, or listed twice, names nothing that
        // could be fetched.
        if (number < 1 || number > m_count || numbers.contains(number))
            continue;
        numbers.insert(number);
        m_listing << NewMail::Listed{number, id.toByteArray()};
    }
}

Pop3Actions CheckDialogue::afterListing()
{
    m_choice = NewMail::choose(m_listing, m_seen, MaxMessages);
    m_listing.clear();
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
    m_step = Step::Retr;
    m_fetched = 0;
    return out + fetchNext();
}

Pop3Actions CheckDialogue::fetchNext()
{
    Pop3Actions out;
    const QByteArray command = "RETR " + QByteArray::number(m_choice.fetch[m_fetched]);
    send(out, command, QString::fromLatin1(command));
    return out;
}
