#pragma once
// The dialogue of an automatic check, without a socket: greeting, USER,
// PASS, STAT, UIDL, then for each new message LIST and RETR, then QUIT. A
// server that refuses UIDL is asked "TOP n 0" for the newest messages
// instead, and the SHA-256 digest of each header block stands in for the
// id. A message too large to fetch is announced from its header ("TOP n 0").
// The owner feeds it the data as it arrives, in any cut, and carries out the
// actions.
//
// Its bounds are its own, whatever the server claims: a listing, an id, a
// header block and a message each have a largest size, and past it the
// check fails (or, for a large message, takes its header only).
//
// New messages are stored at indices 0 upward, in ascending order, as a
// session of the mailbox window stores them.

#include "autocheck/NewMail.h"
#include "pop3/Pop3Action.h"

#include <QByteArray>
#include <QString>

class CheckDialogue
{
public:
    enum class Outcome {
        Running,
        Done,         // every wanted message is in; QUIT went out
        Failed,       // refused reply, broken data, lost connection, a bound passed
        LoginRefused, // USER or PASS refused for the account: do not try again on your own
        NoIds,        // neither UIDL nor TOP: new mail cannot be told
    };

    static constexpr int MaxMessages = 51;
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    // A UIDL listing past either bound (the whole reply), or a mailbox that
    // STAT says holds more, fails the check, and nothing of it is recorded.
    static constexpr int MaxListingLines = 100000;
    static constexpr qsizetype MaxListingBytes = 8 * 1024 * 1024;
    // The reply to "TOP n 0": one header block.
    static constexpr qsizetype MaxHeaderBytes = 1024 * 1024;
    // A message larger than this (by LIST or by the RETR status line) is
    // announced from its header alone; Connect fetches it whole.
    static constexpr qsizetype MaxFetchedBytes = 25 * 1024 * 1024;

    // `seen`: the ids at the last completed check, none on the first.
    void start(const QString& user, const QString& password, std::optional<QSet<QByteArray>> seen);

    Pop3Actions receive(const QByteArray& data);
    Pop3Actions connectionFailed(const QString& reason);

    bool running() const { return m_running; }
    Outcome outcome() const { return m_outcome; }
    // Complete replies so far: the owner's idle timer counts from the last.
    quint64 progress() const { return m_progress; }
    // Once the outcome is Done: what was chosen and what is on the server.
    const NewMail::Choice& choice() const { return m_choice; }
    bool usedDigests() const { return m_digests; }
    int messageCount() const { return m_count; }

    // Whether a refusal of USER or PASS is about the account. "-ERR [IN-USE]"
    // (another client holds the mailbox) and "-ERR [SYS/TEMP]" are passing
    // states: only "[AUTH]", or a refusal without a response code, is.
    static bool refusesAccount(QByteArrayView reply);

private:
    enum class Step {
        Greeting,
        User,
        Pass,
        Stat,
        Uidl,
        Top,       // "TOP n 0" of the newest messages, for their digests
        List,      // "LIST n" of the next new message: its size
        Retr,      // its RETR reply, kept
        Oversized, // a RETR reply that announced a message too large: read to its end, dropped
        Header,    // "TOP n 0" of a message too large to fetch
        Quit,
    };

    Pop3Actions handleLine(const QByteArray& line);
    Pop3Actions handleBody(QByteArray reply, qsizetype statusEnd);
    Pop3Actions beginBody(qsizetype statusEnd);
    Pop3Actions dropOversized();
    Pop3Actions afterListing();
    Pop3Actions fetchNext();
    Pop3Actions fetchHeader(const QString& why);
    Pop3Actions store(QByteArray reply);
    Pop3Actions nextMessage(Pop3Actions out);
    Pop3Actions fail(const QByteArray& why, Outcome outcome = Outcome::Failed);
    void send(Pop3Actions& out, const QByteArray& command, const QString& logged);
    void sendQuit(Pop3Actions& out);
    bool multiLine() const
    {
        return m_step == Step::Uidl || m_step == Step::Top || m_step == Step::Retr ||
               m_step == Step::Header;
    }
    qsizetype replyLimit() const;
    QByteArray parseUidl(QByteArrayView body);
    int currentNumber() const { return m_choice.fetch[m_fetched]; }

    QString m_user;
    QString m_password;
    std::optional<QSet<QByteArray>> m_seen;
    bool m_running = false;
    Outcome m_outcome = Outcome::Running;
    Step m_step = Step::Greeting;
    int m_count = 0;
    int m_topNumber = 0;
    qsizetype m_fetched = 0;      // index into m_choice.fetch of the message being fetched
    int m_stored = 0;             // messages handed over so far: the next one's index
    qint64 m_listedSize = -1;     // LIST's size of it, -1 when not told
    qsizetype m_messageLimit = 0; // how far its RETR reply may grow
    qsizetype m_dropped = 0;      // Oversized: bytes read and dropped so far
    bool m_digests = false;
    bool m_inBody = false;     // the +OK of a multi-line reply has come
    qsizetype m_statusEnd = 0; // its LF
    qsizetype m_scanFrom = 0;
    quint64 m_progress = 0;
    QByteArray m_buffer;
    QList<NewMail::Listed> m_listing;
    NewMail::Choice m_choice;
};
