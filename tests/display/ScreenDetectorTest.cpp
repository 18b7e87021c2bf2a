#include "DisplayTestSupport.h"

#include "display/ScreenDetector.h"
#include "runtime/UserDefaults.h"

#include "display/DisplayTuning.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace qv;
using namespace qv::test;

class ScreenDetectorTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        detector = std::make_unique<ScreenDetector>(DisplayEngine::shared());
        detector->registerForReconfiguration();
        runPending();
    }
    void TearDown() override
    {
        detector.reset();
        DisplayTest::TearDown();
    }
    // A reconfiguration event as the system sends it, delivered to the main thread.
    void event(quint32 flags, DisplayId display = 2)
    {
        mac->fireReconfiguration(display, flags);
        deliverQueued();
    }
    int reapplies()
    {
        runPending();
        return detector->displayChangeCount();
    }

    std::unique_ptr<ScreenDetector> detector;
};

TEST_F(ScreenDetectorTest, ABurstOfEventsGivesOneReapplyAfterTheLast)
{
    event(kDisplayAddFlag | kDisplayEnabledFlag);
    advance(500);
    event(kDisplaySetModeFlag);
    advance(500);
    event(kDisplayDesktopShapeChangedFlag);
    advance(1499);
    EXPECT_EQ(reapplies(), 0);
    advance(1);
    EXPECT_EQ(reapplies(), 1);
    advance(10000);
    EXPECT_EQ(reapplies(), 1);
}

TEST_F(ScreenDetectorTest, OnlyConfigurationChangesTrigger)
{
    for (quint32 flags : {quint32(kDisplayBeginConfigurationFlag), quint32(kDisplayMovedFlag),
                          quint32(kDisplaySetMainFlag), quint32(kDisplayMovedFlag | kDisplaySetMainFlag)}) {
        event(flags);
        EXPECT_FALSE(detector->isReapplyPending()) << flags;
    }
    for (quint32 flags : {0x8u, 0x10u, 0x20u, 0x100u, 0x200u, 0x400u, 0x800u, 0x1000u}) {
        event(flags | kDisplayBeginConfigurationFlag);
        EXPECT_TRUE(detector->isReapplyPending()) << flags;
    }
    advance(1500);
    EXPECT_EQ(reapplies(), 1);
}

TEST_F(ScreenDetectorTest, EventsFromAnotherThreadAreForwardedToTheMainThread)
{
    std::thread other([this] { mac->fireReconfiguration(2, kDisplayRemoveFlag); });
    other.join();
    EXPECT_FALSE(detector->isReapplyPending()); // not before the main thread takes it
    deliverQueued();
    EXPECT_TRUE(detector->isReapplyPending());
    advance(1500);
    EXPECT_EQ(reapplies(), 1);
}

TEST_F(ScreenDetectorTest, ACallbackWithoutADetectorIsIgnored)
{
    ScreenDetector::displayReconfigurationCallback(2, kDisplayAddFlag, nullptr);
    deliverQueued();
    advance(2000);
    EXPECT_EQ(reapplies(), 0);

    // An event queued for a detector that is gone before the main thread takes it.
    mac->fireReconfiguration(2, kDisplayAddFlag);
    detector.reset();
    deliverQueued();
    mac->fireReconfiguration(2, kDisplayRemoveFlag); // still registered, nobody listens
    deliverQueued();
    advance(2000);
}

TEST_F(ScreenDetectorTest, ReapplyWritesTheStoredSwitchesToTheNewDisplaySet)
{
    // A new framebuffer arrives with the system's defaults.
    addExternal(3, "LG HDR 4K");
    deliverQueued();
    advance(1500);
    EXPECT_EQ(reapplies(), 1);
    // Nothing stored: dithering off everywhere, uniformity left on.
    EXPECT_FALSE(ditherOn(1));
    EXPECT_FALSE(ditherOn(3));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true));
    EXPECT_FALSE(fb(3, "uniformity2D").isBool()); // not a built-in framebuffer

    defaults->setBool("disableDithering", false);
    defaults->setBool("disableUniformity2D", true);
    event(kDisplaySetModeFlag);
    advance(1500);
    EXPECT_EQ(reapplies(), 2);
    EXPECT_TRUE(ditherOn(1));
    EXPECT_TRUE(ditherOn(3));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(false));
    EXPECT_FALSE(fb(2, "uniformity2D").isBool());
    // The list is refreshed with the new display set.
    EXPECT_EQ(DisplayEngine::shared().connectedDisplays().size(), 3);
}

