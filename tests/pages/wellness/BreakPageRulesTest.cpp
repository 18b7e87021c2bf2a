#include "pages/wellness/BreakPageRules.h"
#include "support/TimeZoneGuard.h"
#include "wellness/BreakReminder.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

using namespace qv;
using namespace qv::breakpage;

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

ReminderState working(int seconds, int minutes = 20)
{
    return {.isEnabled = true, .secondsUntilBreak = seconds, .workIntervalMinutes = minutes};
}

ReminderState onBreak(int left, int duration, bool enabled = true)
{
    return {.isEnabled = enabled, .isOnBreak = true, .secondsUntilBreak = 1200, .breakSecondsRemaining = left,
            .breakDurationSeconds = duration};
}

TEST(BreakPageRules, ARunningBreakWinsEvenWithRemindersOff)
{
    const ReminderState off{.secondsUntilBreak = 600};
    const ReminderState breakWhileOff = onBreak(5, 20, false);
    EXPECT_EQ(phaseTitle(breakWhileOff), "Break in progress");
    EXPECT_EQ(phaseSymbol(breakWhileOff), "eye");
    EXPECT_EQ(countdownText(breakWhileOff), "00:05");
    EXPECT_TRUE(isActive(breakWhileOff));
    EXPECT_DOUBLE_EQ(dialProgress(breakWhileOff), 0.75);
    EXPECT_EQ(statusCaption(breakWhileOff), "Look away and let your eyes soften.");

    EXPECT_EQ(phaseTitle(off), "Timer paused");
    EXPECT_EQ(phaseSymbol(off), "timer");
    EXPECT_EQ(countdownText(off), "--:--");
    EXPECT_FALSE(isActive(off));
    EXPECT_EQ(dialProgress(off), 0.0);
    EXPECT_EQ(statusCaption(off), "Turn reminders on when you are ready for a steady break rhythm.");

    EXPECT_EQ(phaseTitle(working(600)), "Next break");
    EXPECT_EQ(phaseSymbol(working(600)), "timer");
}

