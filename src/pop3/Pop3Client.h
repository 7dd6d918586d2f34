#pragma once
// A POP3 session on a real connection: the socket-free dialogue Pop3Session
// fed by a MailConnection. The server text chooses the connection: no port
// is plain POP3 on 110, port 995 is TLS from the first byte, any other port
// is plain POP3 on that port. What happens is told through signals; the
// mailbox window only shows it.

#include "net/MailConnection.h"
#include "net/PlainTextConsent.h"
#include "pop3/Pop3Session.h"

#include <QObject>

class Pop3Client : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 Pop3Port = 110;
    static constexpr quint16 Pop3sPort = 995;
    // Port 995 given in the server text is TLS from the first byte; anything
    // else is plain POP3.
    static bool usesTls(const ServerAddress& address)
    {
        return address.portGiven && address.port == Pop3sPort;
    }
    // A running session that gets no complete reply or message for this long
    // fails.
    static constexpr int IdleTimeoutMs = 60000;

    // Asked before a password would go unencrypted to another machine;
    // true sends it anyway.
    using ConsentPrompt = PlainTextConsent::Prompt;

    explicit Pop3Client(QObject* parent = nullptr);

    // Without a prompt, such a session is refused: a check nobody asked
    // for never asks.
    void setConsentPrompt(ConsentPrompt prompt) { m_consent = std::move(prompt); }

    // Ends any session still running and starts a new one. A server text
    // that names no usable server, or account values that cannot go on the
    // wire, are refused before anything is sent.
    void start(Pop3Session::Mode mode, const QString& server, const QString& user,
               const QString& password);

    const Pop3Session& session() const { return m_session; }
    MailConnection& connection() { return m_connection; }
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }

signals:
    // Message `index` is in the tables; `subject` is its list row.
    void messageStored(int index, const QString& subject);
    // The last message of a retrieve session is in.
    void retrievalFinished();
    // The error path: the session is over; the reason is logged after this.
    // `plain` says why in the user's words.
    void failed(const QByteArray& reason, const QString& plain);
    // The session could not start; nothing was sent.
    void refused(const QString& text);

private:
    void dataArrived();
    void runActions(Pop3Actions actions);
    void storeMessage(int index, QByteArray reply, bool doubledDots);
    void connectionFailed(const QString& reason, const QString& plain);
    void endSession();
    bool unencryptedAllowed(const QString& host);

    MailConnection m_connection;
    ServerAddress m_address;
    Pop3Session m_session;
    int m_idleTimeoutMs = IdleTimeoutMs;
    int m_generation = 0; // changes whenever a session starts or ends
    ConsentPrompt m_consent;
};
