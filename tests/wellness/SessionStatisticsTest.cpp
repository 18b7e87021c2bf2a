#include "support/TestEnvironment.h"
#include "wellness/SessionHistory.h"
#include "wellness/SessionStatistics.h"
#include "WellnessTestSupport.h"

#include "runtime/Files.h"
#include "runtime/Json.h"

using namespace qv;
using namespace qv::test;
using Type = SessionEvent::EventType;

namespace {

QList<SessionEvent> repeated(const QDateTime &start, Type type, int count, qint64 duration = 60)
{
    QList<SessionEvent> events;
    for (int i = 0; i < count; ++i)
        events << eventAt(start.addSecs(60 * i), type, duration);
    return events;
}

} // namespace

TEST(SessionStatistics, EmptyHistoryScoresFullAndCountsNothing)
{
    TimeZoneGuard tz("Europe/Berlin");
    const SessionStatistics s = SessionStatistics::compute({}, local(2026, 5, 6, 12, 0));
    EXPECT_EQ(s.breaksTakenToday, 0);
    EXPECT_EQ(s.activeSecondsToday, 0.0);
    EXPECT_EQ(s.breakScore, 100);
    EXPECT_EQ(s.lastSevenDaysBreakCounts, QList<int>(7, 0));
    EXPECT_EQ(s.lastSevenDaysBreakLevels, QList<double>(7, 0.0));
    EXPECT_EQ(s.streakDays, 0);
}

TEST(SessionStatistics, ScoreFromTodaysActivityAndBreaks)
{
    TimeZoneGuard tz("Europe/Berlin");
    struct Case {
        int activity, breaks, score;
    };
    const QList<Case> cases{{0, 3, 100}, {20, 0, 15}, {40, 1, 57}, {10, 1, 100},
                            {100, 3, 66}, {20, 5, 100}, {60, 2, 71}};
    const QDateTime now = local(2026, 5, 6, 18, 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 activity, %2 breaks").arg(c.activity).arg(c.breaks).toStdString());
        QList<SessionEvent> events = repeated(local(2026, 5, 6, 8, 0), Type::activity, c.activity, 7);
        events += repeated(local(2026, 5, 6, 9, 0), Type::breakTaken, c.breaks, 20);
        // Yesterday's activity and started or skipped breaks do not count.
        events += repeated(local(2026, 5, 5, 8, 0), Type::activity, 50);
        events += repeated(local(2026, 5, 6, 9, 0), Type::breakStarted, 4, 0);
        events += repeated(local(2026, 5, 6, 9, 0), Type::breakSkipped, 4, 0);
        const SessionStatistics s = SessionStatistics::compute(events, now);
        EXPECT_EQ(s.breakScore, c.score);
        EXPECT_EQ(s.breaksTakenToday, c.breaks);
        EXPECT_EQ(s.activeSecondsToday, c.activity * 60.0);
    }
}

