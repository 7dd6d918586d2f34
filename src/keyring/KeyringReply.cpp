#include "keyring/KeyringReply.h"

QString KeyringReply::reason() const
{
    switch (outcome) {
    case Outcome::Done:
        return {};
    case Outcome::NotFound:
        return QStringLiteral("The keyring holds no password for this account");
    case Outcome::NoKeyring:
        return QStringLiteral("No keyring answered");
    case Outcome::Locked:
        return QStringLiteral("The keyring is locked");
    case Outcome::Refused:
        return QStringLiteral("Access was refused");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("The keyring could not do it");
}
