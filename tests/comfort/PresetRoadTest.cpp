// The whole road from a preset choice to the transfer formulas of the simulated Mac.

#include "comfort/PresetManager.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "support/TestEnvironment.h"

using namespace qv;

namespace {

class PresetRoadTest : public test::QvTest {};

TuningValues tuningFor(const PresetValues &v)
{
    TuningValues t;
    t.brightness = v.brightness;
    t.warmth = v.warmth;
    t.contrastReduction = v.contrastReduction;
    t.softWhite = v.softWhite;
    t.highlightCompression = v.highlightCompression;
    t.enabled = v.tuningEnabled;
    t.nightModeEnabled = v.nightModeEnabled;
    t.noBlueModeEnabled = v.noBlueModeEnabled;
    t.redModeIntensity = v.noBlueModeEnabled ? std::max(v.redModeIntensity, 0.01) : 1.0;
    return t;
}

} // namespace

TEST_F(PresetRoadTest, EveningReachesEveryDisplayAndNeutralGivesTheSystemColoursBack)
{
    ASSERT_EQ(mac->displays().size(), 2);
    DisplayTuning &tuning = DisplayTuning::shared();
    ASSERT_TRUE(tuning.isMiniLEDDisplay(1));
    ASSERT_FALSE(tuning.isMiniLEDDisplay(2));
    PresetManager &manager = PresetManager::shared();
    manager.setProfileIntensity(0.4);
    advance(1000);

    QList<std::pair<qint64, double>> steps;
    QObject::connect(&tuning, &DisplayTuning::brightnessChanged, &tuning,
                     [&] { steps.append({clock->monotonicMs(), tuning.brightness()}); });
    const qint64 start = clock->monotonicMs();
    logs->clear();
    manager.applyPreset(ComfortPreset::evening, true);
    EXPECT_TRUE(logs->contains("PresetManager", "Applying preset: Evening"));
    EXPECT_EQ(defaults->stringValue("activePreset"), "Evening");
    advance(2000);

    // 28 eased steps 18 ms apart, then the final values after the last pause.
    const PresetValues evening = computedPresetValues(ComfortPreset::evening, 0.4);
    ASSERT_EQ(steps.size(), 29);
    for (int k = 1; k <= 28; ++k) {
        const double t = k / 28.0;
        EXPECT_EQ(steps[k - 1].first - start, (k - 1) * 18);
        EXPECT_DOUBLE_EQ(steps[k - 1].second, 1.0 + (evening.brightness - 1.0) * t * t * (3 - 2 * t));
    }
    EXPECT_EQ(steps[28].first - start, 28 * 18);

    const TuningValues expected = tuningFor(evening);
    EXPECT_EQ(tuning.currentEditorValues(), expected);
    for (DisplayId display : {1u, 2u}) {
        SCOPED_TRACE(display);
        const auto formula = mac->formula(display);
        ASSERT_TRUE(formula);
        EXPECT_EQ(*formula, DisplayTuning::formula(expected, 0, false, tuning.isMiniLEDDisplay(display)));
    }
    EXPECT_TRUE(DisplayEngine::shared().pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(DisplayEngine::shared().pwmThresholdPercent(), evening.pwmThreshold * 100);
    EXPECT_DOUBLE_EQ(ComfortVeilController::shared().colorCalm(), evening.colorCalm);

    const int restores = mac->restoreCallCount();
    manager.applyPreset(ComfortPreset::neutral, true);
    advance(2000);
    EXPECT_FALSE(tuning.enabled());
    EXPECT_GT(mac->restoreCallCount(), restores);
    EXPECT_EQ(mac->formula(1), std::nullopt);
    EXPECT_EQ(mac->formula(2), std::nullopt);
    EXPECT_EQ(defaults->stringValue("activePreset"), "Neutral");
}
