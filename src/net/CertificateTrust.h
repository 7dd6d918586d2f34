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
    QStringList reasons;  // why it is not trusted, e.g. "it is self-signed": our words only
    QString fingerprint;  // SHA-256, "AB:CD:..."
    bool changed = false; // another certificate was trusted for this host
    // Whom it names: its subject, then its alternative names, at most
    // MaxNames of them, each clipped to MaxName characters; `moreNames`
    // counts the others.
    QStringList names;
    qsizetype moreNames = 0;
    QString issuer; // who issued it, clipped as a name
    QDateTime validFrom;
    QDateTime validUntil;

    static constexpr qsizetype MaxNames = 5;
    static constexpr qsizetype MaxName = 255;

    // Fills in what the certificate itself says.
    void describe(const QSslCertificate& certificate);
    // The part of the question that holds nothing the certificate chose:
    // whose certificate it is and why it is not trusted, its fingerprint
    // and how to compare it, and the question itself.
    QString text() const;
    // What the certificate says of itself: whom it names, who issued it,
    // for how long it is valid.
    QString details() const;
};

namespace CertificateTrust
{
// A name as the question shows it: its first MaxName characters.
QString clippedName(const QString& name);
// "a, b, c, d, e and 3 more": the first MaxNames names, clipped.
QString nameList(const QStringList& names);
QString fingerprint(const QSslCertificate& certificate);
// The fingerprint kept for the host, or empty. `server` ("host:port") finds
// an answer kept by an earlier version, which kept one per port.
QString kept(const QString& host, const QString& server);
// False when the settings store could not be written.
bool keep(const QString& host, const QString& fingerprint);
} // namespace CertificateTrust
