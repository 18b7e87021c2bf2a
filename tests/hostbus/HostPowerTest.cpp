#include "HostBusTest.h"

#include "app/QuellvistaApp.h"
#include "comfort/BatteryMonitor.h"
#include "comfort/ThermalMonitor.h"
#include "display/DisplayTuning.h"
#include "platform/host/HostPower.h"
#include "platform/sim/SimulatedMac.h"

#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace qv;

namespace {

const QString kDevice = QStringLiteral("org.freedesktop.UPower.Device");

class HostPowerTest : public test::HostBusTest {
protected:
    HostPower::Folders folders() const
    {
        return {sysfs.filePath(QStringLiteral("power_supply")), sysfs.filePath(QStringLiteral("thermal"))};
    }

    void startUPower(bool onBattery)
    {
        ASSERT_TRUE(bus->startMock(kUPower, {QStringLiteral("--template"), QStringLiteral("upower"), QStringLiteral("-p"),
                                             onBattery ? QStringLiteral("{\"OnBattery\": true}")
                                                       : QStringLiteral("{\"OnBattery\": false}")}));
    }
    // The display device as a battery at percent (kind 2, state discharging).
    void showBattery(double percent)
    {
        ASSERT_EQ(bus->call(kUPower, kUPowerPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                            QStringLiteral("SetupDisplayDevice"),
                            {2u, 2u, percent, percent, 100.0, 10.0, qint64(3600), qint64(0), true,
                             QStringLiteral("battery-good"), 1u}),
                  QString());
    }
    void setDevice(const QString &name, const QVariant &value)
    {
        ASSERT_EQ(bus->setProperty(kUPower, kDisplayDevice, kDevice, name, value), QString());
    }
    // Waits until the power service has told of a change (the reads of UPower, or a
    // change signal) and the monitors have read it.
    void settle(HostPower &power)
    {
        QSignalSpy changed(&power, &Power::powerSourcesChanged);
        ASSERT_TRUE(changed.wait(5'000)) << "no change from UPower";
        runPending();
    }
    // On AC power without a battery's charge.
    static BatteryReading acOnly() { return {false, std::nullopt, QString()}; }
};

} // namespace

// Battery-aware dimming on UPower: on battery, 31 % is not low; at 29 % the screen dims.
TEST_F(HostPowerTest, ABatteryDroppingBelowTheThresholdDimsTheScreen)
{
    startUPower(true);
    showBattery(31);
    HostPower power(bus->connection(), folders());
    settle(power);
    installPlatform([&] {
        PlatformServices services = mac->services();
        services.power = &power;
        return services;
    }());
    defaults->setBool(QStringLiteral("batteryAwareDimEnabled"), true);

    QuellvistaApp app;
    app.performLaunchSetup();
    advance(1'000);
    DisplayTuning &tuning = DisplayTuning::shared();
    const double before = tuning.brightness();
    ASSERT_GT(before, 0.7);

    // UPower's change signals are followed at once, without the 30 s reading; 29.6 % is
    // cut to 29 %, which is low.
    showBattery(29.6);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        runPending();
        return tuning.brightness() == 0.7;
    }));
    EXPECT_TRUE(tuning.enabled());
    EXPECT_EQ(app.battery().percentRemaining(), 29);

    // The charger comes back: the brightness from before returns.
    ASSERT_EQ(bus->setProperty(kUPower, kUPowerPath, kUPower, QStringLiteral("OnBattery"), false), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] {
        runPending();
        return tuning.brightness() == before;
    }));
    EXPECT_TRUE(logs->messages(QStringLiteral("Power")).isEmpty());
}

