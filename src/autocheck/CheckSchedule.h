#pragma once
// When the next automatic check is due. The due time is held on the wall
// clock: a timer of the monotonic kind stands still while the machine
// sleeps, so the wait is cut into pieces of at most a minute, and each
// piece compares with the wall clock. After a wake-up the check that is
// due runs within a minute, and between checks the program sleeps.

#include <QObject>
#include <QTimer>

class CheckSchedule : public QObject
{
    Q_OBJECT
public:
    static constexpr int LongestSleepMs = 60000;

    explicit CheckSchedule(QObject* parent = nullptr);

    // The first check after `firstMs`, then one every `intervalSeconds`.
    void start(int intervalSeconds, int firstMs);
    void stop();
    // The check that was due has ended: the next one is an interval away.
    void checkEnded();
    // Due within `ms` (the network came back, say), unless sooner already.
    void bringForward(int ms);

    bool active() const { return m_active; }
    int intervalSeconds() const { return m_intervalSeconds; }
    // Milliseconds since the epoch; 0 while a check runs or when stopped.
    qint64 dueAt() const { return m_dueAt; }
    bool overdue() const;

signals:
    void due();

private:
    void arm();
    void tick();

    QTimer m_timer;
    bool m_active = false;
    int m_intervalSeconds = 0;
    qint64 m_dueAt = 0;
};
