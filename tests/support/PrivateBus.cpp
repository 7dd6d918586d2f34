#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QStandardPaths>

namespace
{

const char Config[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

const QString ConnectionName = QStringLiteral("qb-private-bus");

} // namespace

PrivateBus::~PrivateBus()
{
    QDBusConnection::disconnectFromBus(ConnectionName);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

QString PrivateBus::start()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return QStringLiteral("dbus-daemon (dbus-daemon) is not installed");
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder for the bus");
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString::fromLatin1(Config).arg(m_dir.path()).toUtf8()) < 0)
        return QStringLiteral("cannot write the bus configuration");
    config.close();
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config.fileName(),
                    QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000))
        return QStringLiteral("dbus-daemon did not start");
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(10000))
            return QStringLiteral("dbus-daemon gave no address");
    }
    m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    return {};
}

void PrivateBus::becomeSessionBus() const
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

qint64 PrivateBus::ownerPid(const QString& name) const
{
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, ConnectionName);
    QDBusConnectionInterface* control = bus.interface();
    if (!control || !control->isServiceRegistered(name))
        return 0;
    return control->servicePid(name).value();
}
