#pragma once

#include "wellness/SessionEvent.h"

#include <QDateTime>
#include <QList>

namespace qv {

// The daily and weekly figures of the session history, computed from its events on the
// user's local calendar at one moment. Only taken breaks and activity minutes count;
// started and skipped breaks, and every event's duration, are ignored.
struct SessionStatistics {
    int breaksTakenToday = 0;        // taken breaks at or after the start of today
    double activeSecondsToday = 0;   // activity events at or after the start of today, times 60
    int breakScore = 100;            // today's eye-care score, 0 to 100
    QList<int> lastSevenDaysBreakCounts{0, 0, 0, 0, 0, 0, 0};     // index 0 six days ago, 6 today
    QList<double> lastSevenDaysBreakLevels{0, 0, 0, 0, 0, 0, 0};  // counts over the largest count
    int streakDays = 0;              // consecutive days with a taken break, back from today

    static SessionStatistics compute(const QList<SessionEvent> &events, const QDateTime &now);

    // The score from today's activity minutes and taken breaks: one break is expected per
    // 20 active minutes (at least one); 15 for none taken, 100 from 100 % of them.
    static int score(int activityEventsToday, int breaksTakenToday);

    bool operator==(const SessionStatistics &) const = default;
};

} // namespace qv
