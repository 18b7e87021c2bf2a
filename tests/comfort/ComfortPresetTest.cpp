#include "comfort/ComfortPreset.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

struct Row {
    ComfortPreset preset;
    double intensity;
    double brightness, warmth, contrast, softWhite, highlight, pwmThreshold, colorCalm;
};

} // namespace

TEST(ComfortPreset, ComputedValuesAtGentlestAndStrongest)
{
    const Row rows[] = {
        {ComfortPreset::reading, 0, 0.98, 0.10, 0.03, 0.06, 0.03, 0.92, 0.08},
        {ComfortPreset::reading, 1, 0.86, 0.38, 0.16, 0.26, 0.14, 0.72, 0.22},
        {ComfortPreset::focus, 0, 0.96, 0.06, 0.04, 0.04, 0.03, 0.90, 0.06},
        {ComfortPreset::focus, 1, 0.78, 0.28, 0.18, 0.20, 0.12, 0.68, 0.18},
        {ComfortPreset::evening, 0, 0.92, 0.22, 0.05, 0.10, 0.06, 0.86, 0.10},
        {ComfortPreset::evening, 1, 0.52, 0.88, 0.14, 0.24, 0.16, 0.48, 0.28},
        {ComfortPreset::lowStimulus, 0, 0.86, 0.18, 0.10, 0.12, 0.08, 0.78, 0.24},
        {ComfortPreset::lowStimulus, 1, 0.56, 0.52, 0.24, 0.32, 0.22, 0.52, 0.62},
        {ComfortPreset::colorWork, 0, 1.00, 0.00, 0.00, 0.02, 0.01, 0.96, 0.00},
        {ComfortPreset::colorWork, 1, 0.92, 0.08, 0.06, 0.12, 0.06, 0.86, 0.00},
        {ComfortPreset::pwmSafe, 0, 0.78, 0.02, 0.02, 0.03, 0.03, 0.78, 0.04},
        {ComfortPreset::pwmSafe, 1, 0.44, 0.12, 0.08, 0.10, 0.08, 0.38, 0.14},
        // Half-way lies on the line between the ends.
        {ComfortPreset::evening, 0.5, 0.72, 0.55, 0.095, 0.17, 0.11, 0.67, 0.19},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(qPrintable(rawValue(r.preset) + QStringLiteral(" at %1").arg(r.intensity)));
        const PresetValues v = computedPresetValues(r.preset, r.intensity);
        EXPECT_NEAR(v.tuning.brightness, r.brightness, 1e-12);
        EXPECT_NEAR(v.tuning.warmth, r.warmth, 1e-12);
        EXPECT_NEAR(v.tuning.contrastReduction, r.contrast, 1e-12);
        EXPECT_NEAR(v.tuning.softWhite, r.softWhite, 1e-12);
        EXPECT_NEAR(v.tuning.highlightCompression, r.highlight, 1e-12);
        EXPECT_NEAR(v.pwm.threshold, r.pwmThreshold, 1e-12);
        EXPECT_NEAR(v.colorCalm, r.colorCalm, 1e-12);
        EXPECT_TRUE(v.tuning.enabled);
        EXPECT_TRUE(v.pwm.enabled);
        EXPECT_FALSE(v.tuning.nightModeEnabled);
        EXPECT_FALSE(v.tuning.noBlueModeEnabled);
        EXPECT_EQ(v.tuning.redModeIntensity, 0);
    }
}

TEST(ComfortPreset, NeutralIgnoresIntensityWithTuningOffAndPwmOnAtFull)
{
    for (double i : {0.0, 0.65, 1.0}) {
        const PresetValues v = computedPresetValues(ComfortPreset::neutral, i);
        EXPECT_EQ(v.tuning.brightness, 1.0);
        EXPECT_EQ(v.tuning.warmth, 0);
        EXPECT_EQ(v.tuning.contrastReduction, 0);
        EXPECT_EQ(v.tuning.softWhite, 0);
        EXPECT_EQ(v.tuning.highlightCompression, 0);
        EXPECT_FALSE(v.tuning.enabled);
        EXPECT_TRUE(v.pwm.enabled);
        EXPECT_EQ(v.pwm.threshold, 1.0);
        EXPECT_EQ(v.colorCalm, 0);
    }
}

TEST(ComfortPreset, RawValuesTitlesAndIdentifiers)
{
    EXPECT_EQ(rawValue(ComfortPreset::pwmSafe), "PWM-safe");
    EXPECT_EQ(defaultTitle(ComfortPreset::pwmSafe), "PWM-Safe");
    EXPECT_EQ(rawValue(ComfortPreset::lowStimulus), "Low Stimulus");
    EXPECT_EQ(defaultTitle(ComfortPreset::colorWork), "Color Work");
    for (ComfortPreset p : kAllComfortPresets)
        EXPECT_EQ(presetFromRawValue(rawValue(p)), p);

    const struct {
        const char *text;
        std::optional<ComfortPreset> preset;
    } cases[] = {
        {"Day", ComfortPreset::neutral},     {"Coding", ComfortPreset::focus},
        {"Deep focus", ComfortPreset::focus}, {"Design", ComfortPreset::colorWork},
        {"Night", ComfortPreset::evening},   {"PWM-safe", ComfortPreset::pwmSafe},
        {"PWM-Safe", std::nullopt},          {"night", std::nullopt},
        {"", std::nullopt},                  {"Evening ", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(resolvePresetIdentifier(QString::fromUtf8(c.text)), c.preset) << c.text;
    // Earlier identifiers are accepted only when resolving, never as raw values.
    EXPECT_EQ(presetFromRawValue("Night"), std::nullopt);
}

TEST(ComfortPreset, IntensityLabelBoundsBelongToTheNextLabel)
{
    const struct {
        double i;
        const char *label;
    } cases[] = {{0, "Subtle"},     {0.2499, "Subtle"}, {0.25, "Balanced"}, {0.5499, "Balanced"},
                 {0.55, "Strong"},  {0.8199, "Strong"}, {0.82, "Maximum"},  {1, "Maximum"}};
    for (const auto &c : cases)
        EXPECT_EQ(intensityLabel(c.i), QString::fromUtf8(c.label)) << c.i;
}
