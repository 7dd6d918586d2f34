#include "keyring/Keyring.h"

#include <QLibrary>
#include <QMetaObject>

#include <qt6keychain/keychain.h>

#include <utility>

namespace
{

using Outcome = KeyringReply::Outcome;
using Answer = SecretServiceState::Answer;

// The key of the probe: neither "login ..." nor "account ...", so no
// password is ever filed under it.
const QString ProbeKey = QStringLiteral("probe");

Outcome outcomeOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return Outcome::Done;
    case QKeychain::EntryNotFound:
        return Outcome::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied: // the Secret Service's "locked": see refined()
        return Outcome::Refused;
    case QKeychain::NoBackendAvailable:
        return Outcome::NoKeyring;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
        break;
    }
    return Outcome::Failed;
}

// Whether qtkeychain speaks to the Secret Service, which can then be asked
// what became of a request. It takes KWallet on KDE, and Windows has none.
bool onSecretService()
{
#ifdef QB_HAVE_DBUS
    return !qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE")) &&
           !qEnvironmentVariableIsSet("KDE_SESSION_VERSION");
#else
    return false;
#endif
}

// libsecret keeps its link to the Secret Service (the encrypted session
// above all) for the life of the process; a keyring daemon that started anew
// meanwhile knows nothing of that session and refuses every request made in
// it. Forgetting the link makes the next request open a fresh one.
void forgetSecretServiceLink()
{
#ifdef QB_HAVE_DBUS
    using Disconnect = void (*)();
    QLibrary libsecret(QStringLiteral("secret-1"), 0);
    if (auto disconnect =
            reinterpret_cast<Disconnect>(libsecret.resolve("secret_service_disconnect")))
        disconnect();
#endif
}

} // namespace

Keyring::Keyring(QObject* parent) : QObject(parent) {}

// A job still out finishes on its own and deletes itself; its answer goes
// nowhere, as the connections to this object are gone.
Keyring::~Keyring() = default;

void Keyring::store(const KeyringKey& key, const QString& password, QObject* context, Done done)
{
    enqueue(Kind::Store, key.text(), password, context, std::move(done));
}

void Keyring::read(const KeyringKey& key, QObject* context, Done done)
{
    // The last request for this key, if it is a read, answers this one too:
    // a second reader waits for the first one's answer (and its unlock).
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        if (it->kind == Kind::Probe || it->key != key.text())
            continue;
        if (it->kind == Kind::Read) {
            it->waiters << Waiter{context, std::move(done)};
            return;
        }
        break;
    }
    enqueue(Kind::Read, key.text(), QString(), context, std::move(done));
}

void Keyring::remove(const KeyringKey& key, QObject* context, Done done)
{
    enqueue(Kind::Remove, key.text(), QString(), context, std::move(done));
}

void Keyring::probe(QObject* context, Done done)
{
    enqueue(Kind::Probe, ProbeKey, QString(), context, std::move(done));
}

void Keyring::askAgain()
{
    m_unlock = Unlock::MayAsk;
}

void Keyring::enqueue(Kind kind, const QString& key, const QString& password, QObject* context,
                      Done done)
{
    m_queue.push_back(Request{kind, key, password, {Waiter{context, std::move(done)}}});
    if (m_state == State::Idle) {
        m_state = State::Working;
        QMetaObject::invokeMethod(this, &Keyring::runFront, Qt::QueuedConnection);
    }
}

void Keyring::runFront()
{
    const Request& request = m_queue.front();
    if (request.kind != Kind::Read || m_unlock == Unlock::MayAsk) {
        startJob();
        return;
    }
    // The user did not unlock the keyring: ask it whether it still is
    // locked rather than have it prompt again.
    if (!onSecretService()) {
        finish(KeyringReply(m_declined));
        return;
    }
    SecretServiceState::ask(Service, request.key, this, [this](const Answer& answer) {
        if (answer.service == SecretServiceState::Service::Answered &&
            answer.item == SecretServiceState::Item::Unlocked) {
            m_unlock = Unlock::MayAsk;
            startJob();
            return;
        }
        KeyringReply reply(m_declined);
        if (answer.service == SecretServiceState::Service::Absent)
            reply.outcome = Outcome::NoKeyring;
        else if (answer.service == SecretServiceState::Service::Answered)
            reply.outcome = answer.item == SecretServiceState::Item::Locked ? Outcome::Locked
                                                                            : Outcome::NotFound;
        finish(reply);
    });
}

