#include "pages/wellness/BlinkFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qv;
using namespace qv::blink;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const QString em = QString(QChar(0x2014));
} // namespace

TEST(BlinkFormat, RatesRoundHalfAwayFromZeroAndNonNumbersShowTheDash)
{
    const struct { double in; QString out; } cases[] = {
        {0, "0 / min"}, {11.5, "12 / min"}, {12.5, "13 / min"}, {9.5, "10 / min"}, {11.49, "11 / min"},
        {kNaN, em}, {kInf, em}, {-kInf, em}, {-2, em}, {1e300, em},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rateText(c.in), c.out) << c.in;
}

TEST(BlinkFormat, TileDurationsShowHoursAndDropZeroSeconds)
{
    const struct { double in; QString out; } cases[] = {
        {-3, "0s"}, {0.4, "0s"}, {59.4, "59s"}, {59.5, "1m"}, {61, "1m 1s"}, {3599, "59m 59s"},
        {3600, "1h 0m"}, {3661, "1h 1m"}, {8130, "2h 15m"}, {kNaN, em}, {kInf, em}, {-kInf, em},
    };
    for (const auto &c : cases)
        EXPECT_EQ(blinkDurationText(c.in), c.out) << c.in;
}

TEST(BlinkFormat, QualityDurationsHaveNoHourUnit)
{
    const struct { double in; QString out; } cases[] = {
        {0, "0s"}, {59, "59s"}, {59.4, "59s"}, {59.5, "1m 0s"}, {65, "1m 5s"}, {3720, "62m 0s"},
        {3725, "62m 5s"}, {-3, "0s"}, {kNaN, em}, {kInf, em},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qualityDurationText(c.in), c.out) << c.in;
}

TEST(BlinkFormat, MetricTileNotesAndTints)
{
    EXPECT_EQ(rhythmNote(0), "Learning your pace");
    EXPECT_EQ(rhythmNote(0.0001), "5-minute active average");
    EXPECT_EQ(rhythmNote(kNaN), "5-minute active average");
    // The rhythm tile warns only about a face it sees.
    EXPECT_EQ(rhythmTint(4, false), Tint::accent);
    EXPECT_EQ(rhythmTint(9.99, true), Tint::copper);
    EXPECT_EQ(rhythmTint(10, true), Tint::accent);
    EXPECT_EQ(sinceLastBlinkTint(std::nullopt), Tint::accent);
    EXPECT_EQ(sinceLastBlinkTint(20.0), Tint::accent);
    EXPECT_EQ(sinceLastBlinkTint(20.5), Tint::copper);
    EXPECT_EQ(sinceLastBlinkNote(std::nullopt), "No blink yet");
    EXPECT_EQ(sinceLastBlinkNote(0.0), "Long gaps raise the score gently");
}

TEST(BlinkFormat, ComfortScoreBands)
{
    const struct { int score; bool calibrating; QString value; QString note; Tint tint; } cases[] = {
        {0, false, em, "Waiting for enough signal", Tint::copper},
        {1, false, "1", "Consider a short eye reset", Tint::copper},
        {54, false, "54", "Consider a short eye reset", Tint::copper},
        {55, false, "55", "A little more blinking may help", Tint::accent},
        {79, false, "79", "A little more blinking may help", Tint::accent},
        {80, false, "80", "Comfortable rhythm", Tint::sage},
        {100, false, "100", "Comfortable rhythm", Tint::sage},
        // Calibration changes the note, never the tint.
        {80, true, "80", "Calibrating signal", Tint::sage},
        {0, true, em, "Calibrating signal", Tint::copper},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(comfortScoreText(c.score), c.value) << c.score;
        EXPECT_EQ(comfortScoreNote(c.score, c.calibrating), c.note) << c.score << c.calibrating;
        EXPECT_EQ(comfortScoreTint(c.score), c.tint) << c.score;
    }
}

