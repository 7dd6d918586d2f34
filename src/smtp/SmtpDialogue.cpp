#include "smtp/SmtpDialogue.h"

#include "smtp/SubmissionHeaders.h"

namespace
{

// The code that accepts the command each step of the plain dialogue waits
// on; RCPT may also be taken with 251 (not local, will be forwarded).
bool acceptsPlainStep(int step, QByteArrayView code)
{
    switch (step) {
    case 0:
        return code == "220";
    case 3:
        return code == "250" || code == "251";
    case 4:
        return code == "354";
    default:
        return code == "250";
    }
}

bool isAsciiText(const QByteArray& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

void SmtpDialogue::start(const Message& message, Security security, const Account& account)
{
    m_message = message;
    m_security = security;
    m_account = account;
    m_phase = Phase::Greeting;
    m_encrypted = security == Security::Tls;
    m_offersStartTls = m_offersPlain = m_offersLogin = m_offers8Bit = false;
    m_pending.clear();
    m_replyStart = 0;
    m_progress = 0;
    m_step = 0;
    m_running = true;
    m_dataAccepted = false;
}

SmtpDialogue::Reaction SmtpDialogue::dataArrived(QByteArrayView bytes)
{
    Reaction reaction;
    // Whatever comes between the "220" to STARTTLS and the end of the
    // handshake came in clear, where anybody could have put it.
    if (!m_running || m_phase == Phase::Upgrading)
        return reaction;
    m_pending.append(bytes);
    // m_replyStart is where the first line not yet looked at begins; the
    // lines before it are "250-" lines of the reply still coming in.
    while (m_running) {
        const qsizetype lf = m_pending.indexOf('\n', m_replyStart);
        const qsizetype line = (lf < 0 ? m_pending.size() : lf) - m_replyStart;
        if (line > MaxReplyLine || m_pending.size() > MaxReply) {
            tooLong(reaction, line > MaxReplyLine);
            break;
        }
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
        ++m_progress;
        onReply(reply, reaction);
        if (m_phase == Phase::Upgrading) {
            m_pending.clear();
            break;
        }
    }
    return reaction;
}

void SmtpDialogue::tooLong(Reaction& reaction, bool line)
{
    if (m_dataAccepted) {
        finish(reaction, Outcome::Sent);
        return;
    }
    finish(reaction, Outcome::Failed,
           (line ? QStringLiteral("The server sent a reply line longer than %1 KiB")
                       .arg(MaxReplyLine / 1024)
                 : QStringLiteral("The server sent a reply longer than %1 MiB")
                       .arg(MaxReply / (1024 * 1024))) +
               QStringLiteral("; the connection was closed. Nothing was sent."));
}

void SmtpDialogue::onReply(const QByteArray& reply, Reaction& reaction)
{
    if (m_security == Security::Plain)
        onPlainReply(reply, reaction);
    else
        onSecureReply(reply, reaction);
}

void SmtpDialogue::onPlainReply(const QByteArray& reply, Reaction& reaction)
{
    // Once the data has been accepted, whatever answers QUIT ends a
    // successful send.
    if (m_step == 6) {
        finish(reaction, Outcome::Sent);
        return;
    }
    if (!acceptsPlainStep(m_step, QByteArrayView(reply).first(qMin<qsizetype>(3, reply.size())))) {
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
        reaction.toSend += "MAIL FROM:<" + envelopeAddress(m_message.sender).toUtf8() + ">\r\n";
        break;
    case 2:
        m_step = 3;
        reaction.toSend += "RCPT TO:<" + envelopeAddress(m_message.recipient).toUtf8() + ">\r\n";
        break;
    case 3:
        m_step = 4;
        reaction.toSend += "DATA\r\n";
        break;
    case 4:
        m_step = 5;
        reaction.startData = true;
        break;
    case 5:
        m_step = 6;
        m_dataAccepted = true;
        reaction.toSend += "QUIT\r\n";
        break;
    }
}

void SmtpDialogue::readCapabilities(const QByteArray& reply)
{
    m_offersStartTls = m_offersPlain = m_offersLogin = m_offers8Bit = false;
    for (const QByteArray& line : reply.split('\n')) {
        const QList<QByteArray> words = line.mid(4).trimmed().toUpper().split(' ');
        const QByteArray& keyword = words.first();
        if (keyword == "STARTTLS") {
            m_offersStartTls = true;
        } else if (keyword == "8BITMIME") {
            m_offers8Bit = true;
        } else if (keyword == "AUTH" || keyword.startsWith("AUTH=")) {
            QList<QByteArray> mechanisms = words.mid(1);
            if (keyword.startsWith("AUTH="))
                mechanisms << keyword.mid(5);
            m_offersPlain = m_offersPlain || mechanisms.contains("PLAIN");
            m_offersLogin = m_offersLogin || mechanisms.contains("LOGIN");
        }
    }
}

void SmtpDialogue::ehlo(Reaction& reaction, Phase next)
{
    m_phase = next;
    reaction.toSend += "EHLO " + m_clientAddress + "\r\n";
}

void SmtpDialogue::authenticateOrMail(Reaction& reaction)
{
    // Credentials only ever go over an encrypted connection.
    if (m_encrypted && m_offersPlain) {
        m_phase = Phase::AuthPlain;
        const QByteArray token =
            '\0' + m_account.user.toUtf8() + '\0' + m_account.password.toUtf8();
        reaction.toSend += "AUTH PLAIN " + token.toBase64() + "\r\n";
    } else if (m_encrypted && m_offersLogin) {
        m_phase = Phase::AuthLoginUser;
        reaction.toSend += "AUTH LOGIN\r\n";
    } else {
        mailFrom(reaction);
    }
}

void SmtpDialogue::mailFrom(Reaction& reaction)
{
    m_phase = Phase::Mail;
    m_step = 2;
    // 8-bit text is declared as such (RFC 6152).
    const QByteArray body = bodyEncoding() == BodyEncoding::EightBit ? " BODY=8BITMIME" : "";
    reaction.toSend +=
        "MAIL FROM:<" + envelopeAddress(m_message.sender).toUtf8() + ">" + body + "\r\n";
}

void SmtpDialogue::onSecureReply(const QByteArray& reply, Reaction& reaction)
{
    const QByteArrayView code = QByteArrayView(reply).first(qMin<qsizetype>(3, reply.size()));
    if (m_phase == Phase::Quit) {
        finish(reaction, Outcome::Sent);
        return;
    }
    const char* expected = "250";
    switch (m_phase) {
    case Phase::Greeting:
    case Phase::StartTls:
        expected = "220";
        break;
    case Phase::AuthPlain:
    case Phase::AuthLoginDone:
        expected = "235";
        break;
    case Phase::AuthLoginUser:
    case Phase::AuthLoginPassword:
        expected = "334";
        break;
    case Phase::Data:
        expected = "354";
        break;
    case Phase::Rcpt: // 251: not local, will forward
        if (code == "251")
            expected = "251";
        break;
    default:
        break;
    }
    if (code != expected) {
        finish(reaction, Outcome::Failed,
               QString::fromUtf8(reply) + QStringLiteral("Nothing was sent."));
        return;
    }

    switch (m_phase) {
    case Phase::Greeting:
        m_step = 1;
        ehlo(reaction, Phase::Ehlo);
        break;
    case Phase::Ehlo:
        readCapabilities(reply);
        if (m_security == Security::StartTls) {
            if (!m_offersStartTls) {
                finish(reaction, Outcome::Failed,
                       QStringLiteral("The server does not offer STARTTLS, so the connection "
                                      "could not be encrypted. Nothing was sent."));
                return;
            }
            m_phase = Phase::StartTls;
            reaction.toSend += "STARTTLS\r\n";
            break;
        }
        authenticateOrMail(reaction);
        break;
    case Phase::StartTls:
        m_phase = Phase::Upgrading;
        reaction.startTls = true;
        break;
    case Phase::EhloAgain:
        readCapabilities(reply);
        authenticateOrMail(reaction);
        break;
    case Phase::AuthLoginUser:
        m_phase = Phase::AuthLoginPassword;
        reaction.toSend += m_account.user.toUtf8().toBase64() + "\r\n";
        break;
    case Phase::AuthLoginPassword:
        m_phase = Phase::AuthLoginDone;
        reaction.toSend += m_account.password.toUtf8().toBase64() + "\r\n";
        break;
    case Phase::AuthPlain:
    case Phase::AuthLoginDone:
        mailFrom(reaction);
        break;
    case Phase::Mail:
        m_phase = Phase::Rcpt;
        m_step = 3;
        reaction.toSend += "RCPT TO:<" + envelopeAddress(m_message.recipient).toUtf8() + ">\r\n";
        break;
    case Phase::Rcpt:
        m_phase = Phase::Data;
        m_step = 4;
        reaction.toSend += "DATA\r\n";
        break;
    case Phase::Data:
        m_phase = Phase::DataReply;
        m_step = 5;
        reaction.startData = true;
        break;
    case Phase::DataReply:
        m_phase = Phase::Quit;
        m_step = 6;
        m_dataAccepted = true;
        reaction.toSend += "QUIT\r\n";
        break;
    case Phase::Upgrading:
    case Phase::Quit:
        break;
    }
}

SmtpDialogue::Reaction SmtpDialogue::encrypted()
{
    Reaction reaction;
    if (!m_running || m_phase != Phase::Upgrading)
        return reaction;
    m_encrypted = true;
    m_pending.clear();
    m_replyStart = 0;
    // The capabilities are read only from the EHLO sent over TLS.
    ehlo(reaction, Phase::EhloAgain);
    return reaction;
}

SmtpDialogue::BodyEncoding SmtpDialogue::bodyEncoding() const
{
    // Lines longer than SMTP allows, or 8-bit text the server cannot take
    // as it is, go quoted-printable; the block is ASCII in short lines.
    const QByteArray text = m_message.text.toUtf8();
    const bool ascii = isAsciiText(text);
    if (SmtpDataWriter::longestLine(text) > SmtpDataWriter::MaxLine || (!ascii && !m_offers8Bit))
        return BodyEncoding::QuotedPrintable;
    return ascii ? BodyEncoding::SevenBit : BodyEncoding::EightBit;
}

SmtpDataWriter SmtpDialogue::dataWriter() const
{
    const QByteArray text = m_message.text.toUtf8();
    if (m_security == Security::Plain)
        return SmtpDataWriter("Subject:" + m_message.subject.toUtf8() + "\r\n\r\n", text,
                              m_message.attachment);

    const BodyEncoding encoding = bodyEncoding();
    const bool quoted = encoding == BodyEncoding::QuotedPrintable;
    SubmissionHeaders::Fields fields{m_message.sender,
                                     m_message.recipient,
                                     m_message.subject,
                                     m_message.date,
                                     m_message.messageId,
                                     quoted                               ? "quoted-printable"
                                     : encoding == BodyEncoding::EightBit ? "8bit"
                                                                          : "7bit"};
    return SmtpDataWriter(SubmissionHeaders::head(fields), text, m_message.attachment,
                          quoted ? SmtpDataWriter::Encoding::QuotedPrintable
                                 : SmtpDataWriter::Encoding::AsIs);
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

QString SmtpDialogue::envelopeAddress(const QString& field)
{
    const QString trimmed = field.trimmed();
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (open >= 0 && trimmed.endsWith(QLatin1Char('>')))
        return trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
    return trimmed;
}

bool SmtpDialogue::isUsableAddress(const QString& address)
{
    for (const QChar c : address) {
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') ||
            c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

QByteArray SmtpDialogue::heloArgument(const QString& sender)
{
    const QString trimmed = envelopeAddress(sender);
    const QString local = trimmed.left(trimmed.indexOf(QLatin1Char('@')));
    return local.isEmpty() ? QByteArrayLiteral("localhost") : local.toUtf8();
}

QByteArray SmtpDialogue::dataSection(const QString& subject, const QString& text,
                                     const QByteArray& attachment)
{
    return SmtpDataWriter("Subject:" + subject.toUtf8() + "\r\n\r\n", text.toUtf8(), attachment)
        .all();
}

QString SmtpDialogue::fieldProblem(const QString& host, const QString& sender,
                                   const QString& recipient, const QString& subject)
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("Type the name of the outgoing mail server into the Host field. "
                              "Nothing was sent.");
    // An empty sender would go out as the null return path "<>", kept for
    // bounces: the mail could never be answered.
    if (sender.trimmed().isEmpty())
        return QStringLiteral("Type your own address into the Reply to field. Nothing was sent.");
    const std::pair<const QString*, const char*> fields[] = {
        {&host, "Host"}, {&sender, "Reply to"}, {&recipient, "Mail To"}, {&subject, "Subject"}};
    for (const auto& [value, name] : fields) {
        if (hasLineBreak(*value))
            return QStringLiteral("The %1 field cannot contain a line break. Nothing was sent.")
                .arg(QLatin1String(name));
    }
    // An address goes between angle brackets on the wire: a space, a bracket
    // or a control character in it would change the command.
    for (const auto& [value, name] : {fields[1], fields[2]}) {
        if (!isUsableAddress(envelopeAddress(*value)))
            return QStringLiteral("The %1 field does not hold one usable address. Write it as "
                                  "name@example.com or as Name <name@example.com>. Nothing was "
                                  "sent.")
                .arg(QLatin1String(name));
    }
    return {};
}
