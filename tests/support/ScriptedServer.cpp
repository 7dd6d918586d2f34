#include "support/ScriptedServer.h"

#include <QEventLoop>
#include <QTimer>

ScriptedServer::ScriptedServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

ScriptedServer::~ScriptedServer()
{
    if (m_socket)
        m_socket->abort();
}

quint16 ScriptedServer::port() const
{
    return m_server.serverPort();
}

ScriptedServer& ScriptedServer::add(Kind kind, const QByteArray& bytes, int number)
{
    m_steps.push_back(Step{kind, bytes, number, {}});
    m_done = false;
    return *this;
}

ScriptedServer& ScriptedServer::send(const QByteArray& bytes)
{
    return add(Kind::Send, bytes);
}

ScriptedServer& ScriptedServer::sendInPieces(const QByteArray& bytes, int pieceSize)
{
    return add(Kind::SendInPieces, bytes, qMax(1, pieceSize));
}

ScriptedServer& ScriptedServer::expectLine(const QByteArray& line)
{
    QByteArray bare = line;
    if (bare.endsWith("\r\n"))
        bare.chop(2);
    return add(Kind::ExpectLine, bare);
}

ScriptedServer& ScriptedServer::expectUntil(const QByteArray& terminator)
{
    return add(Kind::ExpectUntil, terminator);
}

ScriptedServer& ScriptedServer::pause(int ms)
{
    return add(Kind::Pause, {}, ms);
}

ScriptedServer& ScriptedServer::closeConnection()
{
    return add(Kind::Close);
}

ScriptedServer& ScriptedServer::silence()
{
    return add(Kind::Silence);
}

ScriptedServer& ScriptedServer::stream(std::function<QByteArray()> next)
{
    add(Kind::Stream);
    m_steps.back().next = std::move(next);
    return *this;
}

void ScriptedServer::reset()
{
    if (m_socket)
        m_socket->abort();
    m_socket = nullptr;
    ++m_generation;
    m_steps.clear();
    m_next = 0;
    m_pieceOffset = 0;
    m_waitingTimer = false;
    m_received.clear();
    m_unread.clear();
    m_mismatches.clear();
    m_done = false;
    m_clientGone = false;
    m_serverClosed = false;
    m_connections = 0;
}

void ScriptedServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // A new connection replaces the one before and plays the script
        // from its start.
        if (m_socket) {
            m_socket->disconnect(this);
            m_socket->abort();
            m_socket->deleteLater();
        }
        m_socket = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        ++m_connections;
        ++m_generation;
        m_next = 0;
        m_pieceOffset = 0;
        m_waitingTimer = false;
        m_unread.clear();
        m_done = false;
        m_clientGone = false;
        m_serverClosed = false;
        connect(socket, &QTcpSocket::readyRead, this, &ScriptedServer::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &ScriptedServer::onDisconnected);
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (socket == m_socket && m_next < m_steps.size() &&
                m_steps[m_next].kind == Kind::Stream)
                advance();
        });
        advance();
    }
}

void ScriptedServer::onReadyRead()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    m_received += bytes;
    m_unread += bytes;
    advance();
    emit progressed();
}

void ScriptedServer::onDisconnected()
{
    if (m_socket && m_socket->bytesAvailable() > 0)
        onReadyRead();
    if (!m_serverClosed)
        m_clientGone = true;
    if (!m_done && m_next < m_steps.size()) {
        const Step& step = m_steps[m_next];
        if (step.kind == Kind::ExpectLine || step.kind == Kind::ExpectUntil)
            m_mismatches << QStringLiteral("client closed the connection while the server "
                                           "waited for \"%1\"")
                                .arg(QString::fromLatin1(step.bytes.toPercentEncoding(" ")));
    }
    emit progressed();
}

void ScriptedServer::advance()
{
    while (m_socket && !m_waitingTimer && m_next < m_steps.size()) {
        const Step& step = m_steps[m_next];
        switch (step.kind) {
        case Kind::Send:
            m_socket->write(step.bytes);
            m_socket->flush();
            ++m_next;
            break;
        case Kind::SendInPieces: {
            m_socket->write(step.bytes.mid(m_pieceOffset, step.number));
            m_socket->flush();
            m_pieceOffset += step.number;
            if (m_pieceOffset >= step.bytes.size()) {
                m_pieceOffset = 0;
                ++m_next;
            } else {
                m_waitingTimer = true;
                const int generation = m_generation;
                QTimer::singleShot(3, this, [this, generation] {
                    if (generation != m_generation)
                        return;
                    m_waitingTimer = false;
                    advance();
                });
                return;
            }
            break;
        }
        case Kind::ExpectLine: {
            const qsizetype end = m_unread.indexOf("\r\n");
            if (end < 0)
                return;
            const QByteArray line = m_unread.left(end);
            m_unread.remove(0, end + 2);
            if (line != step.bytes)
                m_mismatches << QStringLiteral("expected line \"%1\", client sent \"%2\"")
                                    .arg(QString::fromLatin1(step.bytes),
                                         QString::fromLatin1(line));
            ++m_next;
            break;
        }
        case Kind::ExpectUntil: {
            const qsizetype at = m_unread.indexOf(step.bytes);
            if (at < 0)
                return;
            m_unread.remove(0, at + step.bytes.size());
            ++m_next;
            break;
        }
        case Kind::Pause: {
            m_waitingTimer = true;
            ++m_next;
            const int generation = m_generation;
            QTimer::singleShot(step.number, this, [this, generation] {
                if (generation != m_generation)
                    return;
                m_waitingTimer = false;
                advance();
            });
            return;
        }
        case Kind::Close:
            m_serverClosed = true;
            m_socket->flush();
            m_socket->disconnectFromHost();
            ++m_next;
            break;
        case Kind::Silence:
            ++m_next;
            break;
        case Kind::Stream: {
            // A few pieces ahead of the connection, never more.
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return;
            while (m_socket->bytesToWrite() < 1024 * 1024) {
                const QByteArray piece = step.next();
                if (piece.isEmpty()) {
                    ++m_next;
                    break;
                }
                m_socket->write(piece);
            }
            if (m_next < m_steps.size() && &m_steps[m_next] == &step)
                return; // on when the connection has taken some
            break;
        }
        }
    }
    if (m_socket && !m_waitingTimer && m_next >= m_steps.size() && !m_done)
        finish();
}

void ScriptedServer::finish()
{
    m_done = true;
    emit progressed();
}

bool ScriptedServer::waitFor(const std::function<bool()>& condition, int ms)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &ScriptedServer::progressed, &loop, [&] {
        if (condition())
            loop.quit();
    });
    timer.start(ms);
    loop.exec();
    return condition();
}

bool ScriptedServer::waitForScriptDone(int ms)
{
    return waitFor([this] { return m_done; }, ms);
}

bool ScriptedServer::waitForDisconnect(int ms)
{
    return waitFor([this] { return m_clientGone; }, ms);
}

bool ScriptedServer::waitForReceived(const QByteArray& bytes, int ms)
{
    return waitFor([this, bytes] { return m_received.contains(bytes); }, ms);
}
