#include "comfort/ComfortPreset.h"

namespace qv {

QString rawValue(ComfortPreset preset)
{
    switch (preset) {
    case ComfortPreset::neutral: return QStringLiteral("Neutral");
    case ComfortPreset::reading: return QStringLiteral("Reading");
    case ComfortPreset::focus: return QStringLiteral("Focus");
    case ComfortPreset::evening: return QStringLiteral("Evening");
    case ComfortPreset::lowStimulus: return QStringLiteral("Low Stimulus");
    case ComfortPreset::colorWork: return QStringLiteral("Color Work");
    case ComfortPreset::pwmSafe: return QStringLiteral("PWM-safe");
    }
    return QStringLiteral("Neutral");
}

QString defaultTitle(ComfortPreset preset)
{
    if (preset == ComfortPreset::pwmSafe)
        return QStringLiteral("PWM-Safe");
    return rawValue(preset);
}

std::optional<ComfortPreset> presetFromRawValue(const QString &text)
{
    for (ComfortPreset preset : kAllComfortPresets)
        if (rawValue(preset) == text)
            return preset;
    return std::nullopt;
}

std::optional<ComfortPreset> resolvePresetIdentifier(const QString &text)
{
    if (auto preset = presetFromRawValue(text))
        return preset;
    if (text == QLatin1String("Day"))
        return ComfortPreset::neutral;
    if (text == QLatin1String("Coding") || text == QLatin1String("Deep focus"))
        return ComfortPreset::focus;
    if (text == QLatin1String("Design"))
        return ComfortPreset::colorWork;
    if (text == QLatin1String("Night"))
        return ComfortPreset::evening;
    return std::nullopt;
}

namespace {

// One linear value: its value at intensity 0 and at intensity 1.
struct Span {
    double atGentlest;
    double atStrongest;
    double at(double i) const { return atGentlest + (atStrongest - atGentlest) * i; }
};

struct PresetTable {
    Span brightness, warmth, contrastReduction, softWhite, highlightCompression, pwmThreshold, colorCalm;
};

PresetTable tableFor(ComfortPreset preset)
{
    switch (preset) {
    case ComfortPreset::reading:
        return {{0.98, 0.86}, {0.10, 0.38}, {0.03, 0.16}, {0.06, 0.26}, {0.03, 0.14}, {0.92, 0.72}, {0.08, 0.22}};
    case ComfortPreset::focus:
        return {{0.96, 0.78}, {0.06, 0.28}, {0.04, 0.18}, {0.04, 0.20}, {0.03, 0.12}, {0.90, 0.68}, {0.06, 0.18}};
    case ComfortPreset::evening:
        return {{0.92, 0.52}, {0.22, 0.88}, {0.05, 0.14}, {0.10, 0.24}, {0.06, 0.16}, {0.86, 0.48}, {0.10, 0.28}};
    case ComfortPreset::lowStimulus:
        return {{0.86, 0.56}, {0.18, 0.52}, {0.10, 0.24}, {0.12, 0.32}, {0.08, 0.22}, {0.78, 0.52}, {0.24, 0.62}};
    case ComfortPreset::colorWork:
        return {{1.00, 0.92}, {0.00, 0.08}, {0.00, 0.06}, {0.02, 0.12}, {0.01, 0.06}, {0.96, 0.86}, {0.00, 0.00}};
    case ComfortPreset::pwmSafe:
        return {{0.78, 0.44}, {0.02, 0.12}, {0.02, 0.08}, {0.03, 0.10}, {0.03, 0.08}, {0.78, 0.38}, {0.04, 0.14}};
    case ComfortPreset::neutral:
        break;
    }
    return {{1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 1}, {0, 0}};
}

} // namespace

PresetValues computedPresetValues(ComfortPreset preset, double i)
{
    PresetValues v;
    if (preset == ComfortPreset::neutral)
        return v; // the defaults are Neutral's values: tuning off, PWM avoidance on at 1.0
    const PresetTable t = tableFor(preset);
    v.tuning.brightness = t.brightness.at(i);
    v.tuning.warmth = t.warmth.at(i);
    v.tuning.contrastReduction = t.contrastReduction.at(i);
    v.tuning.softWhite = t.softWhite.at(i);
    v.tuning.highlightCompression = t.highlightCompression.at(i);
    v.tuning.nightModeEnabled = false;
    v.tuning.noBlueModeEnabled = false;
    v.tuning.redModeIntensity = 0;
    v.tuning.enabled = true;
    v.pwm.enabled = true;
    v.pwm.threshold = t.pwmThreshold.at(i);
    v.colorCalm = t.colorCalm.at(i);
    return v;
}

QString intensityLabel(double intensity)
{
    if (intensity < 0.25)
        return QStringLiteral("Subtle");
    if (intensity < 0.55)
        return QStringLiteral("Balanced");
    if (intensity < 0.82)
        return QStringLiteral("Strong");
    return QStringLiteral("Maximum");
}

} // namespace qv
