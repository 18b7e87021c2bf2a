#include "HostBusTest.h"

#include "comfort/BatteryMonitor.h"
#include "display/DisplayTuning.h"
#include "platform/AmbientLight.h"
#include "platform/Appearance.h"
#include "platform/host/HostBusServices.h"
#include "platform/host/HostIdle.h"
#include "platform/host/MutterIdle.h"
#include "platform/host/HostPower.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace qv;

namespace {


// How long this thread has waited for a CPU while ready to run, in ms: the delay a loaded
// machine adds, which is not the program's.
qint64 runQueueWaitMs()
{
    QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stats.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stats.readAll().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() / 1'000'000 : 0;
}

// The longest time the event loop took to come round during ms (from the end of one
// turn's work to the start of the next, less the timer's own 5 ms), and the longest the
// work took; time spent waiting for a CPU on a busy machine is left out of both.
std::pair<qint64, qint64> longestGap(int ms, const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 longestGap = 0, longestWork = 0, ended = 0, waitedAtEnd = runQueueWaitMs();
    QTimer turn;
    turn.setInterval(5);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 began = clock.elapsed();
        const qint64 waitedAtStart = runQueueWaitMs();
        longestGap = std::max(longestGap, began - ended - 5 - (waitedAtStart - waitedAtEnd));
        work();
        ended = clock.elapsed();
        waitedAtEnd = runQueueWaitMs();
        longestWork = std::max(longestWork, ended - began - (waitedAtEnd - waitedAtStart));
    });
    turn.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return {longestGap, longestWork};
}

class HostBusHardshipTest : public test::HostBusTest {
protected:
    void startUPower(double percent)
    {
        ASSERT_TRUE(bus->startMock(kUPower, {QStringLiteral("--template"), QStringLiteral("upower"), QStringLiteral("-p"),
                                             QStringLiteral("{\"OnBattery\": true}")}));
        ASSERT_EQ(bus->call(kUPower, kUPowerPath, kMock, QStringLiteral("SetupDisplayDevice"),
                            {2u, 2u, percent, percent, 100.0, 10.0, qint64(3600), qint64(0), true,
                             QStringLiteral("battery-good"), 1u}),
                  QString());
    }
};

} // namespace

// Every service the back-ends ask is there but hangs (it holds its name and answers
// nothing) for longer than the calls wait: the program starts and runs with the event
// loop turning within 50 ms throughout, and reads each service again once it answers.
TEST_F(HostBusHardshipTest, HangingServicesLeaveTheEventLoopFree)
{
    startUPower(15);
    ASSERT_TRUE(bus->startMock(kProxy, {QStringLiteral("--template"), QStringLiteral("iio-sensors-proxy"), QStringLiteral("-p"),
                                        QStringLiteral("{\"has_ambient_light\": true, \"light_level\": 300.0}")}));
    ASSERT_TRUE(bus->startMock(kPortal, {QStringLiteral("--session"), kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                                         QStringLiteral("org.freedesktop.portal.Settings")}));
    ASSERT_TRUE(bus->startMock(kMonitor, {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/idle_monitor.py")}));
    for (const QString &service : {kUPower, kProxy, kPortal, kMonitor})
        bus->pauseMock(service, true);

    HostBusServices host(bus->connection(), bus->connection());
    HostIdle idle(QStringLiteral(":65000"), bus->connection());
    PlatformServices services = host.over(mac->services());
    services.idle = &idle;
    installPlatform(services);
    BatteryMonitor battery(services.power);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setAmbientAwareComfortEnabled(true);

    // Every back-end is asked at every turn, as the models' ticks ask them.
    const auto [gap, work] = longestGap(HostPower::kReadTimeoutMs + 500, [&] {
        idle.secondsSinceLastInputEvent();
        battery.update();
        services.ambientLight->currentReading();
        services.appearance->systemAppearanceName();
    });
    EXPECT_LT(gap, 50) << "the event loop waited for a service";
    EXPECT_LT(work, 50) << "a reading waited for a service";

    for (const QString &service : {kUPower, kProxy, kPortal, kMonitor})
        bus->pauseMock(service, false);
    // Each is asked again a while later.
    const auto afterRetries = [&](const std::function<bool()> &done) {
        return QTest::qWaitFor([&] {
            advance(1'000);
            battery.update();
            return done();
        }, 10'000);
    };
    EXPECT_TRUE(afterRetries([&] { return battery.percentRemaining() == 15; })) << "the battery is read once UPower answers";
    EXPECT_TRUE(afterRetries([&] { return tuning.ambientLightStatus() == "300 lux"; }))
        << "the light level is read once the proxy answers";
    EXPECT_TRUE(afterRetries([&] {
        const auto *monitor = qobject_cast<host::MutterIdle *>(idle.backEnd());
        return monitor && monitor->isSetUp();
    }))
        << "the idle monitor is set up once it answers";
}

// A storm of change signals (a thousand in a second) is taken in without a call back to
// UPower for each and ends in the last value; a UPower that restarts within a second, or
// after a minute away, is read again.
TEST_F(HostBusHardshipTest, AStormOfChangesAndAQuickRestart)
{
    startUPower(64);
    HostPower power(bus->connection(), HostPower::Folders{sysfs.filePath(QStringLiteral("none")), QString()});
    BatteryMonitor monitor(&power);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.percentRemaining() == 64; }));
    QSignalSpy changed(&power, &Power::powerSourcesChanged);
    ASSERT_EQ(bus->call(kUPower, kDisplayDevice, kMock, QStringLiteral("AddMethod"),
                        {kMock, QStringLiteral("Storm"), QString(), QString(),
                         QStringLiteral("for i in range(1000): self.EmitSignal('org.freedesktop.DBus.Properties', "
                                        "'PropertiesChanged', 'sa{sv}as', ['org.freedesktop.UPower.Device', "
                                        "{'Percentage': dbus.Double(40 + i % 10)}, []])")}),
              QString());
    ASSERT_EQ(bus->call(kUPower, kDisplayDevice, kMock, QStringLiteral("Storm")), QString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.percentRemaining() == 49; }));
    EXPECT_LT(changed.size(), 1000) << "changes that arrive together are announced together";

    bus->stopMock(kUPower);
    startUPower(22);
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.percentRemaining() == 22; }));
    EXPECT_TRUE(power.upowerAnswers());

    bus->stopMock(kUPower);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !power.upowerAnswers(); }));
    advance(60'000); // the monitor's ticks read the kernel's folder meanwhile
    startUPower(31);
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.percentRemaining() == 31; }));
    EXPECT_TRUE(power.upowerAnswers());
}
