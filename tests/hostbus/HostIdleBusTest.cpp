#include "HostBusTest.h"

#include "app/QuellvistaApp.h"
#include "platform/host/HostIdle.h"
#include "platform/host/MutterIdle.h"
#include "wellness/BreakReminder.h"
#include "support/MissingTool.h"
#include "support/XServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
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
    // An idle monitor that keeps its watches as Mutter does, the user idle for idleMs.
    void startMutter(qint64 idleMs)
    {
        ASSERT_TRUE(bus->startMock(kMonitor, {QStringLiteral("--template"),
                                              QStringLiteral(QV_MOCK_TEMPLATES "/mutter_idle_monitor.py"),
                                              QStringLiteral("-p"), QStringLiteral("{\"idletime\": %1}").arg(idleMs)}));
    }
    // The user's input, to a monitor of startMutter().
    void input() { ASSERT_EQ(bus->call(kMonitor, kMonitorPath, kMock, QStringLiteral("Input")), QString()); }
    void fire(quint32 watch)
    {
        ASSERT_EQ(bus->emitSignal(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), QStringLiteral("u"), {watch}),
                  QString());
    }
    static bool setUp(const HostIdle &idle)
    {
        auto *monitor = qobject_cast<host::MutterIdle *>(idle.backEnd());
        return monitor && monitor->isSetUp();
    }
    static bool ready(const HostIdle &idle)
    {
        return QTest::qWaitFor([&] { return setUp(idle); }, 5'000);
    }
    // The machine's services with the host's idle time from a monitor that answers idleTime
    // (ms), once the monitor is set up.
    std::unique_ptr<HostIdle> installIdleMonitor(qint64 idleTime)
    {
        startMonitor(QStringLiteral("dbus.UInt64(%1)").arg(idleTime));
        return installIdle();
    }
    std::unique_ptr<HostIdle> installIdle()
    {
        auto idle = std::make_unique<HostIdle>(kNoDisplay, bus->connection());
        EXPECT_TRUE(ready(*idle));
        PlatformServices services = mac->services();
        services.idle = idle.get();
        installPlatform(services);
        return idle;
    }
};

} // namespace

// The idle time is counted from the monitor's answers and told as it starts and ends:
// 93.5 s idle, ten seconds later 103.5 s; input makes the user present; when the idle
// watch fires the monitor is asked again, and its answer stands over the watch's start.
TEST_F(HostIdleBusTest, TheIdleMonitorsWatchesTellTheIdleTime)
{
    startMonitor(QStringLiteral("dbus.UInt64(93500)"));
    HostIdle idle(kNoDisplay, bus->connection());
    QSignalSpy started(&idle, &Idle::idleStarted);
    QSignalSpy resumed(&idle, &Idle::resumed);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0) << "present until the monitor answers";
    ASSERT_TRUE(ready(idle));
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 93.5);
    EXPECT_EQ(started.size(), 1);
    advance(10'000);
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 103.5);

    fire(8);
    ASSERT_TRUE(resumed.wait(5'000));
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    advance(60'000);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0) << "active until the idle watch fires";
    fire(7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 93.5; }))
        << "the answer asked for as the watch fired";
    EXPECT_EQ(started.size(), 3) << "the watch's start, then the answer";
    EXPECT_EQ(resumed.size(), 1);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Idle"), QStringLiteral("from the compositor's idle monitor")));
    EXPECT_EQ(logs->messages(QStringLiteral("Idle")).size(), 1);
}