void Keyring::startJob()
{
    const Request& request = m_queue.front();
    QKeychain::Job* job = nullptr;
    switch (request.kind) {
    case Kind::Store: {
        auto* write = new QKeychain::WritePasswordJob(QString::fromLatin1(Service));
        write->setTextData(request.password);
        job = write;
        break;
    }
    case Kind::Read:
    case Kind::Probe:
        job = new QKeychain::ReadPasswordJob(QString::fromLatin1(Service));
        break;
    case Kind::Remove:
        job = new QKeychain::DeletePasswordJob(QString::fromLatin1(Service));
        break;
    }
    job->setKey(request.key);
    // Never the library's plain-text file in place of a keyring: where none
    // answers, the caller keeps the password as it did before.
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, &Keyring::jobFinished);
    job->start();
}

void Keyring::jobFinished(QKeychain::Job* job)
{
    const Request& request = m_queue.front();
    KeyringReply reply(outcomeOf(job->error()));
    if (job->error() != QKeychain::NoError)
        reply.detail = job->errorString();
    else if (request.kind == Kind::Read)
        reply.password = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();

    // Done is taken at its word, except for a removal: a locked item stays
    // where it is and the library still says done.
    const bool settled = reply.ok() && request.kind != Kind::Remove;
    if (settled || !onSecretService())
        finish(refined(reply, Answer{}));
    else
        askSecretService(reply);
}

void Keyring::askSecretService(const KeyringReply& reply)
{
    SecretServiceState::ask(
        Service, m_queue.front().key, this, [this, reply](const Answer& answer) {
            const KeyringReply result = refined(reply, answer);
            Request& request = m_queue.front();
            if (result.outcome == Outcome::Failed &&
                answer.service == SecretServiceState::Service::Answered && !request.retried) {
                request.retried = true;
                forgetSecretServiceLink();
                startJob();
                return;
            }
            finish(result);
        });
}

KeyringReply Keyring::refined(KeyringReply reply, const Answer& answer)
{
    const Kind kind = m_queue.front().kind;
    using S = SecretServiceState::Service;
    using I = SecretServiceState::Item;
    if (answer.service == S::Absent) {
        reply.outcome = Outcome::NoKeyring;
    } else if (answer.service == S::Answered) {
        switch (kind) {
        case Kind::Probe:
            reply.outcome = Outcome::Done;
            break;
        case Kind::Read:
            if (answer.item == I::Locked)
                reply.outcome = Outcome::Locked;
            else if (answer.item == I::Missing)
                reply.outcome = Outcome::NotFound;
            break;
        case Kind::Store:
            if (answer.item == I::Locked || (answer.item == I::Missing && answer.defaultLocked))
                reply.outcome = Outcome::Locked;
            break;
        case Kind::Remove:
            if (answer.item == I::Missing) {
                reply = KeyringReply(Outcome::Done);
            } else if (answer.item == I::Locked) {
                reply.outcome = Outcome::Locked;
            } else if (reply.ok()) {
                reply.outcome = Outcome::Failed;
                reply.detail = QStringLiteral("The item is still in the keyring");
            }
            break;
        }
    } else if (kind == Kind::Probe && reply.outcome == Outcome::NotFound) {
        reply.outcome = Outcome::Done; // the keyring answered: it holds no probe
    } else if (kind == Kind::Remove && reply.outcome == Outcome::NotFound) {
        reply.outcome = Outcome::Done;
    }

    if (kind == Kind::Read || kind == Kind::Store) {
        if (reply.outcome == Outcome::Locked || reply.outcome == Outcome::Refused) {
            if (kind == Kind::Read) {
                m_unlock = Unlock::Declined;
                m_declined = reply.outcome;
            }
        } else if (reply.ok()) {
            m_unlock = Unlock::MayAsk;
        }
    }
    return reply;
}

void Keyring::finish(const KeyringReply& reply)
{
    const QList<Waiter> waiters = std::move(m_queue.front().waiters);
    m_queue.pop_front();
    if (m_queue.empty())
        m_state = State::Idle;
    else
        QMetaObject::invokeMethod(this, &Keyring::runFront, Qt::QueuedConnection);
    for (const Waiter& waiter : waiters) {
        if (waiter.context && waiter.done)
            waiter.done(reply);
    }
}
