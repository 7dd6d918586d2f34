#pragma once
// Server certificates the user chose to trust although they could not be
// verified: one SHA-256 fingerprint per host, kept in the settings store
// under "Certificates". A kept fingerprint trusts exactly that certificate,
// on any port of that host (a provider's POP3 and SMTP ports ask once);
// another certificate from the same host is asked about again.

#include <QDateTime>
#include <QString>
#include <QStringList>

class QSslCertificate;

// What the user is asked when a server's certificate is not trusted.
struct CertificateQuestion {
    quint64 ticket = 0;   // names the connection the answer belongs to
    QString server;       // "host:port"
    QStringList reasons;  // why it is not trusted, e.g. "it is self-signed"
    QString fingerprint;  // SHA-256, "AB:CD:..."
    bool changed = false; // another certificate was trusted for this host
    QStringList names;    // whom it names: its subject, then its alternative names
    QString issuer;       // who issued it
    QDateTime validFrom;
    QDateTime validUntil;

    // Fills in what the certificate itself says.
    void describe(const QSslCertificate& certificate);
    QString text() const;
};

namespace CertificateTrust
{
QString fingerprint(const QSslCertificate& certificate);
// The fingerprint kept for the host, or empty. `server` ("host:port") finds
// an answer kept by an earlier version, which kept one per port.
QString kept(const QString& host, const QString& server);
// False when the settings store could not be written.
bool keep(const QString& host, const QString& fingerprint);
} // namespace CertificateTrust
