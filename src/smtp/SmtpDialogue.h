#pragma once
// The client side of one SMTP send, without a socket: the owner feeds it
// whatever arrived and gets back what to write, whether to close and how the
// send ended. A reply is framed by its line end; "250-" lines continue the
// same reply.
//
// The plain dialogue, steps:
//   0 greeting -> HELO, 1 -> MAIL FROM, 2 -> RCPT TO, 3 -> DATA,
//   4 (354) -> message and ".", 5 (data accepted) -> QUIT, 6 -> close.
// The secure dialogue (TLS from the first byte, or STARTTLS) says EHLO, then
// STARTTLS and EHLO again where the connection is upgraded, then AUTH (PLAIN
// where offered, else LOGIN) when the server offers it; then as above. It
// sends no credentials, and with STARTTLS nothing at all, until the
// connection is encrypted, and checks each reply's code.

#include "smtp/SmtpDataWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
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
        // The secure dialogue's Date and Message-ID header lines.
        QDateTime date = {};
        QByteArray messageId = {};
    };

    enum class Security { Plain, Tls, StartTls };
    struct Account {
        QString user;
        QString password;
    };

    enum class Outcome { Running, Sent, Failed };
    // How the text goes in the secure dialogue.
    enum class BodyEncoding { SevenBit, EightBit, QuotedPrintable };

    // A reply line longer than this, or a reply (with its "250-" lines)
    // longer than MaxReply, is taken as a broken or hostile server.
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    static constexpr qsizetype MaxReply = 1024 * 1024;

    // What the owner has to do after an event.
    struct Reaction {
        QByteArray toSend;
        bool startTls = false;  // encrypt the connection, then call encrypted()
        bool startData = false; // write dataWriter()'s section, after toSend
        bool close = false;
        Outcome outcome = Outcome::Running;
        QString reply; // the failing reply (or time-out text), when Failed
    };

    void start(const Message& message, Security security = Security::Plain,
               const Account& account = {});
    // The EHLO argument: this end's address literal, e.g. "[127.0.0.1]".
    void setClientAddress(const QByteArray& literal) { m_clientAddress = literal; }

    Reaction dataArrived(QByteArrayView bytes);
    // The STARTTLS handshake is done.
    Reaction encrypted();
    // No reply came in time: the send ends (as sent, if the data was
    // already accepted).
    Reaction timedOut(const QString& description);
    // The socket failed: Sent if the data was already accepted, otherwise
    // Running with nothing to do (the owner reports the socket's error).
    Reaction socketFailed();

    // The data section, for the owner to write after a startData reaction.
    SmtpDataWriter dataWriter() const;
    BodyEncoding bodyEncoding() const;

    // Complete replies received so far: the owner's reply timer measures
    // time without progress, not time without bytes.
    quint64 progress() const { return m_progress; }

    int step() const { return m_step; }
    bool running() const { return m_running; }
    bool dataAccepted() const { return m_dataAccepted; }
    // The data went out: the reply to its "." is awaited.
    bool awaitingDataReply() const { return m_running && m_step == 5; }

    // The address of an address field: what stands between the angle
    // brackets of "Name <address>", or else the trimmed text.
    static QString envelopeAddress(const QString& field);
    // An address that can go between angle brackets: no white space, no
    // angle bracket, no control character.
    static bool isUsableAddress(const QString& address);

    // The HELO argument: the sender's address before its first "@"; the
    // whole address without an "@"; "localhost" when that is empty.
    static QByteArray heloArgument(const QString& sender);

    // The plain dialogue's data section: the Subject line, an empty line,
    // the text, an empty line, the block, then ".". Every line ends in CR
    // LF, and a line that begins with "." gets another one.
    static QByteArray dataSection(const QString& subject, const QString& text,
                                  const QByteArray& attachment);

    // A reason to refuse the send before anything goes out, or empty.
    static QString fieldProblem(const QString& host, const QString& sender,
                                const QString& recipient, const QString& subject);

private:
    enum class Phase {
        Greeting,
        Ehlo,
        StartTls,
        Upgrading,
        EhloAgain,
        AuthPlain,
        AuthLoginUser,
        AuthLoginPassword,
        AuthLoginDone,
        Mail,
        Rcpt,
        Data,
        DataReply,
        Quit,
    };

    void onReply(const QByteArray& reply, Reaction& reaction);
    void onPlainReply(const QByteArray& reply, Reaction& reaction);
    void onSecureReply(const QByteArray& reply, Reaction& reaction);
    void readCapabilities(const QByteArray& reply);
    void authenticateOrMail(Reaction& reaction);
    void mailFrom(Reaction& reaction);
    void ehlo(Reaction& reaction, Phase next);
    void finish(Reaction& reaction, Outcome outcome, const QString& reply = {});
    void tooLong(Reaction& reaction, bool line);

    Message m_message;
    Security m_security = Security::Plain;
    Account m_account;
    QByteArray m_clientAddress = "[127.0.0.1]";
    QByteArray m_pending; // received bytes not yet part of a complete reply
    qsizetype m_replyStart = 0;
    quint64 m_progress = 0;
    Phase m_phase = Phase::Greeting;
    int m_step = 0;
    bool m_running = false;
    bool m_dataAccepted = false;
    bool m_encrypted = false;
    // What the last EHLO reply offered.
    bool m_offersStartTls = false;
    bool m_offersPlain = false;
    bool m_offersLogin = false;
    bool m_offers8Bit = false;
};
