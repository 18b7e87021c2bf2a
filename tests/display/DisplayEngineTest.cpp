#include "DisplayTestSupport.h"

#include "display/DisplayEngine.h"

#include "display/DisplayTuning.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {
const ResultCode kNotPermitted = int(0xe00002e2);
using Target = DisplayEngine::Target;
} // namespace

class DisplayEngineTest : public DisplayTest {};

TEST_F(DisplayEngineTest, ChipFamilyComesFromTheHostBrandString)
{
    const struct {
        std::optional<QString> brand;
        ChipFamily family;
    } table[] = {
        {QStringLiteral("Apple M3 Pro"), ChipFamily::m3},
        {QStringLiteral("Apple M2 Max"), ChipFamily::m2},
        {QStringLiteral("Apple M1 Ultra bridged to an M5"), ChipFamily::m5}, // newest first
        {QStringLiteral("Intel(R) Core(TM) i9-9980HK CPU @ 2.40GHz"), ChipFamily::unknown},
        {QStringLiteral(""), ChipFamily::unknown},
        {std::nullopt, ChipFamily::unknown},
    };
    for (const auto &row : table) {
        mac->setProcessorBrand(row.brand);
        EXPECT_EQ(DisplayEngine::detectChipFamily(), row.family) << qPrintable(row.brand.value_or("(none)"));
    }
    mac->setProcessorBrand(QStringLiteral("Apple M4"));
    EXPECT_EQ(DisplayEngine::shared().chipFamilyText(), "M4");
}

TEST_F(DisplayEngineTest, ListsFramebuffersPairedWithIdentitiesOneTurnLater)
{
    DisplayEngine &engine = DisplayEngine::shared();
    EXPECT_TRUE(engine.connectedDisplays().isEmpty()); // published on a later turn
    runPending();
    const QList<DisplayInfo> list = engine.connectedDisplays();
    ASSERT_EQ(list.size(), 2);

    const DisplayInfo &builtIn = list[0];
    EXPECT_EQ(builtIn.id, entryOf(1));
    EXPECT_EQ(builtIn.ioService, serviceOf(1));
    EXPECT_EQ(builtIn.name, "Built-in Liquid Retina XDR Display");
    EXPECT_TRUE(builtIn.isBuiltIn);
    EXPECT_EQ(builtIn.typeLabel, "Built-in display");
    EXPECT_EQ(builtIn.iconName, "laptopcomputer");
    EXPECT_EQ(builtIn.connection, QStringLiteral("Internal"));
    EXPECT_TRUE(builtIn.ditherEnabled);
    EXPECT_TRUE(builtIn.uniformity2DEnabled);
    EXPECT_EQ(builtIn.chipFamily, ChipFamily::m3);

    const DisplayInfo &external = list[1];
    EXPECT_EQ(external.id, entryOf(2));
    EXPECT_EQ(external.name, "DELL U2723QE");
    EXPECT_TRUE(external.isExternal);
    EXPECT_EQ(external.typeLabel, "External monitor");
    EXPECT_EQ(external.iconName, "display");
    EXPECT_FALSE(external.detailLine.isEmpty());
    EXPECT_TRUE(external.uniformity2DEnabled); // absent reads as on
}

TEST_F(DisplayEngineTest, FramebuffersWithoutIdentityTakeTheFallbackNames)
{
    // Two more external framebuffers that no screen shows: no identity for them.
    addExternal(3, "LG HDR 4K", false);
    addExternal(4, "Projector Box", false);
    mac->setFramebufferProperty(4, "DisplayProductName", RegistryValue::number(7)); // not text
    // A second non-external framebuffer (a built-in panel without a screen).
    SimDisplay second;
    second.id = 5;
    second.name = "Second Panel";
    second.builtIn = true;
    second.hasScreen = false;
    mac->addDisplay(second);

    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    const QList<DisplayInfo> list = engine.connectedDisplays();
    ASSERT_EQ(list.size(), 5);

    EXPECT_EQ(list[1].name, "DELL U2723QE"); // the first external takes the one external identity
    EXPECT_EQ(list[2].name, "LG HDR 4K");    // DisplayProductName
    EXPECT_EQ(list[3].name, "External Display");
    for (int i : {2, 3}) {
        EXPECT_EQ(list[i].typeLabel, "External monitor");
        EXPECT_EQ(list[i].iconName, "display");
        EXPECT_TRUE(list[i].detailLine.isEmpty());
        EXPECT_FALSE(list[i].connection.has_value());
    }
    // Both non-external framebuffers take the built-in identity.
    EXPECT_EQ(list[0].name, "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(list[4].name, "Built-in Liquid Retina XDR Display");
}

TEST_F(DisplayEngineTest, ASecondBuiltInIdentityIsMatchedWithTheExternalFramebuffers)
{
    insertSecondBuiltInBeforeTheExternal(5, "Studio Panel");
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    const QList<DisplayInfo> list = engine.connectedDisplays();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].name, "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(list[1].id, entryOf(5));
    EXPECT_TRUE(list[1].isExternal);
    EXPECT_EQ(list[1].name, "Studio Panel");
    EXPECT_EQ(list[1].typeLabel, "Built-in display"); // its identity's kind
    EXPECT_EQ(list[2].id, entryOf(2));
    EXPECT_EQ(list[2].name, "DELL U2723QE");
    EXPECT_EQ(list[2].typeLabel, "External monitor");
}

