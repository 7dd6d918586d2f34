#include "core/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace
{

constexpr int WaitMs = 3000;
const QByteArray ShowRequest = QByteArrayLiteral("show\n");

// Where the socket and its lock live: the user's own runtime folder on
// Unix; a bare name on Windows, where it names a pipe.
QString folderForSockets()
{
#ifdef Q_OS_UNIX
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // A socket's path has room for about a hundred bytes.
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && runtime.size() < 60)
        return runtime + QLatin1Char('/');
#endif
    return QString();
}

QString lockPath(const QString& name)
{
    const QString folder =
        QFileInfo(name).isAbsolute() ? QString() : QDir::tempPath() + QLatin1Char('/');
    return folder + name + QStringLiteral(".lock");
}

} // namespace

QString SingleInstance::serverName(const QString& settingsFolder, const QString& applicationName)
{
    QCryptographicHash digest(QCryptographicHash::Sha256);
    digest.addData(settingsFolder.toUtf8());
    digest.addData(QByteArrayView("\0", 1));
    digest.addData(applicationName.toUtf8());
    return folderForSockets() + QStringLiteral("quillbeacon-") +
           QString::fromLatin1(digest.result().left(16).toHex());
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_name(std::move(serverName))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            answer(socket);
    });
}

bool SingleInstance::claim()
{
    // Two starts at the same moment: one of them looks and listens first.
    // A lock left by a start that crashed here is taken over.
    QLockFile lock(lockPath(m_name));
    lock.tryLock(WaitMs);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (socket.waitForConnected(WaitMs)) {
        socket.write(ShowRequest);
        socket.waitForBytesWritten(WaitMs);
        socket.disconnectFromServer();
        return false;
    }
    // A socket that nobody answers was left by a run that ended without
    // closing it. Anything else (none there) leaves nothing to take away.
    if (socket.error() == QLocalSocket::ConnectionRefusedError)
        QLocalServer::removeServer(m_name);
    if (!m_server.listen(m_name))
        qWarning("Quillbeacon: cannot listen on %s (%s); a second start will not find this one",
                 qPrintable(m_name), qPrintable(m_server.errorString()));
    return true;
}

void SingleInstance::close()
{
    m_server.close();
}

void SingleInstance::answer(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        // A request is one short line; anything else is not ours.
        if (socket->canReadLine() && socket->readLine(64) == ShowRequest)
            emit anotherStart();
        else if (socket->bytesAvailable() < qint64(ShowRequest.size()))
            return;
        socket->disconnectFromServer();
    });
}
