#pragma once
// The dialogue of an automatic check, without a socket: greeting, USER,
// PASS, STAT, UIDL, then RETR of the new messages only, then QUIT. A server
// that refuses UIDL is asked "TOP n 0" for each message instead, and the
// SHA-256 digest of the header block stands in for the id. The owner feeds
// it the data as it arrives, in any cut, and carries out the actions.
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
        Failed,       // refused reply, broken data, lost connection
        LoginRefused, // -ERR to USER or PASS: do not try again on your own
        NoIds,        // neither UIDL nor TOP: new mail cannot be told
    };

    static constexpr int MaxMessages = 51;
    static constexpr qsizetype MaxReplyLine = 64 * 1024;
    static constexpr qsizetype MaxIdLength = 512;

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

private:
    enum class Step { Greeting, User, Pass, Stat, Uidl, Top, Retr, Quit };

    Pop3Actions handleLine(const QByteArray& line);
    Pop3Actions handleBody(QByteArray reply, qsizetype statusEnd);
    Pop3Actions afterListing();
    Pop3Actions fetchNext();
    Pop3Actions fail(const QByteArray& why, Outcome outcome = Outcome::Failed);
    void send(Pop3Actions& out, const QByteArray& command, const QString& logged);
    void sendQuit(Pop3Actions& out);
    bool multiLine() const
    {
        return m_step == Step::Uidl || m_step == Step::Top || m_step == Step::Retr;
    }
    qsizetype bodyLimit() const;
    void parseUidl(QByteArrayView body);

    QString m_user;
    QString m_password;
    std::optional<QSet<QByteArray>> m_seen;
    bool m_running = false;
    Outcome m_outcome = Outcome::Running;
    Step m_step = Step::Greeting;
    int m_count = 0;
    int m_topNumber = 0;
    qsizetype m_fetched = 0; // index into m_choice.fetch of the RETR out
    bool m_digests = false;
    bool m_inBody = false;     // the +OK of a multi-line reply has come
    qsizetype m_statusEnd = 0; // its LF
    qsizetype m_scanFrom = 0;
    quint64 m_progress = 0;
    QByteArray m_buffer;
    QList<NewMail::Listed> m_listing;
    NewMail::Choice m_choice;
};
