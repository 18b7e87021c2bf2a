#include "wellness/LocalCalendar.h"

namespace qv {

namespace localCalendar {

QDate dateOf(const QDateTime &moment)
{
    return moment.toLocalTime().date();
}

QDateTime startOfDay(const QDate &date)
{
    return date.startOfDay(Qt::LocalTime);
}

QDateTime nextMidnight(const QDateTime &now)
{
    return startOfDay(dateOf(now).addDays(1));
}

} // namespace localCalendar

void LocalMidnightTimer::start(QObject *owner, std::function<void()> onNewDay)
{
    m_owner = owner;
    m_onNewDay = std::move(onNewDay);
    m_day = localCalendar::dateOf(scheduler().now());
    arm();
}

void LocalMidnightTimer::stop()
{
    m_task.cancel();
    m_task = TaskHandle();
}

void LocalMidnightTimer::arm()
{
    m_task.cancel();
    const QDateTime now = scheduler().now();
    const qint64 delay = std::max<qint64>(1, now.msecsTo(localCalendar::nextMidnight(now)));
    m_task = scheduler().after(delay, m_owner, [this] { fired(); });
}

void LocalMidnightTimer::fired()
{
    const QDate today = localCalendar::dateOf(scheduler().now());
    const bool newDay = today != m_day;
    m_day = today;
    arm();
    if (newDay && m_onNewDay)
        m_onNewDay();
}

} // namespace qv
