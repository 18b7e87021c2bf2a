#include "platform/Platform.h"
#include "platform/Power.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimulatedMac.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace qv;

TEST(SimPower, ServiceAnswersWithWhatTheMachineHolds)
{
    auto mac = SimulatedMac::empty();
    installSimulatedMac(mac.get());
    Power *power = platform().power;
    ASSERT_NE(power, nullptr);

    // By default one internal battery, charging and full.
    EXPECT_EQ(power->battery(), (BatteryReading{false, 100, QString()}));
    EXPECT_EQ(power->thermalState(), ThermalState::Nominal);

    mac->setPowerSources(std::nullopt);
    EXPECT_EQ(power->battery(), (BatteryReading{std::nullopt, std::nullopt, QStringLiteral("no power-source snapshot")}));

    int changes = 0;
    QObject::connect(power, &Power::thermalStateChanged, [&] { ++changes; });
    mac->setThermalState(ThermalState::Serious);
    mac->setThermalState(ThermalState::Serious); // no change, no report
    EXPECT_EQ(power->thermalState(), ThermalState::Serious);
    EXPECT_EQ(changes, 1);

    // Reported on the thread that changed it.
    QThread *reportedOn = nullptr;
    QObject::connect(power, &Power::thermalStateChanged, [&] { reportedOn = QThread::currentThread(); });
    std::unique_ptr<QThread> worker(QThread::create([&] { mac->setThermalState(ThermalState::Critical); }));
    worker->start();
    worker->wait();
    EXPECT_EQ(reportedOn, worker.get());
    installSimulatedMac(nullptr);
}
