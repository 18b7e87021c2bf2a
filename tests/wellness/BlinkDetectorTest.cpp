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

TEST_F(BlinkDetectorTest, AStoredSwitchStartsDetectionAtConstruction)
{
    defaults->setBool("blinkDetectionEnabled", true);
    BlinkDetector &d = make();
    EXPECT_TRUE(d.userEnabled());
    runPending();
    EXPECT_TRUE(d.isActive());
    EXPECT_TRUE(d.isCalibrating());
    EXPECT_EQ(d.attentionStateLabel(), "Calibrating");
    EXPECT_EQ(camera().runningSessions(), 1);
    EXPECT_TRUE(landmarks().isLoaded());
    EXPECT_TRUE(logs->contains("BlinkDetector", QString::fromUtf8("Blink detection started — calibrating for 8.000000s")));
    EXPECT_EQ(logs->count("BlinkDetector", "Blink detection stopped"), 0);
}

TEST_F(BlinkDetectorTest, FailedStartsTurnTheSwitchOffWithTheirReason)
{
    const QString model = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat: no such file";
    struct Case {
        const char *name;
        std::function<void(SimCamera &, SimFaceLandmarks &)> arrange;
        QString log;
        int requests;
    };
    const QList<Case> cases{
        {"denied", [](SimCamera &c, SimFaceLandmarks &) { c.setAuthorizationStatus(CameraAuthorization::denied); },
         "Camera permission denied", 0},
        {"restricted",
         [](SimCamera &c, SimFaceLandmarks &) { c.setAuthorizationStatus(CameraAuthorization::restricted); },
         "Camera permission denied", 0},
        {"refused when asked",
         [](SimCamera &c, SimFaceLandmarks &) {
             c.setAuthorizationStatus(CameraAuthorization::notDetermined);
             c.setAccessAnswer(false);
         },
         "Camera permission denied", 1},
        {"no camera", [](SimCamera &c, SimFaceLandmarks &) { c.setDevice(std::nullopt); }, "No camera available", 0},
        {"input fails", [](SimCamera &c, SimFaceLandmarks &) { c.setInputError("Device busy"); },
         "Could not create camera input: Device busy", 0},
        {"model missing", [model](SimCamera &, SimFaceLandmarks &l) { l.setLoadError(model); },
         "Could not load the face model: " + model, 0},
    };
    for (const Case &c : cases) {
        useMachine(SimulatedMac::standard());
        logs->clear();
        c.arrange(camera(), landmarks());
        BlinkDetector &d = make();
        enable();
        EXPECT_TRUE(logs->contains("BlinkDetector", c.log)) << c.name << logs->messages("BlinkDetector").join('|').toStdString();
        EXPECT_FALSE(d.userEnabled()) << c.name;
        EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), false) << c.name;
        EXPECT_FALSE(d.isActive()) << c.name;
        EXPECT_EQ(camera().runningSessions(), 0) << c.name;
        EXPECT_FALSE(landmarks().isLoaded()) << c.name;
        EXPECT_EQ(camera().accessRequestCount(), c.requests) << c.name;
        EXPECT_EQ(d.attentionStateLabel(), kDash) << c.name;
    }
}

TEST_F(BlinkDetectorTest, ASessionThatRefusesInputOrOutputRunsWithoutFrames)
{
    camera().setRefusesOutput(true);
    BlinkDetector &d = make();
    enable();
    EXPECT_TRUE(d.isActive());
    EXPECT_EQ(camera().deliverFrame(SimCamera::blankFrame()), 0);
    runPending();
    EXPECT_EQ(landmarks().detectCount(), 0);
}

TEST_F(BlinkDetectorTest, SwitchingOnTwiceStartsOneSession)
{
    BlinkDetector &d = make();
    enable();
    d.setUserEnabled(true);
    runPending();
    EXPECT_EQ(camera().sessionsMade(), 1);
    EXPECT_TRUE(d.isActive());
}

