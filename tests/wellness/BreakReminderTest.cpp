#include "support/TestEnvironment.h"
#include "wellness/BreakReminder.h"
#include "wellness/SessionHistory.h"
#include "WellnessTestSupport.h"

#include "runtime/Files.h"
#include "runtime/Shared.h"

#include <climits>
#include <memory>

using namespace qv;
using namespace qv::test;
using Type = SessionEvent::EventType;

namespace {

class BreakReminderTest : public QvTest {
protected:
    BreakReminder &makeReminder()
    {
        reminder = std::make_unique<BreakReminder>(&presenter);
        runPending();
        return *reminder;
    }
    // The history's events other than activity minutes, as "type duration".
    QStringList breakRecords() const
    {
        QStringList out;
        for (const SessionEvent &e : SessionHistory::shared().events())
            if (e.type != Type::activity)
                out << QStringLiteral("%1 %2").arg(SessionEvent::rawValue(e.type)).arg(e.durationSeconds);
        return out;
    }
    void seconds(int s) { advance(qint64(s) * 1000); }

    RecordingPresenter presenter;
    std::unique_ptr<BreakReminder> reminder;
};

} // namespace

TEST_F(BreakReminderTest, FirstStartWithNoStoredSettings)
{
    BreakReminder &r = makeReminder();
    EXPECT_FALSE(r.isEnabled());
    EXPECT_EQ(r.workIntervalMinutes(), 20);
    EXPECT_EQ(r.breakDurationSeconds(), 20);
    EXPECT_EQ(r.lookAwayDistanceFeet(), 20);
    EXPECT_EQ(r.reminderMode(), ReminderMode::fullScreen);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    EXPECT_EQ(r.dailyBreakGoal(), 8);
    EXPECT_EQ(defaults->boolValue("breakReminderEnabled"), false);
    EXPECT_FALSE(defaults->hasStoredValue("workIntervalMinutes"));
    EXPECT_EQ(presenter.calls, QStringList{"authorize"});

    // No countdown runs, but the screen-time sampler does.
    seconds(120);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    EXPECT_EQ(r.totalScreenTimeToday(), 120.0);
    EXPECT_EQ(SessionHistory::shared().events().size(), 2);
}

TEST_F(BreakReminderTest, StoredSettingsAreReadBackOnlyWhenValid)
{
    struct Case {
        QVariant interval, duration, mode;
        int expectedInterval, expectedDuration;
        ReminderMode expectedMode;
    };
    const QList<Case> cases{
        {0, -5, "Overlay", 20, 20, ReminderMode::fullScreen},
        {-3, 0, "menu bar flash", 20, 20, ReminderMode::fullScreen},
        {25, 45, "Menu Bar Flash", 25, 45, ReminderMode::menuBarOnly},
        {1, 1, "System Notification", 1, 1, ReminderMode::notification},
        {QVariant(), QVariant(), 3, 20, 20, ReminderMode::fullScreen},
        {qint64(1) << 40, qint64(1) << 40, "Full Screen Overlay", INT_MAX / 60, INT_MAX, ReminderMode::fullScreen},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode.toString().toStdString());
        for (const auto &[key, value] : {std::pair{"workIntervalMinutes", c.interval},
                                         {"breakDurationSeconds", c.duration}, {"reminderMode", c.mode}}) {
            if (value.isValid())
                defaults->set(key, value);
            else
                defaults->remove(key);
        }
        defaults->setBool("breakReminderEnabled", true);
        BreakReminder &r = makeReminder();
        EXPECT_EQ(r.workIntervalMinutes(), c.expectedInterval);
        EXPECT_EQ(r.breakDurationSeconds(), c.expectedDuration);
        EXPECT_EQ(r.reminderMode(), c.expectedMode);
        EXPECT_TRUE(r.isEnabled());
        EXPECT_EQ(r.secondsUntilBreak(), c.expectedInterval * 60);
        reminder.reset();
    }
}

