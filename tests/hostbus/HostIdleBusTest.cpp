#include "HostBusTest.h"

#include "app/QuellvistaApp.h"
#include "platform/host/HostIdle.h"
#include "wellness/BreakReminder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace qv;

namespace {

const QString kMonitorPath = QString::fromLatin1(HostIdle::kIdleMonitorPath);
// No X server answers on this display: only the bus tells the idle time.
const QString kNoDisplay = QStringLiteral(":65000");

class HostIdleBusTest : public test::HostBusTest {
protected:
    // An idle monitor whose GetIdletime answers with the Python expression given; its
    // idle watch has the id 7 (unless more says otherwise), its user-active watches 8.
    void startMonitor(const QString &idleTime, const QString &signature = QStringLiteral("t"), QJsonObject more = {})
    {
        QJsonObject parameters = more;
        parameters.insert(QStringLiteral("idletime"), idleTime);
        parameters.insert(QStringLiteral("signature"), signature);
        ASSERT_TRUE(bus->startMock(kMonitor, {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/idle_monitor.py"),
                                              QStringLiteral("-p"),
                                              QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))}));
    }
    void fire(quint32 watch)
    {
        ASSERT_EQ(bus->emitSignal(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), QStringLiteral("u"), {watch}),
                  QString());
    }
    static bool ready(const HostIdle &idle)
    {
        return QTest::qWaitFor([&] { return idle.source() == HostIdle::Source::idleMonitor; }, 5'000);
    }
    // The machine's services with the host's idle time from a monitor that answers idleTime
    // (ms), once the monitor is set up.
    std::unique_ptr<HostIdle> installIdleMonitor(qint64 idleTime)
    {
        startMonitor(QStringLiteral("dbus.UInt64(%1)").arg(idleTime));
        auto idle = std::make_unique<HostIdle>(kNoDisplay, bus->connection());
        EXPECT_TRUE(ready(*idle));
        PlatformServices services = mac->services();
        services.idle = idle.get();
        installPlatform(services);
        return idle;
    }
};

} // namespace

// The idle time is counted from the monitor's answer and its watches, without asking
// again: 93.5 s idle, ten seconds later 103.5 s; input makes the user present; five
// seconds of no input start the count again.
TEST_F(HostIdleBusTest, TheIdleMonitorsWatchesTellTheIdleTime)
{
    startMonitor(QStringLiteral("dbus.UInt64(93500)"));
    HostIdle idle(kNoDisplay, bus->connection());
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0) << "present until the monitor answers";
    ASSERT_TRUE(ready(idle));
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 93.5);
    advance(10'000);
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 103.5);

    fire(8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 0.0; }));
    advance(60'000);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0) << "active until the idle watch fires";
    fire(7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 5.0; }));
    advance(1'000);
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 6.0);
    EXPECT_TRUE(logs->messages(QStringLiteral("Idle")).isEmpty());
}

// Started (or the monitor set up again) while the user has been idle for 300 s: the new
// idle watch fires at once, and the idle time asked for stands; after input the watch
// counts from its start again.
TEST_F(HostIdleBusTest, TheFirstIdleWatchKeepsTheIdleTimeAsked)
{
    startMonitor(QStringLiteral("dbus.UInt64(300000)"));
    HostIdle idle(kNoDisplay, bus->connection());
    ASSERT_TRUE(ready(idle));
    fire(7);
    EXPECT_FALSE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() < 300.0; }, 300));
    fire(8);
    fire(7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 5.0; }));
}

// A compositor that restarts while the user is away: the idle time goes on counting in
// the gap, and the restarted monitor is set up again, so the countdown stays held.
TEST_F(HostIdleBusTest, AMonitorThatRestartsKeepsTheCountdownHeld)
{
    const std::unique_ptr<HostIdle> idlePointer = installIdleMonitor(300'000);
    HostIdle &idle = *idlePointer;
    BreakReminder reminder;
    reminder.setIdleDetectionEnabled(true);
    reminder.setIsEnabled(true);
    const int full = reminder.secondsUntilBreak();
    advance(5'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full);

    bus->stopMock(kMonitor);
    QTest::qWait(3'000);
    advance(5'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full) << "held while the monitor is away";
    startMonitor(QStringLiteral("dbus.UInt64(310000)"));
    ASSERT_TRUE(ready(idle));
    advance(10'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full) << "held after it is back";
    fire(8); // the user comes back: the countdown runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 0.0; }));
    advance(3'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full - 3);
}

// The application with reminders on and a one-minute interval, started while the user has
// been away past the idle threshold: the countdown holds at its full length and no break
// comes; once the user is back it runs, and the break comes a full interval later.
TEST_F(HostIdleBusTest, IdleHoldsTheBreakUntilTheUserIsBack)
{
    defaults->setBool(QStringLiteral("breakReminderEnabled"), true);
    defaults->setInteger(QStringLiteral("workIntervalMinutes"), 1);
    defaults->setInteger(QStringLiteral("breakDurationSeconds"), 30);
    const std::unique_ptr<HostIdle> idle = installIdleMonitor(121'000);
    QuellvistaApp app;
    app.performLaunchSetup();
    const BreakReminder &reminder = app.breakReminder();

    advance(80'000);
    EXPECT_FALSE(reminder.isOnBreak()) << "a running countdown would have come to its break";
    EXPECT_EQ(reminder.secondsUntilBreak(), 60);
    fire(8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle->secondsSinceLastInputEvent() == 0.0; }));
    advance(55'000);
    EXPECT_FALSE(reminder.isOnBreak()) << "the countdown runs from its full length";
    advance(10'000);
    EXPECT_TRUE(reminder.isOnBreak());
}

// A monitor that starts after the program is picked up; one that answers nonsense gives
// one line and is set up again when it comes back.
TEST_F(HostIdleBusTest, LateAndUnusableMonitors)
{
    HostIdle idle(kNoDisplay, bus->connection());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("Idle")).isEmpty(); }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Idle"), QStringLiteral("once the idle monitor starts")));
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);

    startMonitor(QStringLiteral("'soon'"), QStringLiteral("s"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->messages(QStringLiteral("Idle")).size() == 2; }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Idle"), QStringLiteral("GetIdletime answers \"s\"")));
    EXPECT_EQ(idle.source(), HostIdle::Source::none);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);

    bus->stopMock(kMonitor);
    startMonitor(QStringLiteral("dbus.UInt64(4000)"), QStringLiteral("t"),
                 {{QStringLiteral("watch"), QStringLiteral("'seven'")}, {QStringLiteral("watchsignature"), QStringLiteral("s")}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return logs->messages(QStringLiteral("Idle")).size() == 3; }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Idle"), QStringLiteral("AddIdleWatch answers \"s\"")));
    EXPECT_EQ(idle.source(), HostIdle::Source::none);

    bus->stopMock(kMonitor);
    startMonitor(QStringLiteral("dbus.UInt64(4000)"));
    ASSERT_TRUE(ready(idle));
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 4.0);
    // A watch that fires with an id of another type is no watch of ours.
    ASSERT_EQ(bus->emitSignal(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), QStringLiteral("s"),
                              {QStringLiteral("8")}),
              QString());
    fire(99);
    QTest::qWait(200);
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 4.0);
}