TEST_F(DisplayEngineTest, BuiltInWithoutIdentityIsNamedAfterItsEntry)
{
    mac->updateDisplay(1, [](SimDisplay &d) { d.hasScreen = false; });
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    ASSERT_EQ(engine.connectedDisplays().size(), 2);
    const DisplayInfo &builtIn = engine.connectedDisplays()[0];
    EXPECT_EQ(builtIn.name, "Built-in disp0");
    EXPECT_EQ(builtIn.typeLabel, "Built-in display");
    EXPECT_EQ(builtIn.iconName, "laptopcomputer");
    EXPECT_TRUE(builtIn.detailLine.isEmpty());
}

TEST_F(DisplayEngineTest, IllTypedOrMissingValuesReadAsTheirDefaults)
{
    mac->setFramebufferProperty(1, "enableDither", RegistryValue::number(0));
    mac->setFramebufferProperty(1, "uniformity2D", RegistryValue::string("off"));
    mac->setFramebufferProperty(1, "external", RegistryValue::string("yes"));
    mac->removeFramebufferProperty(2, "enableDither");
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    const QList<DisplayInfo> list = engine.connectedDisplays();
    ASSERT_EQ(list.size(), 2);
    EXPECT_TRUE(list[0].ditherEnabled);
    EXPECT_TRUE(list[0].uniformity2DEnabled);
    EXPECT_FALSE(list[0].isExternal);
    EXPECT_TRUE(list[1].ditherEnabled);
}

TEST_F(DisplayEngineTest, WritesOnlyWhatDiffersAndLogsEachWrite)
{
    DisplayEngine &engine = DisplayEngine::shared();
    EXPECT_TRUE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all()));
    EXPECT_TRUE(logs->contains("DisplayEngine", "Set enableDither = false on embedded"));
    EXPECT_TRUE(logs->contains("DisplayEngine", "Set enableDither = false on external"));
    EXPECT_FALSE(ditherOn(1));
    EXPECT_FALSE(ditherOn(2));

    logs->clear();
    const int writes = mac->registryWriteCount();
    EXPECT_TRUE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all()));
    EXPECT_EQ(mac->registryWriteCount(), writes);
    EXPECT_TRUE(logs->messages("DisplayEngine").isEmpty());

    // A Boolean is not equal to the number 0: the value is written as a Boolean.
    mac->setFramebufferProperty(2, "enableDither", RegistryValue::number(0));
    EXPECT_TRUE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::external()));
    EXPECT_EQ(fb(2, "enableDither"), RegistryValue::boolean(false));
}

TEST_F(DisplayEngineTest, AFailedWriteIsLoggedAndTheRestAreStillWritten)
{
    addExternal(3, "LG HDR 4K");
    mac->failRegistryWrite(serviceOf(2), "enableDither", kNotPermitted);
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();

    const bool ok = engine.applyProperties(
        {{"enableDither", RegistryValue::boolean(false)}, {"uniformity2D", RegistryValue::boolean(false)}},
        Target::all());
    EXPECT_FALSE(ok);
    EXPECT_EQ(logs->count("DisplayEngine", "Failed to set enableDither: (iokit/common) not permitted"), 1);
    // The same failure again (as at every re-apply after a reconfiguration) is not logged again.
    engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all());
    EXPECT_EQ(logs->count("DisplayEngine", "Failed to set enableDither: (iokit/common) not permitted"), 1);
    EXPECT_FALSE(ditherOn(1));
    EXPECT_TRUE(ditherOn(2));
    EXPECT_FALSE(ditherOn(3));
    EXPECT_EQ(fb(2, "uniformity2D"), RegistryValue::boolean(false)); // the other key of the failing service
    // The list is refreshed after the writes.
    runPending();
    EXPECT_FALSE(engine.connectedDisplays()[0].ditherEnabled);
    EXPECT_TRUE(engine.connectedDisplays()[1].ditherEnabled);
}