TEST_F(BreakReminderTest, ChangesAreStoredAndTheIntervalRestartsTheCountdown)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(100);
    EXPECT_EQ(r.secondsUntilBreak(), 1100);
    r.setWorkIntervalMinutes(30);
    EXPECT_EQ(r.secondsUntilBreak(), 1800);
    r.setBreakDurationSeconds(40);
    r.setReminderMode(ReminderMode::notification);
    r.setLookAwayDistanceFeet(25);
    EXPECT_EQ(defaults->integerValue("workIntervalMinutes"), 30);
    EXPECT_EQ(defaults->integerValue("breakDurationSeconds"), 40);
    EXPECT_EQ(defaults->stringValue("reminderMode"), "System Notification");
    EXPECT_EQ(defaults->integerValue("lookAwayDistanceFeet"), 25);
    EXPECT_EQ(defaults->boolValue("breakReminderEnabled"), true);

    // After a restart the choices come back, except the distance.
    reminder.reset();
    restart();
    BreakReminder &again = makeReminder();
    EXPECT_TRUE(again.isEnabled());
    EXPECT_EQ(again.workIntervalMinutes(), 30);
    EXPECT_EQ(again.breakDurationSeconds(), 40);
    EXPECT_EQ(again.reminderMode(), ReminderMode::notification);
    EXPECT_EQ(again.lookAwayDistanceFeet(), 20);
}

TEST_F(BreakReminderTest, AFullIntervalLeadsToABreakThatEndsAndIsRecorded)
{
    BreakReminder &r = makeReminder();
    r.setReminderMode(ReminderMode::menuBarOnly);
    r.setIsEnabled(true);

    seconds(1199);
    EXPECT_EQ(r.secondsUntilBreak(), 1);
    EXPECT_EQ(r.formattedTimeUntilBreak(), "0:01");
    EXPECT_FALSE(r.isOnBreak());
    seconds(1);
    EXPECT_TRUE(r.isOnBreak());
    EXPECT_EQ(r.breakSecondsRemaining(), 20);
    EXPECT_EQ(breakRecords(), QStringList{"breakStarted 0"});
    EXPECT_EQ(presenter.calls, QStringList{"authorize"}); // this mode shows nothing

    seconds(19);
    EXPECT_TRUE(r.isOnBreak());
    EXPECT_EQ(r.breakSecondsRemaining(), 1);
    seconds(1);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(r.totalBreaksTakenToday(), 1);
    EXPECT_EQ(breakRecords(), (QStringList{"breakStarted 0", "breakTaken 20"}));
    EXPECT_EQ(r.secondsUntilBreak(), 1200);

    // The work countdown runs again; the activity minutes sit between the records in time order.
    seconds(1);
    EXPECT_EQ(r.secondsUntilBreak(), 1199);
    const QList<SessionEvent> &events = SessionHistory::shared().events();
    for (qsizetype i = 1; i < events.size(); ++i)
        EXPECT_LE(events[i - 1].timestamp, events[i].timestamp);
    EXPECT_EQ(events.size(), 2 + 20);
}

TEST_F(BreakReminderTest, IdleTimeHoldsTheCountdownAtItsFullLength)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(300);
    EXPECT_EQ(r.secondsUntilBreak(), 900);

    mac->setIdleSeconds(130);
    seconds(1);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    seconds(600);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    EXPECT_FALSE(r.isOnBreak());

    // A snooze is undone by the next idle tick.
    r.snooze();
    EXPECT_EQ(r.secondsUntilBreak(), 1500);
    seconds(1);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);

    // Exactly at the threshold the user still counts as present.
    mac->setIdleSeconds(120.0);
    seconds(10);
    EXPECT_EQ(r.secondsUntilBreak(), 1190);

    // With idle detection off, idleness is ignored.
    r.setIdleDetectionEnabled(false);
    mac->setIdleSeconds(1000);
    seconds(10);
    EXPECT_EQ(r.secondsUntilBreak(), 1180);
}

