#pragma once

#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "wellness/LocalCalendar.h"
#include "wellness/ReminderMode.h"

#include <QDate>
#include <QObject>

#include <algorithm>
#include <limits>
#include <QString>

namespace qv {

class BreakPresenter;

// The 20-20-20 schedule: a work countdown that holds itself at full length while the
// user is away, a break presented as the user chose, today's completed breaks and screen
// time, and the user's choices in the defaults store. Every started and completed break
// and every active minute is recorded into the session history.
class BreakReminder : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setIsEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(int workIntervalMinutes READ workIntervalMinutes WRITE setWorkIntervalMinutes NOTIFY workIntervalMinutesChanged)
    Q_PROPERTY(int breakDurationSeconds READ breakDurationSeconds WRITE setBreakDurationSeconds NOTIFY breakDurationSecondsChanged)
    Q_PROPERTY(int lookAwayDistanceFeet READ lookAwayDistanceFeet WRITE setLookAwayDistanceFeet NOTIFY lookAwayDistanceFeetChanged)
    Q_PROPERTY(qv::ReminderModes::ReminderMode reminderMode READ reminderMode WRITE setReminderMode NOTIFY reminderModeChanged)
    Q_PROPERTY(bool idleDetectionEnabled READ idleDetectionEnabled WRITE setIdleDetectionEnabled NOTIFY idleDetectionEnabledChanged)
    Q_PROPERTY(double idleThresholdSeconds READ idleThresholdSeconds WRITE setIdleThresholdSeconds NOTIFY idleThresholdSecondsChanged)
    Q_PROPERTY(int dailyBreakGoal READ dailyBreakGoal CONSTANT)
    Q_PROPERTY(int secondsUntilBreak READ secondsUntilBreak WRITE setSecondsUntilBreak NOTIFY secondsUntilBreakChanged)
    Q_PROPERTY(bool isOnBreak READ isOnBreak NOTIFY isOnBreakChanged)
    Q_PROPERTY(int breakSecondsRemaining READ breakSecondsRemaining NOTIFY breakSecondsRemainingChanged)
    Q_PROPERTY(int totalBreaksTakenToday READ totalBreaksTakenToday NOTIFY totalBreaksTakenTodayChanged)
    Q_PROPERTY(double totalScreenTimeToday READ totalScreenTimeToday NOTIFY totalScreenTimeTodayChanged)
    Q_PROPERTY(QString formattedTimeUntilBreak READ formattedTimeUntilBreak NOTIFY secondsUntilBreakChanged)
    Q_PROPERTY(QString formattedScreenTimeToday READ formattedScreenTimeToday NOTIFY totalScreenTimeTodayChanged)

public:
    static constexpr qint64 kTickMs = 1000;
    static constexpr qint64 kScreenTimeTickMs = 60'000;
    // The screen-time sampler's own idle limit, whatever the idle threshold says.
    static constexpr double kScreenTimeIdleLimitSeconds = 120.0;
    static constexpr int kSnoozeSeconds = 300;
    static constexpr int kPauseSeconds = 3600;

    // presenter shows the breaks (not owned; it must outlive the reminder). Without one,
    // breaks run unseen.
    explicit BreakReminder(BreakPresenter *presenter = nullptr, QObject *parent = nullptr);
    ~BreakReminder() override;

    bool isEnabled() const { return m_isEnabled; }
    void setIsEnabled(bool enabled);
    int workIntervalMinutes() const { return m_workIntervalMinutes; }
    void setWorkIntervalMinutes(int minutes);
    int breakDurationSeconds() const { return m_breakDurationSeconds; }
    void setBreakDurationSeconds(int seconds);
    int lookAwayDistanceFeet() const { return m_lookAwayDistanceFeet; }
    void setLookAwayDistanceFeet(int feet);
    ReminderMode reminderMode() const { return m_reminderMode; }
    void setReminderMode(ReminderMode mode);
    bool idleDetectionEnabled() const { return m_idleDetectionEnabled; }
    void setIdleDetectionEnabled(bool enabled);
    double idleThresholdSeconds() const { return m_idleThresholdSeconds; }
    void setIdleThresholdSeconds(double seconds);
    int dailyBreakGoal() const { return m_dailyBreakGoal; }
    int secondsUntilBreak() const { return m_secondsUntilBreak; }
    // Moves the running countdown (the break controls); no timer is touched.
    void setSecondsUntilBreak(int seconds);
    bool isOnBreak() const { return m_isOnBreak; }
    int breakSecondsRemaining() const { return m_breakSecondsRemaining; }
    int totalBreaksTakenToday() const { return m_totalBreaksTakenToday; }
    double totalScreenTimeToday() const { return m_totalScreenTimeToday; }