TEST(SessionStatistics, StreakCountsBackFromTodayOrYesterday)
{
    TimeZoneGuard tz("Europe/Berlin");
    const QDate today(2026, 5, 6);
    struct Case {
        const char *name;
        QList<int> daysAgoWithBreaks;
        int streak;
    };
    const QList<Case> cases{
        {"yesterday and the day before, none today", {1, 2}, 2},
        {"today only", {0}, 1},
        {"today and two days ago", {0, 2}, 1},
        {"neither today nor yesterday", {2, 3, 4}, 0},
        {"ten days in a row", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<SessionEvent> events;
        for (int daysAgo : c.daysAgoWithBreaks)
            events << eventAt(QDateTime(today.addDays(-daysAgo), QTime(10, 0), Qt::LocalTime), Type::breakTaken, 20);
        EXPECT_EQ(SessionStatistics::compute(events, local(2026, 5, 6, 8, 0)).streakDays, c.streak);
    }
}

TEST(SessionStatistics, SevenDayCountsAndLevels)
{
    TimeZoneGuard tz("Europe/Berlin");
    QList<SessionEvent> events;
    events += repeated(local(2026, 5, 2, 10, 0), Type::breakTaken, 2, 20);  // four days ago
    events += repeated(local(2026, 5, 6, 10, 0), Type::breakTaken, 4, 20);  // today
    events += repeated(local(2026, 4, 29, 10, 0), Type::breakTaken, 9, 20); // seven days ago: outside
    const SessionStatistics s = SessionStatistics::compute(events, local(2026, 5, 6, 12, 0));
    EXPECT_EQ(s.lastSevenDaysBreakCounts, (QList<int>{0, 0, 2, 0, 0, 0, 4}));
    EXPECT_EQ(s.lastSevenDaysBreakLevels, (QList<double>{0, 0, 0.5, 0, 0, 0, 1.0}));
}

TEST(SessionStatistics, DaysFollowTheLocalCalendarAcrossMidnightAndDaylightSaving)
{
    TimeZoneGuard tz("Europe/Berlin");
    // 29 March 2026 has 23 hours in Berlin, 25 October 2026 has 25.
    struct Case {
        const char *name;
        QDateTime now;
        QList<QDateTime> breaks;
        QList<int> counts;
        int today;
    };
    const QList<Case> cases{
        {"23:59 belongs to its day, 00:00 to the next",
         local(2026, 5, 6, 12, 0),
         {local(2026, 5, 5, 23, 59, 59), local(2026, 5, 6, 0, 0)},
         {0, 0, 0, 0, 0, 1, 1},
         1},
        {"a 23-hour day holds 00:00 to 23:59",
         local(2026, 3, 30, 12, 0),
         {local(2026, 3, 29, 0, 0), local(2026, 3, 29, 1, 59), local(2026, 3, 29, 3, 0),
          local(2026, 3, 29, 23, 59, 59), local(2026, 3, 30, 0, 0)},
         {0, 0, 0, 0, 0, 4, 1},
         1},
        {"a 25-hour day holds both 02:30s and 23:59",
         local(2026, 10, 26, 0, 30),
         {QDateTime::fromSecsSinceEpoch(1792888200) /* 02:30 CEST */,
          QDateTime::fromSecsSinceEpoch(1792891800) /* 02:30 CET */,
          local(2026, 10, 25, 23, 59, 59), local(2026, 10, 24, 23, 59, 59)},
         {0, 0, 0, 0, 1, 3, 0},
         0},
        {"a week that spans the change",
         local(2026, 4, 2, 0, 10),
         {local(2026, 3, 27, 0, 0), local(2026, 3, 29, 12, 0), local(2026, 4, 2, 0, 5)},
         {1, 0, 1, 0, 0, 0, 1},
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<SessionEvent> events;
        for (const QDateTime &when : c.breaks)
            events << eventAt(when, Type::breakTaken, 20);
        const SessionStatistics s = SessionStatistics::compute(events, c.now);
        EXPECT_EQ(s.lastSevenDaysBreakCounts, c.counts);
        EXPECT_EQ(s.breaksTakenToday, c.today);
    }
    // The Berlin offsets really are different on either side of the change.
    EXPECT_EQ(local(2026, 3, 29, 0, 0).secsTo(local(2026, 3, 30, 0, 0)), 23 * 3600);
    EXPECT_EQ(local(2026, 10, 25, 0, 0).secsTo(local(2026, 10, 26, 0, 0)), 25 * 3600);
}

TEST(SessionStatistics, TodayStartsAtLocalMidnightNotUtcMidnight)
{
    TimeZoneGuard tz("America/New_York");
    // 21:00 in New York is already the next day in UTC.
    const QList<SessionEvent> events{eventAt(local(2026, 5, 6, 0, 30), Type::activity, 60),
                                     eventAt(local(2026, 5, 6, 21, 0), Type::breakTaken, 20),
                                     eventAt(local(2026, 5, 5, 23, 30), Type::activity, 60)};
    const SessionStatistics s = SessionStatistics::compute(events, local(2026, 5, 6, 23, 0));
    EXPECT_EQ(s.breaksTakenToday, 1);
    EXPECT_EQ(s.activeSecondsToday, 60.0);
    EXPECT_EQ(s.lastSevenDaysBreakCounts.last(), 1);
    EXPECT_EQ(s.streakDays, 1);
}

// Events dated after today (a clock set back since) are not today's.
TEST(SessionStatistics, EventsAfterTodayAreNotCountedAsToday)
{
    TimeZoneGuard tz("Europe/Berlin");
    const QList<SessionEvent> events{eventAt(local(2026, 5, 7, 0, 0), Type::breakTaken, 20),
                                     eventAt(local(2026, 6, 1, 9, 0), Type::activity, 60),
                                     eventAt(local(2026, 5, 6, 23, 59), Type::breakTaken, 20)};
    const SessionStatistics s = SessionStatistics::compute(events, local(2026, 5, 6, 12, 0));
    EXPECT_EQ(s.breaksTakenToday, 1);
    EXPECT_EQ(s.activeSecondsToday, 0.0);
    EXPECT_EQ(s.breakScore, 100);
    EXPECT_EQ(s.lastSevenDaysBreakCounts.last(), 1);
}

class SessionHistoryStatisticsTest : public QvTest {};

TEST_F(SessionHistoryStatisticsTest, FiguresFollowTheClockIntoANewDay)
{
    TimeZoneGuard tz("Europe/Berlin");
    clock->setNow(local(2026, 3, 28, 23, 58));
    SessionHistory &history = SessionHistory::shared();
    int changes = 0;
    QObject::connect(&history, &SessionHistory::statisticsChanged, [&] { ++changes; });

    history.recordBreakTaken(20);
    for (int i = 0; i < 90; ++i)
        history.recordActivityMinute();
    EXPECT_EQ(history.breaksTakenToday(), 1);
    EXPECT_EQ(history.activeSecondsToday(), 5400.0);
    EXPECT_EQ(history.streakDays(), 1);
    EXPECT_EQ(changes, 91);

    // The day ends while nothing is recorded: the figures move on and observers hear it.
    advance(3 * 60'000);
    EXPECT_EQ(changes, 92);
    EXPECT_EQ(history.breaksTakenToday(), 0);
    EXPECT_EQ(history.activeSecondsToday(), 0.0);
    EXPECT_EQ(history.breakScore(), 100);
    EXPECT_EQ(history.streakDays(), 1);
    EXPECT_EQ(history.lastSevenDaysBreakCounts(), (QList<int>{0, 0, 0, 0, 0, 1, 0}));

    // The next midnight comes 23 hours after the last one on this day.
    advance(23 * 3600'000 - 61'000);
    EXPECT_EQ(changes, 92);
    advance(1000);
    EXPECT_EQ(changes, 93);
    EXPECT_EQ(history.lastSevenDaysBreakCounts(), (QList<int>{0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(history.streakDays(), 0);
}

TEST(SessionStatistics, ABreakAFractionOfAMillisecondBeforeMidnightBelongsToItsDay)
{
    // Files of the earlier version hold timestamps finer than a millisecond.
    TimeZoneGuard tz("Europe/Berlin");
    const double midnight = json::secondsSinceReferenceDate(local(2026, 5, 6, 0, 0));
    struct Case {
        double offset;
        QList<int> counts;
        int today;
    };
    const QList<Case> cases{{-0.0004, {0, 0, 0, 0, 0, 1, 0}, 0},
                            {-0.0006, {0, 0, 0, 0, 0, 1, 0}, 0},
                            {0.0, {0, 0, 0, 0, 0, 0, 1}, 1},
                            {0.0004, {0, 0, 0, 0, 0, 0, 1}, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.offset);
        const SessionStatistics s =
            SessionStatistics::compute({{midnight + c.offset, Type::breakTaken, 20}}, local(2026, 5, 6, 12, 0));
        EXPECT_EQ(s.lastSevenDaysBreakCounts, c.counts);
        EXPECT_EQ(s.breaksTakenToday, c.today);
    }
}
