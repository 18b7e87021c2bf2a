#include "DisplayTestSupport.h"

#include "display/LiveVerificationMonitor.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qv;
using namespace qv::test;

class LiveVerificationTest : public DisplayTest {
protected:
    std::unique_ptr<LiveVerificationMonitor> monitor()
    {
        return std::make_unique<LiveVerificationMonitor>(DisplayEngine::shared());
    }
    void setDitherEverywhere(bool on)
    {
        for (const SimDisplay &d : mac->displays())
            mac->setFramebufferProperty(d.id, "enableDither", RegistryValue::boolean(on));
    }
};

TEST_F(LiveVerificationTest, SnapshotCoversEveryDisplayAndTheBuiltInOne)
{
    setDitherEverywhere(false);
    mac->setFramebufferProperty(1, "uniformity2D", RegistryValue::boolean(false));
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    EXPECT_TRUE(s.ditherDisabledOnAllDisplays);
    EXPECT_TRUE(s.ditherDisabledOnBuiltIn);
    EXPECT_TRUE(s.uniformity2DDisabledOnBuiltIn);
    EXPECT_EQ(s.lastCheck, clock->now());
    ASSERT_EQ(s.displayStates.size(), 2);

    const LiveVerificationSnapshot::DisplayState &builtIn = s.displayStates[0];
    EXPECT_EQ(builtIn.id, entryOf(1));
    EXPECT_EQ(builtIn.name, "Built-in Liquid Retina XDR Display");
    EXPECT_FALSE(builtIn.isExternal);
    EXPECT_EQ(builtIn.typeLabel, "Built-in display");
    EXPECT_EQ(builtIn.uniformity2D, false);
    const LiveVerificationSnapshot::DisplayState &external = s.displayStates[1];
    EXPECT_EQ(external.id, entryOf(2));
    EXPECT_EQ(external.name, "DELL U2723QE");
    EXPECT_EQ(external.iconName, "display");
    EXPECT_FALSE(external.uniformity2D.has_value());

    // The snapshot's ids are the engine's: a per-display write aimed by one reaches it.
    DisplayEngine::shared().setDither(true, DisplayEngine::Target::service(external.id));
    EXPECT_TRUE(ditherOn(2));
    EXPECT_FALSE(ditherOn(1));
}

TEST_F(LiveVerificationTest, OneDisplayWithDitheringOnClearsTheAllDisplaysFlag)
{
    setDitherEverywhere(false);
    mac->setFramebufferProperty(2, "enableDither", RegistryValue::boolean(true));
    auto m = monitor();
    EXPECT_FALSE(m->snapshot().ditherDisabledOnAllDisplays);
    EXPECT_TRUE(m->snapshot().ditherDisabledOnBuiltIn);
    EXPECT_FALSE(m->snapshot().uniformity2DDisabledOnBuiltIn); // still on
}

TEST_F(LiveVerificationTest, BuiltInScreenIsFoundWhateverItsName)
{
    // A German system names the built-in screen differently; it is still the built-in one.
    mac->updateDisplay(1, [](SimDisplay &d) { d.name = QStringLiteral("Integriertes Retina-Display"); });
    setDitherEverywhere(false);
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    ASSERT_EQ(s.displayStates.size(), 2);
    EXPECT_FALSE(s.displayStates[0].isExternal);
    EXPECT_EQ(s.displayStates[0].name, "Integriertes Retina-Display");
    EXPECT_TRUE(s.ditherDisabledOnBuiltIn);
    EXPECT_TRUE(s.ditherDisabledOnAllDisplays);
}

TEST_F(LiveVerificationTest, LidClosedLeavesTheBuiltInFramebufferOut)
{
    mac->updateDisplay(1, [](SimDisplay &d) { d.hasScreen = false; });
    setDitherEverywhere(false);
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    ASSERT_EQ(s.displayStates.size(), 1);
    EXPECT_EQ(s.displayStates[0].id, entryOf(2));
    EXPECT_FALSE(s.ditherDisabledOnBuiltIn);
    EXPECT_TRUE(s.ditherDisabledOnAllDisplays);
}

