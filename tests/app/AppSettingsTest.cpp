#include "app/AppSettings.h"

#include "runtime/UserDefaults.h"

#include <gtest/gtest.h>

TEST(AppSettings, StoredSwitchesHaveTheirDefaultsWithoutBeingStored)
{
    qv::UserDefaults d;
    qv::registerApplicationDefaults(d);
    EXPECT_EQ(d.boolValue("disableDithering"), true);
    EXPECT_EQ(d.boolValue("disableUniformity2D"), false);
    EXPECT_EQ(d.boolValue("pwmAvoidanceEnabled"), true);
    EXPECT_EQ(d.doubleValue("pwmThreshold"), 0.85);
    EXPECT_TRUE(d.storedKeys().isEmpty());
}
