#pragma once
// A D-Bus session bus of the test's own: a dbus-daemon with no service
// folders, so nothing on it starts by activation (not the desktop's keyring
// daemon, not a password prompter), and the user's own session bus is
// neither seen nor touched.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the bus runs, else why it does not.
    QString start();
    QString address() const { return m_address; }
    // Makes it this process's session bus (and its children's): call before
    // anything here speaks to the session bus, which is then kept.
    void becomeSessionBus() const;

    // The process that owns `name` on the bus, 0 when none does.
    qint64 ownerPid(const QString& name) const;
    bool hasOwner(const QString& name) const { return ownerPid(name) != 0; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
