#include "keyring/KeyringKey.h"

KeyringKey KeyringKey::forLogin(const QString& server, const QString& user)
{
    return KeyringKey(QStringLiteral("login %1 %2").arg(server, user));
}

KeyringKey KeyringKey::forAccount(const QString& id)
{
    return KeyringKey(QStringLiteral("account ") + id);
}
