#include "platform/Displays.h"
#include "platform/Host.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/Screens.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(SimulatedMac, StandardMachineHasMiniLedBuiltInAndOneExternal)
{
    auto mac = SimulatedMac::standard();
    const auto displays = mac->displays();
    ASSERT_EQ(displays.size(), 2);
    EXPECT_TRUE(displays[0].builtIn);
    EXPECT_TRUE(displays[0].framebufferProperties.value("uniformity2D").toBool());
    EXPECT_FALSE(displays[1].builtIn);
    EXPECT_FALSE(displays[1].framebufferProperties.contains("uniformity2D"));
    EXPECT_EQ(mac->mainDisplayId(), 1u);

    PlatformServices s = mac->services();
    EXPECT_EQ(s.displays->activeDisplays(), (QList<DisplayId>{1, 2}));
    EXPECT_EQ(s.registry->matchingServices("IOMobileFramebufferAP")->size(), 2);
    EXPECT_EQ(s.screens->screens().size(), 2);
    EXPECT_EQ(s.host->processorBrandString(), QStringLiteral("Apple M3 Pro"));
}