TEST_F(ScreenDetectorTest, ReapplyGoesOnAfterAFailedWrite)
{
    mac->failRegistryWrite(serviceOf(1), "enableDither", int(0xe00002e2));
    defaults->setBool("disableUniformity2D", true);
    detector->reapplyAllSettings();
    EXPECT_FALSE(ditherOn(2));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(false));
    EXPECT_EQ(reapplies(), 1);
}

TEST_F(ScreenDetectorTest, ReapplyRestoresThePwmFloorUnlessTuningIsAlreadyOn)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    defaults->setBool("pwmAvoidanceEnabled", true);
    defaults->setDouble("pwmThreshold", 0.6);
    detector->reapplyAllSettings();
    EXPECT_FALSE(tuning.enabled()); // on a later turn
    runPending();
    EXPECT_TRUE(tuning.enabled());
    EXPECT_DOUBLE_EQ(tuning.brightness(), 0.6);

    // Tuning already on (a preset set it): the stored threshold does not overwrite it.
    tuning.setBrightness(0.9);
    const int formulas = mac->formulaCallCount();
    detector->reapplyAllSettings();
    runPending();
    EXPECT_DOUBLE_EQ(tuning.brightness(), 0.9);
    EXPECT_GT(mac->formulaCallCount(), formulas); // the formulas are sent again
}

TEST_F(ScreenDetectorTest, ReapplyFloorTable)
{
    const struct {
        std::optional<bool> enabled;
        std::optional<double> threshold;
        bool tuningOn;
        double brightness;
    } table[] = {
        {true, std::nullopt, true, 0.85},
        {true, 0.0, true, 0.85},
        {true, 1.5, true, 0.85}, // above full brightness
        {true, 0.4, true, 0.4},
        {true, 1.0, false, 1.0}, // a floor at full brightness dims nothing
        {false, 0.4, false, 1.0},
        {std::nullopt, 0.4, false, 1.0}, // never stored: off
    };
    for (const auto &row : table) {
        DisplayTuning::shared().resetAll();
        runPending();
        defaults->remove("pwmAvoidanceEnabled");
        defaults->remove("pwmThreshold");
        if (row.enabled)
            defaults->setBool("pwmAvoidanceEnabled", *row.enabled);
        if (row.threshold)
            defaults->setDouble("pwmThreshold", *row.threshold);
        detector->reapplyAllSettings();
        runPending();
        EXPECT_EQ(DisplayTuning::shared().enabled(), row.tuningOn) << row.threshold.value_or(-1);
        EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), row.brightness) << row.threshold.value_or(-1);
    }
}

TEST_F(ScreenDetectorTest, DefaultsRegisteredInTheStoreAreNotStoredSwitches)
{
    // Registered values that differ from what a never-stored switch means here.
    defaults->registerDefaults({{"disableDithering", false},
                                {"disableUniformity2D", true},
                                {"pwmAvoidanceEnabled", true},
                                {"pwmThreshold", 0.5}});
    detector->reapplyAllSettings();
    runPending();
    EXPECT_FALSE(ditherOn(1));
    EXPECT_FALSE(ditherOn(2));
    EXPECT_EQ(fb(1, "uniformity2D"), RegistryValue::boolean(true));
    EXPECT_FALSE(DisplayTuning::shared().enabled()); // PWM avoidance never stored: off
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 1.0);

    // Switched on by the user; the threshold is still only registered.
    defaults->setBool("pwmAvoidanceEnabled", true);
    detector->reapplyAllSettings();
    runPending();
    EXPECT_TRUE(DisplayTuning::shared().enabled());
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.85);
}
