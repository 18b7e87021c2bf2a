#pragma once

#include "display/TuningValues.h"

namespace qv {

// PWM avoidance as a preset or profile sets it: the switch and the brightness floor.
struct PwmAvoidance {
    bool enabled = true;
    double threshold = 1.0; // brightness floor, a fraction 0-1

    bool operator==(const PwmAvoidance &) const = default;
};

// The tuning values of a preset or profile: its bloom guard is never set, and its red-mode
// intensity is 0 while no-blue mode is off (what stored profiles hold).
inline constexpr TuningValues kPresetTuningDefaults{.redModeIntensity = 0};

// The values a built-in preset or a saved profile resolves to before it is applied:
// the tuning part, the PWM part and the comfort veil's colour calm.
struct PresetValues {
    TuningValues tuning = kPresetTuningDefaults;
    PwmAvoidance pwm;
    double colorCalm = 0; // 0 = off

    bool operator==(const PresetValues &) const = default;
};

} // namespace qv
