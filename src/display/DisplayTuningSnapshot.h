#pragma once

namespace qv {

// The ten tuning values at one moment: read from the stored all-displays values at
// start-up and applied by the launch action and the pipeline's baseline restore.
struct DisplayTuningSnapshot {
    double brightness = 1.0;
    double warmth = 0;
    double contrastReduction = 0;
    double softWhite = 0;
    double highlightCompression = 0;
    bool bloomGuardEnabled = false;
    bool enabled = false;
    bool nightModeEnabled = false;
    bool noBlueModeEnabled = false;
    double redModeIntensity = 1.0;

    bool operator==(const DisplayTuningSnapshot &) const = default;
};

} // namespace qv