// A laptop that starts on 15 % dims as soon as UPower answers; quitting while dimmed and
// starting on AC power puts the brightness back; a battery that stops being present
// while dimmed ends the dimming.
TEST_F(HostPowerTest, DimmingFollowsTheBatteryAcrossStarts)
{
    startUPower(true);
    showBattery(15);
    defaults->setBool(QStringLiteral("batteryAwareDimEnabled"), true);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setBrightness(0.9);
    tuning.persistNow();
    const auto waitFor = [&](double brightness) {
        return QTest::qWaitFor(
            [&] {
                runPending();
                return tuning.brightness() == brightness;
            },
            2'000);
    };
    {
        HostPower power(bus->connection(), folders());
        PlatformServices services = mac->services();
        services.power = &power;
        installPlatform(services);
        QuellvistaApp app;
        app.performLaunchSetup();
        EXPECT_TRUE(waitFor(0.7)) << "dimmed within 2 s of the start";
        const std::optional<TransferFormula> ramp = mac->formula(mac->mainDisplayId());
        ASSERT_TRUE(ramp);
        EXPECT_NEAR(std::max({ramp->redMax, ramp->greenMax, ramp->blueMax}), 0.7, 0.005) << "the ramp's top";
        tuning.persistNow();
    }
    // The next start is on AC power.
    ASSERT_EQ(bus->setProperty(kUPower, kUPowerPath, kUPower, QStringLiteral("OnBattery"), false), QString());
    {
        HostPower power(bus->connection(), folders());
        settle(power);
        PlatformServices services = mac->services();
        services.power = &power;
        installPlatform(services);
        QuellvistaApp app;
        app.performLaunchSetup();
        EXPECT_TRUE(waitFor(0.9)) << "the brightness from before the dimming";
        EXPECT_FALSE(defaults->hasStoredValue(QStringLiteral("batteryDimming")));

        // Dimmed again; then the display device says no battery is present.
        ASSERT_EQ(bus->setProperty(kUPower, kUPowerPath, kUPower, QStringLiteral("OnBattery"), true), QString());
        EXPECT_TRUE(waitFor(0.7));
        setDevice(QStringLiteral("IsPresent"), false);
        EXPECT_TRUE(waitFor(0.9)) << "no battery, no dimming";
        EXPECT_FALSE(app.battery().isOnBattery());
    }
}

// A desktop computer: UPower's display device is no battery, so the computer is on AC
// power without a charge, and the monitor keeps "not on battery, 100 %".
TEST_F(HostPowerTest, AComputerWithoutABatteryIsOnACPowerWithoutACharge)
{
    startUPower(true);
    HostPower power(bus->connection(), folders());
    settle(power);
    EXPECT_EQ(power.battery(), acOnly());
    BatteryMonitor monitor(&power);
    EXPECT_FALSE(monitor.isOnBattery());
    EXPECT_EQ(monitor.percentRemaining(), 100);
}

// Percentages that are no charge, types that are no device type, and values of the wrong
// type: that part of the reading is left out (the monitor keeps what it had) and one line
// says why, however often it is read.
TEST_F(HostPowerTest, UnusableValuesAreLeftOutWithOneLine)
{
    startUPower(true);
    showBattery(64);
    HostPower power(bus->connection(), folders());
    settle(power);
    BatteryMonitor monitor(&power);
    ASSERT_TRUE(monitor.isOnBattery());
    ASSERT_EQ(monitor.percentRemaining(), 64);

    struct Case {
        const char *name;
        QString property;
        QVariant value;
        const char *logged;
        bool batteryListed;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QString type = QStringLiteral("Type");
    const QString percentage = QStringLiteral("Percentage");
    const QList<Case> cases = {
        {"NaN", percentage, nan, "a percentage of nan", true},
        {"negative", percentage, -5.0, "a percentage of -5", true},
        {"above 100", percentage, 250.0, "a percentage of 250", true},
        {"text", percentage, QStringLiteral("64"), "a percentage of a value of signature s", true},
        {"type 1e300", type, 1e300, "the type 1e+300, which is no device type", false},
        {"type NaN", type, nan, "the type nan", false},
        {"type inf", type, inf, "the type inf", false},
        {"type -inf", type, -inf, "the type -inf", false},
        {"type -1", type, -1, "the type -1", false},
        {"type 2^64-1", type, std::numeric_limits<quint64>::max(), "which is no device type", false},
        {"type 2^32+2", type, 4294967298.0, "the type 4294967298", false},
        {"type text", type, QStringLiteral("battery"), "a value of signature s as its type", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        logs->clear();
        setDevice(c.property, c.value);
        settle(power);
        const BatteryReading reading = power.battery();
        EXPECT_FALSE(reading.percent);
        EXPECT_EQ(reading.onBattery, c.batteryListed);
        monitor.update();
        monitor.update();
        EXPECT_EQ(monitor.percentRemaining(), 64);
        EXPECT_EQ(logs->messages(QStringLiteral("Power")).size(), 1) << logs->messages(QStringLiteral("Power")).join('\n').toStdString();
        EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QString::fromLatin1(c.logged)));
        setDevice(c.property, c.property == type ? QVariant(2u) : QVariant(64.0));
        settle(power);
        monitor.update();
        ASSERT_TRUE(monitor.isOnBattery());
    }

    // On battery given as text: the state is left out and kept.
    logs->clear();
    ASSERT_EQ(bus->setProperty(kUPower, kUPowerPath, kUPower, QStringLiteral("OnBattery"), QStringLiteral("yes")), QString());
    settle(power);
    const BatteryReading reading = power.battery();
    EXPECT_FALSE(reading.onBattery);
    EXPECT_EQ(reading.percent, 64);
    monitor.update();
    EXPECT_TRUE(monitor.isOnBattery());
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("for on battery")));

    // Presence given as text: the battery is still read, and the fault said.
    logs->clear();
    setDevice(QStringLiteral("IsPresent"), QStringLiteral("yes"));
    settle(power);
    EXPECT_EQ(power.battery().percent, 64);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("a value of signature s for present")));
}