TEST_F(DisplayEngineTest, TargetsSelectTheirServices)
{
    const struct {
        const char *name;
        std::function<Target(DisplayEngineTest &)> target;
        bool builtInWritten;
        bool externalWritten;
    } table[] = {
        {"all", [](DisplayEngineTest &) { return Target::all(); }, true, true},
        {"builtIn", [](DisplayEngineTest &) { return Target::builtIn(); }, true, false},
        {"external", [](DisplayEngineTest &) { return Target::external(); }, false, true},
        {"service 1", [](DisplayEngineTest &t) { return Target::service(t.entryOf(1)); }, true, false},
        {"service 2", [](DisplayEngineTest &t) { return Target::service(t.entryOf(2)); }, false, true},
    };
    DisplayEngine &engine = DisplayEngine::shared();
    for (const auto &row : table) {
        mac->setFramebufferProperty(1, "enableDither", RegistryValue::boolean(true));
        mac->setFramebufferProperty(2, "enableDither", RegistryValue::boolean(true));
        EXPECT_TRUE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, row.target(*this)))
            << row.name;
        EXPECT_EQ(!ditherOn(1), row.builtInWritten) << row.name;
        EXPECT_EQ(!ditherOn(2), row.externalWritten) << row.name;
    }
}

TEST_F(DisplayEngineTest, AServiceTargetNamesItsEntryNotAStaleHandle)
{
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    const DisplayInfo old = engine.connectedDisplays()[1];

    // The external display goes away; another comes under the same service handle.
    SimDisplay replacement = *mac->display(2);
    mac->removeDisplay(2);
    replacement.id = 3;
    replacement.registryEntryID = 0;
    mac->addDisplay(replacement);
    ASSERT_EQ(serviceOf(3), old.ioService);

    engine.setDither(false, Target::service(old.id));
    EXPECT_TRUE(ditherOn(3)); // not the display that was meant
    EXPECT_TRUE(logs->containsPart("DisplayEngine", "No framebuffer service with id"));
    EXPECT_FALSE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::service(old.id)));

    runPending();
    engine.setDither(false, Target::service(engine.connectedDisplays()[1].id));
    EXPECT_FALSE(ditherOn(3));
}

TEST_F(DisplayEngineTest, DitherFlagSaysWhatTheRegistryHolds)
{
    DisplayEngine &engine = DisplayEngine::shared();
    engine.setDither(false, Target::all());
    EXPECT_TRUE(engine.ditherGloballyDisabled());

    engine.setDither(true, Target::service(entryOf(2)));
    EXPECT_FALSE(engine.ditherGloballyDisabled()); // one display has it on again

    mac->failRegistryWrite(serviceOf(2), "enableDither", kNotPermitted);
    engine.setDither(false, Target::all());
    EXPECT_FALSE(engine.ditherGloballyDisabled()); // the failed write left display 2 on

    mac->failRegistryWrite(serviceOf(2), "enableDither", 0);
    engine.setDither(false, Target::all());
    EXPECT_TRUE(engine.ditherGloballyDisabled());
}

// A machine whose framebuffers hold no protection properties (a Linux desktop) is not
// written to at all: no write fails, and nothing is logged at every start.
TEST_F(DisplayEngineTest, WithoutFramebufferProtectionsNothingIsWritten)
{
    mac->setFramebufferProtectionsAvailable(false);
    DisplayEngine &engine = DisplayEngine::shared();
    const int writes = mac->registryWriteCount();
    EXPECT_FALSE(engine.applyProperties({{"uniformity2D", RegistryValue::boolean(false)}}, Target::builtIn()));
    engine.setDither(false, Target::all());
    EXPECT_EQ(mac->registryWriteCount(), writes);
    EXPECT_FALSE(engine.ditherGloballyDisabled());
    EXPECT_TRUE(logs->messages("DisplayEngine").isEmpty());
}

TEST_F(DisplayEngineTest, NoFramebufferServicesIsAFailure)
{
    useMachine(SimulatedMac::empty());
    DisplayEngine &engine = DisplayEngine::shared();
    logs->clear();
    engine.setDither(false, Target::all());
    EXPECT_FALSE(engine.ditherGloballyDisabled());
    EXPECT_TRUE(logs->contains("DisplayEngine", "Could not find IOMobileFramebufferAP services"));
    EXPECT_FALSE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all()));
}

TEST_F(DisplayEngineTest, AWriteThatFindsNoFramebufferStillRefreshesTheList)
{
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    ASSERT_EQ(engine.connectedDisplays().size(), 2);
    for (const DisplayId id : {DisplayId(1), DisplayId(2)})
        mac->updateDisplay(id, [](SimDisplay &d) { d.hasFramebuffer = false; });
    EXPECT_FALSE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all()));
    runPending();
    EXPECT_TRUE(engine.connectedDisplays().isEmpty());
}