// Idle beyond the threshold as the reminder starts: held at its full length from the
// first tick, and no break however long the machine says idle. A user who goes idle is
// acted on as the machine tells it, before the next tick.
TEST_F(BreakReminderTest, IdleAtStartHoldsTheCountdownFromTheFirstTick)
{
    defaults->setBool("breakReminderEnabled", true);
    defaults->setInteger("workIntervalMinutes", 1);
    mac->setIdleSeconds(300);
    BreakReminder &r = makeReminder();
    seconds(1);
    EXPECT_EQ(r.secondsUntilBreak(), 60);
    seconds(3600);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(r.secondsUntilBreak(), 60);

    mac->setIdleSeconds(0);
    seconds(30);
    EXPECT_EQ(r.secondsUntilBreak(), 30);
    mac->setIdleSeconds(121);
    EXPECT_EQ(r.secondsUntilBreak(), 60) << "at once, not at the next tick";
    mac->setIdleSeconds(0);
    seconds(60);
    EXPECT_TRUE(r.isOnBreak());
}

TEST_F(BreakReminderTest, SnoozePauseAndResetMoveTheRunningCountdown)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(10);
    r.snooze();
    EXPECT_EQ(r.secondsUntilBreak(), 1490);
    seconds(1);
    EXPECT_EQ(r.secondsUntilBreak(), 1489);
    r.pause();
    EXPECT_EQ(r.secondsUntilBreak(), 5089);
    EXPECT_EQ(r.formattedTimeUntilBreak(), "84:49");
    r.resetCountdown();
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    seconds(1200);
    EXPECT_TRUE(r.isOnBreak());

    // Pushed to the largest countdown, a snooze stays there rather than wrapping round.
    r.endBreak(false);
    r.setSecondsUntilBreak(std::numeric_limits<int>::max() - 100);
    r.snooze();
    r.pause();
    EXPECT_EQ(r.secondsUntilBreak(), std::numeric_limits<int>::max());
}

TEST_F(BreakReminderTest, SkippingAFullScreenBreakRecordsNothingAndRestartsTheCountdown)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(1200);
    ASSERT_TRUE(r.isOnBreak());
    EXPECT_EQ(presenter.calls, (QStringList{"authorize", "show 1"}));
    seconds(5);

    r.skipBreak(); // what Esc and "Skip Break" do
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(presenter.calls.last(), "monitors off 1"); // the panel stays for this event
    runPending();
    EXPECT_EQ(presenter.calls.last(), "close 1");
    EXPECT_EQ(r.totalBreaksTakenToday(), 0);
    EXPECT_EQ(breakRecords(), QStringList{"breakStarted 0"});
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    seconds(30);
    EXPECT_EQ(r.secondsUntilBreak(), 1170);
    EXPECT_EQ(breakRecords(), QStringList{"breakStarted 0"});
}

TEST_F(BreakReminderTest, ABreakWithoutAScreenRunsUnseen)
{
    presenter.hasScreen = false;
    BreakReminder &r = makeReminder();
    r.startBreak();
    seconds(20);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(r.totalBreaksTakenToday(), 1);
    EXPECT_EQ(presenter.calls, QStringList{"authorize"});
}

TEST_F(BreakReminderTest, TheShortcutDuringAFullScreenBreakReplacesItWithANewOne)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(1205);
    ASSERT_EQ(r.breakSecondsRemaining(), 15);

    r.startBreak();
    EXPECT_TRUE(r.isOnBreak());
    EXPECT_EQ(r.breakSecondsRemaining(), 20);
    runPending();
    EXPECT_EQ(presenter.calls,
              (QStringList{"authorize", "show 1", "monitors off 1", "show 2", "close 1"}));
    EXPECT_EQ(breakRecords(), (QStringList{"breakStarted 0", "breakStarted 0"}));

    seconds(20);
    EXPECT_FALSE(r.isOnBreak());
    runPending();
    EXPECT_EQ(presenter.calls.mid(5), (QStringList{"monitors off 2", "close 2"}));
    EXPECT_EQ(breakRecords(), (QStringList{"breakStarted 0", "breakStarted 0", "breakTaken 20"}));
    EXPECT_EQ(r.totalBreaksTakenToday(), 1);
}