// A UPower whose display device lacks the percentage: the charge is not read.
TEST_F(HostPowerTest, MissingPropertiesAreLeftOut)
{
    ASSERT_TRUE(bus->startMock(kUPower, {QStringLiteral("--system"), kUPower, kUPowerPath, kUPower}));
    ASSERT_EQ(bus->call(kUPower, kUPowerPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddProperty"),
                        {kUPower, QStringLiteral("OnBattery"), QVariant::fromValue(QDBusVariant(true))}),
              QString());
    QVariantMap device{{QStringLiteral("Type"), 2u}, {QStringLiteral("IsPresent"), true}};
    ASSERT_EQ(bus->call(kUPower, kUPowerPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddObject"),
                        {kDisplayDevice, kDevice, device, QVariant::fromValue(QVariantList())}),
              QString());
    HostPower power(bus->connection(), folders());
    settle(power);
    const BatteryReading reading = power.battery();
    EXPECT_EQ(reading.onBattery, true);
    EXPECT_FALSE(reading.percent);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("a percentage of nothing")));
}

// Without UPower the kernel's power-supply folder answers, after one line; a battery of
// a mouse is not the computer's; two batteries are one charge, by their energies.
TEST_F(HostPowerTest, WithoutUPowerThePowerSupplyFolderAnswers)
{
    const QString root = sysfs.filePath(QStringLiteral("power_supply"));
    writeFile(root, "AC/type", "Mains\n");
    writeFile(root, "AC/online", "0\n");
    writeFile(root, "BAT0/type", "Battery\n");
    writeFile(root, "BAT0/status", "Discharging\n");
    writeFile(root, "BAT0/capacity", "27\n");
    writeFile(root, "hidpp_battery_0/type", "Battery\n");
    writeFile(root, "hidpp_battery_0/scope", "Device\n");
    writeFile(root, "hidpp_battery_0/capacity", "90\n");

    HostPower power(bus->connection(), folders());
    BatteryMonitor monitor(&power);
    EXPECT_TRUE(monitor.isOnBattery()) << "the folder answers while UPower is asked";
    EXPECT_EQ(monitor.percentRemaining(), 27);
    settle(power);
    monitor.update();
    EXPECT_EQ(logs->messages(QStringLiteral("Power")).size(), 1);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("UPower does not answer")));

    // A second battery, full but small: the combined energy decides (25 of 70 Wh is 35 %),
    // not the last battery by name, nor the average of the two.
    writeFile(root, "BAT0/energy_now", "5000000\n");
    writeFile(root, "BAT0/energy_full", "50000000\n");
    writeFile(root, "BAT0/capacity", "10\n");
    writeFile(root, "BAT1/type", "Battery\n");
    writeFile(root, "BAT1/status", "Full\n");
    writeFile(root, "BAT1/capacity", "100\n");
    writeFile(root, "BAT1/energy_now", "20000000\n");
    writeFile(root, "BAT1/energy_full", "20000000\n");
    monitor.update();
    EXPECT_EQ(monitor.percentRemaining(), 35);

    // The charger is plugged in; the capacity file holds garbage: the charge stays.
    writeFile(root, "AC/online", "1\n");
    QFile::remove(QDir(root).filePath("BAT1/energy_now"));
    writeFile(root, "BAT1/capacity", "lots\n");
    monitor.update();
    EXPECT_FALSE(monitor.isOnBattery());
    EXPECT_EQ(monitor.percentRemaining(), 35);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("a capacity of \"lots\"")));

    // No power-supply folder at all: a computer on AC power without a battery.
    HostPower bare(QDBusConnection(QStringLiteral("no bus")), {sysfs.filePath(QStringLiteral("none")), QString()});
    EXPECT_EQ(bare.battery(), acOnly());
}

