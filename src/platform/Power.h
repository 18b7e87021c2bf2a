#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// The process's thermal state, mildest first.
enum class ThermalState { Nominal, Fair, Serious, Critical };

// One reading of the battery. What could not be read is left out; a reader keeps what it
// had for it.
struct BatteryReading {
    // Whether the computer runs on its battery.
    std::optional<bool> onBattery;
    // The battery's remaining charge in whole percent, cut toward zero (29.6 % is 29); none
    // without a battery.
    std::optional<int> percent;
    // What in the system's answer could not be read, for the reader's log; empty when nothing.
    QString faults;

    bool operator==(const BatteryReading &) const = default;
};

// The battery and the system's thermal state.
class Power : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // A fresh reading of the battery.
    virtual BatteryReading battery() = 0;

    virtual ThermalState thermalState() = 0;

signals:
    // The thermal state changed; may be emitted on any thread.
    void thermalStateChanged();
    // The battery changed (a charger plugged in, a new charge, a battery gone): a reader
    // reads it again. Main thread.
    void powerSourcesChanged();
};

} // namespace qv
