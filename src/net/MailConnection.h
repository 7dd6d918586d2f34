#pragma once
// One connection to a mail server, for both dialogues: plain, TLS from the
// first byte, or plain and then upgraded by STARTTLS. Certificates are
// verified against the system's trust store (and the file named by
// SSL_CERT_FILE), with the server's name checked (a server given as an IP
// address must be named by an IP address entry of the certificate). One that
// is not trusted is put to the user as a question, without blocking: the
// handshake waits, and the answer is taken only for the connection it was
// asked for. A "yes" is kept for that host. No switch turns the verification
// off.
//
// Every open() gets a fresh socket, so that no decision about one server's
// certificate outlives its connection. Nothing is handed to the owner, and
// so nothing is sent, before the certificate is settled.
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

class QSslSocket;
class QHostAddress;

class MailConnection : public QObject
{
    Q_OBJECT
public:
    enum class Security { Plain, Tls, StartTls };

    explicit MailConnection(QObject* parent = nullptr);
    // A question still open goes with the connection.
    ~MailConnection() override;

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
    // The last failure was the user's No to the server's certificate.
    bool refusedByUser() const { return m_refusedByUser; }
    bool isEncrypted() const;
    // Bytes written but not yet gone out, encrypted or not.
    qint64 pendingBytes() const;
    // The EHLO argument: this end's address as an address literal.
    QString localAddressLiteral() const;

    // Whether an untrusted certificate is put to the user (the default) or
    // refused at once, as a check nobody asked for must do.
    void setAsksAboutCertificates(bool asks) { m_asks = asks; }
    // The user's answer to the question with this ticket. An answer for a
    // connection that has gone since, or for another question, is dropped.
    void answerCertificate(quint64 ticket, bool trust);

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
    // A certificate is not trusted: answerCertificate(question.ticket, ...)
    // lets the connection go on or ends it.
    void certificateQuestion(const CertificateQuestion& question);
    // The connection the question was about has ended: it needs no answer.
    void questionWithdrawn(quint64 ticket);

private:
    void newSocket();
    void onError();
    void onSslErrors(const QList<QSslError>& errors);
    void onEncrypted();
    void handOver();
    // `logged` says why, with the names of a certificate for another name:
    // the text of the failure that a No leads to.
    void ask(CertificateQuestion question, const QList<QSslError>& errors,
             const QStringList& logged);
    // The server hung up while its certificate was in question.
    void hungUp();
    void refuseCertificate(const QString& reason);
    void fail(const QString& reason, int winsock, bool tls);
    // Nothing the server says is handed to the owner while its certificate
    // is in question.
    bool holding() const { return m_ticket != 0 || m_refusing; }

    QSslSocket* m_socket = nullptr;
    QTimer m_timer;
    ServerAddress m_address;
    Security m_security = Security::Plain;
    bool m_asks = true;
    QString m_lastError;
    bool m_open = false;
    // The certificate of this connection was trusted (verified, kept or
    // answered Yes): nothing more is asked about it.
    bool m_settled = false;
    // The question open for this connection: its ticket (0 for none), the
    // errors a Yes ignores (empty when the handshake is already done), and
    // whether the idle timer ran when it was asked.
    quint64 m_ticket = 0;
    QList<QSslError> m_questionErrors;
    // While a question is open the paused socket reads nothing: this looks
    // whether the server has hung up meanwhile.
    QTimer m_peerWatch;
    bool m_handshakeDone = false;
    bool m_timing = false;
    QString m_refusal; // what a No fails the connection with
    bool m_refusedByUser = false;
    bool m_refusing = false; // a refusal is on its way: nothing more is handed over
};
