#include "net/CertificateTrust.h"

#include "core/SettingsStore.h"
#include "core/TextClip.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSslCertificate>

namespace
{
const QString Section = QStringLiteral("Certificates");

QString firstOr(const QStringList& values, const QString& fallback)
{
    return values.isEmpty() ? fallback : values.first();
}

QString dayOf(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("d MMMM yyyy"))
                          : QStringLiteral("?");
}

} // namespace

void CertificateQuestion::describe(const QSslCertificate& certificate)
{
    // A certificate may carry thousands of names: the first few are kept,
    // the others only counted.
    names.clear();
    QSet<QString> seen;
    const auto add = [&](const QString& name) {
        if (name.isEmpty() || seen.contains(name))
            return;
        seen.insert(name);
        if (names.size() < MaxNames)
            names << CertificateTrust::clippedName(name);
    };
    add(firstOr(certificate.subjectInfo(QSslCertificate::CommonName), QString()));
    const auto alternatives = certificate.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it)
        add(it.value());
    moreNames = seen.size() - names.size();
    issuer = CertificateTrust::clippedName(
        firstOr(certificate.issuerInfo(QSslCertificate::CommonName),
                firstOr(certificate.issuerInfo(QSslCertificate::Organization),
                        QStringLiteral("an unnamed issuer"))));
    validFrom = certificate.effectiveDate();
    validUntil = certificate.expiryDate();
}

QString CertificateQuestion::text() const
{
    const QString lead = changed ? QStringLiteral("The certificate of %1 has changed since you "
                                                  "trusted it, and the new one is not trusted: %2.")
                                 : QStringLiteral("The certificate of %1 is not trusted: %2.");
    const QString host = server.left(server.lastIndexOf(QLatin1Char(':')));
    return lead.arg(server, reasons.join(QStringLiteral("; "))) +
           QStringLiteral("\n\nSHA-256 fingerprint:\n") + fingerprint +
           QStringLiteral("\n\nCompare it with the value your mail provider publishes, or with "
                          "what \"openssl s_client -connect %1\" shows on a network you trust.\n\n"
                          "Trust this certificate for %2? Answer No unless the fingerprint is "
                          "the same.")
               .arg(server, host);
}

QString CertificateQuestion::details() const
{
    QString named = names.join(QStringLiteral(", "));
    if (names.isEmpty())
        named = QStringLiteral("nobody");
    else if (moreNames > 0)
        named += QStringLiteral(" and %1 more").arg(moreNames);
    return QStringLiteral("It names: %1\nIssued by: %2\nValid from %3 until %4")
        .arg(named, issuer, dayOf(validFrom), dayOf(validUntil));
}

namespace CertificateTrust
{

QString clippedName(const QString& name)
{
    return TextClip::clipped(name, CertificateQuestion::MaxName);
}

QString nameList(const QStringList& names)
{
    QStringList shown;
    for (qsizetype i = 0; i < names.size() && i < CertificateQuestion::MaxNames; ++i)
        shown << clippedName(names[i]);
    QString list = shown.join(QStringLiteral(", "));
    if (names.size() > shown.size())
        list += QStringLiteral(" and %1 more").arg(names.size() - shown.size());
    return list;
}

QString fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString kept(const QString& host, const QString& server)
{
    const SettingsStore store = SettingsStore::forThisProgram();
    const QString forHost = store.GetSetting(Section, host.toLower(), QString());
    return forHost.isEmpty() ? store.GetSetting(Section, server, QString()) : forHost;
}

bool keep(const QString& host, const QString& fingerprint)
{
    SettingsStore store = SettingsStore::forThisProgram();
    return store.SaveSetting(Section, host.toLower(), fingerprint);
}

} // namespace CertificateTrust
