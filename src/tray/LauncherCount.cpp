#include "tray/LauncherCount.h"

#include <QtGlobal>

#ifdef QB_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

LauncherCount::LauncherCount(const QString& connection, QObject* parent)
    : QObject(parent), m_connection(connection)
{
}

void LauncherCount::setCount(int count)
{
    count = qMax(count, 0);
    if (count == m_count)
        return;
    m_count = count;
#ifdef QB_HAVE_DBUS
    QDBusConnection bus =
        m_connection.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_connection);
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QString::fromLatin1(ObjectPath), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    update << QString::fromLatin1(AppUri)
           << QVariantMap{{QStringLiteral("count"), QVariant::fromValue(qint64(count))},
                          {QStringLiteral("count-visible"), count > 0}};
    bus.send(update);
#endif
}
