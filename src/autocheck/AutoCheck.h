#pragma once
// The automatic check: at start-up and then every interval it logs in,
// lists the unique ids, fetches only the messages that are new since its
// last completed check of the account, and tells about them once. It owns
// its own connection, which never asks anything: an untrusted certificate
// or a password that would go unencrypted fails the check with the reason.
// Nothing it does shows a box; what happened goes to the protocol log, the
// tray icon's tooltip and, for new mail or a refused password, one notice.

#include "autocheck/CheckDialogue.h"
#include "autocheck/CheckSchedule.h"
#include "autocheck/NewMailNotifier.h"
#include "autocheck/SeenIdStore.h"
#include "net/MailConnection.h"

#include <QObject>
#include <QPointer>

#include <functional>

class AutoCheck : public QObject
{
    Q_OBJECT
public:
    // The first check comes this soon after start-up or after an OK.
    static constexpr int FirstCheckMs = 5000;
    // A check that falls due while another session runs looks again this
    // often.
    static constexpr int BusyRetryMs = 1000;
    static constexpr int IdleTimeoutMs = 60000;
    // A check ends within this, whatever the server does: beside the idle
    // time-out, which a server that answers each command just in time never
    // meets.
    static constexpr int CheckDeadlineMs = 120000;
    static constexpr int NoticeLines = 5;
    // The notice about a refused password quotes this much of the server.
    static constexpr int QuotedReplyLength = 200;

    explicit AutoCheck(QObject* parent = nullptr);

    void setNotifier(NewMailNotifier* notifier) { m_notifier = notifier; }
    // Whether another POP3 session is running right now.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    void setStore(const SeenIdStore& store) { m_store = store; }
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    void setCheckDeadline(int ms) { m_deadlineMs = ms; }
    void setFirstCheckDelay(int ms) { m_firstCheckMs = ms; }

    // Turns checking on (seconds > 0 and a server set) or off. Also ends a
    // pause after a refused password or a server without ids.
    void configure(const QString& server, const QString& user, const QString& password,
                   int seconds);
    // Another session starts: a check still running ends here.
    void abort();

    bool enabled() const { return m_schedule.active(); }
    bool checkRunning() const { return m_dialogue.running(); }
    bool paused() const { return m_paused; }
    int checksRun() const { return m_checksRun; }
    QString toolTip() const { return m_toolTip; }
    CheckSchedule& schedule() { return m_schedule; }
    MailConnection& connection() { return m_connection; }

    // The tooltip with the setting off.
    static QString idleToolTip() { return QStringLiteral("Quillbeacon"); }
    // "1 new message" / "N new messages".
    static QString countText(int n);
    // "Name — Subject" lines, at most NoticeLines, then "and N more".
    static QString noticeBody(const QStringList& lines, int total);
    // A server's text as the refused-password notice quotes it: on one
    // line, at most QuotedReplyLength characters of it, "…" where cut.
    static QString quotedReply(const QString& text);

signals:
    // New messages, stored at indices 0 upward: the list starts afresh with
    // the first.
    void messageStored(int index, const QString& subject);
    // They are all in: the mailbox window slides in.
    void newMail(int count);
    void toolTipChanged(const QString& text);
    void checkEnded();

private:
    void due();
    void begin();
    void dataArrived();
    void runActions(const Pop3Actions& actions);
    void finish();
    void failed(const QByteArray& reason);
    void announce();
    void setToolTip(const QString& state);
    void networkChanged();
    void deadlinePassed();
    void released();

    MailConnection m_connection;
    CheckDialogue m_dialogue;
    CheckSchedule m_schedule;
    SeenIdStore m_store;
    QPointer<NewMailNotifier> m_notifier;
    std::function<bool()> m_busy;
    QTimer m_busyRetry;
    QTimer m_deadline;
    QString m_server;
    QString m_user;
    QString m_password;
    int m_idleTimeoutMs = IdleTimeoutMs;
    int m_firstCheckMs = FirstCheckMs;
    int m_deadlineMs = CheckDeadlineMs;
    bool m_paused = false;
    bool m_lastFailed = false;
    bool m_firstCheck = false;
    std::optional<QSet<QByteArray>> m_seenAtStart; // the ids the running check compares with
    int m_checksRun = 0;
    int m_generation = 0;
    QList<int> m_storedIndices;
    QString m_toolTip = idleToolTip();
};