// Temperatures in thousandths of a degree against the passive and critical trip points.
TEST(HostThermalTest, ZoneStatesFollowTheTripPoints)
{
    struct Case {
        qint64 temperature;
        std::optional<qint64> passive, critical;
        ThermalState expected;
    };
    const QList<Case> cases = {
        {40'000, 95'000, 105'000, ThermalState::Nominal}, {84'999, 95'000, 105'000, ThermalState::Nominal},
        {85'000, 95'000, 105'000, ThermalState::Fair},    {95'000, 95'000, 105'000, ThermalState::Serious},
        {105'000, 95'000, 105'000, ThermalState::Critical},
        // No passive trip point: serious 15 degrees below the critical one.
        {79'000, std::nullopt, 100'000, ThermalState::Fair}, {85'000, std::nullopt, 100'000, ThermalState::Serious},
        // A trip point of 0 is no trip point.
        {90'000, 0, 0, ThermalState::Nominal}, {96'000, 0, 100'000, ThermalState::Serious},
        {200'000, std::nullopt, std::nullopt, ThermalState::Nominal},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HostPower::zoneState(c.temperature, c.passive, c.critical), c.expected)
            << c.temperature << " passive " << c.passive.value_or(-1) << " critical " << c.critical.value_or(-1);
    }
}

// The worst zone decides; garbage leaves its zone or trip point out with a line; a change
// reaches the thermal monitor at the next 30 s reading.
TEST_F(HostPowerTest, ThermalZonesAnnounceTheirChange)
{
    const QString root = sysfs.filePath(QStringLiteral("thermal"));
    writeFile(root, "thermal_zone0/temp", "45000\n");
    writeFile(root, "thermal_zone0/trip_point_0_type", "critical\n");
    writeFile(root, "thermal_zone0/trip_point_0_temp", "105000\n");
    writeFile(root, "thermal_zone0/trip_point_1_type", "passive\n");
    writeFile(root, "thermal_zone0/trip_point_1_temp", "95000\n");
    writeFile(root, "thermal_zone1/temp", "hot\n");
    writeFile(root, "thermal_zone2/temp", "99000\n");
    writeFile(root, "thermal_zone2/trip_point_0_type", "passive\n");
    writeFile(root, "thermal_zone2/trip_point_0_temp", "0\n");

    HostPower power(bus->connection(), folders());
    ThermalMonitor monitor(&power);
    EXPECT_EQ(monitor.state(), ThermalState::Nominal);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("thermal_zone1 gives no temperature")));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Power"), QStringLiteral("thermal_zone2 has a passive trip point of \"0\"")));

    writeFile(root, "thermal_zone0/temp", "96000\n");
    advance(HostPower::kThermalIntervalMs - 1);
    EXPECT_EQ(monitor.state(), ThermalState::Nominal) << "read on the 30 s pace";
    advance(1);
    runPending();
    EXPECT_EQ(monitor.state(), ThermalState::Serious);
    EXPECT_EQ(logs->messages(QStringLiteral("Power")).size(), 1) << "the same faults are not told again";
}
