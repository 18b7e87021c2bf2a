#include "comfort/BatteryMonitor.h"

#include "platform/Platform.h"
#include "platform/Power.h"
#include "runtime/Logging.h"

namespace qv {

namespace {
const Logger &batteryMonitorLog()
{
    static const Logger logger("BatteryMonitor");
    return logger;
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
    const BatteryReading reading = m_power->battery();
    if (reading.onBattery && *reading.onBattery != m_isOnBattery) {
        m_isOnBattery = *reading.onBattery;
        emit isOnBatteryChanged();
    }
    if (reading.percent && *reading.percent != m_percentRemaining) {
        m_percentRemaining = *reading.percent;
        emit percentRemainingChanged();
    }
    reportFaults(reading.faults);

    const bool low = m_isOnBattery && m_percentRemaining < kLowPercent;
    if (low != m_lastLowState) {
        m_lastLowState = low;
        if (onLowBattery)
            onLowBattery(low);
    }
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
