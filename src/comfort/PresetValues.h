#pragma once

namespace qv {

// The values a built-in preset or a saved profile resolves to before it is applied:
// the tuning part, the PWM part and the comfort veil's colour calm.
struct PresetValues {
    double brightness = 1.0;
    double warmth = 0;
    double contrastReduction = 0;
    double softWhite = 0;
    double highlightCompression = 0;
    bool nightModeEnabled = false;
    bool noBlueModeEnabled = false;
    double redModeIntensity = 0;
    bool tuningEnabled = false;
    bool pwmEnabled = true;
    double pwmThreshold = 1.0; // brightness floor, a fraction 0-1
    double colorCalm = 0;      // 0 = off

    bool operator==(const PresetValues &) const = default;
};

} // namespace qv
