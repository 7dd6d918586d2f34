#include "net/CertificateTrust.h"

#include "core/SettingsStore.h"

#include <QCryptographicHash>
#include <QSslCertificate>

namespace
{
const QString Section = QStringLiteral("Certificates");
} // namespace

QString CertificateQuestion::text() const
{
    QString lead = changed ? QStringLiteral("The certificate of %1 has changed since you "
                                            "trusted it, and the new one is not trusted: %2.")
                           : QStringLiteral("The certificate of %1 is not trusted: %2.");
    return lead.arg(server, reasons.join(QStringLiteral("; "))) +
           QStringLiteral("\n\nSHA-256 fingerprint:\n") + fingerprint +
           QStringLiteral("\n\nTrust this certificate for this server? Answer No unless the "
                          "fingerprint is the one your mail provider publishes.");
}

namespace CertificateTrust
{

QString fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString kept(const QString& server)
{
    return SettingsStore::forThisProgram().GetSetting(Section, server, QString());
}

bool keep(const QString& server, const QString& fingerprint)
{
    SettingsStore store = SettingsStore::forThisProgram();
    return store.SaveSetting(Section, server, fingerprint);
}

} // namespace CertificateTrust
