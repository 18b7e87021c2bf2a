#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::QvTest;
using test::kBuiltIn;
using test::kExternal;


TuningValues on(TuningValues v = {})
{
    v.enabled = true;
    return v;
}

void expectFormula(const TransferFormula &f, std::array<double, 9> expected, double tolerance = 1e-4)
{
    const std::array<float, 9> got{f.redMin, f.redMax, f.redGamma, f.greenMin, f.greenMax,
                                   f.greenGamma, f.blueMin, f.blueMax, f.blueGamma};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_NEAR(got[i], expected[i], tolerance) << "value " << i;
}

// The worked numbers of the formula.
TEST(TransferFormulaTest, WorkedNumbers)
{
    struct Case {
        const char *name;
        TuningValues values;
        bool miniLED;
        bool forcedGuard;
        std::array<double, 9> formula;
        bool autoActive;
    };
    TuningValues b06 = on();
    b06.brightness = 0.6;
    TuningValues w10 = on();
    w10.warmth = 1.0;
    TuningValues w14 = on();
    w14.warmth = 1.4;
    TuningValues b05 = on();
    b05.brightness = 0.5;
    const double b05Lift = 0.055 * 0.35599; // guard ~0.356 on a mini-LED panel
    const double b05s2 = 0.2 * 0.35599, b05h2 = 0.18 * 0.35599;

    const Case cases[] = {
        {"neutral", on(), false, false, {0, 1, 1, 0, 1, 1, 0, 1, 1}, false},
        {"neutral on mini-LED", on(), true, false, {0, 1, 1, 0, 1, 1, 0, 1, 1}, false},
        {"brightness 0.6", b06, false, false, {0, 0.6, 1, 0, 0.6, 1, 0, 0.6, 1}, false},
        {"warmth 1.0", w10, false, false, {0, 1, 1, 0, 0.85, 1, 0, 0.55, 1}, false},
        {"warmth 1.4 with guard", w14, false, false,
         {0.0112, 0.991552, 1, 0.0112, 0.77848, 1, 0.0112, 0.352848, 1}, true},
        {"brightness 0.5 mini-LED", b05, true, false,
         {b05Lift, 0.5 * (1 - 0.06 * b05s2 - 0.08 * b05h2), 1, b05Lift, 0.5 * (1 - 0.09 * b05s2 - 0.10 * b05h2), 1,
          b05Lift, 0.5 * (1 - 0.16 * b05s2 - 0.12 * b05h2), 1},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bool autoActive = !c.autoActive;
        expectFormula(tuningFormula::formula(c.values, 0, c.forcedGuard, c.miniLED, &autoActive), c.formula);
        EXPECT_EQ(autoActive, c.autoActive);
    }

    EXPECT_NEAR(tuningFormula::adjust(b06, 0, false, false).score, 0.24 * 0.14 / 0.46, 1e-9);
    EXPECT_NEAR(tuningFormula::adjust(w10, 0, false, false).score, 0.32 * 0.48 / 0.7, 1e-9);
    EXPECT_NEAR(tuningFormula::adjust(on(), 0, false, true).score, 0.12, 1e-9);
    const auto b05Adjusted = tuningFormula::adjust(b05, 0, false, true);
    EXPECT_NEAR(b05Adjusted.score, 0.356, 1e-3);
    EXPECT_NEAR(b05Adjusted.guard, b05Adjusted.score, 1e-12);
}

TEST(TransferFormulaTest, RedModeAtFullIntensity)
{
    TuningValues red = on();
    red.noBlueModeEnabled = true;
    red.redModeIntensity = 1.0;
    for (const bool miniLED : {false, true}) {
        SCOPED_TRACE(miniLED ? "mini-LED" : "ordinary");
        const auto a = tuningFormula::adjust(red, 0, false, miniLED);
        const TransferFormula f = tuningFormula::formula(red, 0, false, miniLED);
        const float lift = float(std::min((miniLED ? 0.055 : 0.035) * a.guard, miniLED ? 0.11 : 0.08));
        EXPECT_EQ(f.blueMin, 0.0f);
        EXPECT_EQ(f.blueMax, 0.0f);
        EXPECT_LE(f.greenMax, float(a.b2 * (miniLED ? 0.12 : 0.08)) + 1e-6f);
        EXPECT_GE(f.redMax, float(a.b2 * (miniLED ? 0.68 : 0.82)) - 1e-6f);
        EXPECT_FLOAT_EQ(f.redMin, lift);
        EXPECT_FLOAT_EQ(f.greenMin, std::min(lift, 0.01f));
        EXPECT_EQ(f.blueGamma, f.redGamma);
    }
}

TEST(TransferFormulaTest, ForcedGuardMinimaAndCaps)
{
    struct Case {
        bool miniLED;
        double contrast;
        double liftAtLeast;
        double liftAtMost;
    };
    const Case cases[] = {
        {true, 0, 0.0264, 0.0264 + 1e-6},
        {false, 0, 0.0133, 0.0133 + 1e-6},
        {true, 0.4, 0.0864 - 1e-6, 0.0864 + 1e-6},  // 0.15 x 0.4 + 0.055 x 0.48, below the cap
        {false, 0.4, 0.0733 - 1e-6, 0.0733 + 1e-6}, // 0.15 x 0.4 + 0.035 x 0.38
    };
    for (const Case &c : cases) {
        TuningValues v = on();
        v.contrastReduction = c.contrast;
        const auto a = tuningFormula::adjust(v, 0, true, c.miniLED);
        EXPECT_GE(a.guard, c.miniLED ? 0.48 : 0.38);
        const TransferFormula f = tuningFormula::formula(v, 0, true, c.miniLED);
        EXPECT_GE(f.redMin, float(c.liftAtLeast)) << c.miniLED << " " << c.contrast;
        EXPECT_LE(f.redMin, float(c.liftAtMost)) << c.miniLED << " " << c.contrast;
    }
}

TEST(TransferFormulaTest, AmbientDimsAndWarms)
{
    const auto a = tuningFormula::adjust(on(), 1.0, false, false);
    EXPECT_NEAR(a.b2, 0.88, 1e-12);
    EXPECT_NEAR(a.w2, 0.22, 1e-12);
    EXPECT_NEAR(a.score, 0.12, 1e-12);
    EXPECT_FALSE(a.autoActive);
    // Out-of-range and non-numbers are limited, never passed on.
    TuningValues wild = on();
    wild.brightness = std::nan("");
    wild.warmth = 9;
    wild.highlightCompression = -3;
    const auto w = tuningFormula::adjust(wild, 0, false, false);
    EXPECT_EQ(w.b, 0.1);
    EXPECT_EQ(w.w, 1.4);
    EXPECT_EQ(w.h, 0);
}

class DisplayTuningApplyTest : public QvTest {
protected:
    DisplayTuning &tuning() { return DisplayTuning::shared(); }
};

TEST_F(DisplayTuningApplyTest, EveryDisplayGetsItsOwnPanelsFormula)
{
    tuning().batch([&] {
        tuning().setWarmth(1.4);
        tuning().setEnabled(true);
    });
    TuningValues w14 = on();
    w14.warmth = 1.4;
    ASSERT_TRUE(mac->formula(kExternal));
    ASSERT_TRUE(mac->formula(kBuiltIn));
    expectFormula(*mac->formula(kExternal), {0.0112, 0.991552, 1, 0.0112, 0.77848, 1, 0.0112, 0.352848, 1});
    EXPECT_EQ(*mac->formula(kBuiltIn), tuningFormula::formula(w14, 0, false, true));
    EXPECT_NE(*mac->formula(kBuiltIn), *mac->formula(kExternal));
    EXPECT_TRUE(tuning().bloomGuardAutoActive());
}

TEST_F(DisplayTuningApplyTest, ChoiceOfSetWithAndWithoutSelection)
{
    tuning().selectTarget(QStringLiteral("2"));
    tuning().batch([&] {
        tuning().setBrightness(0.6);
        tuning().setEnabled(true);
    });
    // The selected display gets its own set; the other one the (disabled) global set.
    expectFormula(*mac->formula(kExternal), {0, 0.6, 1, 0, 0.6, 1, 0, 0.6, 1});
    EXPECT_EQ(*mac->formula(kBuiltIn), TransferFormula::identity());
    EXPECT_FALSE(tuning().globalValues().enabled);

    const int restores = mac->restoreCallCount();
    tuning().selectTarget(QStringLiteral("all"));
    // Every display now gets the global set, which is off: the colour settings return.
    EXPECT_GT(mac->restoreCallCount(), restores);
    EXPECT_FALSE(mac->formula(kExternal));
    EXPECT_FALSE(mac->formula(kBuiltIn));
    EXPECT_DOUBLE_EQ(tuning().brightness(), 1.0);
    EXPECT_FALSE(tuning().enabled());
}

TEST_F(DisplayTuningApplyTest, NoActiveDisplaysRestoresWithoutFormulaCalls)
{
    useMachine(SimulatedMac::empty());
    const int restores = mac->restoreCallCount();
    tuning().setEnabled(true);
    EXPECT_EQ(mac->formulaCallCount(), 0);
    EXPECT_GT(mac->restoreCallCount(), restores);
    EXPECT_FALSE(SidecarComfortOverlayManager::shared().latestState());
}

TEST_F(DisplayTuningApplyTest, BloomGuardStatusFollowsOnlyTheEditedDisplay)
{
    // Display 2 warm enough for the automatic guard, display 1 neutral and edited.
    tuning().selectTarget(QStringLiteral("2"));
    tuning().batch([&] {
        tuning().setWarmth(1.4);
        tuning().setEnabled(true);
    });
    EXPECT_TRUE(tuning().bloomGuardAutoActive());
    tuning().selectTarget(QStringLiteral("1"));
    tuning().setWarmth(0); // display 1: neutral, enabled (copied from global? no: global is off)
    tuning().setEnabled(true);
    // Display 2 still computes an engaged guard, but it is not the edited one.
    EXPECT_FALSE(tuning().bloomGuardAutoActive());
    EXPECT_EQ(mac->formula(kExternal)->redMin, tuningFormula::formula(tuning().displayValues().value(kExternal), 0,
                                                                      false, false).redMin);

    // With no selection the main display is the edited one.
    tuning().selectTarget(QStringLiteral("all"));
    tuning().batch([&] {
        tuning().setWarmth(1.4);
        tuning().setEnabled(true);
    });
    EXPECT_TRUE(tuning().bloomGuardAutoActive());
    // A disabled edited set leaves the status where it was.
    tuning().setEnabled(false);
    EXPECT_TRUE(tuning().bloomGuardAutoActive());
}

TEST_F(DisplayTuningApplyTest, FailedFormulaIsLoggedAndTheDisplayKeepsItsFormula)
{
    // Display 1 tuned on its own: display 2 gets the neutral formula of the disabled global set.
    tuning().selectTarget(QStringLiteral("1"));
    tuning().setEnabled(true);
    EXPECT_EQ(*mac->formula(kExternal), TransferFormula::identity());
    mac->failFormula(kExternal, 1001);
    tuning().setBrightness(0.5);
    EXPECT_TRUE(logs->contains("DisplayTuning", "CGSetDisplayTransferByFormula neutral reset failed for display 2: 1001"));
    EXPECT_LT(mac->formula(kBuiltIn)->redMax, 0.51f); // display 1 still tuned

    tuning().selectTarget(QStringLiteral("all"));
    tuning().setBrightness(0.8);
    tuning().setEnabled(true);
    EXPECT_TRUE(logs->contains("DisplayTuning", "CGSetDisplayTransferByFormula failed for display 2: 1001"));
    EXPECT_EQ(*mac->formula(kExternal), TransferFormula::identity()); // kept what it had
    EXPECT_FALSE(logs->containsPart("DisplayTuning", "display 1:"));
}

TEST_F(DisplayTuningApplyTest, SidecarDisplayGetsFormulaAndOverlayState)
{
    SimDisplay ipad;
    ipad.id = 7;
    ipad.name = QStringLiteral("Sidecar Display (iPad)");
    ipad.isVirtual = true;
    ipad.pixelsWide = 2388;
    ipad.pixelsHigh = 1668;
    ipad.frame = QRectF(3648, 0, 1194, 834);
    mac->addDisplay(ipad);
    DisplayIdentityProvider::shared().identities(true);
    ASSERT_TRUE(tuning().hasSidecarDisplay());

    tuning().batch([&] {
        tuning().setBrightness(0.5);
        tuning().setEnabled(true);
    });
    ASSERT_TRUE(mac->formula(7));
    auto &overlay = SidecarComfortOverlayManager::shared();
    ASSERT_TRUE(overlay.latestState());
    const auto expected = tuningFormula::overlayState(tuning().globalValues(), 0, false, true, true);
    EXPECT_EQ(*overlay.latestState(), expected);
    EXPECT_NEAR(overlay.latestState()->brightness, 0.5, 1e-12);
    // The state waits until the application has finished launching.
    EXPECT_FALSE(overlay.applicationReady());
    EXPECT_TRUE(overlay.panelStates().isEmpty());
    mac->workspace().finishLaunching();
    EXPECT_TRUE(overlay.applicationReady());
    EXPECT_EQ(overlay.panelStates().keys(), QList<DisplayId>{7});
    EXPECT_EQ(overlay.panelStates().value(7), expected);
    EXPECT_TRUE(logs->contains("SidecarComfortOverlay", "Created Sidecar overlay for display 7"));

    // Switching the overlay off hides every panel; on again creates them again.
    tuning().setSidecarOverlayEnabled(false);
    EXPECT_TRUE(overlay.panelStates().isEmpty());
    EXPECT_FALSE(overlay.latestState()->enabled);
    EXPECT_EQ(defaults->boolValue("tuning.sidecarOverlay"), false);
    tuning().setSidecarOverlayEnabled(true);
    EXPECT_EQ(overlay.panelStates().size(), 1);
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "Created Sidecar overlay for display 7"), 2);

    // The state comes from the edited target's values, not from the Sidecar display's own.
    tuning().selectTarget(QStringLiteral("7"));
    tuning().setBrightness(0.9);
    tuning().selectTarget(QStringLiteral("1"));
    tuning().setBrightness(0.7);
    EXPECT_NEAR(overlay.panelStates().value(7).brightness, 0.7, 1e-12);
    EXPECT_NEAR(tuningFormula::adjust(tuning().displayValues().value(7), 0, false, true).b2, 0.9, 1e-12);

    // Tuning off everywhere: the state is dropped and the panels hidden.
    tuning().selectTarget(QStringLiteral("all"));
    tuning().setEnabled(false);
    EXPECT_FALSE(overlay.latestState());
    EXPECT_TRUE(overlay.panelStates().isEmpty());
}

} // namespace
} // namespace qv