TEST_F(BlinkDetectorTest, OnOffOnWhileThePermissionQuestionIsOpenStartsOneStoppableSession)
{
    camera().setAuthorizationStatus(CameraAuthorization::notDetermined);
    camera().setHoldsAccessRequests(true);
    BlinkDetector &d = make();
    d.setUserEnabled(true);
    d.setUserEnabled(false);
    d.setUserEnabled(true);
    runPending();
    EXPECT_EQ(camera().accessRequestCount(), 1);
    camera().answerAccessRequests(true);
    runPending();
    EXPECT_EQ(camera().sessionsMade(), 1);
    EXPECT_EQ(camera().runningSessions(), 1);
    d.setUserEnabled(false);
    EXPECT_EQ(camera().runningSessions(), 0);
    EXPECT_FALSE(d.isActive());

    // Switched off before the answer: nothing starts.
    d.setUserEnabled(true);
    d.setUserEnabled(false);
    camera().setAuthorizationStatus(CameraAuthorization::notDetermined);
    make();
    detector->setUserEnabled(true);
    detector->setUserEnabled(false);
    camera().answerAccessRequests(true);
    runPending();
    EXPECT_EQ(camera().runningSessions(), 0);
    EXPECT_FALSE(detector->isActive());
}

TEST_F(BlinkDetectorTest, ACameraThatDisappearsTurnsDetectionOff)
{
    BlinkDetector &d = make();
    enable();
    camera().unplug("The camera was disconnected");
    EXPECT_TRUE(logs->contains("BlinkDetector", "Camera stopped: The camera was disconnected"));
    EXPECT_FALSE(d.userEnabled());
    EXPECT_FALSE(d.isActive());
    EXPECT_FALSE(landmarks().isLoaded());
}

TEST_F(BlinkDetectorTest, FramesCloserThanTheThrottleAreDropped)
{
    BlinkDetector &d = make();
    enable();
    landmarks().setResult(SimFaceLandmarks::faces({SimFaceLandmarks::face(kOpen)}));
    camera().deliverFrame(SimCamera::blankFrame());
    runPending();
    const auto first = d.lastFrameTime();
    ASSERT_TRUE(first);
    advance(50);
    camera().deliverFrame(SimCamera::blankFrame());
    runPending();
    EXPECT_EQ(landmarks().detectCount(), 1);
    EXPECT_EQ(d.lastFrameTime(), first);
    advance(20); // 0.07 s after the first
    camera().deliverFrame(SimCamera::blankFrame());
    runPending();
    EXPECT_EQ(landmarks().detectCount(), 2);
    // A sample without pixels never reaches the throttle.
    advance(100);
    camera().deliverFrame(QImage());
    runPending();
    EXPECT_EQ(landmarks().detectCount(), 2);
}

TEST_F(BlinkDetectorTest, RequestResultsRouteToFaceNoFaceOrNothing)
{
    struct Case {
        const char *name;
        FaceDetectionResult result;
        QString eyeLabel;
        bool face;
    };
    FaceObservation other = SimFaceLandmarks::face(kOpen);
    other.isFace = false;
    FaceObservation oneEye = SimFaceLandmarks::face(kOpen);
    oneEye.rightEye.reset();
    FaceObservation bare = SimFaceLandmarks::face(kOpen);
    bare.hasLandmarks = false;
    FaceObservation turned = SimFaceLandmarks::face(kOpen, 0.5);
    FaceObservation unreadablePose = SimFaceLandmarks::face(kOpen, std::numeric_limits<double>::quiet_NaN());
    const QList<Case> cases{
        {"error", SimFaceLandmarks::failure("bad pixel format"), kDash, false},
        {"no face", SimFaceLandmarks::noFace(), "Looking", false},
        {"another kind", SimFaceLandmarks::faces({SimFaceLandmarks::face(kOpen), other}), "Looking", false},
        {"one eye", SimFaceLandmarks::faces({oneEye}), "Looking", false},
        {"no landmarks", SimFaceLandmarks::faces({bare}), "Looking", false},
        {"face", SimFaceLandmarks::faces({SimFaceLandmarks::face(kOpen)}), "Open", true},
        {"turned away", SimFaceLandmarks::faces({turned}), "Looking Away", true},
        {"pose not a number", SimFaceLandmarks::faces({unreadablePose}), "Looking Away", true},
    };
    for (const Case &c : cases) {
        BlinkDetector &d = make();
        enable();
        landmarks().setResult(c.result);
        advance(100);
        camera().deliverFrame(SimCamera::blankFrame());
        runPending();
        EXPECT_EQ(d.eyeStateLabel(), c.eyeLabel) << c.name;
        EXPECT_EQ(d.faceDetected(), c.face) << c.name;
    }
    EXPECT_TRUE(logs->contains("BlinkDetector", "Frame skipped: bad pixel format"));
    EXPECT_TRUE(logs->contains("BlinkDetector", "Head pose unreadable; the face counts as looking away"));
}

