#include "wellness/BlinkTestSupport.h"

using namespace qv;
using namespace qv::test;

namespace {
using BlinkStatisticsTest = BlinkTest;
} // namespace

TEST_F(BlinkStatisticsTest, TheMinuteRateNeedsTenVisibleSeconds)
{
    struct Case {
        double visibleFrom; // the stretch runs from here to 100 s
        double rate;        // expected blinks per minute (unchanged 0 below 10 s)
        bool lowStarted;
    };
    const QList<Case> cases{{80.0, 9.0, true}, {90.1, 0.0, false}};
    for (const Case &c : cases) {
        BlinkDetector &d = make();
        warmUp();
        d.handleFaceSeen(t(8.0), false); // the warm-up stretch ends at 8 s
        frame(c.visibleFrom, kOpen);
        for (const double s : {92.0, 95.0, 98.0})
            blinkAt(s);
        frame(99.9, kOpen);
        clockTo(100.0);
        d.updateBlinkRate();
        EXPECT_NEAR(d.blinksPerMinute(), c.rate, 1e-9) << c.visibleFrom;
        // The first low tick starts the stretch: 120 s later the alert is raised.
        clockTo(220.0);
        d.updateBlinkRate();
        EXPECT_EQ(d.lowBlinkAlert(), c.lowStarted) << c.visibleFrom;
    }
}

TEST_F(BlinkStatisticsTest, TheLowBlinkAlertComesOnceAfter120SecondsOfLowTicks)
{
    BlinkDetector &d = make();
    int calls = 0;
    d.onLowBlinkDetected = [&calls] { ++calls; };
    warmUp(); // an open stretch from 0 and no blink: 0 per minute
    clockTo(20.0);
    d.updateBlinkRate();
    EXPECT_FALSE(d.lowBlinkAlert());
    clockTo(138.0);
    d.updateBlinkRate();
    EXPECT_FALSE(d.lowBlinkAlert());
    clockTo(140.0);
    d.updateBlinkRate();
    EXPECT_TRUE(d.lowBlinkAlert());
    clockTo(145.0);
    d.updateBlinkRate();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(logs->count("BlinkDetector", "Low blink rate alert (0.000000 BPM)"), 1);

    // Looking away drops it at once.
    d.handleFaceSeen(t(146.0), false);
    EXPECT_FALSE(d.lowBlinkAlert());
}

TEST_F(BlinkStatisticsTest, BucketsHoldBlinksFromTheirStartUpToTheirEnd)
{
    BlinkDetector &d = make();
    warmUp(); // one stretch from 0, kept open by the frames below
    blinkAt(130.0); // exactly where bucket 1 of the window ending at 400 s begins
    blinkAt(400.0); // exactly now: in no bucket
    const QList<double> buckets = d.blinkRateBuckets();
    ASSERT_EQ(buckets.size(), 10);
    EXPECT_EQ(buckets[0], 0.0);
    EXPECT_DOUBLE_EQ(buckets[1], 2.0);
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(buckets[i], 0.0) << i;
}

TEST_F(BlinkStatisticsTest, ABucketNeedsFourVisibleSeconds)
{
    for (const double visible : {3.9, 4.0}) {
        BlinkDetector &d = make();
        warmUp();
        d.handleFaceSeen(t(8.0), false);
        frame(100.0, kOpen);
        blinkAt(102.0);
        frame(100.0 + visible, kOpen);
        d.handleFaceSeen(t(100.0 + visible), false);
        d.updateStatistics(t(330.0)); // buckets from 30 s: the third is 90 ... 120 s
        EXPECT_DOUBLE_EQ(d.blinkRateBuckets()[2], visible < 4.0 ? 0.0 : 15.0) << visible;
    }
}

TEST_F(BlinkStatisticsTest, TheLongestGapIsMeasuredInsideVisibleTime)
{
    BlinkDetector &d = make();
    warmUp();
    d.handleFaceSeen(t(8.0), false);
    frame(100.0, kOpen);
    d.handleFaceSeen(t(130.0), false);
    d.updateStatistics(t(200.0));
    // No blink yet: the longest visible stretch.
    EXPECT_FALSE(d.secondsSinceLastBlink().has_value());
    EXPECT_DOUBLE_EQ(d.longestBlinkGapSeconds(), 30.0);

    frame(140.0, kOpen);
    blinkAt(150.0);
    blinkAt(180.0);
    frame(200.0, kOpen);
    // Gaps inside 140 ... 200: 10, 30 and 20.
    EXPECT_DOUBLE_EQ(d.longestBlinkGapSeconds(), 30.0);
    EXPECT_DOUBLE_EQ(*d.secondsSinceLastBlink(), 20.0);
    EXPECT_NEAR(d.averageClosureMilliseconds(), 120.0, 1e-9);
}

