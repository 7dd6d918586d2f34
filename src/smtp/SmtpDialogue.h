#pragma once
// The client side of one SMTP send, without a socket: the window feeds it
// whatever arrived and gets back what to write, whether to close and how the
// send ended. Steps:
//   0 greeting -> HELO, 1 -> MAIL FROM, 2 -> RCPT TO, 3 -> DATA,
//   4 (354) -> message and ".", 5 (data accepted) -> QUIT, 6 -> close.
// A reply is framed by its line end; "250-" lines continue the same reply.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class SmtpDialogue
{
public:
    struct Message {
        QString sender;
        QString recipient;
        QString subject;
        QString text;
        QByteArray attachment; // the uuencoded block, or empty
    };

    enum class Outcome { Running, Sent, Failed };

    // What the window has to do after an event.
    struct Reaction {
        QByteArray toSend;
        bool close = false;
        Outcome outcome = Outcome::Running;
        QString reply; // the failing reply (or time-out text), when Failed
    };

    void start(const Message& message);

    Reaction dataArrived(QByteArrayView bytes);
    // No reply came in time: the send ends (as sent, if the data was
    // already accepted).
    Reaction timedOut(const QString& description);
    // The socket failed: Sent if the data was already accepted, otherwise
    // Running with nothing to do (the window reports the socket's error).
    Reaction socketFailed();

    int step() const { return m_step; }
    bool running() const { return m_running; }
    bool dataAccepted() const { return m_dataAccepted; }

    // The HELO argument: the trimmed sender's text before its first "@";
    // the whole trimmed sender without an "@"; "localhost" when that is empty.
    static QByteArray heloArgument(const QString& sender);

    // Everything between "DATA" and the server's reply: the Subject line, an
    // empty line, the text, an empty line, the block, then ".". Every line
    // ends in CR LF, and a line that begins with "." gets another one.
    static QByteArray dataSection(const QString& subject, const QString& text,
                                  const QByteArray& attachment);

    // A reason to refuse the send before anything goes out, or empty.
    static QString fieldProblem(const QString& host, const QString& sender,
                                const QString& recipient, const QString& subject);

private:
    void onReply(const QByteArray& reply, Reaction& reaction);
    void finish(Reaction& reaction, Outcome outcome, const QString& reply = {});

    Message m_message;
    QByteArray m_pending; // received bytes not yet part of a complete reply
    qsizetype m_replyStart = 0;
    int m_step = 0;
    bool m_running = false;
    bool m_dataAccepted = false;
};
