#pragma once

#include "platform/Power.h"
#include "platform/RegistryValue.h"

namespace qv {

class SimulatedMac;

// Answers with the power sources and thermal state the simulated Mac holds
// (SimulatedMac::setPowerSources, SimulatedMac::setThermalState). The battery is read from
// the Mac's power-source descriptions: each source in turn, a later one overwriting what
// an earlier one said.
class SimPower final : public Power {
    Q_OBJECT
public:
    // Texts of a power-source description.
    static constexpr const char *powerSourceStateKey = "Power Source State";
    static constexpr const char *currentCapacityKey = "Current Capacity";
    static constexpr const char *maxCapacityKey = "Max Capacity";
    static constexpr const char *batteryPowerValue = "Battery Power";
    static constexpr const char *acPowerValue = "AC Power";

    explicit SimPower(SimulatedMac &mac) : m_mac(mac) {}
    BatteryReading battery() override;
    ThermalState thermalState() override;

    // A well-formed description of one battery source.
    static RegistryValue batteryDescription(const QString &state, double current, double max);

private:
    SimulatedMac &m_mac;
};

} // namespace qv
