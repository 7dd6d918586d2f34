#pragma once
// Which password an item in the desktop keyring holds. The caller names it
// either by the login it opens (the incoming server text and the user name,
// as typed) or by an id of its own (an account's number, say). The two kinds
// never give the same key, and the text is what a keyring manager (Seahorse,
// KWalletManager, the Windows Credential Manager) shows beside "Quillbeacon".

#include <QString>

#include <utility>

class KeyringKey
{
public:
    // "login <server> <user>": a usable server text holds no space, so two
    // different logins never share a key.
    static KeyringKey forLogin(const QString& server, const QString& user);
    // "account <id>".
    static KeyringKey forAccount(const QString& id);

    const QString& text() const { return m_text; }
    bool operator==(const KeyringKey& other) const { return m_text == other.m_text; }
    bool operator!=(const KeyringKey& other) const { return m_text != other.m_text; }

private:
    friend class Keyring; // for the probe's key, which neither kind can give
    explicit KeyringKey(QString text) : m_text(std::move(text)) {}
    QString m_text;
};