TEST_F(BreakReminderTest, TheShortcutDuringANotificationBreakRestartsItsOneCountdown)
{
    BreakReminder &r = makeReminder();
    r.setReminderMode(ReminderMode::notification);
    r.startBreak();
    EXPECT_EQ(presenter.calls, (QStringList{"authorize", "notify"}));
    seconds(10);
    r.startBreak();
    EXPECT_EQ(presenter.calls, (QStringList{"authorize", "notify", "notify"}));
    EXPECT_EQ(r.breakSecondsRemaining(), 20);
    seconds(19);
    EXPECT_TRUE(r.isOnBreak());
    EXPECT_EQ(r.breakSecondsRemaining(), 1);
    seconds(1);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(r.totalBreaksTakenToday(), 1);
    EXPECT_EQ(breakRecords(), (QStringList{"breakStarted 0", "breakStarted 0", "breakTaken 20"}));
}

TEST_F(BreakReminderTest, TheShortcutWithRemindersOffRunsABreakAndNoCountdownAfterIt)
{
    BreakReminder &r = makeReminder();
    r.setReminderMode(ReminderMode::menuBarOnly);
    r.startBreak();
    seconds(20);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(r.totalBreaksTakenToday(), 1);
    seconds(60);
    EXPECT_EQ(r.secondsUntilBreak(), 1200);
    EXPECT_FALSE(r.isOnBreak());
}

