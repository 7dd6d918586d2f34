#include "net/MailConnection.h"

#include "net/WinsockError.h"

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

namespace
{

// The trust store: the system's, plus the certificates in SSL_CERT_FILE,
// which OpenSSL-based programs trust as well (Qt alone does not read it).
QSslConfiguration verifyingConfiguration()
{
    static const QSslConfiguration configuration = [] {
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setPeerVerifyMode(QSslSocket::VerifyPeer);
        const QString extra = qEnvironmentVariable("SSL_CERT_FILE");
        if (!extra.isEmpty() && QFile::exists(extra)) {
            // Adding certificates ends the loading of system ones on demand:
            // name them all.
            c.setCaCertificates(QSslConfiguration::systemCaCertificates() +
                                QSslCertificate::fromPath(extra, QSsl::Pem));
        }
        return c;
    }();
    return configuration;
}

QString reasonFor(const QSslError& error)
{
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("it has expired");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("it is not valid yet");
    case QSslError::HostNameMismatch:
        return QStringLiteral("it was issued for another name (%1)")
            .arg(error.certificate().subjectAlternativeNames().values().join(QStringLiteral(", ")));
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return QStringLiteral("it is self-signed");
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("its issuer is unknown");
    default:
        return error.errorString();
    }
}

} // namespace

MailConnection::MailConnection(QObject* parent) : QObject(parent), m_socket(new QSslSocket(this))
{
    m_socket->setObjectName(QStringLiteral("socket"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_open)
            emit timedOut();
    });
    connect(m_socket, &QSslSocket::connected, this, [this] {
        if (m_open && m_security != Security::Tls)
            emit ready();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        if (!m_open)
            return;
        if (m_security == Security::Tls)
            emit ready();
        else
            emit upgraded();
    });
    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        if (m_open)
            emit dataArrived();
    });
    // Encrypted data is handed to the network after the plain text was
    // taken: both count as progress.
    const auto progress = [this] {
        if (m_open)
            emit bytesWritten();
    };
    connect(m_socket, &QSslSocket::bytesWritten, this, progress);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, progress);
    connect(m_socket, &QSslSocket::errorOccurred, this, &MailConnection::onError);
    connect(m_socket, &QSslSocket::sslErrors, this, &MailConnection::onSslErrors);
}

void MailConnection::open(const ServerAddress& address, Security security)
{
    end();
    m_address = address;
    m_security = security;
    m_refusal.clear();
    m_open = true;
    // A plain connection never touches the trust store, whose loading is
    // costly.
    if (security != Security::Plain)
        m_socket->setSslConfiguration(verifyingConfiguration());
    if (security == Security::Tls)
        m_socket->connectToHostEncrypted(address.host, address.port);
    else
        m_socket->connectToHost(address.host, address.port);
}

void MailConnection::startTls()
{
    if (m_open)
        m_socket->startClientEncryption();
}

void MailConnection::end()
{
    m_open = false;
    m_timer.stop();
    m_socket->abort();
}

void MailConnection::write(const QByteArray& bytes)
{
    if (!m_open)
        return;
    m_socket->write(bytes);
    m_socket->flush();
}

void MailConnection::queue(const QByteArray& bytes)
{
    if (m_open)
        m_socket->write(bytes);
}

QByteArray MailConnection::readAll()
{
    return m_socket->readAll();
}

bool MailConnection::isEncrypted() const
{
    return m_socket->isEncrypted();
}

qint64 MailConnection::pendingBytes() const
{
    return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
}

QString MailConnection::localAddressLiteral() const
{
    QHostAddress local = m_socket->localAddress();
    bool isV4 = false;
    const quint32 v4 = local.toIPv4Address(&isV4);
    if (isV4)
        return QLatin1Char('[') + QHostAddress(v4).toString() + QLatin1Char(']');
    if (local.protocol() == QAbstractSocket::IPv6Protocol) {
        local.setScopeId(QString());
        return QStringLiteral("[IPv6:") + local.toString() + QLatin1Char(']');
    }
    return QStringLiteral("[127.0.0.1]");
}

void MailConnection::startTimer(int ms)
{
    if (m_open)
        m_timer.start(ms);
}

void MailConnection::onError()
{
    if (!m_open)
        return;
    // Data that came in just before the connection went is still a reply.
    if (m_socket->bytesAvailable() > 0)
        emit dataArrived();
    if (!m_open)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    const bool tls = !m_refusal.isEmpty() || error == QAbstractSocket::SslHandshakeFailedError ||
                     error == QAbstractSocket::SslInternalError ||
                     error == QAbstractSocket::SslInvalidUserDataError;
    const QString reason = m_refusal.isEmpty() ? m_socket->errorString() : m_refusal;
    m_lastError = reason;
    end();
    emit failed(reason, WinsockError::number(error), tls);
}

void MailConnection::onSslErrors(const QList<QSslError>& errors)
{
    if (!m_open)
        return;
    const QSslCertificate certificate = m_socket->peerCertificate();
    const QString server = m_address.key();
    if (certificate.isNull()) {
        m_refusal = QStringLiteral("%1 showed no certificate.").arg(server);
        return; // the handshake fails when this returns
    }
    const QString fingerprint = CertificateTrust::fingerprint(certificate);
    const QString kept = CertificateTrust::kept(server);
    if (!kept.isEmpty() && kept == fingerprint) {
        m_socket->ignoreSslErrors(errors);
        return;
    }

    CertificateQuestion question;
    question.server = server;
    for (const QSslError& error : errors) {
        const QString reason = reasonFor(error);
        if (!question.reasons.contains(reason))
            question.reasons << reason;
    }
    question.fingerprint = fingerprint;
    question.changed = !kept.isEmpty();

    // The user may take a while: that is no silence of the server's.
    const bool timing = m_timer.isActive();
    const int interval = m_timer.interval();
    m_timer.stop();
    const bool trusted = m_prompt && m_prompt(question);
    if (!m_open)
        return; // ended while the question was open
    if (timing)
        m_timer.start(interval);
    if (trusted) {
        CertificateTrust::keep(server, fingerprint);
        m_socket->ignoreSslErrors(errors);
        return;
    }
    m_refusal = QStringLiteral("The certificate of %1 is not trusted (%2); the connection "
                               "was closed.")
                    .arg(server, question.reasons.join(QStringLiteral("; ")));
}
