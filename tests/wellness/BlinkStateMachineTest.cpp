#include "wellness/BlinkTestSupport.h"

#include <algorithm>
#include <random>

using namespace qv;
using namespace qv::test;

namespace {
using BlinkStateMachineTest = BlinkTest;
} // namespace

TEST_F(BlinkStateMachineTest, BaselineIsTheTwentiethPercentileOfAtMost120Samples)
{
    BlinkDetector &d = make();
    d.recalibrate();
    // Samples 1..n in a shuffled order: the baseline is the value at index int(n * 0.2).
    QList<double> values;
    for (int i = 1; i <= 121; ++i)
        values << double(i);
    std::mt19937 random(7);
    std::shuffle(values.begin(), values.begin() + 120, random);
    for (int i = 0; i < 9; ++i)
        d.processEyeRatio(values[i], t(0.1 * i));
    EXPECT_EQ(d.baselineEAR(), 0.0) << "no baseline below 10 samples";

    d.processEyeRatio(values[9], t(0.9));
    QList<double> first10 = values.mid(0, 10);
    std::sort(first10.begin(), first10.end());
    EXPECT_EQ(d.baselineEAR(), first10[2]);

    for (int i = 10; i < 120; ++i)
        d.processEyeRatio(values[i], t(0.01 * i));
    EXPECT_EQ(d.sampleCount(), 120);
    EXPECT_EQ(d.baselineEAR(), 25.0); // index 24 of 1..120

    // The 121st sample pushes out the oldest.
    const double oldest = values[0];
    d.processEyeRatio(121, t(1.3));
    EXPECT_EQ(d.sampleCount(), 120);
    const double expected = oldest <= 25.0 ? 26.0 : 25.0;
    EXPECT_EQ(d.baselineEAR(), expected);
}

TEST_F(BlinkStateMachineTest, WarmUpEndsAtTheFirstSampleExactlyEightSecondsAfterTheStart)
{
    BlinkDetector &d = make();
    d.recalibrate();
    for (int i = 0; i < 80; ++i)
        frame(i * 0.1, kOpen);
    d.processEyeRatio(kOpen, t(8.0) - 1);
    EXPECT_TRUE(d.isCalibrating());
    EXPECT_FALSE(d.baselineLocked());
    EXPECT_EQ(d.attentionStateLabel(), "Calibrating");

    d.processEyeRatio(kOpen, t(8.0));
    EXPECT_FALSE(d.isCalibrating());
    EXPECT_TRUE(d.baselineLocked());
    EXPECT_EQ(d.attentionStateLabel(), "Looking");
    EXPECT_TRUE(logs->contains("BlinkDetector", "Warm-up complete. Baseline locked at 3.000000"));

    // Once locked the baseline moves 2 % of the way to the percentile per sample: the
    // percentile of the window reaches 4.0 with the 96th new sample, 25 samples ago.
    for (int i = 0; i < 120; ++i)
        d.processEyeRatio(4.0, t(9.0 + i * 0.01));
    EXPECT_NEAR(d.baselineEAR(), 4.0 - std::pow(0.98, 25), 1e-9);
}

TEST_F(BlinkStateMachineTest, ClosureLengthsDecideWhetherABlinkCounts)
{
    struct Case {
        const char *name;
        double aboveFor;   // second frame above the threshold, after the first
        double reopenAfter; // reopening frame, after the first above
        int blinks;
        bool closed;       // the eye was declared closed
    };
    const QList<Case> cases{
        {"0.079 s run does not close", 0.079, 0.5, 0, false},
        {"0.08 s run closes and counts", 0.08, 0.08 + 0.0001, 1, true},
        {"1.0 s closure counts", 0.08, 1.0, 1, true},
        {"1.0001 s closure does not", 0.08, 1.0001, 0, true},
    };
    for (const Case &c : cases) {
        make();
        warmUp();
        frame(10.0, 4.5);
        frame(10.0 + c.aboveFor, 4.5);
        EXPECT_EQ(detector->eyeState() == BlinkDetector::EyeState::closed, c.closed) << c.name;
        EXPECT_EQ(detector->eyeStateLabel(), c.closed ? "Closed" : "Open") << c.name;
        frame(10.0 + c.reopenAfter, kOpen);
        EXPECT_EQ(detector->eyeStateLabel(), "Open") << c.name;
        EXPECT_EQ(detector->sessionBlinkCount(), c.blinks) << c.name;
    }
}

