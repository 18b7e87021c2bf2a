#include "display/DisplayIdentity.h"
#include "display/SidecarComfortOverlayManager.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

class SidecarComfortOverlayManagerTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        mac->workspace().setApplicationRunning(true);
    }

    void addSidecar(DisplayId id, const QString &name)
    {
        SimDisplay ipad;
        ipad.id = id;
        ipad.name = name;
        ipad.isVirtual = true;
        ipad.pixelsWide = 2388;
        ipad.pixelsHigh = 1668;
        ipad.frame = QRectF(3648 + 1200 * (id - 7), 0, 1194, 834);
        mac->addDisplay(ipad);
        DisplayIdentityProvider::shared().identities(true);
    }

    SidecarComfortOverlayState dim{true, 0.5, 0.2, 0, 0, 0};
};

TEST_F(SidecarComfortOverlayManagerTest, EverySidecarScreenShowsTheSameState)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    addSidecar(8, QStringLiteral("Studio iPad"));
    EXPECT_EQ(SidecarComfortOverlayManager::sidecarDisplayIDs(), (QList<DisplayId>{7, 8}));

    SidecarComfortOverlayManager manager;
    EXPECT_TRUE(manager.applicationReady());
    manager.apply(dim);
    EXPECT_EQ(manager.panelStates().keys(), (QList<DisplayId>{7, 8}));
    EXPECT_EQ(manager.panelStates().value(8), dim);
    EXPECT_FALSE(manager.latestState()); // apply() leaves it alone

    // A display that left is dropped at the next apply.
    manager.setLatestState(dim); // (without one a screen change releases every panel)
    mac->removeDisplay(8);
    DisplayIdentityProvider::shared().identities(true);
    manager.apply(dim);
    EXPECT_EQ(manager.panelStates().keys(), QList<DisplayId>{7});
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "Created Sidecar overlay for display 7"), 1);

    // A disabled state releases every panel.
    SidecarComfortOverlayState off = dim;
    off.enabled = false;
    manager.apply(off);
    EXPECT_TRUE(manager.panelStates().isEmpty());
}

TEST_F(SidecarComfortOverlayManagerTest, NoSidecarScreenShowsNothing)
{
    SidecarComfortOverlayManager manager;
    manager.apply(dim);
    EXPECT_TRUE(manager.panelStates().isEmpty());
    EXPECT_TRUE(logs->messages("SidecarComfortOverlay").isEmpty());
}

TEST_F(SidecarComfortOverlayManagerTest, StateHandedOverBeforeLaunchIsShownOnceReady)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    mac->workspace().setApplicationRunning(false);
    SidecarComfortOverlayManager manager;
    EXPECT_FALSE(manager.applicationReady());
    manager.setLatestState(dim);
    EXPECT_TRUE(manager.panelStates().isEmpty());
    mac->workspace().finishLaunching();
    EXPECT_TRUE(manager.applicationReady());
    EXPECT_EQ(manager.panelStates().value(7), dim);
}

} // namespace
} // namespace qv
