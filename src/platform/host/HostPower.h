#pragma once

#include "platform/Power.h"
#include "platform/host/BusValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <optional>

namespace qv {

// The battery and the thermal state of this computer. The battery comes from UPower's
// display device on the system bus, read on each request; without the bus or UPower it
// comes from the kernel's power-supply folder. A computer without a battery lists no
// source. The thermal state is the worst of the kernel's thermal zones, each zone's
// temperature weighed against its passive and critical trip points; it is read every
// 30 s, and a change is announced.
class HostPower final : public Power {
    Q_OBJECT
public:
    static constexpr qint64 kThermalIntervalMs = 30'000;

    struct Folders {
        QString powerSupply = QStringLiteral("/sys/class/power_supply");
        QString thermal = QStringLiteral("/sys/class/thermal");
    };

    explicit HostPower(const QDBusConnection &systemBus, QObject *parent = nullptr);
    HostPower(const QDBusConnection &systemBus, Folders folders, QObject *parent = nullptr);
    ~HostPower() override;

    std::optional<RegistryValue> powerSourceList() override;
    ThermalState thermalState() override { return m_thermalState; }

    // The thermal state of the zones under folder (the worst zone's; nominal without
    // zones). faults receives what could not be read.
    static ThermalState thermalStateOfZones(const QString &folder, QStringList *faults = nullptr);
    // One zone's state: temperatures in thousandths of a degree; a trip point of 0 or
    // less counts as absent.
    static ThermalState zoneState(qint64 temperature, std::optional<qint64> passive, std::optional<qint64> critical);

private:
    // UPower's answer: whether it answered at all, and the sources it gives (nothing
    // when its answer is unusable as a whole).
    struct UPowerAnswer {
        bool answered = false;
        std::optional<RegistryValue> sources;
    };
    UPowerAnswer upowerSources();
    RegistryValue powerSupplySources();
    void refreshThermalState();

    Logger m_logger{"Power"};
    QDBusConnection m_bus;
    Folders m_folders;
    bus::Note m_sourceNote;   // where the battery is read from, when not UPower
    bus::Note m_readingNote;  // what in the reading could not be used
    bus::Note m_thermalNote;
    ThermalState m_thermalState = ThermalState::Nominal;
    TaskHandle m_thermalTimer;
};

} // namespace qv
