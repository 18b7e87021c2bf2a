#include "platform/sim/SimPower.h"

#include "platform/sim/SimulatedMac.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

namespace {
// A whole number within int's range held by a number value; nothing for anything else.
std::optional<qint64> integerValue(const RegistryValue &value)
{
    if (!value.isNumber())
        return std::nullopt;
    const double n = value.toNumber();
    if (!std::isfinite(n) || n != std::trunc(n) || std::fabs(n) > 1e15)
        return std::nullopt;
    return static_cast<qint64>(n);
}

// Reads one source's description into reading; returns what in it could not be read.
QStringList readDescription(const RegistryValue &description, BatteryReading &reading)
{
    if (description.type() != RegistryValue::Type::Dictionary)
        return {QStringLiteral("the description is %1, not a dictionary")
                    .arg(RegistryValue::typeName(description.type()))};

    const QMap<QString, RegistryValue> d = description.toDictionary();
    QStringList faults;
    const RegistryValue state = d.value(QString::fromLatin1(SimPower::powerSourceStateKey));
    if (state.isString())
        reading.onBattery = state.toString() == QLatin1String(SimPower::batteryPowerValue);
    else
        faults << QStringLiteral("\"%1\" is %2, not text")
                      .arg(QLatin1String(SimPower::powerSourceStateKey), state.description());

    const RegistryValue currentValue = d.value(QString::fromLatin1(SimPower::currentCapacityKey));
    const RegistryValue maxValue = d.value(QString::fromLatin1(SimPower::maxCapacityKey));
    const std::optional<qint64> current = integerValue(currentValue);
    const std::optional<qint64> max = integerValue(maxValue);
    if (currentValue.isAbsent() && maxValue.isAbsent()) {
        // A source that tells no charge at all (the mains of a computer without a
        // battery): nothing to read, nothing amiss.
    } else if (!current) {
        faults << QStringLiteral("\"%1\" is %2, not a whole number")
                      .arg(QLatin1String(SimPower::currentCapacityKey), currentValue.description());
    } else if (!max || *max < 1) {
        faults << QStringLiteral("\"%1\" is %2, not a whole number of at least 1")
                      .arg(QLatin1String(SimPower::maxCapacityKey), maxValue.description());
    } else {
        // Whole-number arithmetic, cut toward zero: 2999 of 10000 is 29, and 29 of 100
        // stays 29 (no binary fraction below it).
        reading.percent = static_cast<int>(std::clamp<qint64>(*current * 100 / *max, std::numeric_limits<int>::min(),
                                                               std::numeric_limits<int>::max()));
    }
    return faults;
}

// The battery as a snapshot's power-source list tells it (nothing: no snapshot).
BatteryReading readPowerSources(const std::optional<RegistryValue> &list)
{
    BatteryReading reading;
    if (!list) {
        reading.faults = QStringLiteral("no power-source snapshot");
        return reading;
    }
    if (list->type() != RegistryValue::Type::Array) {
        reading.faults =
            QStringLiteral("the power-source list is %1, not a list").arg(RegistryValue::typeName(list->type()));
        return reading;
    }
    QStringList faults;
    const QList<RegistryValue> sources = list->toArray();
    for (qsizetype i = 0; i < sources.size(); ++i) {
        for (const QString &fault : readDescription(sources.at(i), reading))
            faults << QStringLiteral("source %1: %2").arg(i).arg(fault);
    }
    reading.faults = faults.join(QStringLiteral("; "));
    return reading;
}
} // namespace

BatteryReading SimPower::battery()
{
    return readPowerSources(m_mac.powerSources());
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
