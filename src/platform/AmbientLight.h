#pragma once

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
    // The current reading; nothing when no sensor answers.
    virtual std::optional<AmbientLightReading> currentReading() = 0;
};

} // namespace qv
