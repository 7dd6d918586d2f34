#include "tray/DesktopNotifier.h"

#ifdef QB_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace
{
#ifdef QB_HAVE_DBUS
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
#endif
} // namespace

DesktopNotifier::DesktopNotifier(std::function<bool(const QString&, const QString&)> fallback,
                                 QObject* parent)
    : NewMailNotifier(parent), m_fallback(std::move(fallback))
{
}

void DesktopNotifier::notify(const Notice& notice)
{
#ifdef QB_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        if (!m_listening) {
            bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                        SLOT(onActionInvoked(quint32, QString)));
            bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                        SLOT(onClosed(quint32, quint32)));
            m_listening = true;
        }
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(AppId));
        if (!notice.category.isEmpty())
            hints.insert(QStringLiteral("category"), notice.category);
        QStringList actions;
        if (notice.opensMailbox)
            actions << QStringLiteral("default") << QStringLiteral("Show");
        QDBusMessage call =
            QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
        call << QStringLiteral("Quillbeacon") << m_openId << QString::fromLatin1(AppId)
             << notice.summary << notice.body << actions << hints << qint32(-1);
        // Asynchronous: a slow or absent service never holds up the program.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, notice](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    const QDBusPendingReply<quint32> reply = *w;
                    if (reply.isError()) {
                        if (m_fallback)
                            m_fallback(notice.summary, notice.body);
                        return;
                    }
                    m_openId = reply.value();
                });
        return;
    }
#endif
    if (m_fallback)
        m_fallback(notice.summary, notice.body);
}

void DesktopNotifier::onActionInvoked(quint32 id, const QString& action)
{
    if (id != 0 && id == m_openId && action == QLatin1String("default"))
        emit activated();
}

void DesktopNotifier::onClosed(quint32 id, quint32)
{
    if (id == m_openId)
        m_openId = 0;
}