TEST_F(BlinkStateMachineTest, TheReopenThresholdLiesBetweenBaselineAndClosedThreshold)
{
    BlinkDetector &d = make();
    warmUp();
    frame(10.0, 4.5);
    frame(10.1, 4.5);
    frame(10.2, 3.485); // above the reopen threshold (3.48): still closed
    EXPECT_EQ(d.eyeStateLabel(), "Closed");
    EXPECT_NEAR(d.eyeOpenAmount(), 1.0 - 0.485 / 1.14, 1e-9);
    frame(10.3, 3.47);
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.sessionBlinkCount(), 1);
    EXPECT_TRUE(logs->contains("BlinkDetector", QString::fromUtf8("Blink #1 — EAR 3.470000")));
}

TEST_F(BlinkStateMachineTest, BlinksCloserThanTheSeparationCountOnce)
{
    for (const double gap : {0.17, 0.18}) {
        BlinkDetector &d = make();
        warmUp();
        blinkAt(10.0);
        ASSERT_EQ(d.sessionBlinkCount(), 1);
        frame(10.0 + gap - 0.1, 4.5);
        frame(10.0 + gap - 0.02, 4.5);
        frame(10.0 + gap, kOpen);
        EXPECT_EQ(d.sessionBlinkCount(), gap < 0.18 ? 1 : 2) << gap;
        // The ignored blink leaves the last blink time where it was.
        EXPECT_EQ(*d.secondsSinceLastBlink(), gap < 0.18 ? gap : 0.0) << gap;
    }
}

TEST_F(BlinkStateMachineTest, PartialDipsCountWithinTheirLengthAndSpacing)
{
    // Partial band: above 3.5928 (the partial level) and at or below 4.14.
    struct Case {
        const char *name;
        double length;
        bool afterBlink; // a blink 0.24 s before the dip ends
        int partials;
    };
    const QList<Case> cases{
        {"0.06 s", 0.06, false, 1},
        {"0.059 s", 0.059, false, 0},
        {"1.0 s", 1.0, false, 1},
        {"1.0001 s", 1.0001, false, 0},
        {"0.24 s after a blink", 0.1, true, 0},
    };
    for (const Case &c : cases) {
        make();
        warmUp();
        double end = 20.0;
        if (c.afterBlink)
            blinkAt(end - 0.24);
        frame(end - c.length, 3.9);
        frame(end, kOpen);
        EXPECT_EQ(detector->partialBlinkCandidateCount(), c.partials) << c.name;
        // The pending start is gone either way: a later short return counts nothing.
        frame(end + 1.0, kOpen);
        EXPECT_EQ(detector->partialBlinkCandidateCount(), c.partials) << c.name;
    }
}

TEST_F(BlinkStateMachineTest, PartialCandidatesAreAtLeast045SecondsApart)
{
    BlinkDetector &d = make();
    warmUp();
    frame(20.0, 3.9);
    frame(20.1, kOpen);
    frame(20.2, 3.9);
    frame(20.5, kOpen); // 0.4 s after the first candidate
    EXPECT_EQ(d.partialBlinkCandidateCount(), 1);
    frame(20.6, 3.9);
    frame(20.7, kOpen); // 0.6 s after it
    EXPECT_EQ(d.partialBlinkCandidateCount(), 2);
}

TEST_F(BlinkStateMachineTest, APartialBandFrameKeepsAPendingClosureAndAnOpenFrameDropsIt)
{
    BlinkDetector &d = make();
    warmUp();
    frame(10.0, 4.5);
    frame(10.04, 3.9); // partial band: the closure started at 10.0 is kept
    frame(10.08, 4.5);
    EXPECT_EQ(d.eyeStateLabel(), "Closed");

    make();
    warmUp();
    frame(10.0, 4.5);
    frame(10.04, 3.5); // at or below the partial level: the pending closure goes
    frame(10.08, 4.5);
    EXPECT_EQ(detector->eyeStateLabel(), "Open");
    frame(10.16, 4.5);
    EXPECT_EQ(detector->eyeStateLabel(), "Closed");
}

TEST_F(BlinkStateMachineTest, NoStateMachineBeforeSixtySamples)
{
    BlinkDetector &d = make();
    d.recalibrate();
    for (int i = 0; i < 50; ++i)
        frame(i * 0.2, kOpen); // 50 samples over 9.8 s
    frame(10.0, 4.5);
    frame(10.1, 4.5);
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.eyeOpenAmount(), 1.0);
}