TEST(BreakPageRules, CountdownTextAndDialProgressOfTheWorkPhase)
{
    struct Case {
        int seconds;
        int minutes;
        const char *text;
        double progress;
    };
    const Case cases[] = {
        {1200, 20, "20:00", 0.0}, {600, 20, "10:00", 0.5},  {0, 20, "00:00", 1.0},
        {-5, 20, "00:00", 1.0},   {1500, 20, "25:00", 0.0}, {3900, 20, "65:00", 0.0},
        {59, 1, "00:59", 1.0 / 60}, {INT_MAX, 20, "35791394:07", 0.0},
        // A stored interval outside the offered ones.
        {750, 25, "12:30", 0.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(countdownText(working(c.seconds, c.minutes)), c.text);
        EXPECT_NEAR(dialProgress(working(c.seconds, c.minutes)), c.progress, 1e-12);
    }
    // An interval of 0 minutes counts as one second.
    EXPECT_EQ(dialProgress(working(0, 0)), 1.0);
}

TEST(BreakPageRules, BreakProgressIsLeftForTheDialToClamp)
{
    EXPECT_DOUBLE_EQ(dialProgress(onBreak(20, 20)), 0.0);
    EXPECT_DOUBLE_EQ(dialProgress(onBreak(0, 20)), 1.0);
    // The length lowered during the break: more left than the new length.
    EXPECT_DOUBLE_EQ(dialProgress(onBreak(30, 20)), -0.5);
    EXPECT_DOUBLE_EQ(dialProgress(onBreak(-3, 20)), 1.0);
    EXPECT_EQ(countdownText(onBreak(-3, 20)), "00:00");
    EXPECT_DOUBLE_EQ(dialProgress(onBreak(1, 0)), 0.0);
}

TEST(BreakPageRules, CaptionsOfTheWorkPhaseByTimeLeft)
{
    struct Case {
        int seconds;
        const char *caption;
    };
    const Case cases[] = {{1201, "Timer extended for this focus block."},
                          {1200, "Small pauses keep long sessions comfortable."},
                          {301, "Small pauses keep long sessions comfortable."},
                          {300, "Finish this thought, then rest your eyes."},
                          {61, "Finish this thought, then rest your eyes."},
                          {60, "Almost time to look into the distance."},
                          {-1, "Almost time to look into the distance."}};
    for (const Case &c : cases)
        EXPECT_EQ(statusCaption(working(c.seconds)), c.caption) << c.seconds;
    EXPECT_EQ(rhythmText(20), "20 min rhythm");
    EXPECT_EQ(rhythmText(25), "25 min rhythm");
}

TEST(BreakPageRules, QuickActionsAddTheirFullAmountWithoutWrapping)
{
    int seconds = 1200;
    for (int i = 0; i < 3; ++i)
        seconds = BreakReminder::saturated(qint64(seconds) + 300);
    EXPECT_EQ(seconds, 2100);
    EXPECT_EQ(BreakReminder::saturated(qint64(BreakReminder::saturated(0 + 3600)) + 3600), 7200);
    EXPECT_EQ(BreakReminder::saturated(qint64(INT_MAX - 100) + 300), INT_MAX);
}

TEST(BreakPageRules, RingPercentageIsTruncatedAndHeldToAFullRing)
{
    struct Case {
        int breaks;
        int goal;
        const char *text;
    };
    const Case cases[] = {{0, 8, "0%"}, {7, 8, "87%"}, {8, 8, "100%"}, {11, 8, "100%"},
                          {1, 3, "33%"}, {2, 3, "66%"}, {1, 0, "100%"}, {1, -4, "100%"}, {-2, 8, "0%"}};
    for (const Case &c : cases)
        EXPECT_EQ(ringPercentText(ringProgress(c.breaks, c.goal)), c.text) << c.breaks << "/" << c.goal;
    EXPECT_EQ(ringProgress(11, 8), 1.0);
    for (double bad : {kNotANumber, kInfinity, -kInfinity})
        EXPECT_EQ(ringPercentText(bad), "\u2014");
}

TEST(BreakPageRules, ScoreNotesStreakWordingAndNumbers)
{
    struct Case {
        double score;
        const char *note;
    };
    const Case cases[] = {{100, "Great rhythm"},   {80, "Great rhythm"},    {79, "Steady progress"},
                          {60, "Steady progress"}, {59, "Warming up"},      {40, "Warming up"},
                          {39, "First steps"},     {15, "First steps"},     {kNotANumber, "\u2014"}};
    for (const Case &c : cases)
        EXPECT_EQ(scoreNote(c.score), c.note) << c.score;

    EXPECT_EQ(streakDetail(1), "day in rhythm");
    EXPECT_EQ(streakDetail(0), "days in rhythm");
    EXPECT_EQ(streakDetail(2), "days in rhythm");
    EXPECT_EQ(plannedDetail(8), "of 8 planned");

    EXPECT_EQ(wholeNumberText(87.5), "88");
    EXPECT_EQ(wholeNumberText(-2.5), "-3");
    EXPECT_EQ(wholeNumberText(kNotANumber), "\u2014");
    EXPECT_EQ(wholeNumberText(kInfinity), "\u2014");
    EXPECT_EQ(wholeNumberText(1e300), "\u2014");
}

TEST(BreakPageRules, WeekMarksEndTodayAndAreActiveAboveOneTwentieth)
{
    test::TimeZoneGuard tz("Europe/Berlin");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    // Wednesday 6 May 2026: the week runs Thursday ... Wednesday.
    const QDateTime now(QDate(2026, 5, 6), QTime(0, 30), Qt::LocalTime);
    const QList<WeekDay> days = weekDays({0, 0.05, 0.0501, 1, kNotANumber, 0.5, 0.2}, now, english);
    ASSERT_EQ(days.size(), 7);
    QStringList labels;
    QList<bool> active;
    for (const WeekDay &d : days) {
        labels << d.label;
        active << d.active;
    }
    EXPECT_EQ(labels, (QStringList{"T", "F", "S", "S", "M", "T", "W"}));
    EXPECT_EQ(active, (QList<bool>{false, false, true, true, false, true, true}));
    EXPECT_EQ(days.last().day, 6);

    // The C locale's narrow names are digits: English ones stand in.
    EXPECT_EQ(weekDays(QList<double>(7, 0), now, QLocale::c()).last().label, "W");
    // Missing levels count as 0.
    EXPECT_FALSE(weekDays({}, now, english).first().active);
}

TEST(BreakPageRules, WeekBarsHaveAFloorAndTheChartHoldsAllSeven)
{
    EXPECT_EQ(weekBarHeight(0), 5);
    EXPECT_EQ(weekBarHeight(0.1), 5);
    EXPECT_EQ(weekBarHeight(0.5), 18);
    EXPECT_EQ(weekBarHeight(1), 36);
    EXPECT_EQ(weekBarHeight(7), 36);
    EXPECT_EQ(weekBarHeight(kNotANumber), 5);
    EXPECT_EQ(weekBarHeight(-1), 5);
    // Seven 6-point bars and six 4-point gaps.
    EXPECT_EQ(kWeekChartWidth, 66);

    EXPECT_EQ(weekSum({1, 2, 3, 0, 0, 4, 5}), 15);
    EXPECT_EQ(weekSum({}), 0);
    EXPECT_EQ(weekSum({INT_MAX, INT_MAX}), INT_MAX);
}

} // namespace
