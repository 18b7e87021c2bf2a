#pragma once

#include "comfort/PresetValues.h"

#include <QString>

#include <array>
#include <optional>

namespace qv {

// The seven built-in comfort presets, in the order they are listed everywhere.
enum class ComfortPreset { neutral, reading, focus, evening, lowStimulus, colorWork, pwmSafe };

inline constexpr std::array<ComfortPreset, 7> kAllComfortPresets = {
    ComfortPreset::neutral,   ComfortPreset::reading,     ComfortPreset::focus,   ComfortPreset::evening,
    ComfortPreset::lowStimulus, ComfortPreset::colorWork, ComfortPreset::pwmSafe,
};

// The stored identifier: "Neutral", "Reading", "Focus", "Evening", "Low Stimulus",
// "Color Work", "PWM-safe".
QString rawValue(ComfortPreset preset);
// The title shown while the user has not renamed the preset ("PWM-Safe" for pwmSafe).
QString defaultTitle(ComfortPreset preset);

// Exact, case-sensitive match against the raw values only.
std::optional<ComfortPreset> presetFromRawValue(const QString &text);
// Resolves a stored identifier: a raw value, else an identifier of earlier versions
// ("Day", "Coding", "Deep focus", "Design", "Night"); nothing when it names no preset.
std::optional<ComfortPreset> resolvePresetIdentifier(const QString &text);

// The values of a preset at a profile intensity (already within 0...1). Neutral ignores
// the intensity.
PresetValues computedPresetValues(ComfortPreset preset, double intensity);

// "Subtle" below 0.25, "Balanced" below 0.55, "Strong" below 0.82, else "Maximum".
QString intensityLabel(double intensity);

} // namespace qv
