#pragma once
// Server certificates the user chose to trust although they could not be
// verified: one SHA-256 fingerprint per server ("host:port"), kept in the
// settings store under "Certificates". A kept fingerprint trusts exactly
// that certificate; another one from the same server is asked about again.

#include <QString>
#include <QStringList>

class QSslCertificate;

// What the user is asked when a server's certificate is not trusted.
struct CertificateQuestion {
    QString server;      // "host:port"
    QStringList reasons; // why it is not trusted, e.g. "it is self-signed"
    QString fingerprint; // SHA-256, "AB:CD:..."
    bool changed = false; // another certificate was trusted for this server

    QString text() const;
};

namespace CertificateTrust
{
QString fingerprint(const QSslCertificate& certificate);
// The fingerprint kept for the server, or empty.
QString kept(const QString& server);
// False when the settings store could not be written.
bool keep(const QString& server, const QString& fingerprint);
} // namespace CertificateTrust
