#pragma once
// The client side of a POP3 session, without a socket: it is fed each piece
// of data as it arrives and answers with what to send, what to log and what
// happened. The Email window owns the socket and carries the answers out.
//
// Replies are framed by their line end (steps 0-3 and 5) or by the
// terminator line (step 4), however the data is cut into arrivals.

#include "core/SharedBytes.h"
#include "pop3/Pop3Action.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class Pop3Session
{
public:
    enum class Mode { Retrieve, Delete };

    // Steps of the dialogue: what the session waits for.
    enum Step : qint32 {
        Greeting = 0,
        UserReply = 1,
        PassReply = 2,
        StatReply = 3,
        RetrReply = 4,
        Closing = 5, // replies after the DELE commands and QUIT
    };

    // At most this many messages are kept per session (table indices 0-50):
    // the newest ones, which are the highest numbers.
    static constexpr int MaxMessages = 51;
    // DELE commands out at once, ahead of their replies.
    static constexpr int DeleWindow = 100;
    // A reply line (outside a RETR reply) longer than this is taken as a
    // broken or hostile server, not waited for.
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    // The size a RETR reply announces is trusted for the buffer's capacity
    // up to this much; a bigger message still arrives, the buffer grows.
    static constexpr qsizetype MaxReservation = 16 * 1024 * 1024;
    // A RETR reply that grows past this without its terminator ends the
    // session: past twice the size the status line announces (every line
    // may gain a CR and a doubled dot) and a little room, or past the
    // fixed limit where nothing is announced.
    static constexpr qsizetype MaxMessageBytes = qsizetype(256) * 1024 * 1024;
    static constexpr qsizetype MessageSlack = 1024 * 1024;

    // The octets a RETR status line announces ("+OK 1048576 octets"), -1
    // where it announces none. A figure past MaxMessageBytes comes back as
    // some value past it, never overflowed.
    static qsizetype announcedOctets(QByteArrayView statusLine);
    // How far a RETR reply may grow without its terminator: its status line
    // (`statusLength` bytes with the LF), twice the announced size and
    // MessageSlack, MaxMessageBytes at most; MaxMessageBytes where nothing
    // is announced (`octets` -1).
    static qsizetype messageLimit(qsizetype statusLength, qsizetype octets);

    // Why this account cannot be used on the wire, or empty: a CR or LF in
    // a value would end the command early and send the rest as another.
    static QString accountProblem(const QString& user, const QString& password);

    Pop3Session() = default;

    // A new session: step 0, counters and buffer emptied.
    void start(Mode mode, const QString& user, const QString& password);

    // Data that arrived on the socket, in any cut.
    Pop3Actions receive(const QByteArray& data);
    // Where the session keeps the bytes of the last receive(), for the log to
    // share: inside a RETR reply they are part of the message's own buffer,
    // the one that goes to the tables.
    const ByteRange& lastArrival() const { return m_arrival; }

    // The connection failed (refused, lost, timed out): the error path while
    // a session runs, nothing otherwise. Once QUIT is out there is nothing
    // left to lose, so the session just ends, with one line in the log.
    // `plain` is the reason in the user's words, for the box.
    Pop3Actions connectionFailed(const QString& reason, const QString& plain = QString());

    // Complete replies and messages received so far: the owner's idle timer
    // measures time without progress, not time without bytes.
    quint64 progress() const { return m_progress; }

    bool running() const { return m_running; }
    qint32 step() const { return m_step; }
    int messageCount() const { return m_messageCount; }
    int currentMessage() const { return m_currentMessage; }
    // Step 4: the RETR reply so far; otherwise a reply line not yet whole.
    const QByteArray& receiveBuffer() const;

    // The message of a RETR reply (status line through terminator) as the
    // server sent it: status line and terminator dropped, lines still
    // dot-stuffed. A status line ended by a bare LF leaves nothing in front
    // of the terminator: an empty message.
    static QByteArrayView messageBytes(QByteArrayView reply);
    // The lines the server dot-stuffed ("..x") as the author wrote them: the
    // text itself when no line needs it, otherwise a copy made in `storage`.
    static QByteArrayView unstuffed(QByteArrayView text, QByteArray* storage);
    // The text of a retrieved reply: its message, unstuffed and decoded.
    static QString messageText(QByteArrayView reply);
    // UTF-8 where the bytes are valid UTF-8, Latin-1 otherwise.
    static QString decode(QByteArrayView bytes);
    // The count of a STAT reply; false when it is missing, not a number or
    // larger than an int holds.
    static bool parseStatCount(const QByteArray& reply, int* count);

private:
    Pop3Actions handleReply(const QByteArray& reply);
    Pop3Actions collectMessage();
    Pop3Actions afterStat(const QByteArray& reply);
    Pop3Actions messageComplete(QByteArray reply);
    Pop3Actions closingReply(const QByteArray& reply);
    Pop3Actions endAfterQuit(Pop3Actions out);
    Pop3Actions fail(const QByteArray& what, const QString& plain);
    Pop3Actions refusedReply(const QByteArray& reply);
    void sendAndLog(Pop3Actions& out, const QByteArray& command, const QString& logged);
    void sendQuit(Pop3Actions& out);
    void sendDeles(Pop3Actions& out);
    void prepareForMessage(qsizetype statusEnd);
    void startMessage(QByteArray bytesSoFar);

    Mode m_mode = Mode::Retrieve;
    QString m_user;
    QString m_password;
    bool m_running = false;
    qint32 m_step = Greeting;
    int m_messageCount = 0;
    int m_currentMessage = 0;
    int m_firstToFetch = 0; // the oldest of the newest MaxMessages; its index is 0
    int m_lastToFetch = 0;  // MessageCount
    qsizetype m_messageLimit = MaxMessageBytes; // for the RETR reply coming in
    int m_deleCount = 0; // DELE commands to send; their replies come before QUIT's
    int m_delesSent = 0;
    int m_closingReplies = 0;  // step 5: replies received so far
    QList<int> m_refusedDeles; // messages whose DELE got "-ERR"
    bool m_quitSent = false;
    quint64 m_progress = 0;
    QByteArray m_receiveBuffer;   // a reply line not yet whole
    SharedBytes m_message;        // step 4: the RETR reply so far, shared with the log
    ByteRange m_arrival;          // the bytes of the last receive()
    qsizetype m_lineScanFrom = 0; // where the search for the line end goes on
    qsizetype m_statusEnd = -1;   // step 4: the LF of the RETR status line, once seen
    qsizetype m_scanFrom = 0;     // step 4: where the terminator search goes on
    bool m_doubledDots = false;   // step 4: a line of the message so far begins with ".."
};
