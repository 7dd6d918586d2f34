#include "smtp/SmtpDialogue.h"

#include <cstring>

namespace
{

bool isAccepted(QByteArrayView code)
{
    return code == "220" || code == "250" || code == "354";
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// Walks the lines of body (split at LF; a CR right before the LF belongs to
// the line end; the text after the last LF is a line too) and calls
// line(begin, end) for each.
template <class Line> void forEachLine(const QByteArray& body, Line line)
{
    const char* p = body.constData();
    const char* const end = p + body.size();
    while (true) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* lineEnd = lf ? lf : end;
        line(p, lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd);
        if (!lf)
            break;
        p = lf + 1;
    }
}

} // namespace

void SmtpDialogue::start(const Message& message)
{
    m_message = message;
    m_pending.clear();
    m_replyStart = 0;
    m_step = 0;
    m_running = true;
    m_dataAccepted = false;
}

SmtpDialogue::Reaction SmtpDialogue::dataArrived(QByteArrayView bytes)
{
    Reaction reaction;
    if (!m_running)
        return reaction;
    m_pending.append(bytes);
    // m_replyStart is where the first line not yet looked at begins; the
    // lines before it are "250-" lines of the reply still coming in.
    while (m_running) {
        const qsizetype lf = m_pending.indexOf('\n', m_replyStart);
        if (lf < 0)
            break;
        const bool continues = lf - m_replyStart >= 4 && m_pending.at(m_replyStart + 3) == '-';
        if (continues) {
            m_replyStart = lf + 1;
            continue;
        }
        const QByteArray reply = m_pending.left(lf + 1);
        m_pending.remove(0, lf + 1);
        m_replyStart = 0;
        onReply(reply, reaction);
    }
    return reaction;
}

void SmtpDialogue::onReply(const QByteArray& reply, Reaction& reaction)
{
    // Once the data has been accepted, whatever answers QUIT ends a
    // successful send.
    if (m_step == 6) {
        finish(reaction, Outcome::Sent);
        return;
    }
    if (!isAccepted(QByteArrayView(reply).first(qMin<qsizetype>(3, reply.size())))) {
        finish(reaction, Outcome::Failed, QString::fromLatin1(reply));
        return;
    }
    switch (m_step) {
    case 0:
        m_step = 1;
        reaction.toSend += "HELO " + heloArgument(m_message.sender) + "\r\n";
        break;
    case 1:
        m_step = 2;
        reaction.toSend += "MAIL FROM:<" + m_message.sender.trimmed().toUtf8() + ">\r\n";
        break;
    case 2:
        m_step = 3;
        reaction.toSend += "RCPT TO:<" + m_message.recipient.trimmed().toUtf8() + ">\r\n";
        break;
    case 3:
        m_step = 4;
        reaction.toSend += "DATA\r\n";
        break;
    case 4:
        m_step = 5;
        reaction.toSend += dataSection(m_message.subject, m_message.text, m_message.attachment);
        break;
    case 5:
        m_step = 6;
        m_dataAccepted = true;
        reaction.toSend += "QUIT\r\n";
        break;
    }
}

SmtpDialogue::Reaction SmtpDialogue::timedOut(const QString& description)
{
    Reaction reaction;
    if (m_running)
        finish(reaction, m_dataAccepted ? Outcome::Sent : Outcome::Failed, description);
    return reaction;
}

SmtpDialogue::Reaction SmtpDialogue::socketFailed()
{
    Reaction reaction;
    if (!m_running)
        return reaction;
    if (m_dataAccepted)
        finish(reaction, Outcome::Sent);
    else
        m_running = false;
    return reaction;
}

void SmtpDialogue::finish(Reaction& reaction, Outcome outcome, const QString& reply)
{
    m_running = false;
    reaction.close = true;
    reaction.outcome = outcome;
    if (outcome == Outcome::Failed)
        reaction.reply = reply;
}

QByteArray SmtpDialogue::heloArgument(const QString& sender)
{
    const QString trimmed = sender.trimmed();
    const QString local = trimmed.left(trimmed.indexOf(QLatin1Char('@')));
    return local.isEmpty() ? QByteArrayLiteral("localhost") : local.toUtf8();
}

QByteArray SmtpDialogue::dataSection(const QString& subject, const QString& text,
                                     const QByteArray& attachment)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The text, an empty line, then the block (which ends in its own LF, so
    // an empty line follows it) or, without a block, one more empty line.
    const QByteArray body = lines.toUtf8() + "\n\n" + attachment;
    const QByteArray head = "Subject:" + subject.toUtf8() + "\r\n\r\n";

    qsizetype size = head.size() + 3; // the final ".\r\n"
    forEachLine(body, [&size](const char* begin, const char* end) {
        size += (end - begin) + 2 + (begin != end && *begin == '.' ? 1 : 0);
    });

    QByteArray data(size, Qt::Uninitialized);
    char* out = data.data();
    std::memcpy(out, head.constData(), std::size_t(head.size()));
    out += head.size();
    forEachLine(body, [&out](const char* begin, const char* end) {
        if (begin != end && *begin == '.')
            *out++ = '.';
        std::memcpy(out, begin, std::size_t(end - begin));
        out += end - begin;
        *out++ = '\r';
        *out++ = '\n';
    });
    std::memcpy(out, ".\r\n", 3);
    Q_ASSERT(out + 3 == data.constData() + data.size());
    return data;
}

QString SmtpDialogue::fieldProblem(const QString& host, const QString& sender,
                                   const QString& recipient, const QString& subject)
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("Type the name of the outgoing mail server into the Host field. "
                              "Nothing was sent.");
    const std::pair<const QString*, const char*> fields[] = {
        {&host, "Host"}, {&sender, "Reply to"}, {&recipient, "Mail To"}, {&subject, "Subject"}};
    for (const auto& [value, name] : fields) {
        if (hasLineBreak(*value))
            return QStringLiteral("The %1 field cannot contain a line break. Nothing was sent.")
                .arg(QLatin1String(name));
    }
    return {};
}
