#include "pages/wellness/BreakPageRules.h"

#include "wellness/LocalCalendar.h"

#include <QDateTime>

#include <algorithm>
#include <climits>
#include <cmath>

namespace qv::breakpage {

Phase phaseOf(const ReminderState &s)
{
    if (s.isOnBreak)
        return Phase::onBreak;
    return s.isEnabled ? Phase::working : Phase::paused;
}

QString phaseTitle(const ReminderState &s)
{
    switch (phaseOf(s)) {
    case Phase::onBreak:
        return QStringLiteral("Break in progress");
    case Phase::working:
        return QStringLiteral("Next break");
    case Phase::paused:
        break;
    }
    return QStringLiteral("Timer paused");
}

QString phaseSymbol(const ReminderState &s)
{
    return phaseOf(s) == Phase::onBreak ? QStringLiteral("eye") : QStringLiteral("timer");
}

QString countdownText(const ReminderState &s)
{
    int seconds = 0;
    switch (phaseOf(s)) {
    case Phase::onBreak:
        seconds = s.breakSecondsRemaining;
        break;
    case Phase::working:
        seconds = s.secondsUntilBreak;
        break;
    case Phase::paused:
        return QStringLiteral("--:--");
    }
    seconds = std::max(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

double dialProgress(const ReminderState &s)
{
    switch (phaseOf(s)) {
    case Phase::onBreak:
        return 1.0 - double(std::max(s.breakSecondsRemaining, 0)) / double(std::max(s.breakDurationSeconds, 1));
    case Phase::working: {
        const double interval = std::max(double(s.workIntervalMinutes) * 60.0, 1.0);
        double p = 1.0 - double(std::max(s.secondsUntilBreak, 0)) / interval;
        p = std::min(p, 1.0);
        return p < 0 ? 0.0 : p;
    }
    case Phase::paused:
        break;
    }
    return 0.0;
}

QString statusCaption(const ReminderState &s)
{
    switch (phaseOf(s)) {
    case Phase::onBreak:
        return QStringLiteral("Look away and let your eyes soften.");
    case Phase::paused:
        return QStringLiteral("Turn reminders on when you are ready for a steady break rhythm.");
    case Phase::working:
        break;
    }
    if (qint64(s.secondsUntilBreak) > qint64(s.workIntervalMinutes) * 60)
        return QStringLiteral("Timer extended for this focus block.");
    if (s.secondsUntilBreak <= 60)
        return QStringLiteral("Almost time to look into the distance.");
    if (s.secondsUntilBreak <= 300)
        return QStringLiteral("Finish this thought, then rest your eyes.");
    return QStringLiteral("Small pauses keep long sessions comfortable.");
}

QString rhythmText(int workIntervalMinutes)
{
    return QStringLiteral("%1 min rhythm").arg(workIntervalMinutes);
}

double ringProgress(int breaksTaken, int goal)
{
    const double divisor = goal > 1 ? double(goal) : 1.0;
    return std::clamp(double(breaksTaken) / divisor, 0.0, 1.0);
}

QString ringPercentText(double progress)
{
    if (!std::isfinite(progress))
        return numbertext::dash();
    const double percent = std::trunc(std::clamp(progress, 0.0, 1.0) * 100.0);
    return QStringLiteral("%1%").arg(qint64(percent));
}

QString scoreNote(double score)
{
    if (!std::isfinite(score))
        return numbertext::dash();
    if (score >= 80)
        return QStringLiteral("Great rhythm");
    if (score >= 60)
        return QStringLiteral("Steady progress");
    if (score >= 40)
        return QStringLiteral("Warming up");
    return QStringLiteral("First steps");
}

QString streakDetail(int days)
{
    return days == 1 ? QStringLiteral("day in rhythm") : QStringLiteral("days in rhythm");
}

QString plannedDetail(int goal)
{
    return QStringLiteral("of %1 planned").arg(goal);
}

QList<WeekDay> weekDays(const QList<double> &levels, const QDateTime &now, const QLocale &locale)
{
    const QDate today = localCalendar::dateOf(now);
    // The C locale's narrow names are digits; its other names are English.
    const QLocale names = locale.language() == QLocale::C ? QLocale(QLocale::English) : locale;
    QList<WeekDay> days;
    for (int i = 0; i < 7; ++i) {
        QDate date = today.addDays(i - 6);
        if (!date.isValid())
            date = today;
        const double level = levels.value(i, 0.0);
        days.append({i, names.dayName(date.dayOfWeek(), QLocale::NarrowFormat), level > 0.05});
    }
    return days;
}

int weekSum(const QList<int> &counts)
{
    qint64 sum = 0;
    for (int c : counts)
        sum += c;
    return int(std::clamp<qint64>(sum, INT_MIN, INT_MAX));
}

qreal weekBarHeight(double level, qreal chartHeight)
{
    const double height = std::isfinite(level) ? chartHeight * level : 0.0;
    return std::clamp<qreal>(height, kWeekBarMinimumHeight, std::max(chartHeight, kWeekBarMinimumHeight));
}

} // namespace qv::breakpage
