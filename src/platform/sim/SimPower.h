#pragma once

#include "platform/Power.h"

namespace qv {

class SimulatedMac;

// Answers with the power sources and thermal state the simulated Mac holds
// (SimulatedMac::setPowerSources, SimulatedMac::setThermalState).
class SimPower final : public Power {
    Q_OBJECT
public:
    explicit SimPower(SimulatedMac &mac) : m_mac(mac) {}
    std::optional<RegistryValue> powerSourceList() override;
    ThermalState thermalState() override;

    // A well-formed description of one battery source.
    static RegistryValue batteryDescription(const QString &state, double current, double max);

private:
    SimulatedMac &m_mac;
};

} // namespace qv