TEST_F(BlinkDetectorTest, StoppingResetsEverythingAndReleasesTheModel)
{
    BlinkDetector &d = make();
    enable();
    warmUp();
    blinkAt(10.0);
    frame(10.5, 3.9);
    frame(10.6, kOpen);
    ASSERT_EQ(d.sessionBlinkCount(), 1);
    ASSERT_EQ(d.partialBlinkCandidateCount(), 1);
    const auto lastFrame = d.lastFrameTime();
    d.setUserEnabled(false);
    EXPECT_FALSE(landmarks().isLoaded());
    EXPECT_EQ(d.sessionBlinkCount(), 0);
    EXPECT_EQ(d.partialBlinkCandidateCount(), 0);
    EXPECT_EQ(d.baselineEAR(), 0.0);
    EXPECT_EQ(d.currentEAR(), 0.0);
    EXPECT_EQ(d.eyeStateLabel(), kDash);
    EXPECT_EQ(d.attentionStateLabel(), kDash);
    EXPECT_FALSE(d.isCalibrating());
    EXPECT_FALSE(d.faceDetected());
    EXPECT_FALSE(d.secondsSinceLastBlink());
    EXPECT_EQ(d.averageClosureMilliseconds(), 0.0);
    EXPECT_EQ(d.calibrationConfidence(), 0.0);
    EXPECT_EQ(d.sampleCount(), 0);
    EXPECT_EQ(d.lastFrameTime(), lastFrame);
    EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), false);
}

TEST_F(BlinkDetectorTest, AScriptedSessionCountsBlinksPartialsAndAbsence)
{
    BlinkDetector &d = make();
    enable();
    const auto open = SimFaceLandmarks::faces({SimFaceLandmarks::face(kOpen)});
    const auto closed = SimFaceLandmarks::faces({SimFaceLandmarks::face(4.5)});
    const auto dip = SimFaceLandmarks::faces({SimFaceLandmarks::face(3.9)});
    const auto none = SimFaceLandmarks::noFace();
    // One frame every 100 ms (about what the throttle keeps of a 30 fps camera) for the
    // given time from `from`; returns the time of the next frame.
    auto run = [&](double from, int ms, const FaceDetectionResult &r) {
        int k = 0;
        for (; k < ms; k += 100) {
            clockTo(from + k / 1000.0);
            landmarks().setResult(r);
            camera().deliverFrame(SimCamera::blankFrame());
        }
        return from + k / 1000.0;
    };

    double s = run(0.0, 10'000, open);
    EXPECT_FALSE(d.isCalibrating());
    EXPECT_EQ(d.attentionStateLabel(), "Looking");
    s = run(s, 150, closed); // a blink of 150 ms
    s = run(s, 2'000, open);
    EXPECT_EQ(d.sessionBlinkCount(), 1);
    s = run(s, 150, dip); // a partial dip
    s = run(s, 2'000, open);
    EXPECT_EQ(d.partialBlinkCandidateCount(), 1);
    s = run(s, 1'200, closed); // too long for a blink
    s = run(s, 2'000, open);
    EXPECT_EQ(d.sessionBlinkCount(), 1);
    const double lastFace = s - 0.1;
    s = run(s, 2'500, none); // the face is lost for 2.5 s
    EXPECT_TRUE(d.isUserAway());
    EXPECT_EQ(d.eyeStateLabel(), "Away");
    const double back = s;
    s = run(s, 10'000, open);
    EXPECT_FALSE(d.isUserAway());
    clockTo(30.0); // the rate tick at 30 s

    EXPECT_EQ(d.sessionBlinkCount(), 1);
    EXPECT_EQ(d.partialBlinkCandidateCount(), 1);
    const double visible = lastFace + (30.0 - back);
    EXPECT_NEAR(d.blinksPerMinute(), 60.0 / visible, 1e-9);
    EXPECT_NEAR(d.fiveMinuteBlinkRate(), 60.0 / visible, 1e-9);
    EXPECT_NEAR(d.attentionSecondsThisSession(), visible, 1e-9);
    EXPECT_NEAR(d.averageClosureMilliseconds(), 200.0, 1e-9); // first frame closed to first open
    EXPECT_NEAR(*d.secondsSinceLastBlink(), 30.0 - 10.2, 1e-9);
    EXPECT_EQ(d.blinkComfortScore(), 67);
}