TEST_F(DisplayEngineTest, FailedMatchingLeavesTheListAndWritesNothing)
{
    DisplayEngine &engine = DisplayEngine::shared();
    runPending();
    ASSERT_EQ(engine.connectedDisplays().size(), 2);
    mac->setMatchingFails(true);
    const int writes = mac->registryWriteCount();
    EXPECT_FALSE(engine.applyProperties({{"enableDither", RegistryValue::boolean(false)}}, Target::all()));
    engine.refreshDisplays();
    runPending();
    EXPECT_EQ(engine.connectedDisplays().size(), 2);
    EXPECT_EQ(mac->registryWriteCount(), writes);
    EXPECT_EQ(logs->count("DisplayEngine", "Could not find IOMobileFramebufferAP services"), 2);
}

TEST_F(DisplayEngineTest, AServiceWhoseNameCannotBeReadIsSkipped)
{
    mac->setEntryNameUnreadable(serviceOf(2), true);
    DisplayEngine &engine = DisplayEngine::shared();
    engine.setDither(false, Target::all());
    runPending();
    EXPECT_TRUE(ditherOn(2));
    ASSERT_EQ(engine.connectedDisplays().size(), 1);
    EXPECT_EQ(engine.connectedDisplays()[0].id, entryOf(1));
}

TEST_F(DisplayEngineTest, ResetReturnsEverythingToTheSystemDefaults)
{
    DisplayEngine &engine = DisplayEngine::shared();
    engine.setDither(false, Target::all());
    engine.applyProperties({{"uniformity2D", RegistryValue::boolean(false)}}, Target::builtIn());
    engine.enablePWMAvoidance(0.6);

    engine.resetToDefaults();
    EXPECT_TRUE(ditherOn(1));
    EXPECT_TRUE(ditherOn(2));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true));
    EXPECT_FALSE(engine.ditherGloballyDisabled());
    EXPECT_FALSE(engine.pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 60.0); // kept
    EXPECT_TRUE(logs->contains("DisplayEngine", "Reset to Apple defaults"));
}

TEST_F(DisplayEngineTest, PwmAvoidanceHandsTheFloorToDisplayTuningOnALaterTurn)
{
    DisplayEngine &engine = DisplayEngine::shared();
    DisplayTuning &tuning = DisplayTuning::shared();
    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 40.0);
    EXPECT_FALSE(engine.pwmAvoidanceEnabled());
    engine.enablePWMAvoidance(0.7);
    EXPECT_TRUE(engine.pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 70.0);
    EXPECT_TRUE(logs->contains("DisplayEngine", "PWM avoidance ENABLED — software brightness floor 70.000000%"));
    EXPECT_DOUBLE_EQ(tuning.brightness(), 1.0); // the engine's flags change first
    EXPECT_FALSE(tuning.enabled());
    runPending();
    EXPECT_DOUBLE_EQ(tuning.brightness(), 0.7);
    EXPECT_TRUE(tuning.enabled());
    EXPECT_TRUE(mac->formula(1).has_value());

    engine.disablePWMAvoidance();
    EXPECT_FALSE(engine.pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 70.0); // kept
    EXPECT_TRUE(logs->contains("DisplayEngine", "PWM avoidance disabled"));
    runPending();
    EXPECT_DOUBLE_EQ(tuning.brightness(), 1.0);
    EXPECT_FALSE(tuning.enabled()); // nothing else was tuned
}

TEST_F(DisplayEngineTest, DisablingPwmAvoidanceKeepsOtherTuning)
{
    DisplayEngine &engine = DisplayEngine::shared();
    DisplayTuning &tuning = DisplayTuning::shared();
    engine.enablePWMAvoidance(0.6);
    runPending();
    tuning.setWarmth(0.4);
    const int formulas = mac->formulaCallCount();

    engine.disablePWMAvoidance();
    runPending();
    EXPECT_DOUBLE_EQ(tuning.brightness(), 1.0);
    EXPECT_TRUE(tuning.enabled());
    EXPECT_GT(mac->formulaCallCount(), formulas);
}

TEST_F(DisplayEngineTest, ResetAlsoResetsDisplayTuning)
{
    DisplayEngine &engine = DisplayEngine::shared();
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setWarmth(0.8);
    tuning.setEnabled(true);
    engine.resetToDefaults();
    EXPECT_DOUBLE_EQ(tuning.warmth(), 0.8);
    runPending();
    EXPECT_DOUBLE_EQ(tuning.warmth(), 0.0);
    EXPECT_FALSE(tuning.enabled());
}
