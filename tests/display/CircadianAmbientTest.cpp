#include "display/AmbientLightSensor.h"
#include "display/DisplayTuning.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"
#include "support/TimeZoneGuard.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

namespace qv {
namespace {

using test::QvTest;
using test::kBuiltIn;
using test::kExternal;

constexpr qint64 kTransitionMs = (DisplayTuning::transitionStepCount + 2) * TuningAnimator::stepMs;

class CircadianAmbientTest : public QvTest {
protected:
    DisplayTuning &tuning() { return DisplayTuning::shared(); }
    float externalBlueMax() const { return mac->formula(kExternal) ? mac->formula(kExternal)->blueMax : -1.0f; }
};

// ---- the phases of the day ----

TEST_F(CircadianAmbientTest, PhaseBoundaries)
{
    const struct {
        int hour, minute;
        const char *label;
    } cases[] = {
        {0, 0, "No blue"},     {6, 59, "No blue"},   {7, 0, "Daylight"}, {15, 59, "Daylight"},
        {16, 0, "Late day"},   {18, 59, "Late day"}, {19, 0, "Evening"}, {22, 59, "Evening"},
        {23, 0, "No blue"},    {23, 59, "No blue"},
    };
    test::TimeZoneGuard zone("Europe/Berlin");
    for (const auto &c : cases) {
        const QDateTime local(QDate(2026, 6, 1), QTime(c.hour, c.minute), Qt::LocalTime);
        EXPECT_EQ(TuningSchedule::circadianTarget(local.toUTC()).label, c.label) << c.hour << ":" << c.minute;
    }
    const auto noBlue = TuningSchedule::circadianTarget(QDateTime(QDate(2026, 6, 1), QTime(3, 0), Qt::LocalTime));
    EXPECT_TRUE(noBlue.values.noBlueModeEnabled);
    EXPECT_DOUBLE_EQ(noBlue.values.warmth, 1.40);
}

TEST_F(CircadianAmbientTest, ScheduleOnMovesToThePhaseAndOffKeepsTheValues)
{
    test::TimeZoneGuard zone("UTC"); // the clock starts at 09:00 UTC: daylight
    tuning().setCircadianScheduleEnabled(true);
    EXPECT_EQ(defaults->boolValue("tuning.circadianSchedule"), true);
    EXPECT_TRUE(tuning().enabled());
    EXPECT_TRUE(tuning().isNoBlueTransitionRunning());
    advance(kTransitionMs);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.96);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.08);

    tuning().setBrightness(0.5);
    tuning().setCircadianScheduleEnabled(false);
    EXPECT_EQ(defaults->boolValue("tuning.circadianSchedule"), false);
    advance(600'000);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.5);
    EXPECT_TRUE(tuning().enabled());
}

TEST_F(CircadianAmbientTest, EachFiveMinuteTickOverridesManualChanges)
{
    test::TimeZoneGuard zone("UTC");
    tuning().setCircadianScheduleEnabled(true);
    advance(kTransitionMs);
    tuning().setBrightness(0.5);
    advance(300'000 - kTransitionMs - 1);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.5);
    advance(1 + kTransitionMs);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.96);

    // Turning it on again replaces the timer: still one tick per 300 s.
    tuning().setCircadianScheduleEnabled(true);
    advance(kTransitionMs);
    tuning().setBrightness(0.5);
    advance(150'000);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.5);
}

TEST_F(CircadianAmbientTest, TimeZoneChangeTakesEffectAtOnce)
{
    test::TimeZoneGuard zone("UTC");
    tuning().setCircadianScheduleEnabled(true);
    advance(kTransitionMs);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.96);

    test::TimeZoneGuard::use("Asia/Tokyo"); // 09:00 UTC is 18:00 there
    mac->workspace().postTimeZoneChanged();
    advance(kTransitionMs);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.86);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.32);
}

TEST_F(CircadianAmbientTest, StoredSwitchesStartAtConstruction)
{
    test::TimeZoneGuard zone("America/Los_Angeles"); // 01:00 there
    defaults->setBool("tuning.circadianSchedule", true);
    defaults->setBool("tuning.ambientAwareComfort", true);
    mac->setAmbientLightReading(RegistryValue::number(44));
    tuning();
    EXPECT_EQ(tuning().ambientLightStatus(), "44 lux");
    EXPECT_DOUBLE_EQ(tuning().ambientComfortLevel(), 0.5);
    advance(kTransitionMs);
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.40);
}

