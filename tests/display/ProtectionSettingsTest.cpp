#include "DisplayTestSupport.h"

#include "display/ProtectionSettings.h"
#include "runtime/UserDefaults.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qv;
using namespace qv::test;

class ProtectionSettingsTest : public DisplayTest {};

TEST_F(ProtectionSettingsTest, FirstLaunchStoresThePwmDefaultsAndSwitchesDitheringOff)
{
    DisplayEngine &engine = DisplayEngine::shared();
    applyStoredProtectionSettings(engine, *defaults);

    EXPECT_TRUE(defaults->hasStoredValue("pwmAvoidanceEnabled"));
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), true);
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.85);
    EXPECT_FALSE(defaults->hasStoredValue("disableDithering"));
    EXPECT_FALSE(defaults->hasStoredValue("disableUniformity2D"));

    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 85.0);
    EXPECT_TRUE(engine.pwmAvoidanceEnabled());
    EXPECT_FALSE(ditherOn(1));
    EXPECT_FALSE(ditherOn(2));
    EXPECT_TRUE(engine.ditherGloballyDisabled());
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true));
    EXPECT_FALSE(fb(2, "uniformity2D").isBool());
}

TEST_F(ProtectionSettingsTest, StoredThresholdBecomesTheEnginePercentage)
{
    const struct {
        QVariant stored;
        double percent;
    } table[] = {
        {0.5, 50.0},
        {1.0, 100.0},
        {0.1, 10.0},
        {0.0, 85.0},
        {-0.3, 85.0},
        {1.5, 85.0},  // above full brightness
        {85.0, 85.0}, // a percentage stored by mistake
        {QStringLiteral("0.5"), 85.0},
    };
    for (const auto &row : table) {
        defaults->set("pwmThreshold", row.stored);
        DisplayEngine engine;
        applyStoredProtectionSettings(engine, *defaults);
        EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), row.percent) << qPrintable(row.stored.toString());
        EXPECT_EQ(defaults->object("pwmThreshold"), row.stored); // never corrected
    }
    EXPECT_DOUBLE_EQ(protection::pwmFloor(std::nan("")), 0.85);
    EXPECT_DOUBLE_EQ(protection::pwmThresholdPercent(std::nullopt), 85.0);
}

TEST_F(ProtectionSettingsTest, StoredSwitchesAreHonoured)
{
    defaults->setBool("disableDithering", false);
    defaults->setBool("disableUniformity2D", true);
    defaults->setBool("pwmAvoidanceEnabled", false);
    mac->setFramebufferProperty(1, "enableDither", RegistryValue::boolean(false));
    DisplayEngine &engine = DisplayEngine::shared();
    applyStoredProtectionSettings(engine, *defaults);

    EXPECT_TRUE(ditherOn(1));
    EXPECT_TRUE(ditherOn(2));
    EXPECT_FALSE(engine.ditherGloballyDisabled());
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(false));
    EXPECT_FALSE(engine.pwmAvoidanceEnabled());
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), false);
}

TEST_F(ProtectionSettingsTest, ValuesOfTheWrongTypeCountAsMissing)
{
    defaults->setString("disableDithering", "no");
    defaults->setString("disableUniformity2D", "yes");
    defaults->setString("pwmAvoidanceEnabled", "off");
    DisplayEngine &engine = DisplayEngine::shared();
    applyStoredProtectionSettings(engine, *defaults);

    EXPECT_FALSE(ditherOn(1)); // dithering goes off
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true)); // uniformity stays on
    EXPECT_TRUE(engine.pwmAvoidanceEnabled());
    EXPECT_EQ(defaults->stringValue("pwmAvoidanceEnabled"), QStringLiteral("off")); // left as it was
}

TEST_F(ProtectionSettingsTest, DefaultsRegisteredInTheStoreCountAsMissing)
{
    defaults->registerDefaults({{"disableDithering", false},
                                {"disableUniformity2D", true},
                                {"pwmAvoidanceEnabled", false},
                                {"pwmThreshold", 0.5}});
    DisplayEngine &engine = DisplayEngine::shared();
    applyStoredProtectionSettings(engine, *defaults);

    EXPECT_FALSE(ditherOn(1));
    EXPECT_FALSE(ditherOn(2));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true));
    EXPECT_TRUE(defaults->hasStoredValue("pwmAvoidanceEnabled"));
    EXPECT_TRUE(defaults->hasStoredValue("pwmThreshold"));
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), true);
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.85);
    EXPECT_TRUE(engine.pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(engine.pwmThresholdPercent(), 85.0);
}
