#pragma once
// A fake TCP server for dialogue tests. It listens on 127.0.0.1 on a free
// port and plays a script against the next client that connects: what to
// send, in one write or in pieces, and which lines the client must send
// back. A test then reads like a transcript:
//
//     ScriptedServer server;
//     server.send("+OK ready\r\n").expectLine("USER bob").send("+OK\r\n")...;
//     ... start the client on server.port() ...
//     QVERIFY(server.waitForScriptDone(5000));
//     QCOMPARE(server.mismatches(), QStringList());
//
// Everything is driven by the socket signals; the waits run an event loop.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <vector>

class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedServer(QObject* parent = nullptr);
    ~ScriptedServer() override;

    quint16 port() const;

    // Script steps, played in order on the next accepted connection.
    ScriptedServer& send(const QByteArray& bytes);                        // one write
    ScriptedServer& sendInPieces(const QByteArray& bytes, int pieceSize); // many writes
    ScriptedServer& expectLine(const QByteArray& line); // one CR LF line (CR LF optional here)
    ScriptedServer& expectUntil(const QByteArray& terminator);
    ScriptedServer& pause(int ms);
    ScriptedServer& closeConnection();
    ScriptedServer& silence(); // keep the connection open, do nothing more
    // Writes what `next` returns, a piece each time the connection has taken
    // the last, until it returns nothing or the client has gone: endless or
    // huge replies without holding them.
    ScriptedServer& stream(std::function<QByteArray()> next);

    // Forgets the script, the received bytes and the mismatches; the next
    // connection starts a new script.
    void reset();

    QByteArray received() const { return m_received; } // everything the client sent
    QStringList mismatches() const { return m_mismatches; }
    bool scriptDone() const { return m_done; }
    bool clientDisconnected() const { return m_clientGone; } // the client closed first
    int connectionCount() const { return m_connections; }

    bool waitForScriptDone(int ms);
    bool waitForDisconnect(int ms);                        // the client closed its end
    bool waitForReceived(const QByteArray& bytes, int ms); // received() contains bytes

signals:
    void progressed();

private:
    enum class Kind { Send, SendInPieces, ExpectLine, ExpectUntil, Pause, Close, Silence, Stream };
    struct Step {
        Kind kind;
        QByteArray bytes;
        int number = 0;
        std::function<QByteArray()> next;
    };

    ScriptedServer& add(Kind kind, const QByteArray& bytes = {}, int number = 0);
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    void advance();
    void finish();
    bool waitFor(const std::function<bool()>& condition, int ms);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_pieceOffset = 0;
    bool m_waitingTimer = false;
    int m_generation = 0; // stale timers of an earlier script do nothing
    QByteArray m_received;
    QByteArray m_unread; // received bytes not yet consumed by an expectation
    QStringList m_mismatches;
    bool m_done = false;
    bool m_clientGone = false;
    bool m_serverClosed = false;
    int m_connections = 0;
};