TEST_F(BlinkStatisticsTest, AttentionSecondsKeepTheWholeSession)
{
    BlinkDetector &d = make();
    warmUp();
    frame(100.0, kOpen);
    d.handleFaceSeen(t(100.0), false); // 100 s of attention
    d.updateStatistics(t(150.0));
    EXPECT_DOUBLE_EQ(d.attentionSecondsThisSession(), 100.0);
    // Long after the stretch has left the five-minute history the session still had it.
    d.updateStatistics(t(450.0));
    EXPECT_DOUBLE_EQ(d.attentionSecondsThisSession(), 100.0);
    EXPECT_DOUBLE_EQ(d.pausedSecondsThisSession(), 350.0);
    EXPECT_EQ(d.visibleSeconds(t(0), t(450)), 0.0) << "the intervals themselves are pruned";

    // A recalibration counts again from its own time.
    frame(460.0, kOpen);
    clockTo(470.0);
    d.recalibrate();
    d.updateStatistics(t(480.0));
    EXPECT_DOUBLE_EQ(d.attentionSecondsThisSession(), 10.0);
    EXPECT_DOUBLE_EQ(d.pausedSecondsThisSession(), 0.0);
}

TEST_F(BlinkStatisticsTest, ComfortScorePenalties)
{
    struct Case {
        double rate, gap;
        int partials;
        int score;
    };
    const QList<Case> cases{
        {12.0, 0, 0, 100},  {24.0, 0, 0, 100},  {11.0, 0, 0, 97},   {0.0, 0, 0, 65},
        {25.0, 0, 0, 99},   {40.0, 0, 0, 82},   {18.0, 18.0, 0, 100}, {18.0, 19.0, 0, 99},
        {18.0, 40.0, 0, 75}, {18.0, 0, 8, 88},  {18.0, 0, 20, 88},  {18.0, 0, 1, 99},
        {6.0, 30.0, 2, 63}, {0.0, 100.0, 20, 28},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BlinkDetector::comfortScore(c.rate, c.gap, c.partials), c.score)
            << c.rate << " " << c.gap << " " << c.partials;
}

TEST_F(BlinkStatisticsTest, TheScoreNeedsAnActiveWarmedUpDetectorAndTenVisibleSeconds)
{
    BlinkDetector &d = make();
    warmUp();
    frame(20.0, kOpen);
    EXPECT_EQ(d.blinkComfortScore(), 0) << "not active";

    make();
    enable();
    ASSERT_TRUE(detector->isActive());
    warmUp();
    frame(9.0, kOpen);
    // 9 s visible, no blink: the five-minute rate is 0 and so is the score.
    EXPECT_EQ(detector->blinkComfortScore(), 0);
    frame(10.0, kOpen);
    EXPECT_EQ(detector->fiveMinuteBlinkRate(), 0.0);
    // 10 s visible: rate 0 (penalty 35), no gap penalty below 18 s.
    EXPECT_EQ(detector->blinkComfortScore(), 65);
    // A recalibration holds it at 0 until the new warm-up ends.
    clockTo(10.0);
    detector->recalibrate();
    EXPECT_EQ(detector->blinkComfortScore(), 0);
}

TEST_F(BlinkStatisticsTest, ConfidenceIsCappedUntilTheBaselineLocks)
{
    BlinkDetector &d = make();
    d.recalibrate();
    for (int i = 0; i < 120; ++i)
        frame(i * 0.05, kOpen);
    EXPECT_DOUBLE_EQ(d.calibrationConfidence(), 0.72);

    make();
    detector->recalibrate();
    for (int i = 0; i < 89; ++i)
        frame(i * 0.08, kOpen);
    frame(8.0, kOpen); // the 90th sample locks the baseline
    EXPECT_DOUBLE_EQ(detector->calibrationConfidence(), 0.75);
}
