#include "net/PlainTextConsent.h"

#include "core/SettingsStore.h"

#include <QHostAddress>

namespace
{
const QString Section = QStringLiteral("Unencrypted");
bool (*localForTest)(const QString&) = nullptr;

QString keyFor(const QString& protocol, const QString& host)
{
    return protocol + QLatin1Char(' ') + host.toLower();
}

} // namespace

namespace PlainTextConsent
{

bool isLocal(const QString& host)
{
    if (localForTest)
        return localForTest(host);
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

void setIsLocalForTest(bool (*isLocal)(const QString& host))
{
    localForTest = isLocal;
}

bool allowed(const QString& protocol, const QString& host)
{
    return isLocal(host) || SettingsStore::forThisProgram().GetSetting(
                                Section, keyFor(protocol, host), QString()) == QLatin1String("-1");
}

bool allow(const QString& protocol, const QString& host)
{
    SettingsStore store = SettingsStore::forThisProgram();
    return store.SaveSetting(Section, keyFor(protocol, host), QStringLiteral("-1"));
}

Answer ask(const QString& protocol, const QString& host, const QString& question,
           const Prompt& prompt)
{
    if (allowed(protocol, host))
        return Answer::Yes;
    if (!prompt)
        return Answer::NobodyAsked;
    if (!prompt(question))
        return Answer::No;
    allow(protocol, host);
    return Answer::Yes;
}

} // namespace PlainTextConsent
