#pragma once
// Passwords in the desktop's keyring, through qtkeychain: the Secret Service
// on a Linux desktop (gnome-keyring and its kin; KWallet on KDE), the
// Credential Manager on Windows. Every item is filed under the service
// "Quillbeacon" and a KeyringKey.
//
// Each request answers once, through `done`, later on the event loop (never
// inside the call), unless `context` is gone by then. Requests run one at a
// time, in the order they came, so a read after a store finds what was
// stored. A store that fails changes nothing: the caller keeps the password
// where it was until a store has answered Done.
//
// A locked keyring: the first read that meets it has the keyring ask the
// user to unlock it (the Secret Service's own prompt). Reads that come
// meanwhile wait for that answer instead of asking again; once the unlock
// was not given, later reads answer Locked at once, without asking, for as
// long as the keyring stays locked (unlocked elsewhere, it is read again).
// A store or a removal, which the user asks for, may always ask.

#include "keyring/KeyringKey.h"
#include "keyring/KeyringReply.h"
#include "keyring/SecretServiceState.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>

namespace QKeychain
{
class Job;
}

class Keyring : public QObject
{
    Q_OBJECT
public:
    static constexpr char Service[] = "Quillbeacon";
    using Done = std::function<void(const KeyringReply&)>;

    explicit Keyring(QObject* parent = nullptr);
    ~Keyring() override;

    // Puts `password` under `key`, replacing what was there.
    void store(const KeyringKey& key, const QString& password, QObject* context, Done done);
    // The password under `key` (in KeyringReply::password), or NotFound.
    void read(const KeyringKey& key, QObject* context, Done done);
    // Takes the item away; Done also when there was none.
    void remove(const KeyringKey& key, QObject* context, Done done);
    // Whether a keyring answers (Done) or why not. Asks the user nothing,
    // stores nothing.
    void probe(QObject* context, Done done);

    // Lets the next read ask for the unlock again (after the user said so).
    void askAgain();

private:
    enum class Kind { Store, Read, Remove, Probe };
    enum class State { Idle, Working };     // whether the front request runs
    enum class Unlock { MayAsk, Declined }; // what became of the last unlock

    struct Waiter {
        QPointer<QObject> context;
        Done done;
    };
    struct Request {
        Kind kind;
        QString key;
        QString password;
        QList<Waiter> waiters;
        bool retried = false; // once, after a keyring that started anew
    };

    void enqueue(Kind kind, const QString& key, const QString& password, QObject* context,
                 Done done);
    void runFront();
    void startJob();
    void jobFinished(QKeychain::Job* job);
    void askSecretService(const KeyringReply& reply);
    KeyringReply refined(KeyringReply reply, const SecretServiceState::Answer& answer);
    void finish(const KeyringReply& reply);

    std::deque<Request> m_queue;
    State m_state = State::Idle;
    Unlock m_unlock = Unlock::MayAsk;
    // What reads answer while declined, where the keyring cannot be asked
    // whether it is still locked.
    KeyringReply::Outcome m_declined = KeyringReply::Outcome::Locked;
};
