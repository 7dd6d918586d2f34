#include "net/MailConnection.h"

#include "net/PeerHangUp.h"
#include "net/WinsockError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

#include <utility>

namespace
{

// The system's certificates as OpenSSL looks them up on demand: one file
// per subject hash ("1d253532.0") in the usual certificate folders. Reading
// only those reads each certificate once; systemCaCertificates() reads the
// folder's bundle and every file besides, twice the work for the same set.
// Where there are no such files (Windows, macOS), the system's own list.
QList<QSslCertificate> systemCertificates()
{
    static const char* const folders[] = {
        "/etc/ssl/certs", "/usr/lib/ssl/certs",   "/usr/share/ssl",     "/usr/local/ssl",
        "/var/ssl/certs", "/usr/local/ssl/certs", "/etc/openssl/certs", "/opt/openssl/certs"};
    static const QRegularExpression hashName(QStringLiteral("^[0-9a-f]{8}\\.[0-9]+$"));
    QList<QSslCertificate> found;
    QSet<QString> seen;
    for (const char* folder : folders) {
        const QString canonical = QFileInfo(QString::fromLatin1(folder)).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen.insert(canonical);
        QDirIterator files(canonical, QDir::Files);
        while (files.hasNext()) {
            const QString path = files.next();
            if (hashName.match(files.fileName()).hasMatch())
                found += QSslCertificate::fromPath(path, QSsl::Pem);
        }
    }
    return found.isEmpty() ? QSslConfiguration::systemCaCertificates() : found;
}

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
            c.setCaCertificates(systemCertificates() + QSslCertificate::fromPath(extra, QSsl::Pem));
        }
        return c;
    }();
    return configuration;
}

// Names in a certificate hold what a server chose to put there: "another
// name" lists a few, each clipped, never a screenful.
QString namesIn(const QSslCertificate& certificate)
{
    QStringList names = certificate.subjectAlternativeNames().values();
    if (names.isEmpty())
        names = certificate.subjectInfo(QSslCertificate::CommonName);
    return CertificateTrust::nameList(names);
}

// Why a certificate is not trusted, in our own words. `withNames` adds whom
// a certificate for another name names: the question shows that apart,
// the log in the reason.
QString reasonFor(const QSslError& error, bool withNames)
{
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("it has expired");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("it is not valid yet");
    case QSslError::HostNameMismatch:
        if (!withNames)
            return QStringLiteral("it was issued for another name");
        return QStringLiteral("it was issued for another name (%1)")
            .arg(namesIn(error.certificate()));
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

// A server given as an IP address is named by an IP address entry of its
// certificate, and by nothing else: not by its common name, nor by a DNS
// entry that happens to hold the same text.
bool namesAddress(const QSslCertificate& certificate, const QHostAddress& address)
{
    const auto entries = certificate.subjectAlternativeNames().values(QSsl::IpAddressEntry);
    for (const QString& entry : entries) {
        if (QHostAddress(entry).isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
            return true;
    }
    return false;
}

quint64 nextTicket()
{
    static quint64 last = 0;
    return ++last;
}

} // namespace

MailConnection::MailConnection(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_open)
            emit timedOut();
    });
    m_peerWatch.setInterval(250);
    connect(&m_peerWatch, &QTimer::timeout, this, [this] {
        if (m_open && m_ticket != 0 && PeerHangUp::seen(m_socket->socketDescriptor()))
            hungUp();
    });
    newSocket();
}

MailConnection::~MailConnection()
{
    end();
}

