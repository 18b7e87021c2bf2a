#include "comfort/BatteryMonitor.h"

#include "platform/Platform.h"
#include "platform/Power.h"
#include "runtime/Logging.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

namespace {
const Logger &batteryMonitorLog()
{
    static const Logger logger("BatteryMonitor");
    return logger;
}

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
} // namespace

BatteryMonitor::BatteryMonitor(QObject *parent)
    : BatteryMonitor(platform().power, parent)
{
}

BatteryMonitor::BatteryMonitor(Power *power, QObject *parent)
    : QObject(parent), m_power(power)
{
    update();
    m_timer = scheduler().every(kIntervalMs, this, [this] { update(); });
    if (m_power)
        connect(m_power, &Power::powerSourcesChanged, this, &BatteryMonitor::update);
}

BatteryMonitor::~BatteryMonitor()
{
    m_timer.cancel();
}

void BatteryMonitor::update()
{
    if (!m_power)
        return;
    const std::optional<RegistryValue> list = m_power->powerSourceList();
    if (!list) {
        reportFaults(QStringLiteral("no power-source snapshot"));
        return;
    }
    if (list->type() != RegistryValue::Type::Array) {
        reportFaults(QStringLiteral("the power-source list is %1, not a list")
                         .arg(RegistryValue::typeName(list->type())));
        return;
    }

    QStringList faults;
    const QList<RegistryValue> sources = list->toArray();
    for (qsizetype i = 0; i < sources.size(); ++i) {
        for (const QString &fault : readDescription(sources.at(i)))
            faults << QStringLiteral("source %1: %2").arg(i).arg(fault);
    }
    reportFaults(faults.join(QStringLiteral("; ")));

    const bool low = m_isOnBattery && m_percentRemaining < kLowPercent;
    if (low != m_lastLowState) {
        m_lastLowState = low;
        if (onLowBattery)
            onLowBattery(low);
    }
}

QStringList BatteryMonitor::readDescription(const RegistryValue &description)
{
    if (description.type() != RegistryValue::Type::Dictionary)
        return {QStringLiteral("the description is %1, not a dictionary")
                    .arg(RegistryValue::typeName(description.type()))};

    const QMap<QString, RegistryValue> d = description.toDictionary();
    QStringList faults;
    const RegistryValue state = d.value(QString::fromLatin1(Power::powerSourceStateKey));
    if (state.isString()) {
        const bool onBattery = state.toString() == QLatin1String(Power::batteryPowerValue);
        if (onBattery != m_isOnBattery) {
            m_isOnBattery = onBattery;
            emit isOnBatteryChanged();
        }
    } else {
        faults << QStringLiteral("\"%1\" is %2, not text")
                      .arg(QLatin1String(Power::powerSourceStateKey), state.description());
    }

    const RegistryValue currentValue = d.value(QString::fromLatin1(Power::currentCapacityKey));
    const RegistryValue maxValue = d.value(QString::fromLatin1(Power::maxCapacityKey));
    const std::optional<qint64> current = integerValue(currentValue);
    const std::optional<qint64> max = integerValue(maxValue);
    if (currentValue.isAbsent() && maxValue.isAbsent()) {
        // A source that tells no charge at all (the mains of a computer without a
        // battery): nothing to read, nothing amiss.
    } else if (!current) {
        faults << QStringLiteral("\"%1\" is %2, not a whole number")
                      .arg(QLatin1String(Power::currentCapacityKey), currentValue.description());
    } else if (!max || *max < 1) {
        faults << QStringLiteral("\"%1\" is %2, not a whole number of at least 1")
                      .arg(QLatin1String(Power::maxCapacityKey), maxValue.description());
    } else {
        // Whole-number arithmetic, cut toward zero: 2999 of 10000 is 29, and 29 of 100
        // stays 29 (no binary fraction below it).
        const int percent = static_cast<int>(std::clamp<qint64>(
            *current * 100 / *max, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        if (percent != m_percentRemaining) {
            m_percentRemaining = percent;
            emit percentRemainingChanged();
        }
    }
    return faults;
}

// Logs what could not be read once, when it differs from the reading before, so that a
// machine that lacks a value does not repeat the same line every 30 s.
void BatteryMonitor::reportFaults(const QString &faults)
{
    if (faults == m_lastFaults)
        return;
    m_lastFaults = faults;
    if (!faults.isEmpty())
        batteryMonitorLog().info("Power sources read in part, values kept as they were: %s", qUtf8Printable(faults));
}

} // namespace qv
