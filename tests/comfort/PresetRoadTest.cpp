// The whole road from a preset choice to the transfer formulas of the simulated Mac.

#include "comfort/PresetManager.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "display/ScreenDetector.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace qv;

namespace {

class PresetRoadTest : public test::QvTest {};

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
        EXPECT_DOUBLE_EQ(steps[k - 1].second, 1.0 + (evening.tuning.brightness - 1.0) * t * t * (3 - 2 * t));
    }
    EXPECT_EQ(steps[28].first - start, 28 * 18);

    const TuningValues expected = presetTuningValues(evening);
    EXPECT_EQ(tuning.currentEditorValues(), expected);
    for (DisplayId display : {1u, 2u}) {
        SCOPED_TRACE(display);
        const auto formula = mac->formula(display);
        ASSERT_TRUE(formula);
        EXPECT_EQ(*formula, tuningFormula::formula(expected, 0, false, tuning.isMiniLEDDisplay(display)));
    }
    EXPECT_TRUE(DisplayEngine::shared().pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(DisplayEngine::shared().pwmThresholdPercent(), evening.pwm.threshold * 100);
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

// A kill shortly after a preset hot key finds the preset's name and its end values stored
// together, in the set being edited.
TEST_F(PresetRoadTest, PresetEndValuesAreStoredBeforeTheTransitionMoves)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    PresetManager &manager = PresetManager::shared();
    for (const bool targeted : {false, true}) {
        SCOPED_TRACE(targeted);
        manager.applyPreset(ComfortPreset::neutral, false);
        tuning.selectTarget(targeted ? "2" : "all");
        advance(1000);
        const TuningValues globalBefore = tuning.globalValues();
        manager.togglePreset(ComfortPreset::evening);
        advance(3 * 18); // a few steps in
        ASSERT_TRUE(manager.isTransitionRunning());
        EXPECT_EQ(defaults->stringValue("activePreset"), "Evening");
        const TuningValues evening = presetTuningValues(computedPresetValues(ComfortPreset::evening, manager.profileIntensity()));
        // What a new launch reads from the file.
        defaults->sync();
        reloadDefaults();
        if (targeted) {
            EXPECT_EQ(defaults->doubleForKey("tuning.brightness"), globalBefore.brightness);
            EXPECT_EQ(TuningStore::savedSnapshot().brightness, evening.brightness); // the edited set's
            const auto map = QJsonDocument::fromJson(*defaults->dataValue(TuningStore::perDisplayValuesKey)).object();
            EXPECT_EQ(TuningValues::fromJson(map.value("2")), evening);
        } else {
            const TuningValues stored = TuningStore::savedSnapshot();
            EXPECT_DOUBLE_EQ(stored.brightness, evening.brightness);
            EXPECT_DOUBLE_EQ(stored.warmth, evening.warmth);
            EXPECT_TRUE(stored.enabled);
        }
        advance(2000);
    }
}

// One transition moves the editor values at a time: the later one ends the earlier where it
// stands, whichever kind each is, and the later one's values are where it all ends.
TEST_F(PresetRoadTest, APresetAndTheCircadianTransitionEndEachOther)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    PresetManager &manager = PresetManager::shared();
    const DisplayTuning::CircadianTarget dusk{
        "Dusk", {.brightness = 0.6, .warmth = 0.9, .contrastReduction = 0.05, .softWhite = 0.2, .highlightCompression = 0.1}};
    const PresetValues reading = computedPresetValues(ComfortPreset::reading, manager.profileIntensity());

    tuning.applyCircadianTarget(dusk);
    advance(10 * 18);
    manager.applyPreset(ComfortPreset::reading, true);
    EXPECT_FALSE(tuning.isNoBlueTransitionRunning());
    advance(2000);
    EXPECT_DOUBLE_EQ(tuning.brightness(), reading.tuning.brightness);
    EXPECT_DOUBLE_EQ(tuning.warmth(), reading.tuning.warmth);

    manager.applyPreset(ComfortPreset::evening, true);
    advance(10 * 18);
    tuning.applyCircadianTarget(dusk);
    EXPECT_FALSE(manager.isTransitionRunning());
    advance(2000);
    EXPECT_DOUBLE_EQ(tuning.brightness(), dusk.values.brightness);
    EXPECT_DOUBLE_EQ(tuning.warmth(), dusk.values.warmth);
    EXPECT_FALSE(tuning.animator().isRunning());
}

// Neutral chosen while one display is targeted: every display ends with its system
// colours and every set with tuning off, and a re-apply after a reconfiguration (which
// switches PWM-safe dimming on at Neutral's full brightness) brings no preset back.
TEST_F(PresetRoadTest, NeutralWhileADisplayIsTargetedLeavesNoDisplayTuned)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    PresetManager &manager = PresetManager::shared();
    manager.applyPreset(ComfortPreset::evening, true);
    advance(2000);
    tuning.selectTarget("2");
    tuning.setBrightness(0.5);
    ASSERT_TRUE(mac->formula(1) && mac->formula(2));

    manager.applyPreset(ComfortPreset::neutral, true);
    advance(2000);
    EXPECT_EQ(mac->formula(1), std::nullopt);
    EXPECT_EQ(mac->formula(2), std::nullopt);
    EXPECT_FALSE(tuning.globalValues().enabled);
    EXPECT_FALSE(tuning.displayValues().value(2).enabled);
    EXPECT_EQ(tuning.selectedDisplayID(), std::optional<DisplayId>(2));

    ScreenDetector detector(DisplayEngine::shared());
    detector.reapplyAllSettings();
    advance(2000);
    for (const DisplayId display : {1u, 2u}) {
        const auto formula = mac->formula(display);
        EXPECT_TRUE(!formula || *formula == TransferFormula::identity()) << display;
    }
}