TEST_F(CircadianAmbientTest, WronglyTypedSwitchesAreLogged)
{
    struct Case {
        const char *key;
        QVariant stored;
        const char *reading;
    } cases[] = {
        {"tuning.circadianSchedule", QStringLiteral("on"), "read as off"},
        {"tuning.circadianSchedule", 1, "read as on"},
        {"tuning.ambientAwareComfort", QStringLiteral("yes"), "read as on"},
        {"tuning.ambientAwareComfort", QVariantList{true}, "read as off"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        defaults->set(c.key, c.stored);
        restart();
        logs->clear();
        tuning();
        EXPECT_TRUE(logs->containsPart("DisplayTuning", QStringLiteral("%1 is not a Boolean; %2").arg(c.key, c.reading)));
        defaults->remove(c.key);
    }
    restart();
    logs->clear();
    defaults->setBool("tuning.circadianSchedule", false);
    tuning();
    EXPECT_FALSE(logs->containsPart("DisplayTuning", "is not a Boolean"));
}

// ---- the sensor's values ----

TEST_F(CircadianAmbientTest, RawValuesInLux)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    using RV = RegistryValue;
    const struct {
        const char *name;
        RegistryValue value;
        std::optional<double> lux;
    } cases[] = {
        {"thousandths", RV::number(20000), 20},
        {"tenths", RV::number(5000), 500},
        {"1000 as it is", RV::number(1000), 1000},
        {"10000 in tenths", RV::number(10000), 1000},
        {"10001 in thousandths", RV::number(10001), 10.001},
        {"zero", RV::number(0), 0},
        {"negative", RV::number(-1), std::nullopt},
        {"not a number", RV::number(nan), std::nullopt},
        {"infinite", RV::number(inf), std::nullopt},
        {"array's first", RV::array({RV::number(30), RV::number(900)}), 30},
        {"empty array", RV::array({}), std::nullopt},
        {"array of text", RV::array({RV::string("30")}), std::nullopt},
        {"array with negative first", RV::array({RV::number(-5), RV::number(5)}), std::nullopt},
        {"dictionary key order", RV::dictionary({{"value", RV::number(7)}, {"Lux", RV::number(12)}}), 12},
        {"key holding no number is passed", RV::dictionary({{"lux", RV::string("x")}, {"Current", RV::number(3)}}), 3},
        {"unknown keys", RV::dictionary({{"level", RV::number(3)}}), std::nullopt},
        {"empty dictionary", RV::dictionary({}), std::nullopt},
        {"dictionary of infinity", RV::dictionary({{"lux", RV::number(inf)}}), std::nullopt},
        {"text", RV::string("40"), std::nullopt},
        {"Boolean", RV::boolean(true), std::nullopt},
        {"data", RV::data("\x01"), std::nullopt},
    };
    for (const auto &c : cases) {
        const auto lux = ambientLight::normalizedLux(c.value);
        ASSERT_EQ(lux.has_value(), c.lux.has_value()) << c.name;
        if (lux) {
            EXPECT_DOUBLE_EQ(*lux, *c.lux) << c.name;
        }
    }
    EXPECT_TRUE(logs->containsPart("DisplayTuning", "out of range"));
    EXPECT_TRUE(logs->containsPart("DisplayTuning", "is not a reading"));
}

TEST_F(CircadianAmbientTest, LevelsLabelsAndStatusTexts)
{
    const struct {
        double lux, level;
        const char *room, *status;
    } cases[] = {
        {0, 1, "Dark room", "0 lux"},         {8, 1, "Dark room", "8 lux"},
        {20, 1 - 12.0 / 72, "Dark room", "20 lux"}, {20.4, 1 - 12.4 / 72, "Dark room", "20 lux"},
        {20.5, 1 - 12.5 / 72, "Dark room", "21 lux"}, {28.16, 0.72, "Dim room", "28 lux"},
        {44, 0.5, "Dim room", "44 lux"},     {54.8, 0.35, "Bright room", "55 lux"},
        {80, 0, "Bright room", "80 lux"},    {500, 0, "Bright room", "500 lux"},
    };
    for (const auto &c : cases) {
        const double level = ambientLight::comfortLevel(c.lux);
        EXPECT_NEAR(level, c.level, 1e-12) << c.lux;
        EXPECT_EQ(ambientLight::roomLabel(c.level), c.room) << c.lux;
        EXPECT_EQ(ambientLight::statusText(c.lux), c.status) << c.lux;
    }
    // Just above a threshold is the darker label; the threshold itself the brighter one.
    EXPECT_EQ(ambientLight::roomLabel(0.7201), "Dark room");
    EXPECT_EQ(ambientLight::roomLabel(0.3501), "Dim room");
    EXPECT_EQ(ambientLight::statusText(1e300).right(4), " lux");
}

