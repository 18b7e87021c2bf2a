#include "wellness/BreakReminder.h"

#include "platform/Idle.h"
#include "platform/Platform.h"
#include "runtime/Settings.h"
#include "runtime/UserDefaults.h"
#include "wellness/BreakPresenter.h"
#include "wellness/SessionHistory.h"

#include <algorithm>
#include <climits>

namespace qv {

namespace {
const QString kEnabledKey = settings::breakReminderEnabled.name();
const QString kWorkIntervalKey = settings::workIntervalMinutes.name();
const QString kBreakDurationKey = settings::breakDurationSeconds.name();
const QString kReminderModeKey = settings::reminderMode.name();
const QString kLookAwayDistanceKey = settings::lookAwayDistanceFeet.name();

// Breaks run unseen until a presenter is given.
class SilentBreakPresenter final : public BreakPresenter {
public:
    void requestNotificationAuthorization() override {}
    quint64 showBreakOverlay(BreakReminder &) override { return 0; }
    void removeEscMonitors(quint64) override {}
    void closeBreakOverlay(quint64) override {}
    void sendBreakNotification(BreakReminder &) override {}
};

BreakPresenter &silentPresenter()
{
    static SilentBreakPresenter presenter;
    return presenter;
}

// Records into the history from a later turn, so that a record lands just after the
// operation that caused it.
void recordLater(std::function<void(SessionHistory &)> record)
{
    SessionHistory &history = SessionHistory::shared();
    scheduler().post(&history, [&history, record = std::move(record)] { record(history); });
}
} // namespace

BreakReminder::BreakReminder(BreakPresenter *presenter, QObject *parent)
    : QObject(parent), m_presenter(presenter ? presenter : &silentPresenter())
{
    UserDefaults &defaults = UserDefaults::standard();

    const qint64 storedInterval = defaults.integerForKey(kWorkIntervalKey);
    if (storedInterval >= 1)
        setWorkIntervalMinutes(int(std::min<qint64>(storedInterval, INT_MAX)));
    const qint64 storedDuration = defaults.integerForKey(kBreakDurationKey);
    if (storedDuration >= 1)
        setBreakDurationSeconds(int(std::min<qint64>(storedDuration, INT_MAX)));
    if (const auto text = defaults.stringValue(kReminderModeKey))
        if (const auto mode = reminderModeFromRawValue(*text))
            setReminderMode(*mode);

    m_secondsUntilBreak = m_workIntervalMinutes * 60;

    m_presenter->requestNotificationAuthorization();

    m_countersDay = localCalendar::dateOf(scheduler().now());
    scheduler().post(this, [this] {
        const SessionHistory &history = SessionHistory::shared();
        m_countersDay = localCalendar::dateOf(scheduler().now());
        setTotalBreaksTakenToday(history.breaksTakenToday());
        setTotalScreenTimeToday(history.activeSecondsToday());
    });
    m_midnight.start(this, [this] { rollOverIfNewDay(); });

    // The user going idle is acted on as it is told, not only at the next tick: a user
    // known to be idle beyond the threshold holds the countdown from the start.
    if (Idle *idle = platform().idle)
        connect(idle, &Idle::idleStarted, this, &BreakReminder::holdWhileIdle);

    setIsEnabled(defaults.boolForKey(kEnabledKey));

    startScreenTimeTracking();
}

BreakReminder::~BreakReminder()
{
    m_workTimer.cancel();
    m_breakTimer.cancel();
    m_screenTimeTimer.cancel();
    m_midnight.stop();
}

// ---- settings ----

void BreakReminder::setIsEnabled(bool enabled)
{
    const bool changed = m_isEnabled != enabled;
    m_isEnabled = enabled;
    if (changed)
        emit isEnabledChanged();
    if (enabled) {
        startWorkTimer();
    } else {
        stopTimers();
        // A break whose countdown was just stopped would otherwise never end: without a
        // panel to skip (notification, menu bar, no screen) it ends here, uncounted. An
        // open panel stays until Esc or "Skip Break".
        if (m_isOnBreak && m_breakWindow == 0)
            endBreak(false);
    }
    UserDefaults::standard().setBool(kEnabledKey, enabled);
}

void BreakReminder::setWorkIntervalMinutes(int minutes)
{
    // The countdown counts seconds in an int: the interval in seconds must fit.
    minutes = std::clamp(minutes, INT_MIN / 60, INT_MAX / 60);
    const bool changed = m_workIntervalMinutes != minutes;
    m_workIntervalMinutes = minutes;
    if (changed)
        emit workIntervalMinutesChanged();
    UserDefaults::standard().setInteger(kWorkIntervalKey, minutes);
    if (m_isEnabled)
        startWorkTimer();
}

void BreakReminder::setBreakDurationSeconds(int seconds)
{
    const bool changed = m_breakDurationSeconds != seconds;
    m_breakDurationSeconds = seconds;
    if (changed)
        emit breakDurationSecondsChanged();
    // The running break keeps its countdown; when it completes it is recorded with the
    // new length.
    if (changed && m_isOnBreak)
        m_logger.info("Break length changed to %d s during a break: %d s of this break remain", seconds,
                      m_breakSecondsRemaining);
    UserDefaults::standard().setInteger(kBreakDurationKey, seconds);
}

void BreakReminder::setLookAwayDistanceFeet(int feet)
{
    const bool changed = m_lookAwayDistanceFeet != feet;
    m_lookAwayDistanceFeet = feet;
    if (changed)
        emit lookAwayDistanceFeetChanged();
    UserDefaults::standard().setInteger(kLookAwayDistanceKey, feet);
}

void BreakReminder::setReminderMode(ReminderMode mode)
{
    const bool changed = m_reminderMode != mode;
    m_reminderMode = mode;
    if (changed)
        emit reminderModeChanged();
    UserDefaults::standard().setString(kReminderModeKey, rawValue(mode));
}

void BreakReminder::setIdleDetectionEnabled(bool enabled)
{
    if (m_idleDetectionEnabled == enabled)
        return;
    m_idleDetectionEnabled = enabled;
    emit idleDetectionEnabledChanged();
}

void BreakReminder::setIdleThresholdSeconds(double seconds)
{
    if (m_idleThresholdSeconds == seconds)
        return;
    m_idleThresholdSeconds = seconds;
    emit idleThresholdSecondsChanged();
}

void BreakReminder::setSecondsUntilBreak(int seconds)
{
    if (m_secondsUntilBreak == seconds)
        return;
    m_secondsUntilBreak = seconds;
    emit secondsUntilBreakChanged();
}

void BreakReminder::setIsOnBreak(bool onBreak)
{
    if (m_isOnBreak == onBreak)
        return;
    m_isOnBreak = onBreak;
    emit isOnBreakChanged();
}

void BreakReminder::setBreakSecondsRemaining(int seconds)
{
    if (m_breakSecondsRemaining == seconds)
        return;
    m_breakSecondsRemaining = seconds;
    emit breakSecondsRemainingChanged();
}

void BreakReminder::setTotalBreaksTakenToday(int count)
{
    if (m_totalBreaksTakenToday == count)
        return;
    m_totalBreaksTakenToday = count;
    emit totalBreaksTakenTodayChanged();
}

void BreakReminder::setTotalScreenTimeToday(double seconds)
{
    if (m_totalScreenTimeToday == seconds)
        return;
    m_totalScreenTimeToday = seconds;
    emit totalScreenTimeTodayChanged();
}

// ---- texts ----

QString BreakReminder::formatTimeUntilBreak(int seconds)
{
    return QString::asprintf("%d:%02d", seconds / 60, seconds % 60);
}

QString BreakReminder::formatScreenTime(double seconds)
{
    const qint64 s = qint64(seconds);
    const qint64 m = (s % 3600) / 60;
    if (s < 3600)
        return QStringLiteral("%1m").arg(m);
    return QStringLiteral("%1h %2m").arg(s / 3600).arg(m);
}

QString BreakReminder::formattedTimeUntilBreak() const
{
    return formatTimeUntilBreak(m_secondsUntilBreak);
}

QString BreakReminder::formattedScreenTimeToday() const
{
    return formatScreenTime(m_totalScreenTimeToday);
}

// ---- the schedule ----

double BreakReminder::idleSeconds() const
{
    Idle *idle = platform().idle;
    return idle ? idle->secondsSinceLastInputEvent() : 0.0;
}

void BreakReminder::startWorkTimer()
{
    m_workTimer.cancel();
    setSecondsUntilBreak(m_workIntervalMinutes * 60);
    m_workTimer = scheduler().every(kTickMs, this, [this] { workTick(); });
}

bool BreakReminder::holdWhileIdle()
{
    // An idle spell counts as rest: the countdown is held at its full length.
    if (!m_workTimer.isActive() || !m_idleDetectionEnabled || idleSeconds() <= m_idleThresholdSeconds)
        return false;
    setSecondsUntilBreak(m_workIntervalMinutes * 60);
    return true;
}

void BreakReminder::workTick()
{
    if (holdWhileIdle())
        return;
    setSecondsUntilBreak(m_secondsUntilBreak - 1);
    if (m_secondsUntilBreak < 1)
        startBreak();
}

void BreakReminder::stopTimers()
{
    m_workTimer.cancel();
    m_workTimer = TaskHandle();
    m_breakTimer.cancel();
    m_breakTimer = TaskHandle();
}

void BreakReminder::startBreak()
{
    m_workTimer.cancel();
    if (m_breakWindow != 0)
        endBreak(false);
    setIsOnBreak(true);
    setBreakSecondsRemaining(m_breakDurationSeconds);
    recordLater([](SessionHistory &history) { history.recordBreakStarted(); });

    switch (m_reminderMode) {
    case ReminderMode::fullScreen:
        showBreakOverlay();
        break;
    case ReminderMode::notification:
        sendBreakNotification();
        break;
    case ReminderMode::menuBarOnly:
        break;
    }

    m_breakTimer.cancel();
    m_breakTimer = scheduler().every(kTickMs, this, [this] { breakTick(); });
}

void BreakReminder::breakTick()
{
    setBreakSecondsRemaining(m_breakSecondsRemaining - 1);
    if (m_breakSecondsRemaining < 1)
        endBreak(true);
}

void BreakReminder::endBreak(bool completed)
{
    m_breakTimer.cancel();
    m_breakTimer = TaskHandle();
    setIsOnBreak(false);

    if (completed) {
        rollOverIfNewDay();
        setTotalBreaksTakenToday(m_totalBreaksTakenToday + 1);
        const qint64 duration = m_breakDurationSeconds;
        recordLater([duration](SessionHistory &history) { history.recordBreakTaken(duration); });
    }

    const quint64 panel = m_breakWindow;
    m_breakWindow = 0;
    if (panel != 0)
        m_presenter->removeEscMonitors(panel);

    // After the current event, so that the key or click that ended the break finishes
    // before its panel goes away.
    scheduler().post(this, [this, panel] {
        if (panel != 0)
            m_presenter->closeBreakOverlay(panel);
        if (m_isEnabled)
            startWorkTimer();
    });
}

void BreakReminder::showBreakOverlay()
{
    m_breakWindow = m_presenter->showBreakOverlay(*this);
}

void BreakReminder::sendBreakNotification()
{
    m_presenter->sendBreakNotification(*this);
}

// ---- screen time ----

void BreakReminder::startScreenTimeTracking()
{
    m_screenTimeTimer.cancel();
    m_screenTimeTimer = scheduler().every(kScreenTimeTickMs, this, [this] { screenTimeTick(); });
}

void BreakReminder::screenTimeTick()
{
    if (idleSeconds() >= kScreenTimeIdleLimitSeconds)
        return;
    rollOverIfNewDay();
    setTotalScreenTimeToday(m_totalScreenTimeToday + 60.0);
    recordLater([](SessionHistory &history) { history.recordActivityMinute(); });
}

void BreakReminder::rollOverIfNewDay()
{
    const QDate today = localCalendar::dateOf(scheduler().now());
    if (today == m_countersDay)
        return;
    m_countersDay = today;
    setTotalBreaksTakenToday(0);
    setTotalScreenTimeToday(0.0);
}

} // namespace qv