TEST_F(BreakReminderTest, SwitchingRemindersOffDuringABreakWithoutAPanelEndsItUncounted)
{
    struct Case {
        ReminderMode mode;
        bool hasScreen;
    };
    const QList<Case> cases{{ReminderMode::notification, true},
                            {ReminderMode::menuBarOnly, true},
                            {ReminderMode::fullScreen, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(rawValue(c.mode).toStdString());
        presenter.calls.clear();
        presenter.hasScreen = c.hasScreen;
        BreakReminder &r = makeReminder();
        r.setReminderMode(c.mode);
        r.setIsEnabled(true);
        seconds(1205);
        ASSERT_TRUE(r.isOnBreak());

        r.setIsEnabled(false);
        EXPECT_FALSE(r.isOnBreak());
        seconds(60);
        EXPECT_FALSE(r.isOnBreak());
        EXPECT_EQ(r.totalBreaksTakenToday(), 0);
        EXPECT_EQ(r.secondsUntilBreak(), 0); // no countdown starts again
        EXPECT_EQ(breakRecords(), QStringList{"breakStarted 0"});

        reminder.reset();
        resetSharedInstances();
        QFile::remove(SessionHistory::defaultStorePath());
    }
}

TEST_F(BreakReminderTest, SwitchingRemindersOffDuringAFullScreenBreakLeavesThePanelUntilSkipped)
{
    BreakReminder &r = makeReminder();
    r.setIsEnabled(true);
    seconds(1205);
    ASSERT_TRUE(r.isOnBreak());

    r.setIsEnabled(false);
    seconds(60);
    EXPECT_TRUE(r.isOnBreak());
    EXPECT_EQ(r.breakSecondsRemaining(), 15); // its countdown stopped
    EXPECT_EQ(presenter.calls, (QStringList{"authorize", "show 1"}));

    r.skipBreak();
    runPending();
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(presenter.calls.mid(2), (QStringList{"monitors off 1", "close 1"}));
    seconds(60);
    EXPECT_EQ(r.secondsUntilBreak(), 0); // no countdown starts again
    EXPECT_EQ(r.totalBreaksTakenToday(), 0);
    EXPECT_EQ(breakRecords(), QStringList{"breakStarted 0"});
}

TEST_F(BreakReminderTest, ABreakRecordsTheDurationInForceWhenItEnds)
{
    BreakReminder &r = makeReminder();
    r.setReminderMode(ReminderMode::menuBarOnly);
    r.startBreak();
    seconds(5);
    r.setBreakDurationSeconds(45); // reaches the next break, not the running one
    seconds(15);
    EXPECT_FALSE(r.isOnBreak());
    EXPECT_EQ(breakRecords(), (QStringList{"breakStarted 0", "breakTaken 45"}));
}

TEST_F(BreakReminderTest, ScreenTimeCountsMinutesWithTheFixedIdleLimit)
{
    BreakReminder &r = makeReminder();
    r.setIdleThresholdSeconds(10);
    mac->setIdleSeconds(119.9);
    seconds(60);
    EXPECT_EQ(r.totalScreenTimeToday(), 60.0);
    mac->setIdleSeconds(120.0);
    seconds(60);
    EXPECT_EQ(r.totalScreenTimeToday(), 60.0);
    EXPECT_EQ(SessionHistory::shared().events().size(), 1);
    EXPECT_EQ(SessionHistory::shared().events().first().durationSeconds, 60);
}

TEST_F(BreakReminderTest, TodaysCountersStartFromTheHistoryAndAgainAtLocalMidnight)
{
    TimeZoneGuard tz("Europe/Berlin");
    clock->setNow(local(2026, 3, 28, 23, 50));
    QList<SessionEvent> stored;
    for (int i = 0; i < 30; ++i)
        stored << eventAt(local(2026, 3, 28, 9, i), Type::activity, 60);
    stored << eventAt(local(2026, 3, 28, 10, 0), Type::breakTaken, 20)
           << eventAt(local(2026, 3, 28, 11, 0), Type::breakTaken, 20)
           << eventAt(local(2026, 3, 27, 11, 0), Type::breakTaken, 20);
    ASSERT_TRUE(files::writeAtomically(SessionHistory::defaultStorePath(), encodeSessionEvents(stored)));

    BreakReminder &r = makeReminder();
    EXPECT_EQ(r.totalBreaksTakenToday(), 2);
    EXPECT_EQ(r.totalScreenTimeToday(), 1800.0);
    EXPECT_EQ(r.formattedScreenTimeToday(), "30m");
    r.setReminderMode(ReminderMode::menuBarOnly);
    r.startBreak();
    seconds(20);
    EXPECT_EQ(r.totalBreaksTakenToday(), 3);

    // 23:59:20 -> midnight: both counters start again, without a restart.
    seconds(9 * 60 + 39);
    EXPECT_EQ(r.totalScreenTimeToday(), 1800.0 + 9 * 60);
    seconds(1);
    EXPECT_EQ(r.totalBreaksTakenToday(), 0);
    EXPECT_EQ(r.totalScreenTimeToday(), 60.0); // the minute sampled at midnight is the new day's
    seconds(60);
    EXPECT_EQ(r.totalScreenTimeToday(), 120.0);
    EXPECT_EQ(r.formattedScreenTimeToday(), "2m");
    EXPECT_EQ(SessionHistory::shared().activeSecondsToday(), 120.0);
}

TEST(BreakReminderTexts, CountdownAndScreenTime)
{
    const QList<std::pair<int, QString>> countdown{{1200, "20:00"}, {59, "0:59"}, {0, "0:00"}, {61, "1:01"}};
    for (const auto &[s, text] : countdown)
        EXPECT_EQ(BreakReminder::formatTimeUntilBreak(s), text) << s;
    const QList<std::pair<double, QString>> screen{
        {0, "0m"}, {59.9, "0m"}, {3540, "59m"}, {3599.99, "59m"}, {3600, "1h 0m"}, {7260, "2h 1m"}, {36000, "10h 0m"}};
    for (const auto &[s, text] : screen)
        EXPECT_EQ(BreakReminder::formatScreenTime(s), text) << s;
}

TEST(ReminderModeText, RawValuesMatchExactly)
{
    for (ReminderMode mode : allReminderModes())
        EXPECT_EQ(reminderModeFromRawValue(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(ReminderMode::fullScreen), "Full Screen Overlay");
    EXPECT_EQ(rawValue(ReminderMode::notification), "System Notification");
    EXPECT_EQ(rawValue(ReminderMode::menuBarOnly), "Menu Bar Flash");
    EXPECT_FALSE(reminderModeFromRawValue("full screen overlay"));
    EXPECT_FALSE(reminderModeFromRawValue(""));
}
