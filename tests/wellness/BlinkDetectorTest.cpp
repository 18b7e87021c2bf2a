#include "wellness/BlinkTestSupport.h"

#include <cmath>
#include <limits>

using namespace qv;
using namespace qv::test;

namespace {
using BlinkDetectorTest = BlinkTest;
const QString kDash = QString(QChar(0x2014));
} // namespace

TEST_F(BlinkDetectorTest, ConstructionWithTheSwitchAbsentStoresFalseAndStopsOnce)
{
    BlinkDetector &d = make();
    EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), false);
    EXPECT_EQ(logs->count("BlinkDetector", "Blink detection stopped"), 1);
    EXPECT_FALSE(d.userEnabled());
    EXPECT_FALSE(d.isActive());
    EXPECT_EQ(d.eyeStateLabel(), kDash);
    EXPECT_EQ(d.attentionStateLabel(), kDash);
    EXPECT_EQ(d.eyeOpenAmount(), 1.0);
    EXPECT_TRUE(d.isLookingAtScreen());
    EXPECT_EQ(d.blinkRateBuckets(), QList<double>(10, 0.0));
    EXPECT_FALSE(d.secondsSinceLastBlinkValue().isValid());
    EXPECT_EQ(d.blinkComfortScore(), 0);
    EXPECT_EQ(camera().sessionsMade(), 0);
}

TEST_F(BlinkDetectorTest, EyeRatioIsTheExtentAlongYOverTheExtentAlongX)
{
    struct Case {
        const char *name;
        QList<QPointF> points;
        std::optional<double> ratio;
    };
    const QList<Case> cases{
        {"six points", SimFaceLandmarks::eyePoints(3.0), 3.0},
        {"four points", {{0, 0}, {2, 1}, {1, 3}, {0.5, 2}}, 1.5},
        // Degenerate regions give no measurement (not an open-looking 0.3).
        {"three points", {{0, 0}, {1, 1}, {2, 5}}, std::nullopt},
        {"zero width", {{1, 0}, {1, 1}, {1, 2}, {1, 3}}, std::nullopt},
        {"no points", {}, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto ratio = BlinkDetector::eyeRatio(c.points);
        ASSERT_EQ(ratio.has_value(), c.ratio.has_value()) << c.name;
        if (ratio) {
            EXPECT_NEAR(*ratio, *c.ratio, 1e-12) << c.name;
        }
    }
}

TEST_F(BlinkDetectorTest, AttentionNeedsYawAndPitchStrictlyInsideTheirLimits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::optional<double> yaw, pitch;
        bool attentive;
    };
    const QList<Case> cases{
        {0.0, 0.0, true},          {std::nullopt, std::nullopt, true},
        {0.3799, 0.3399, true},    {-0.3799, -0.3399, true},
        {0.38, 0.0, false},        {-0.38, 0.0, false},
        {0.0, 0.34, false},        {0.0, -0.34, false},
        {nan, 0.0, false},         {0.0, inf, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BlinkDetector::isAttentive(c.yaw, c.pitch), c.attentive)
            << c.yaw.value_or(-99) << " " << c.pitch.value_or(-99);
}
