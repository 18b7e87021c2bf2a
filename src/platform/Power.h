#pragma once

#include "platform/RegistryValue.h"

#include <QObject>

#include <optional>

namespace qv {

// The process's thermal state, mildest first.
enum class ThermalState { Nominal, Fair, Serious, Critical };

// Power sources (the battery) and the system's thermal state.
class Power : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Texts of a power-source description.
    static constexpr const char *powerSourceStateKey = "Power Source State";
    static constexpr const char *currentCapacityKey = "Current Capacity";
    static constexpr const char *maxCapacityKey = "Max Capacity";
    static constexpr const char *batteryPowerValue = "Battery Power";
    static constexpr const char *acPowerValue = "AC Power";

    // The list of power sources of a fresh snapshot, each item the description of one
    // source (a dictionary with text keys when well formed). Nothing when the system
    // gives no snapshot; the list itself may be absent or of another type.
    virtual std::optional<RegistryValue> powerSourceList() = 0;

    virtual ThermalState thermalState() = 0;

signals:
    // The thermal state changed; may be emitted on any thread.
    void thermalStateChanged();
    // The power sources changed (a charger plugged in, a new charge, a battery gone): a
    // reader reads the list again. Main thread.
    void powerSourcesChanged();
};

} // namespace qv
