#include "keyring/SecretServiceState.h"

#include <QMetaObject>
#include <QPointer>

#ifdef QB_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QMap>
#endif

#include <utility>

namespace
{

using Done = std::function<void(const SecretServiceState::Answer&)>;

void answerLater(QObject* context, Done done, SecretServiceState::Answer answer)
{
    QMetaObject::invokeMethod(
        context, [done = std::move(done), answer] { done(answer); }, Qt::QueuedConnection);
}

#ifdef QB_HAVE_DBUS
const QString Name = QStringLiteral("org.freedesktop.secrets");
const QString ServicePath = QStringLiteral("/org/freedesktop/secrets");
const QString ServiceInterface = QStringLiteral("org.freedesktop.Secret.Service");

// The service is not there at all, as opposed to there and failing.
bool absent(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::NoServer ||
           error.type() == QDBusError::Disconnected ||
           error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           error.name() == QLatin1String("org.freedesktop.DBus.Error.Spawn.ChildExited");
}

// Calls `message` and hands the reply (or the error) to `then`, unless
// `context` is gone by the time it comes.
void call(const QDBusMessage& message, QObject* context,
          std::function<void(const QDBusMessage&)> then)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, then = std::move(then)] {
                         watcher->deleteLater();
                         then(watcher->reply());
                     });
}

void askDefaultCollection(QObject* context, Done done, SecretServiceState::Answer answer)
{
    QDBusMessage alias = QDBusMessage::createMethodCall(Name, ServicePath, ServiceInterface,
                                                        QStringLiteral("ReadAlias"));
    alias << QStringLiteral("default");
    call(alias, context, [context, done, answer](const QDBusMessage& reply) mutable {
        const QList<QVariant> args = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage || args.isEmpty()) {
            done(answer);
            return;
        }
        const QString path = args.first().value<QDBusObjectPath>().path();
        if (path.isEmpty() || path == QLatin1String("/")) {
            done(answer); // no default collection yet: a store makes one
            return;
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            Name, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
        call(get, context, [done, answer](const QDBusMessage& reply) mutable {
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                answer.defaultLocked =
                    reply.arguments().first().value<QDBusVariant>().variant().toBool();
            done(answer);
        });
    });
}
#endif

} // namespace

void SecretServiceState::ask(const QString& service, const QString& key, QObject* context,
                             std::function<void(const Answer&)> done)
{
#ifdef QB_HAVE_DBUS
    if (!QDBusConnection::sessionBus().isConnected()) {
        answerLater(context, std::move(done), Answer(Service::Absent));
        return;
    }
    static const QMetaType registered = qDBusRegisterMetaType<QMap<QString, QString>>();
    Q_UNUSED(registered);
    // The attributes the keyring library gives each item it stores.
    QMap<QString, QString> attributes{{QStringLiteral("user"), key},
                                      {QStringLiteral("server"), service},
                                      {QStringLiteral("type"), QStringLiteral("plaintext")}};
    QDBusMessage search = QDBusMessage::createMethodCall(Name, ServicePath, ServiceInterface,
                                                         QStringLiteral("SearchItems"));
    search << QVariant::fromValue(attributes);
    QPointer<QObject> guard(context);
    call(search, context, [guard, done = std::move(done)](const QDBusMessage& reply) {
        Answer answer;
        if (reply.type() == QDBusMessage::ErrorMessage) {
            answer.service = absent(QDBusError(reply)) ? Service::Absent : Service::Unknown;
            done(answer);
            return;
        }
        const QList<QVariant> args = reply.arguments();
        if (args.size() != 2) {
            done(answer);
            return;
        }
        answer.service = Service::Answered;
        const auto paths = [](const QVariant& value) {
            if (value.canConvert<QDBusArgument>())
                return qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>());
            return value.value<QList<QDBusObjectPath>>();
        };
        if (!paths(args.at(1)).isEmpty())
            answer.item = Item::Locked;
        else if (!paths(args.at(0)).isEmpty())
            answer.item = Item::Unlocked;
        if (answer.item == Item::Missing && guard)
            askDefaultCollection(guard, done, answer);
        else
            done(answer);
    });
#else
    Q_UNUSED(service);
    Q_UNUSED(key);
    answerLater(context, std::move(done), Answer{});
#endif
}
