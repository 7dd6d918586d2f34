#pragma once
// One running program per settings. The first start listens on a local
// socket named for its settings folder and application name; a later start
// with the same settings reaches it, asks it to show itself, and ends. So two
// users, two homes, or two copies of the program in two folders (each with
// settings of their own) each have their own.
//
// On Unix the socket lives in the user's runtime folder (0700); one left
// behind by a run that crashed answers nobody, and the next start takes its
// place. On Windows it is a named pipe, which ends with its process.

#include <QLocalServer>
#include <QObject>
#include <QString>

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The socket's name: a digest of the folder of the user's settings
    // (which holds the settings file; on Windows the user's own folder) and
    // the application name.
    static QString serverName(const QString& settingsFolder, const QString& applicationName);

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);

    // True when no other program runs on these settings: this one now
    // listens. False when one does: it has been asked to show itself.
    bool claim();
    // Stops listening (and takes the socket away).
    void close();

signals:
    // A later start asked this one to show itself.
    void anotherStart();

private:
    void answer(QLocalSocket* socket);

    QString m_name;
    QLocalServer m_server;
};