TEST_F(LiveVerificationTest, ExternalFramebuffersBeyondTheExternalScreensAreLeftOut)
{
    addExternal(3, "LG HDR 4K");
    addExternal(4, "Stale Framebuffer", false);
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    ASSERT_EQ(s.displayStates.size(), 3);
    EXPECT_EQ(s.displayStates[2].id, entryOf(3));
}

TEST_F(LiveVerificationTest, ASecondBuiltInIdentityIsMatchedWithTheExternalFramebuffers)
{
    insertSecondBuiltInBeforeTheExternal(5, "Studio Panel");
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    ASSERT_EQ(s.displayStates.size(), 3);
    EXPECT_EQ(s.displayStates[0].name, "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(s.displayStates[1].id, entryOf(5));
    EXPECT_EQ(s.displayStates[1].name, "Studio Panel");
    EXPECT_EQ(s.displayStates[2].id, entryOf(2));
    EXPECT_EQ(s.displayStates[2].name, "DELL U2723QE");
    EXPECT_FALSE(s.displayStates[2].detailLine.isEmpty());
}

TEST_F(LiveVerificationTest, NamesFallBackWithoutAnIdentity)
{
    // Display 3's screen has no display number, so no identity describes it.
    addExternal(3, "LG HDR 4K");
    mac->updateDisplay(3, [](SimDisplay &d) { d.hasScreenNumber = false; });
    mac->removeFramebufferProperty(3, "DisplayProductName");
    auto m = monitor();
    const LiveVerificationSnapshot &s = m->snapshot();
    ASSERT_EQ(s.displayStates.size(), 3);
    EXPECT_EQ(s.displayStates[2].name, mac->display(3)->entryName);
    EXPECT_EQ(s.displayStates[2].typeLabel, "External monitor");
    EXPECT_TRUE(s.displayStates[2].detailLine.isEmpty());
}

TEST_F(LiveVerificationTest, BuiltInWithoutUniformityLeavesItsFlagFalse)
{
    mac->removeFramebufferProperty(1, "uniformity2D");
    mac->setFramebufferProperty(2, "uniformity2D", RegistryValue::boolean(false)); // externals do not count
    auto m = monitor();
    EXPECT_FALSE(m->snapshot().displayStates[0].uniformity2D.has_value());
    EXPECT_FALSE(m->snapshot().uniformity2DDisabledOnBuiltIn);

    mac->setFramebufferProperty(1, "uniformity2D", RegistryValue::number(0)); // not a Boolean
    m->refresh();
    EXPECT_FALSE(m->snapshot().displayStates[0].uniformity2D.has_value());
}

TEST_F(LiveVerificationTest, NothingListedMeansNoFlagIsSet)
{
    useMachine(SimulatedMac::empty());
    auto m = monitor();
    EXPECT_TRUE(m->snapshot().displayStates.isEmpty());
    EXPECT_FALSE(m->snapshot().ditherDisabledOnAllDisplays);

    useMachine(SimulatedMac::standard());
    mac->setMatchingFails(true);
    auto failing = std::make_unique<LiveVerificationMonitor>(DisplayEngine::shared());
    EXPECT_TRUE(failing->snapshot().displayStates.isEmpty());
}

TEST_F(LiveVerificationTest, ReadsTheRegistryBackEveryTwoSeconds)
{
    auto m = monitor();
    int published = 0;
    QObject::connect(m.get(), &LiveVerificationMonitor::snapshotChanged, [&] { ++published; });
    EXPECT_TRUE(m->snapshot().displayStates[1].ditherEnabled);

    mac->setFramebufferProperty(2, "enableDither", RegistryValue::boolean(false));
    advance(1999);
    EXPECT_TRUE(m->snapshot().displayStates[1].ditherEnabled);
    advance(1);
    EXPECT_FALSE(m->snapshot().displayStates[1].ditherEnabled);
    EXPECT_EQ(m->snapshot().lastCheck, clock->now());
    advance(4000);
    EXPECT_EQ(published, 3); // every check stamps a new time

    m->startMonitoring(5.0);
    advance(4999);
    EXPECT_EQ(published, 3);
    advance(1);
    EXPECT_EQ(published, 4);

    m.reset();
    advance(10000); // pending ticks find no monitor
}
