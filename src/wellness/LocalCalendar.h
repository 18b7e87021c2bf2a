#pragma once

#include "runtime/Scheduler.h"

#include <QDate>
#include <QDateTime>

#include <functional>

namespace qv {

// Days of the user's local calendar (the current time zone, daylight saving included).
namespace localCalendar {
// The local date of a moment.
QDate dateOf(const QDateTime &moment);
// The first moment of a local date (midnight, or the first moment that exists that day).
QDateTime startOfDay(const QDate &date);
// The start of the local day after the one holding now.
QDateTime nextMidnight(const QDateTime &now);
} // namespace localCalendar

// Calls a function once each time the local date changes: armed for the next local
// midnight on the scheduler, and re-armed after every call. A timer that fires early is
// re-armed for what remains; one that fires late still reports the new day once.
class LocalMidnightTimer {
public:
    void start(QObject *owner, std::function<void()> onNewDay);
    void stop();

private:
    void arm();
    void fired();

    QObject *m_owner = nullptr;
    std::function<void()> m_onNewDay;
    QDate m_day;
    TaskHandle m_task;
};

} // namespace qv
