#pragma once

#include "runtime/Scheduler.h"

#include <QObject>
#include <QString>

#include <functional>

namespace qv {

class Power;

// Reads the battery every 30 s and whenever the power service says it changed,
// and publishes whether the computer runs on battery and the remaining charge; tells its
// owner each time the low-battery state (on battery and below 30 %) begins or ends.
// Main thread.
class BatteryMonitor final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isOnBattery READ isOnBattery NOTIFY isOnBatteryChanged)
    Q_PROPERTY(int percentRemaining READ percentRemaining NOTIFY percentRemainingChanged)
public:
    static constexpr qint64 kIntervalMs = 30'000;
    static constexpr int kLowPercent = 30;

    // Reads the battery of the installed platform once, then every 30 s.
    explicit BatteryMonitor(QObject *parent = nullptr);
    // The same on the given power service (not owned; nullptr: no readings).
    explicit BatteryMonitor(Power *power, QObject *parent = nullptr);
    ~BatteryMonitor() override;

    bool isOnBattery() const { return m_isOnBattery; }
    int percentRemaining() const { return m_percentRemaining; }

    // The low-battery state last reported (or found before anyone listened).
    bool lastLowState() const { return m_lastLowState; }

    // Called with the new low-battery state each time it differs from the last one reported.
    std::function<void(bool)> onLowBattery;

    // One reading of the battery.
    void update();

signals:
    void isOnBatteryChanged();
    void percentRemainingChanged();

private:
    void reportFaults(const QString &faults);

    Power *m_power;
    bool m_isOnBattery = false;
    int m_percentRemaining = 100;
    TaskHandle m_timer;
    bool m_lastLowState = false;
    QString m_lastFaults;
};

} // namespace qv