TEST_F(BlinkStateMachineTest, FaceLossWithinTheGracePeriodChangesNothing)
{
    BlinkDetector &d = make();
    warmUp();
    d.handleNoFace(t(8.0) + BlinkDetector::seconds(1.9));
    EXPECT_TRUE(d.faceDetected());
    EXPECT_FALSE(d.isUserAway());
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.attentionStateLabel(), "Looking");

    d.handleNoFace(t(10.0));
    EXPECT_FALSE(d.faceDetected());
    EXPECT_TRUE(d.isUserAway());
    EXPECT_FALSE(d.isLookingAtScreen());
    EXPECT_EQ(d.eyeStateLabel(), "Away");
    EXPECT_EQ(d.attentionStateLabel(), "Away");
    // The visible stretch ended at the last face (8.0 s), not at 10.0 s.
    EXPECT_DOUBLE_EQ(d.visibleSeconds(t(0), t(60)), 8.0);

    frame(12.0, kOpen);
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.attentionStateLabel(), "Looking");
    EXPECT_FALSE(d.isUserAway());
}

TEST_F(BlinkStateMachineTest, NoFaceEverSeenReadsLooking)
{
    BlinkDetector &d = make();
    d.recalibrate();
    d.handleNoFace(t(5.0));
    EXPECT_EQ(d.eyeStateLabel(), "Looking");
    EXPECT_EQ(d.attentionStateLabel(), "Looking");
    EXPECT_FALSE(d.isUserAway());
    EXPECT_FALSE(d.isLookingAtScreen());
    EXPECT_FALSE(d.faceDetected());
}

TEST_F(BlinkStateMachineTest, ALookingAwayFaceEndsTheStretchAndDropsAClosure)
{
    BlinkDetector &d = make();
    warmUp();
    frame(10.0, 4.5);
    frame(10.1, 4.5);
    ASSERT_EQ(d.eyeStateLabel(), "Closed");
    d.handleFaceSeen(t(10.5), false);
    EXPECT_EQ(d.eyeStateLabel(), "Looking Away");
    EXPECT_EQ(d.attentionStateLabel(), "Looking away");
    EXPECT_FALSE(d.isLookingAtScreen());
    EXPECT_TRUE(d.faceDetected());
    EXPECT_DOUBLE_EQ(d.visibleSeconds(t(0), t(60)), 10.5);
    EXPECT_EQ(d.eyeState(), BlinkDetector::EyeState::open);

    // Coming back reopens the eye without counting the interrupted closure.
    frame(11.0, kOpen);
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.sessionBlinkCount(), 0);
}

TEST_F(BlinkStateMachineTest, ADegenerateEyeRegionNeitherEndsAClosureNorFeedsTheBaseline)
{
    BlinkDetector &d = make();
    warmUp();
    frame(10.0, 4.5);
    frame(10.1, 4.5);
    ASSERT_EQ(d.eyeStateLabel(), "Closed");
    const int samples = d.sampleCount();

    FaceObservation flat = SimFaceLandmarks::face(kOpen);
    flat.leftEye = QList<QPointF>{{0.3, 0.1}, {0.3, 0.2}, {0.3, 0.3}, {0.3, 0.4}}; // no width
    d.handleDetectionResult(SimFaceLandmarks::faces({flat}), t(10.2));
    flat.leftEye = QList<QPointF>{{0.3, 0.1}, {0.4, 0.2}, {0.3, 0.3}}; // three points
    d.handleDetectionResult(SimFaceLandmarks::faces({flat}), t(10.3));

    EXPECT_EQ(d.eyeStateLabel(), "Closed");
    EXPECT_EQ(d.sampleCount(), samples);
    EXPECT_EQ(d.currentEAR(), 4.5);
    EXPECT_TRUE(d.faceDetected());
    frame(10.4, kOpen);
    EXPECT_EQ(d.sessionBlinkCount(), 1);
}

TEST_F(BlinkStateMachineTest, RecalibrationRestartsTheWarmUpAndKeepsTheCounts)
{
    BlinkDetector &d = make();
    warmUp();
    blinkAt(10.0);
    frame(11.0, 4.5); // a pending closure
    clockTo(12.0);
    d.recalibrate();
    EXPECT_EQ(d.sampleCount(), 0);
    EXPECT_EQ(d.baselineEAR(), 0.0);
    EXPECT_TRUE(d.isCalibrating());
    EXPECT_FALSE(d.baselineLocked());
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_EQ(d.attentionStateLabel(), "Calibrating");
    EXPECT_EQ(d.sessionBlinkCount(), 1);
    EXPECT_TRUE(logs->contains("BlinkDetector", "Manual recalibration triggered"));
    // The warm-up now runs from 12.0 s.
    frame(19.9, kOpen);
    EXPECT_TRUE(d.isCalibrating());
    frame(20.0, kOpen);
    EXPECT_FALSE(d.isCalibrating());
}
