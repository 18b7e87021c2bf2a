#include "platform/sim/SimPower.h"

#include "platform/sim/SimulatedMac.h"

#include <QMutexLocker>

namespace qv {

std::optional<RegistryValue> SimPower::powerSourceList()
{
    return m_mac.powerSources();
}

ThermalState SimPower::thermalState()
{
    return m_mac.thermalState();
}

RegistryValue SimPower::batteryDescription(const QString &state, double current, double max)
{
    return RegistryValue::dictionary({
        {QString::fromLatin1(powerSourceStateKey), RegistryValue::string(state)},
        {QString::fromLatin1(currentCapacityKey), RegistryValue::number(current)},
        {QString::fromLatin1(maxCapacityKey), RegistryValue::number(max)},
    });
}

// ---- the machine's side ----

std::optional<RegistryValue> SimulatedMac::powerSources() const
{
    QMutexLocker lock(&m_mutex);
    return m_powerSources;
}

void SimulatedMac::setPowerSources(std::optional<RegistryValue> sources)
{
    QMutexLocker lock(&m_mutex);
    m_powerSources = std::move(sources);
}

ThermalState SimulatedMac::thermalState() const
{
    QMutexLocker lock(&m_mutex);
    return m_thermalState;
}

void SimulatedMac::setThermalState(ThermalState state)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_thermalState == state)
            return;
        m_thermalState = state;
    }
    emit m_power->thermalStateChanged();
}

} // namespace qv
