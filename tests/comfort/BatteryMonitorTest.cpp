#include "comfort/BatteryMonitor.h"
#include "comfort/ThermalMonitor.h"

#include "platform/sim/SimPower.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

using namespace qv;
using qv::test::QvTest;

namespace {

RegistryValue battery(const char *state, double current, double max)
{
    return SimPower::batteryDescription(QString::fromLatin1(state), current, max);
}

class BatteryMonitorTest : public QvTest {
protected:
    void setSources(const QList<RegistryValue> &sources) { mac->setPowerSources(RegistryValue::array(sources)); }
    void setBattery(const char *state, double current, double max = 100) { setSources({battery(state, current, max)}); }

    std::unique_ptr<BatteryMonitor> start()
    {
        auto monitor = std::make_unique<BatteryMonitor>();
        monitor->onLowBattery = [this](bool low) { reports << low; };
        return monitor;
    }

    QList<bool> reports;
};

TEST_F(BatteryMonitorTest, PercentIsCutTowardZero)
{
    struct Case {
        double current, max;
        int percent;
    } cases[] = {
        {2999, 10000, 29}, {29, 100, 29}, {57, 100, 57}, {1, 3, 33}, {2, 3, 66},
        {100, 100, 100}, {0, 4500, 0}, {5000, 4500, 111}, {-1, 3, -33},
    };
    for (const Case &c : cases) {
        setBattery("AC Power", c.current, c.max);
        BatteryMonitor monitor;
        EXPECT_EQ(monitor.percentRemaining(), c.percent) << c.current << " of " << c.max;
    }
}

TEST_F(BatteryMonitorTest, ReadsEvery30Seconds)
{
    setBattery("Battery Power", 80);
    auto monitor = start();
    EXPECT_TRUE(monitor->isOnBattery());
    EXPECT_EQ(monitor->percentRemaining(), 80);

    setBattery("Battery Power", 75);
    advance(29'999);
    EXPECT_EQ(monitor->percentRemaining(), 80);
    advance(1);
    EXPECT_EQ(monitor->percentRemaining(), 75);
    setBattery("AC Power", 70);
    advance(30'000);
    EXPECT_FALSE(monitor->isOnBattery());
    EXPECT_EQ(monitor->percentRemaining(), 70);

    monitor.reset();
    EXPECT_EQ(clock->pendingCount(), 0);
}

TEST_F(BatteryMonitorTest, LowStateReportedOnlyAtItsEdges)
{
    setBattery("Battery Power", 31);
    auto monitor = start();
    EXPECT_TRUE(reports.isEmpty());

    setBattery("Battery Power", 30); // 30 is not low
    advance(30'000);
    EXPECT_TRUE(reports.isEmpty());

    int percentWhenReported = -1;
    monitor->onLowBattery = [&](bool low) {
        reports << low;
        percentWhenReported = monitor->percentRemaining();
    };
    setBattery("Battery Power", 29);
    advance(30'000);
    EXPECT_EQ(reports, QList<bool>{true});
    EXPECT_EQ(percentWhenReported, 29); // published before the report

    setBattery("Battery Power", 12);
    advance(60'000);
    EXPECT_EQ(reports, QList<bool>{true});

    setBattery("AC Power", 12); // the charger is connected
    advance(30'000);
    advance(30'000);
    EXPECT_EQ(reports, (QList<bool>{true, false}));
}

TEST_F(BatteryMonitorTest, LowAtStartIsReportedByTheFirstReading)
{
    setBattery("Battery Power", 5);
    BatteryMonitor monitor; // no owner callback yet: the state is remembered all the same
    EXPECT_EQ(monitor.percentRemaining(), 5);
    monitor.onLowBattery = [this](bool low) { reports << low; };
    advance(30'000);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(BatteryMonitorTest, NotLowWithoutBattery)
{
    // Not on battery at 10 %; then a desktop computer without sources at all.
    setBattery("AC Power", 10);
    auto monitor = start();
    EXPECT_FALSE(monitor->isOnBattery());
    EXPECT_EQ(monitor->percentRemaining(), 10);
    setSources({});
    advance(120'000);
    EXPECT_EQ(monitor->percentRemaining(), 10);
    EXPECT_TRUE(reports.isEmpty());

    setSources({RegistryValue::dictionary({{QStringLiteral("Power Source State"), RegistryValue::string(QStringLiteral("AC Power"))}})});
    auto desktop = start();
    EXPECT_FALSE(desktop->isOnBattery());
    EXPECT_EQ(desktop->percentRemaining(), 100);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(BatteryMonitorTest, LaterSourceOverwritesEarlier)
{
    setSources({battery("Battery Power", 20, 100), battery("AC Power", 90, 100)});
    auto monitor = start();
    EXPECT_FALSE(monitor->isOnBattery());
    EXPECT_EQ(monitor->percentRemaining(), 90);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(BatteryMonitorTest, BadDescriptionsKeepValuesAndAreLoggedOnce)
{
    setBattery("Battery Power", 40);
    auto monitor = start();
    const auto key = [](const char *k) { return QString::fromLatin1(k); };

    struct Case {
        const char *name;
        std::optional<RegistryValue> sources;
        const char *logged;
    } cases[] = {
        {"capacity 0 of 0", RegistryValue::array({battery("Battery Power", 0, 0)}), "\"Max Capacity\" is 0"},
        {"no snapshot", std::nullopt, "no power-source snapshot"},
        {"list not a list", RegistryValue::string(QStringLiteral("sources")), "not a list"},
        {"source not a dictionary", RegistryValue::array({RegistryValue::number(3)}), "source 0: the description is"},
        // A source without any charge is no fault in itself (the mains of a desktop).
        {"missing keys", RegistryValue::array({RegistryValue::dictionary({})}), "\"Power Source State\" is (absent)"},
        {"capacity without maximum", RegistryValue::array({RegistryValue::dictionary({
             {key("Power Source State"), RegistryValue::string(QStringLiteral("Battery Power"))},
             {key("Current Capacity"), RegistryValue::number(10)}})}),
         "\"Max Capacity\" is (absent)"},
        {"wrong types", RegistryValue::array({RegistryValue::dictionary({
             {key("Power Source State"), RegistryValue::boolean(true)},
             {key("Current Capacity"), RegistryValue::string(QStringLiteral("10"))},
             {key("Max Capacity"), RegistryValue::number(100)}})}),
         "\"Power Source State\" is true, not text"},
        {"fractional capacity", RegistryValue::array({battery("Battery Power", 10.5, 100)}), "not a whole number"},
    };
    for (const Case &c : cases) {
        logs->clear();
        mac->setPowerSources(c.sources);
        advance(30'000);
        EXPECT_TRUE(monitor->isOnBattery()) << c.name;
        EXPECT_EQ(monitor->percentRemaining(), 40) << c.name;
        EXPECT_TRUE(logs->containsPart(QStringLiteral("BatteryMonitor"), QString::fromLatin1(c.logged)))
            << c.name << ": " << logs->messages(QStringLiteral("BatteryMonitor")).join(u'|').toStdString();
        advance(30'000); // the same fault is not logged again
        EXPECT_EQ(logs->messages(QStringLiteral("BatteryMonitor")).size(), 1) << c.name;
    }
    EXPECT_TRUE(reports.isEmpty());

    // A good source beside a bad one is still read.
    setSources({RegistryValue::data("x"), battery("Battery Power", 10, 100)});
    advance(30'000);
    EXPECT_EQ(monitor->percentRemaining(), 10);
    EXPECT_EQ(reports, QList<bool>{true});
}

class ThermalMonitorTest : public QvTest {};

TEST_F(ThermalMonitorTest, FollowsTheThermalState)
{
    mac->setThermalState(ThermalState::Fair);
    ThermalMonitor monitor;
    EXPECT_EQ(monitor.state(), ThermalState::Fair);

    int changes = 0;
    QObject::connect(&monitor, &ThermalMonitor::stateChanged, [&] { ++changes; });
    mac->setThermalState(ThermalState::Serious);
    EXPECT_EQ(monitor.state(), ThermalState::Fair); // handled on a later turn
    runPending();
    EXPECT_EQ(monitor.state(), ThermalState::Serious);
    EXPECT_EQ(changes, 1);
}

TEST_F(ThermalMonitorTest, NotificationAfterTheMonitorWentDoesNothing)
{
    auto monitor = std::make_unique<ThermalMonitor>();
    mac->setThermalState(ThermalState::Critical);
    monitor.reset();
    runPending();
    // The change reaches the monitor that lives (once), and nothing of the one that went.
    ThermalMonitor survivor;
    QSignalSpy changes(&survivor, &ThermalMonitor::stateChanged);
    mac->setThermalState(ThermalState::Nominal);
    runPending();
    EXPECT_EQ(survivor.state(), ThermalState::Nominal);
    EXPECT_EQ(changes.count(), 1);
}

} // namespace
