#pragma once

#include <functional>
#include <optional>

namespace qv {

// One reading of an ambient-light sensor that is not a registry service: the value and
// whether it is already in lux or a raw figure of the sensor's own.
struct AmbientLightReading {
    enum class Unit { lux, vendor };
    double value = 0;
    Unit unit = Unit::lux;

    bool operator==(const AmbientLightReading &) const = default;
};

// An ambient-light sensor the host offers outside the registry. When one is installed,
// display tuning reads it in place of the registry's sensor services.
class AmbientLight {
public:
    virtual ~AmbientLight() = default;
    // The current reading; nothing when no sensor answers (or none has answered yet).
    virtual std::optional<AmbientLightReading> currentReading() = 0;

    // Set by the reader: called on the main thread when a reading that was not ready when
    // asked becomes ready (a sensor just claimed, a sensor service that started or
    // stopped), so that the reader reads again at once rather than at its next turn.
    std::function<void()> onReadingReady;
};

} // namespace qv
