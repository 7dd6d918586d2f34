#pragma once
// One SMTP send on a real connection: the socket-free SmtpDialogue fed by a
// MailConnection. The host text chooses the connection: no port is the
// plain dialogue on 25; port 465 is TLS from the first byte and 587 is
// STARTTLS (required), both with EHLO and AUTH; any other port is the plain
// dialogue on that port. The data section is written a piece at a time as
// the connection drains. What happens is told through signals; the sender
// window only shows it.

#include "net/MailConnection.h"
#include "net/PlainTextConsent.h"
#include "smtp/SmtpDialogue.h"

#include <QObject>

#include <optional>

class SmtpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 SmtpPort = 25;
    static constexpr quint16 SubmissionPort = 587;
    static constexpr quint16 SmtpsPort = 465;
    // How long a running send waits for the server's next reply, and (as
    // RFC 5321 advises) for the reply to the data's final ".".
    static constexpr int ReplyTimeoutMs = 60000;
    static constexpr int DataReplyTimeoutMs = 600000;

    // Asked before a message would go unencrypted to another machine; true
    // sends it anyway. Without a prompt such a send is refused.
    using ConsentPrompt = PlainTextConsent::Prompt;

    explicit SmtpClient(QObject* parent = nullptr);
    void setConsentPrompt(ConsentPrompt prompt) { m_consent = std::move(prompt); }

    // Ends any send still running and starts this one. A host text that
    // names no usable server is refused before anything is sent.
    void send(const QString& host, const SmtpDialogue::Message& message,
              const SmtpDialogue::Account& account);

    const SmtpDialogue& dialogue() const { return m_dialogue; }
    MailConnection& connection() { return m_connection; }
    void setReplyTimeouts(int replyMs, int dataReplyMs);

signals:
    void sent();
    // The server refused, or no reply came in time: "Error: " + reply.
    // `plain` says why in the user's words where the reply does not.
    void failed(const QString& reply, const QString& plain);
    // The connection failed before the data was accepted; `plain` as above.
    void socketError(int winsock, const QString& description, const QString& plain);
    // Nothing was sent; `text` says why.
    void refused(const QString& text);

private:
    // `progressed`: a complete reply came, so the reply timer starts again.
    void react(const SmtpDialogue::Reaction& reaction, bool progressed = true);
    bool unencryptedAllowed(const QString& host);
    void writeData();
    void armTimer();
    void connectionFailed(const QString& reason, int winsock, bool tls);

    MailConnection m_connection;
    ServerAddress m_address;
    SmtpDialogue m_dialogue;
    std::optional<SmtpDataWriter> m_data; // the data section still going out
    int m_replyTimeoutMs = ReplyTimeoutMs;
    int m_dataReplyTimeoutMs = DataReplyTimeoutMs;
    ConsentPrompt m_consent;
    int m_sends = 0; // changes whenever a send starts
};