// Idle for 300 s as the program starts, against a monitor that fires its new idle watch at
// once for such a user, as Mutter does (four times: the watch and the answer race): the
// idle time is the monitor's answer. The user's input is told at once. A monitor that
// starts later gives its answer as it comes.
TEST_F(HostIdleBusTest, IdleAtStartIsTheMonitorsAnswer)
{
    for (int run = 0; run < 4; ++run) {
        startMutter(300'000);
        HostIdle idle(kNoDisplay, bus->connection());
        QSignalSpy resumed(&idle, &Idle::resumed);
        ASSERT_TRUE(ready(idle));
        QTest::qWait(100); // the watch fired at once
        EXPECT_NEAR(idle.secondsSinceLastInputEvent(), 300.0, 2.0) << "run " << run;
        if (run == 0) {
            input();
            ASSERT_TRUE(resumed.wait(5'000));
            EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
        }
        bus->stopMock(kMonitor);
    }
    // A monitor that starts after the program, the user idle all along.
    HostIdle idle(kNoDisplay, bus->connection());
    QSignalSpy started(&idle, &Idle::idleStarted);
    QTest::qWait(200);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    startMutter(600'000);
    ASSERT_TRUE(started.wait(5'000));
    EXPECT_NEAR(idle.secondsSinceLastInputEvent(), 600.0, 2.0);
}

// An idle watch that fires again and again while the user stays idle (as the program
// starts, or as the monitor wakes the screen) leaves the idle time the monitor answers.
TEST_F(HostIdleBusTest, AnIdleWatchThatFiresAgainKeepsTheAnswer)
{
    const std::unique_ptr<HostIdle> idle = installIdleMonitor(300'000);
    for (int i = 0; i < 3; ++i)
        fire(7);
    QTest::qWait(300);
    EXPECT_DOUBLE_EQ(idle->secondsSinceLastInputEvent(), 300.0);
    advance(60'000);
    fire(7);
    QTest::qWait(300);
    EXPECT_DOUBLE_EQ(idle->secondsSinceLastInputEvent(), 300.0) << "the answer to the question the watch raised";
}

// Reminders on with a one-minute interval, the user idle for 300 s as the application
// starts: no break while the monitor says idle, also while it restarts and after it is
// back. A monitor that comes back saying the user is active lets the countdown run, and
// the break comes a full interval later.
TEST_F(HostIdleBusTest, NoBreakWhileTheMonitorSaysIdle)
{
    defaults->setBool(QStringLiteral("breakReminderEnabled"), true);
    defaults->setInteger(QStringLiteral("workIntervalMinutes"), 1);
    startMutter(300'000);
    const std::unique_ptr<HostIdle> idle = installIdle();
    QSignalSpy resumed(idle.get(), &Idle::resumed);
    QuellvistaApp app;
    app.performLaunchSetup();
    const BreakReminder &reminder = app.breakReminder();
    advance(1'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), 60) << "held from the first tick";
    advance(180'000);
    EXPECT_FALSE(reminder.isOnBreak());
    EXPECT_EQ(reminder.secondsUntilBreak(), 60);

    bus->stopMock(kMonitor);
    advance(60'000);
    startMutter(400'000);
    ASSERT_TRUE(ready(*idle));
    QTest::qWait(100);
    advance(180'000);
    EXPECT_FALSE(reminder.isOnBreak()) << "held while the monitor restarts and after";
    EXPECT_EQ(reminder.secondsUntilBreak(), 60);

    bus->stopMock(kMonitor);
    startMutter(0);
    ASSERT_TRUE(resumed.wait(5'000)) << "the monitor that is back says the user is active";
    advance(59'000);
    EXPECT_FALSE(reminder.isOnBreak());
    advance(1'000);
    EXPECT_TRUE(reminder.isOnBreak());
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
    EXPECT_EQ(idle.source(), HostIdle::Source::idleMonitor) << "the monitor may start later";
    const auto said = [&](const char *part) {
        return QTest::qWaitFor([&] { return logs->containsPart(QStringLiteral("Idle"), QString::fromLatin1(part)); });
    };
    ASSERT_TRUE(said("counted once the idle monitor starts"));
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);

    startMonitor(QStringLiteral("'soon'"), QStringLiteral("s"));
    ASSERT_TRUE(said("GetIdletime answers \"s\""));
    EXPECT_FALSE(setUp(idle));
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);

    bus->stopMock(kMonitor);
    startMonitor(QStringLiteral("dbus.UInt64(40000)"), QStringLiteral("t"),
                 {{QStringLiteral("watch"), QStringLiteral("'seven'")}, {QStringLiteral("watchsignature"), QStringLiteral("s")}});
    ASSERT_TRUE(said("AddIdleWatch answers \"s\""));
    EXPECT_FALSE(setUp(idle));

    bus->stopMock(kMonitor);
    startMonitor(QStringLiteral("dbus.UInt64(40000)"));
    ASSERT_TRUE(ready(idle));
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 40.0);
    // A watch that fires with an id of another type is no watch of ours.
    ASSERT_EQ(bus->emitSignal(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), QStringLiteral("s"),
                              {QStringLiteral("8")}),
              QString());
    fire(99);
    QTest::qWait(200);
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInputEvent(), 40.0);

    // A monitor that answers a user active for less than its watch's length: present.
    bus->stopMock(kMonitor);
    startMonitor(QStringLiteral("dbus.UInt64(4000)"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() == 0.0; }));
}

// An X11 session whose compositor's idle monitor starts after the program (GNOME Shell
// started later): the screen saver counts first; once the monitor is on the bus it is the
// source, said once in the log, and the break countdown follows its idle and its input.
TEST_F(HostIdleBusTest, AnIdleMonitorThatStartsLaterReplacesTheScreenSaver)
{
    test::XServer server(false);
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    HostIdle idle(server.display(), bus->connection());
    ASSERT_EQ(idle.source(), HostIdle::Source::xScreenSaver);
    PlatformServices services = mac->services();
    services.idle = &idle;
    installPlatform(services);
    BreakReminder reminder;
    reminder.setIdleDetectionEnabled(true);
    reminder.setIsEnabled(true);
    const int full = reminder.secondsUntilBreak();
    QSignalSpy started(&idle, &Idle::idleStarted);
    QSignalSpy resumed(&idle, &Idle::resumed);

    startMutter(300'000);
    ASSERT_TRUE(ready(idle)) << "the monitor is taken";
    EXPECT_EQ(idle.source(), HostIdle::Source::idleMonitor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() >= 299.0; }, 5'000))
        << "the monitor's idle time, not the X server's";
    EXPECT_GE(started.size(), 1);
    advance(30'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full) << "held while the monitor says idle";

    input();
    ASSERT_TRUE(resumed.wait(5'000)) << "the monitor's user-active watch";
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    advance(3'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), full - 3) << "runs once the monitor says the user is back";
    EXPECT_EQ(logs->messages(QStringLiteral("Idle")).filter(QStringLiteral("idle monitor started")).size(), 1);
}