void MailConnection::newSocket()
{
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_socket = new QSslSocket(this);
    m_socket->setObjectName(QStringLiteral("socket"));
    // An untrusted certificate holds the handshake until the user answers.
    m_socket->setPauseMode(QAbstractSocket::PauseOnSslErrors);
    connect(m_socket, &QSslSocket::connected, this, [this] {
        if (m_open && m_security != Security::Tls)
            emit ready();
    });
    connect(m_socket, &QSslSocket::encrypted, this, &MailConnection::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        // While the certificate is in question, what the server says waits
        // in the socket.
        if (m_open && !holding())
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
    newSocket();
    m_address = address;
    m_security = security;
    m_settled = false;
    m_refusing = false;
    m_refusedByUser = false;
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
    m_peerWatch.stop();
    m_socket->abort();
    if (m_ticket != 0) {
        const quint64 ticket = m_ticket;
        m_ticket = 0;
        m_questionErrors.clear();
        emit questionWithdrawn(ticket);
    }
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
    if (m_socket->bytesAvailable() > 0 && !holding())
        emit dataArrived();
    if (!m_open)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    const bool tls = error == QAbstractSocket::SslHandshakeFailedError ||
                     error == QAbstractSocket::SslInternalError ||
                     error == QAbstractSocket::SslInvalidUserDataError;
    QString reason = m_socket->errorString();
    // Each reason is a sentence of its own: the windows put more after it.
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    fail(reason, WinsockError::number(error), tls);
}

void MailConnection::fail(const QString& reason, int winsock, bool tls)
{
    m_lastError = reason;
    end();
    emit failed(reason, winsock, tls);
}

void MailConnection::onSslErrors(const QList<QSslError>& errors)
{
    if (!m_open)
        return;
    const QSslCertificate certificate = m_socket->peerCertificate();
    if (certificate.isNull()) {
        refuseCertificate(QStringLiteral("%1 showed no certificate.").arg(m_address.key()));
        return;
    }
    CertificateQuestion question;
    QStringList logged;
    const auto add = [&](const QSslError& error) {
        const QString reason = reasonFor(error, false);
        if (question.reasons.contains(reason))
            return;
        question.reasons << reason;
        logged << reasonFor(error, true);
    };
    for (const QSslError& error : errors)
        add(error);
    const QHostAddress literal(m_address.host);
    if (!literal.isNull() && !namesAddress(certificate, literal))
        add(QSslError(QSslError::HostNameMismatch, certificate));
    ask(question, errors, logged);
}

void MailConnection::onEncrypted()
{
    if (!m_open)
        return;
    const QHostAddress literal(m_address.host);
    if (!m_settled && !literal.isNull() && !namesAddress(m_socket->peerCertificate(), literal)) {
        // Verified by a trusted issuer, but for another name than this
        // address. Nothing has been sent yet, and nothing is until the user
        // answers.
        const QSslError mismatch(QSslError::HostNameMismatch, m_socket->peerCertificate());
        CertificateQuestion question;
        question.reasons << reasonFor(mismatch, false);
        ask(question, {}, {reasonFor(mismatch, true)});
        return;
    }
    m_settled = true;
    handOver();
}

void MailConnection::handOver()
{
    if (m_security == Security::Tls)
        emit ready();
    else
        emit upgraded();
    if (m_open && !holding() && m_socket->bytesAvailable() > 0)
        emit dataArrived();
}

void MailConnection::ask(CertificateQuestion question, const QList<QSslError>& errors,
                         const QStringList& logged)
{
    const QSslCertificate certificate = m_socket->peerCertificate();
    question.server = m_address.key();
    question.fingerprint = CertificateTrust::fingerprint(certificate);
    const QString kept = CertificateTrust::kept(m_address.host, question.server);
    m_handshakeDone = m_socket->isEncrypted();
    if (!kept.isEmpty() && kept == question.fingerprint) {
        m_settled = true;
        if (m_handshakeDone)
            handOver();
        else
            m_socket->ignoreSslErrors(errors); // the handshake goes on
        return;
    }
    question.changed = !kept.isEmpty();
    question.describe(certificate);
    if (!m_asks) {
        refuseCertificate(
            QStringLiteral("The certificate of %1 is not trusted (%2); nobody was asked, and "
                           "the connection was closed.")
                .arg(question.server, logged.join(QStringLiteral("; "))));
        return;
    }

    // The user may take a while: that is no silence of the server's.
    m_timing = m_timer.isActive();
    m_timer.stop();
    m_ticket = nextTicket();
    m_questionErrors = errors;
    question.ticket = m_ticket;
    m_refusal = QStringLiteral("The certificate of %1 is not trusted (%2); the connection was "
                               "closed.")
                    .arg(question.server, logged.join(QStringLiteral("; ")));
    m_peerWatch.start();
    emit certificateQuestion(question);
}

void MailConnection::hungUp()
{
    // As the socket says it when it notices by itself.
    fail(QStringLiteral("The remote host closed the connection."),
         WinsockError::number(QAbstractSocket::RemoteHostClosedError), false);
}

void MailConnection::answerCertificate(quint64 ticket, bool trust)
{
    if (!m_open || ticket == 0 || ticket != m_ticket)
        return; // the connection it was asked for has gone
    m_peerWatch.stop();
    if (PeerHangUp::seen(m_socket->socketDescriptor())) {
        hungUp(); // since the last look: the answer is for nothing
        return;
    }
    m_ticket = 0;
    const QList<QSslError> errors = std::exchange(m_questionErrors, {});
    if (!trust) {
        m_refusedByUser = true;
        refuseCertificate(m_refusal);
        return;
    }
    CertificateTrust::keep(m_address.host,
                           CertificateTrust::fingerprint(m_socket->peerCertificate()));
    m_settled = true;
    if (m_timing)
        m_timer.start();
    if (m_handshakeDone) {
        handOver();
    } else {
        m_socket->ignoreSslErrors(errors);
        m_socket->resume();
    }
}

void MailConnection::refuseCertificate(const QString& reason)
{
    // Called from the socket's own signals too: the socket is ended once
    // they have returned, and only if it is still this connection's.
    m_refusing = true;
    const QPointer<QSslSocket> socket = m_socket;
    QMetaObject::invokeMethod(
        this,
        [this, socket, reason] {
            if (m_open && socket == m_socket)
                fail(reason, WinsockError::number(QAbstractSocket::SslHandshakeFailedError), true);
        },
        Qt::QueuedConnection);
}