TEST(BlinkFormat, RateCaptionAndPresenceFollowTheirPrecedence)
{
    // away, looking, face, calibrating, rate
    const struct { Presence p; double rate; QString caption; QString value; QString presenceCaption; } cases[] = {
        {{true, false, true, false}, 4, "Paused while away", "Away", "Rate paused"},
        {{true, true, false, true}, 30, "Paused while away", "Away", "Rate paused"},
        {{false, false, true, false}, 4, "Paused while looking away", "Offscreen", "Attentive"},
        {{false, true, true, false}, 9.5, "Below target range", "Here", "Attentive"},
        {{false, true, true, true}, 9.5, "Active-window estimate", "Here", "Attentive"},
        {{false, true, true, false}, 10, "Active-window estimate", "Here", "Attentive"},
        // Without a face the low rate is not flagged.
        {{false, true, false, false}, 4, "Active-window estimate", "Looking", "Position in front of camera"},
        {{false, false, false, false}, 4, "Paused while looking away", "Looking", "Position in front of camera"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(rateCaption(c.rate, c.p), c.caption);
        EXPECT_EQ(presenceValue(c.p), c.value);
        EXPECT_EQ(presenceCaption(c.p, "Attentive"), c.presenceCaption);
    }
}

TEST(BlinkFormat, ConfidencePercentages)
{
    const struct { double in; QString out; } cases[] = {
        {0.726, "73%"}, {0.004, "0%"}, {0.005, "1%"}, {1, "100%"}, {1.7, "100%"}, {-0.2, "0%"}, {kNaN, em},
    };
    for (const auto &c : cases)
        EXPECT_EQ(confidenceText(c.in), c.out) << c.in;
}

TEST(BlinkFormat, SignalTexts)
{
    EXPECT_EQ(earText(true, 0.28649), "EAR 0.286");
    EXPECT_EQ(earText(false, 0.28649), "EAR " + em);
    EXPECT_EQ(earText(true, kNaN), "EAR " + em);
    EXPECT_EQ(earText(true, -1), "EAR " + em);
    // The baseline shows whenever one exists, also while switched off.
    EXPECT_EQ(baselineText(false, 0.31), "Baseline 0.310");
    EXPECT_EQ(baselineText(false, 0), "Baseline " + em);
    EXPECT_EQ(baselineText(true, 0), QString());
    EXPECT_EQ(baselineText(true, kNaN), QString());
    EXPECT_EQ(signalStatusText(false, false, true), "No data available");
    EXPECT_EQ(signalStatusText(true, true, true), "Paused");
    EXPECT_EQ(signalStatusText(true, false, false), "Paused");
    EXPECT_EQ(signalStatusText(true, false, true), "Open");
    EXPECT_EQ(signalTint(true, false, true, true), Tint::copper);
    EXPECT_EQ(signalTint(true, false, true, false), Tint::accent);
    EXPECT_EQ(signalTint(true, true, true, true), Tint::textTertiary);
    EXPECT_EQ(signalTint(true, false, false, true), Tint::textTertiary);
    EXPECT_EQ(signalTint(false, false, true, false), Tint::textTertiary);
    EXPECT_EQ(closureText(0), em);
    EXPECT_EQ(closureText(142.5), "143 ms");
    EXPECT_EQ(closureText(142.4), "142 ms");
    EXPECT_EQ(closureText(kNaN), em);
    EXPECT_EQ(closureText(-5), em);
    EXPECT_EQ(countText(-1), em);
    EXPECT_EQ(countText(12), "12");
}

TEST(BlinkFormat, MeterLevelAndTriggerMark)
{
    EXPECT_EQ(meterLevelWidth(300, false, 1), 8);
    EXPECT_EQ(meterLevelWidth(300, true, 0), 8);
    EXPECT_EQ(meterLevelWidth(300, true, 1), 300);
    EXPECT_EQ(meterLevelWidth(300, true, 0.5), 150);
    EXPECT_EQ(meterLevelWidth(300, true, 7), 300);
    EXPECT_EQ(meterLevelWidth(300, true, kNaN), 8);
    EXPECT_EQ(meterLevelWidth(4, true, 1), 4);
    // The mark stands where the level bar ends for an eye at the closure threshold
    // (openness 0), whatever the width, not at a fixed share of it.
    for (double width : {120.0, 300.0, 900.0})
        EXPECT_EQ(triggerMarkX(width), meterLevelWidth(width, true, 0)) << width;
    EXPECT_EQ(triggerMarkX(5), 3);
    EXPECT_EQ(triggerMarkX(kNaN), 0);
    EXPECT_TRUE(triggerMarkVisible(0.25));
    EXPECT_FALSE(triggerMarkVisible(0));
    EXPECT_FALSE(triggerMarkVisible(-0.2));
    EXPECT_FALSE(triggerMarkVisible(kNaN));
}

TEST(BlinkFormat, CadenceScaleHeightsAndFloors)
{
    EXPECT_EQ(cadenceScale({}), 24);
    EXPECT_EQ(cadenceScale({6, 12, 20}), 24);
    EXPECT_EQ(cadenceScale({6, 12, 30}), 30);
    EXPECT_EQ(cadenceScale({6, kInf, kNaN}), 24);
    const double area = 76;
    EXPECT_DOUBLE_EQ(cadenceBarHeight(6, 30, area), 0.2 * area);
    EXPECT_DOUBLE_EQ(cadenceBarHeight(12, 30, area), 0.4 * area);
    EXPECT_DOUBLE_EQ(cadenceBarHeight(30, 30, area), area);
    EXPECT_EQ(cadenceBarHeight(0.3, 24, area), 8);
    EXPECT_EQ(cadenceBarHeight(0, 24, area), 3);
    EXPECT_EQ(cadenceBarHeight(-5, 24, area), 3);
}

TEST(BlinkFormat, CadenceColourEdges)
{
    const struct { bool active; double value; Tint tint; } cases[] = {
        {false, 30, Tint::trackInactive}, {true, 0, Tint::trackEmpty}, {true, -1, Tint::copper},
        {true, 9.9, Tint::copper},        {true, 10, Tint::accent},    {true, 24, Tint::accent},
        {true, 24.5, Tint::brandTeal},
    };
    for (const auto &c : cases)
        EXPECT_EQ(cadenceTint(c.active, c.value), c.tint) << c.active << " " << c.value;
}

TEST(BlinkFormat, BucketListsOfTheWrongLengthBecomeTen)
{
    EXPECT_EQ(normalisedBuckets({}), QList<double>(10, 0.0));
    EXPECT_EQ(normalisedBuckets({5, 6}), (QList<double>{0, 0, 0, 0, 0, 0, 0, 0, 5, 6}));
    QList<double> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << i;
    // The newest ten are kept.
    EXPECT_EQ(normalisedBuckets(twelve), (QList<double>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(normalisedBuckets({kNaN, kInf, 1, 2, 3, 4, 5, 6, 7, 8}), (QList<double>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
}
