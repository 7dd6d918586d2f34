#include "smtp/SmtpClient.h"

#include "core/Module1.h"
#include "net/PlainReason.h"
#include "net/PlainTextConsent.h"
#include "smtp/SubmissionHeaders.h"

namespace
{
// The data section goes out in pieces of this size, and the next one only
// when less than this is still waiting: a large attachment is not held twice.
constexpr qsizetype PieceSize = 256 * 1024;
// Where the user typed the server, as the plain reasons name it.
const QString HostPlace = QStringLiteral("in the Host box");
} // namespace

SmtpClient::SmtpClient(QObject* parent) : QObject(parent), m_connection(this)
{
    connect(&m_connection, &MailConnection::ready, this,
            [this] { m_dialogue.setClientAddress(m_connection.localAddressLiteral().toLatin1()); });
    connect(&m_connection, &MailConnection::dataArrived, this, [this] {
        // The reply timer counts from the last complete reply, not from the
        // last byte: a server that trickles bytes is still silent.
        const quint64 before = m_dialogue.progress();
        const SmtpDialogue::Reaction reaction = m_dialogue.dataArrived(m_connection.readAll());
        react(reaction, m_dialogue.progress() != before);
    });
    connect(&m_connection, &MailConnection::upgraded, this,
            [this] { react(m_dialogue.encrypted()); });
    connect(&m_connection, &MailConnection::bytesWritten, this, [this] {
        writeData();
        armTimer(); // a long message takes a while to write: progress counts as life
    });
    connect(&m_connection, &MailConnection::failed, this, &SmtpClient::connectionFailed);
    connect(&m_connection, &MailConnection::timedOut, this, [this] {
        const int waited =
            m_dialogue.awaitingDataReply() && !m_data ? m_dataReplyTimeoutMs : m_replyTimeoutMs;
        react(m_dialogue.timedOut(
            QStringLiteral("No reply from the server for %1 seconds; the connection was closed.")
                .arg(waited / 1000.0)));
    });
}

void SmtpClient::setReplyTimeouts(int replyMs, int dataReplyMs)
{
    m_replyTimeoutMs = replyMs;
    m_dataReplyTimeoutMs = dataReplyMs;
}

void SmtpClient::send(const QString& host, const SmtpDialogue::Message& message,
                      const SmtpDialogue::Account& account)
{
    m_connection.end();
    m_data.reset();
    ++m_sends;
    QString problem;
    const std::optional<ServerAddress> address = ServerAddress::parse(host, SmtpPort, &problem);
    if (!address) {
        emit refused(problem + QStringLiteral(" Nothing was sent."));
        return;
    }
    using Security = MailConnection::Security;
    Security security = Security::Plain;
    if (address->portGiven && address->port == SmtpsPort)
        security = Security::Tls;
    else if (address->portGiven && address->port == SubmissionPort)
        security = Security::StartTls;

    if (security == Security::Plain && !unencryptedAllowed(address->host))
        return;

    SmtpDialogue::Message secured = message;
    if (security != Security::Plain) {
        secured.date = QDateTime::currentDateTime();
        secured.messageId =
            SubmissionHeaders::newMessageId(SmtpDialogue::envelopeAddress(message.sender));
    }
    m_dialogue.start(secured,
                     security == Security::Tls        ? SmtpDialogue::Security::Tls
                     : security == Security::StartTls ? SmtpDialogue::Security::StartTls
                                                      : SmtpDialogue::Security::Plain,
                     account);
    Module1::SmtpStep = 0;
    m_address = *address;
    m_connection.open(*address, security);
    armTimer();
}

bool SmtpClient::unencryptedAllowed(const QString& host)
{
    // The box lets events run: a send started meanwhile is the one that
    // counts.
    const int send = m_sends;
    using PlainTextConsent::Answer;
    const Answer answer = PlainTextConsent::ask(
        QStringLiteral("SMTP"), host,
        QStringLiteral("The message to %1 would be sent unencrypted. Most providers offer SMTP "
                       "with STARTTLS on port 587: write %1:587 in the Host field. Send it "
                       "unencrypted anyway?")
            .arg(host),
        m_consent);
    if (answer == Answer::NobodyAsked)
        emit refused(QStringLiteral("The message to %1 would be sent unencrypted, and nobody "
                                    "was asked. Nothing was sent.")
                         .arg(host));
    return answer == Answer::Yes && send == m_sends;
}

void SmtpClient::react(const SmtpDialogue::Reaction& reaction, bool progressed)
{
    Module1::SmtpStep = m_dialogue.step();
    if (!reaction.toSend.isEmpty())
        m_connection.write(reaction.toSend);
    if (reaction.startTls)
        m_connection.startTls();
    if (reaction.startData) {
        m_data.emplace(m_dialogue.dataWriter());
        writeData();
    }
    if (reaction.close) {
        // The dialogue is over: whatever the socket says after this is not
        // news to the user.
        m_data.reset();
        m_connection.end();
    }
    if (progressed || !m_dialogue.running())
        armTimer();
    if (reaction.outcome == SmtpDialogue::Outcome::Sent)
        emit sent();
    else if (reaction.outcome == SmtpDialogue::Outcome::Failed)
        emit failed(reaction.reply, QString());
}

void SmtpClient::writeData()
{
    if (!m_data)
        return;
    while (!m_data->atEnd() && m_connection.pendingBytes() < PieceSize)
        m_connection.queue(m_data->next(PieceSize));
    if (m_data->atEnd() && m_connection.pendingBytes() == 0)
        m_data.reset();
}

void SmtpClient::armTimer()
{
    if (!m_dialogue.running()) {
        m_connection.stopTimer();
        return;
    }
    // Once the whole data section is out, the server may take its time over
    // the message before it answers the ".".
    const bool dataOut = m_dialogue.awaitingDataReply() && !m_data;
    m_connection.startTimer(dataOut ? m_dataReplyTimeoutMs : m_replyTimeoutMs);
}

void SmtpClient::connectionFailed(const QString& reason, int winsock, bool tls)
{
    m_data.reset();
    const SmtpDialogue::Reaction reaction = m_dialogue.socketFailed();
    if (reaction.outcome == SmtpDialogue::Outcome::Sent) {
        // The server had accepted the message before the connection broke.
        react(reaction);
        return;
    }
    m_connection.stopTimer();
    const QString plain = PlainReason::connectionFailed(m_address, HostPlace, winsock, tls, reason,
                                                        m_connection.refusedByUser());
    if (tls)
        emit failed(reason + QStringLiteral(" Nothing was sent."), plain);
    else
        emit socketError(winsock, reason, plain);
}