// ---- ambient-aware comfort ----

TEST_F(CircadianAmbientTest, AmbientComfortReadsEveryTwelveSecondsAndOffUndoesAtOnce)
{
    mac->setAmbientLightReading(RegistryValue::number(20000));
    const float before = externalBlueMax();
    tuning().setAmbientAwareComfortEnabled(true);
    EXPECT_EQ(defaults->boolValue("tuning.ambientAwareComfort"), true);
    EXPECT_TRUE(tuning().enabled());
    ASSERT_TRUE(tuning().ambientLightLux());
    EXPECT_DOUBLE_EQ(*tuning().ambientLightLux(), 20);
    EXPECT_EQ(tuning().ambientLightStatus(), "20 lux");
    EXPECT_NEAR(tuning().ambientComfortLevel(), 0.8333, 1e-4);
    EXPECT_EQ(tuning().ambientComfortLabel(), "Dark room");
    const float dimmed = externalBlueMax();
    EXPECT_NE(dimmed, before);

    mac->setAmbientLightReading(RegistryValue::number(5000));
    advance(11'999);
    EXPECT_EQ(tuning().ambientLightStatus(), "20 lux");
    advance(1);
    EXPECT_EQ(tuning().ambientLightStatus(), "500 lux");
    EXPECT_EQ(tuning().ambientComfortLabel(), "Bright room");

    mac->setAmbientLightReading(RegistryValue::number(20000));
    advance(12'000);
    EXPECT_FLOAT_EQ(externalBlueMax(), dimmed);
    tuning().setAmbientAwareComfortEnabled(false);
    EXPECT_EQ(defaults->boolValue("tuning.ambientAwareComfort"), false);
    EXPECT_EQ(tuning().ambientComfortLevel(), 0);
    EXPECT_EQ(tuning().ambientLightStatus(), "Manual");
    EXPECT_FALSE(tuning().ambientLightLux());
    EXPECT_EQ(tuning().ambientComfortLabel(), "Manual");
    EXPECT_NE(externalBlueMax(), dimmed);

    // No timer is left reading the sensor.
    advance(60'000);
    EXPECT_EQ(tuning().ambientLightStatus(), "Manual");
}

TEST_F(CircadianAmbientTest, MissingOrUnusableSensorIsRetriedOnTheNextTick)
{
    tuning().setAmbientAwareComfortEnabled(true);
    EXPECT_EQ(tuning().ambientLightStatus(), "Sensor unavailable");
    EXPECT_EQ(tuning().ambientComfortLabel(), "Sensor unavailable");
    EXPECT_EQ(tuning().ambientComfortLevel(), 0);

    mac->setAmbientLightReading(RegistryValue::number(std::numeric_limits<double>::quiet_NaN()));
    advance(12'000);
    EXPECT_EQ(tuning().ambientLightStatus(), "Sensor unavailable");

    mac->setAmbientLightReading(RegistryValue::number(44));
    advance(12'000);
    EXPECT_TRUE(tuning().ambientAwareComfortEnabled());
    EXPECT_EQ(tuning().ambientComfortLabel(), "Dim room");
}

TEST_F(CircadianAmbientTest, ServicesAndPropertiesAreTriedInOrder)
{
    // An unusable first property falls through to the next one on the same service ...
    const ServiceHandle first = mac->setAmbientLightReading(RegistryValue::number(-1));
    mac->setRegistryServiceProperty(first, "SensorValue", RegistryValue::number(30));
    EXPECT_EQ(ambientLight::readLux(), 30);
    // ... and an earlier property wins over a later one.
    mac->setRegistryServiceProperty(first, "Illuminance", RegistryValue::number(12));
    EXPECT_EQ(ambientLight::readLux(), 12);

    // A service of a later class answers only when the earlier classes give nothing.
    mac->addRegistryService("IOHIDService", "hid", {{"Lux", RegistryValue::number(70)}});
    EXPECT_EQ(ambientLight::readLux(), 12);
    mac->setRegistryServiceProperty(first, "Illuminance", RegistryValue::array({}));
    mac->setRegistryServiceProperty(first, "SensorValue", RegistryValue::dictionary({}));
    EXPECT_EQ(ambientLight::readLux(), 70);

    mac->setMatchingFails(true);
    EXPECT_FALSE(ambientLight::readLux());
}

} // namespace
} // namespace qv
