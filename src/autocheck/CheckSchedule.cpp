#include "autocheck/CheckSchedule.h"

#include <QDateTime>

#include <algorithm>

namespace
{
qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

CheckSchedule::CheckSchedule(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CheckSchedule::tick);
}

void CheckSchedule::start(int intervalSeconds, int firstMs)
{
    m_active = true;
    m_intervalSeconds = intervalSeconds;
    m_dueAt = now() + firstMs;
    arm();
}

void CheckSchedule::stop()
{
    m_active = false;
    m_dueAt = 0;
    m_timer.stop();
}

void CheckSchedule::checkEnded()
{
    if (!m_active)
        return;
    m_dueAt = now() + qint64(m_intervalSeconds) * 1000;
    arm();
}

void CheckSchedule::bringForward(int ms)
{
    if (!m_active || m_dueAt == 0)
        return;
    m_dueAt = std::min(m_dueAt, now() + ms);
    arm();
}

bool CheckSchedule::overdue() const
{
    return m_active && m_dueAt != 0 && now() >= m_dueAt;
}

void CheckSchedule::arm()
{
    const qint64 wait = std::clamp<qint64>(m_dueAt - now(), 0, LongestSleepMs);
    m_timer.start(int(wait));
}

void CheckSchedule::tick()
{
    if (!m_active || m_dueAt == 0)
        return;
    // The coarse timer may fire a little early.
    if (m_dueAt - now() > 50) {
        arm();
        return;
    }
    m_dueAt = 0;
    emit due();
}
