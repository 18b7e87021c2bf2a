#pragma once

#include "pages/wellness/NumberText.h"
#include "wellness/ReminderMode.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

class QDateTime;

namespace qv::breakpage {

// What the break page reads of the break schedule at one moment.
struct ReminderState {
    bool isEnabled = false;
    bool isOnBreak = false;
    int secondsUntilBreak = 0;
    int breakSecondsRemaining = 0;
    int workIntervalMinutes = 20;
    int breakDurationSeconds = 20;
};

// A running break wins over everything, whether reminders are on or off.
enum class Phase { onBreak, working, paused };
Phase phaseOf(const ReminderState &state);

// The dial's coloured look: reminders on or a break running.
inline bool isActive(const ReminderState &s) { return s.isEnabled || s.isOnBreak; }
QString phaseTitle(const ReminderState &state);
QString phaseSymbol(const ReminderState &state);
// "mm:ss" of the phase's seconds (negative counts as 0, minutes uncapped); "--:--" off.
QString countdownText(const ReminderState &state);
// How much of the phase has passed. A break's is not clamped (the dial clamps it); the
// work phase's is held to 0...1, so a countdown pushed past the interval shows 0.
double dialProgress(const ReminderState &state);
QString statusCaption(const ReminderState &state);
QString rhythmText(int workIntervalMinutes);

using numbertext::wholeNumberText;

// ---- the controls card ----

inline const QList<int> kWorkIntervals{20, 30, 45};
struct DurationOption {
    int seconds;
    const char *title;
};
inline const QList<DurationOption> kBreakDurations{{20, "20 sec"}, {60, "1 min"}, {180, "3 min"}};
struct StyleOption {
    ReminderMode mode;
    const char *symbol;
    const char *title;
};
inline const QList<StyleOption> kReminderStyles{{ReminderMode::fullScreen, "display", "Overlay"},
                                                {ReminderMode::notification, "bell", "Gentle"},
                                                {ReminderMode::menuBarOnly, "menubar.rectangle", "Menu bar"}};

// ---- the progress tiles ----

// The breaks ring: taken over the goal (a goal of 1 or less counts as 1), held to 0...1;
// 0 for a value that is not a number.
double ringProgress(int breaksTaken, int goal);
// The ring's centre text: the truncated percentage ("87%"), "—" when not a finite number.
QString ringPercentText(double progress);
QString scoreNote(double score);
QString streakDetail(int days);
QString plannedDetail(int goal);

struct WeekDay {
    int day;       // 0 six days ago ... 6 today
    QString label; // the narrow weekday name
    bool active;   // the day's level is above 0.05
};
// The seven marks of the week ending on now's local day.
QList<WeekDay> weekDays(const QList<double> &levels, const QDateTime &now, const QLocale &locale);
int weekSum(const QList<int> &counts);

// The week bars' area: seven 6-point bars with six 4-point gaps.
inline constexpr qreal kWeekBarWidth = 6;
inline constexpr qreal kWeekBarGap = 4;
inline constexpr qreal kWeekChartWidth = 7 * kWeekBarWidth + 6 * kWeekBarGap;
inline constexpr qreal kWeekChartHeight = 36;
inline constexpr qreal kWeekBarMinimumHeight = 5;
// A bar's height for its level: the chart's height times the level, at least 5 points
// and at most the chart's height.
qreal weekBarHeight(double level, qreal chartHeight = kWeekChartHeight);

} // namespace qv::breakpage
