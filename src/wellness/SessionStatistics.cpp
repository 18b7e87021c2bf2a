#include "wellness/SessionStatistics.h"

#include "runtime/Json.h"
#include "wellness/LocalCalendar.h"

#include <QSet>

#include <algorithm>

namespace qv {

int SessionStatistics::score(int activityEventsToday, int breaksTakenToday)
{
    if (activityEventsToday == 0)
        return 100;
    const double expected = std::max(1.0, double(activityEventsToday) / 20.0);
    const double ratio = std::min(1.2, double(breaksTakenToday) / expected);
    return int(std::min(100.0, ratio * 85.0 + 15.0));
}

SessionStatistics SessionStatistics::compute(const QList<SessionEvent> &events, const QDateTime &now)
{
    // One pass. "Today" is compared as a number (seconds since the reference date); only
    // taken breaks, a small share of the events, are placed on their local calendar day,
    // which keeps 23- and 25-hour days right without a time-zone look-up per event.
    const QDate today = localCalendar::dateOf(now);
    const double todayStart = json::secondsSinceReferenceDate(localCalendar::startOfDay(today));
    // An event after today (a clock that was set back) is not today's.
    const double tomorrowStart = json::secondsSinceReferenceDate(localCalendar::startOfDay(today.addDays(1)));
    const auto isToday = [&](double timestamp) { return timestamp >= todayStart && timestamp < tomorrowStart; };

    SessionStatistics s;
    int activityToday = 0;
    QSet<qint64> breakDays;
    // The local day of the latest taken break placed, as a window of reference seconds:
    // events come mostly in time order, so most breaks fall into the window at hand.
    QDate windowDay;
    double windowStart = 0, windowEnd = 0;
    for (const SessionEvent &event : events) {
        switch (event.type) {
        case SessionEvent::EventType::activity:
            if (isToday(event.timestamp))
                ++activityToday;
            break;
        case SessionEvent::EventType::breakTaken: {
            if (isToday(event.timestamp))
                ++s.breaksTakenToday;
            if (!(event.timestamp >= windowStart && event.timestamp < windowEnd)) {
                windowDay = localCalendar::dateOf(event.date());
                windowStart = json::secondsSinceReferenceDate(localCalendar::startOfDay(windowDay));
                // date() rounds to whole milliseconds: a timestamp less than half a
                // millisecond before midnight still belongs to the day that ends there.
                if (event.timestamp < windowStart) {
                    windowDay = windowDay.addDays(-1);
                    windowStart = json::secondsSinceReferenceDate(localCalendar::startOfDay(windowDay));
                }
                windowEnd = json::secondsSinceReferenceDate(localCalendar::startOfDay(windowDay.addDays(1)));
            }
            const QDate day = windowDay;
            breakDays.insert(day.toJulianDay());
            const qint64 daysAgo = day.daysTo(today);
            if (daysAgo >= 0 && daysAgo <= 6)
                ++s.lastSevenDaysBreakCounts[6 - daysAgo];
            break;
        }
        case SessionEvent::EventType::breakSkipped:
        case SessionEvent::EventType::breakStarted:
            break;
        }
    }

    s.activeSecondsToday = double(activityToday) * 60.0;
    s.breakScore = score(activityToday, s.breaksTakenToday);

    const int largest = *std::max_element(s.lastSevenDaysBreakCounts.cbegin(), s.lastSevenDaysBreakCounts.cend());
    const double divisor = largest > 0 ? double(largest) : 1.0;
    for (int i = 0; i < 7; ++i)
        s.lastSevenDaysBreakLevels[i] = double(s.lastSevenDaysBreakCounts[i]) / divisor;

    // A day without a break yet today does not end the streak: it starts with yesterday.
    qint64 day = today.toJulianDay();
    if (!breakDays.contains(day))
        --day;
    while (breakDays.contains(day)) {
        ++s.streakDays;
        --day;
    }
    return s;
}

} // namespace qv
