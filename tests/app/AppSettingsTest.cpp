#include "app/AppSettings.h"

#include "runtime/StoredSetting.h"
#include "runtime/UserDefaults.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qv;

namespace {

TEST(AppSettings, ViewsShowTheDefaultsWhileTheStoreHasNothing)
{
    const struct {
        const char *key;
        QVariant defaultValue, userValue;
    } table[] = {
        {"disableDithering", true, false},
        {"disableUniformity2D", false, true},
        {"pwmAvoidanceEnabled", true, false},
        {"pwmThreshold", 0.85, 0.6},
    };
    ASSERT_EQ(applicationSettings().size(), std::size(table));
    UserDefaults d;
    for (const auto &row : table) {
        SCOPED_TRACE(row.key);
        EXPECT_FALSE(d.object(row.key).isValid()); // nothing registered in the store
        std::unique_ptr<StoredSetting> setting(makeApplicationSetting(row.key));
        ASSERT_TRUE(setting);
        setting->setStore(&d);
        EXPECT_EQ(setting->value(), row.defaultValue);
        EXPECT_EQ(setting->value().typeId(), row.defaultValue.typeId());

        setting->setValue(row.userValue);
        EXPECT_EQ(d.object(row.key), row.userValue);
        EXPECT_EQ(setting->value(), row.userValue);
        d.setString(row.key, "garbled"); // another type: the view shows the default
        EXPECT_EQ(setting->value(), row.defaultValue);
        d.remove(row.key);
        EXPECT_EQ(setting->value(), row.defaultValue);
    }
    EXPECT_TRUE(d.storedKeys().isEmpty());
    EXPECT_EQ(makeApplicationSetting("showBreakTimer"), nullptr);
    EXPECT_EQ(makeApplicationSetting("pwmthreshold"), nullptr);
}

} // namespace