    // "%d:%02d" of the countdown (minutes and seconds).
    QString formattedTimeUntilBreak() const;
    // Today's screen time as "59m" below an hour, else "2h 1m".
    QString formattedScreenTimeToday() const;

    // Restarts the work countdown at the full interval.
    Q_INVOKABLE void startWorkTimer();
    // Stops the work and break countdowns.
    Q_INVOKABLE void stopTimers();
    // Begins a break now, whether or not reminders are on.
    Q_INVOKABLE void startBreak();
    // Ends the running break: completed when its countdown ran out; false for Esc,
    // "Skip Break", a break replaced by a new one, and reminders switched off.
    Q_INVOKABLE void endBreak(bool completed);
    Q_INVOKABLE void skipBreak() { endBreak(false); }
    // Countdown adjustments of the break controls.
    // Repeated snoozes stop at the largest countdown instead of wrapping round.
    Q_INVOKABLE void snooze() { setSecondsUntilBreak(saturated(qint64(m_secondsUntilBreak) + kSnoozeSeconds)); }
    Q_INVOKABLE void pause() { setSecondsUntilBreak(saturated(qint64(m_secondsUntilBreak) + kPauseSeconds)); }
    Q_INVOKABLE void resetCountdown() { setSecondsUntilBreak(saturated(qint64(m_workIntervalMinutes) * 60)); }

    static QString formatTimeUntilBreak(int seconds);
    // A count of seconds held within what the countdown can hold.
    static int saturated(qint64 seconds)
    {
        return int(std::clamp<qint64>(seconds, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    static QString formatScreenTime(double seconds);

signals:
    void isEnabledChanged();
    void workIntervalMinutesChanged();
    void breakDurationSecondsChanged();
    void lookAwayDistanceFeetChanged();
    void reminderModeChanged();
    void idleDetectionEnabledChanged();
    void idleThresholdSecondsChanged();
    void secondsUntilBreakChanged();
    void isOnBreakChanged();
    void breakSecondsRemainingChanged();
    void totalBreaksTakenTodayChanged();
    void totalScreenTimeTodayChanged();

private:
    void showBreakOverlay();
    void sendBreakNotification();
    void startScreenTimeTracking();
    void workTick();
    // Sets the running countdown back to its full length while the user is idle beyond
    // the threshold; whether it did.
    bool holdWhileIdle();
    void breakTick();
    void screenTimeTick();
    double idleSeconds() const;
    void setIsOnBreak(bool onBreak);
    void setBreakSecondsRemaining(int seconds);
    void setTotalBreaksTakenToday(int count);
    void setTotalScreenTimeToday(double seconds);
    // Today's counters start again when the local date has moved on.
    void rollOverIfNewDay();

    Logger m_logger{"BreakReminder"};
    BreakPresenter *m_presenter;
    bool m_isEnabled = false;
    int m_workIntervalMinutes = 20;
    int m_breakDurationSeconds = 20;
    int m_lookAwayDistanceFeet = 20;
    ReminderMode m_reminderMode = ReminderMode::fullScreen;
    bool m_idleDetectionEnabled = true;
    double m_idleThresholdSeconds = 120.0;
    int m_dailyBreakGoal = 8;
    int m_secondsUntilBreak = 1200;
    bool m_isOnBreak = false;
    int m_breakSecondsRemaining = 20;
    int m_totalBreaksTakenToday = 0;
    double m_totalScreenTimeToday = 0.0;
    TaskHandle m_workTimer;
    TaskHandle m_breakTimer;
    TaskHandle m_screenTimeTimer;
    quint64 m_breakWindow = 0; // the open break panel's id, 0 for none

    QDate m_countersDay; // the local day today's counters belong to
    LocalMidnightTimer m_midnight;
};

} // namespace qv
