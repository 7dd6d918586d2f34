#pragma once
// One connection to a mail server, for both dialogues: plain, TLS from the
// first byte, or plain and then upgraded by STARTTLS. Certificates are
// verified against the system's trust store (and the file named by
// SSL_CERT_FILE), with the server's name checked; one that is not trusted is
// put to the user through the trust prompt, and a "yes" is kept for that
// server. No switch turns the verification off.
//
// The connection also holds the idle time-out, and turns the socket's errors
// into texts for the windows. Once it has been ended by its owner, nothing
// more is reported.

#include "net/CertificateTrust.h"
#include "net/ServerAddress.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <functional>

class QSslSocket;
class QHostAddress;

class MailConnection : public QObject
{
    Q_OBJECT
public:
    enum class Security { Plain, Tls, StartTls };
    // Asked when a certificate is not trusted; true trusts it for the server.
    using TrustPrompt = std::function<bool(const CertificateQuestion&)>;

    explicit MailConnection(QObject* parent = nullptr);

    // Ends any connection still open, then connects.
    void open(const ServerAddress& address, Security security);
    // STARTTLS: the server has agreed; encrypt the connection now.
    void startTls();
    // Ends the connection at once; its later errors are not reported.
    void end();

    // A command: written and handed to the network at once.
    void write(const QByteArray& bytes);
    // A piece of a long section: written when the connection drains, each
    // write telling bytesWritten().
    void queue(const QByteArray& bytes);
    QByteArray readAll();

    bool isOpen() const { return m_open; }
    // The reason of the last failure reported.
    QString lastError() const { return m_lastError; }
    bool isEncrypted() const;
    // Bytes written but not yet gone out, encrypted or not.
    qint64 pendingBytes() const;
    // The EHLO argument: this end's address as an address literal.
    QString localAddressLiteral() const;

    void setTrustPrompt(TrustPrompt prompt) { m_prompt = std::move(prompt); }

    // The idle time-out: timedOut() after ms without a restart.
    void startTimer(int ms);
    void stopTimer() { m_timer.stop(); }
    bool timerActive() const { return m_timer.isActive(); }

    QSslSocket* socket() const { return m_socket; }

signals:
    void ready();    // connected (plain) or encrypted (TLS): the greeting follows
    void upgraded(); // STARTTLS done
    void dataArrived();
    void bytesWritten(); // some of what was written went out
    // The connection failed (refused, lost, not trusted); `winsock` is the
    // Winsock error number of the socket error, `tls` tells a failure of
    // the secure connection (handshake, certificate) from the others.
    void failed(const QString& reason, int winsock, bool tls);
    void timedOut();

private:
    void onError();
    void onSslErrors(const QList<QSslError>& errors);

    QSslSocket* m_socket;
    QTimer m_timer;
    ServerAddress m_address;
    Security m_security = Security::Plain;
    TrustPrompt m_prompt;
    QString m_refusal; // why the handshake was given up, when we gave it up
    QString m_lastError;
    bool m_open = false;
};
