#include "wellness/BlinkTestSupport.h"

#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>

using namespace qv;
using namespace qv::test;

namespace {
using BlinkDetectorTest = BlinkTest;
const QString kDash = QString(QChar(0x2014));
} // namespace

// Construction with the switch off resets the state as a stop does, but logs no stop of
// detection that never started.
TEST_F(BlinkDetectorTest, ConstructionWithTheSwitchAbsentStoresFalseAndLogsNoStop)
{
    BlinkDetector &d = make();
    EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), false);
    EXPECT_EQ(logs->count("BlinkDetector", "Blink detection stopped"), 0);
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
    d.setUserEnabled(false);
    EXPECT_EQ(logs->count("BlinkDetector", "Blink detection stopped"), 1) << "what ran is said to stop";
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
        EXPECT_EQ(d.startFailure(), c.log) << c.name;
        // Switched on again: the old reason goes at once, and the same failure brings it back.
        d.setUserEnabled(true);
        EXPECT_EQ(d.startFailure(), "") << c.name;
        runPending();
        EXPECT_EQ(d.startFailure(), c.log) << c.name;
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
    // Past the grace period the face is searched for once a second: the search at 2.0 s
    // after the last face saw none, the next one (0.4 s after its return) finds it.
    const double back = s + 0.4;
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

namespace {
// A detector on a worker whose model load takes as long as the test says: it blocks
// until let go (or a generous limit passes), and gives up early when the load is
// abandoned.
class SlowLoadingLandmarks final : public FaceLandmarks {
public:
    bool load(QString *error, const std::function<bool()> &abandoned) override
    {
        ++loadsStarted;
        loading = true;
        bool gaveUp = false;
        for (int waited = 0; waited < 10000 && !letGo.tryAcquire(1, 10); waited += 10) {
            if (abandonable && abandoned && abandoned()) {
                gaveUp = true;
                break;
            }
        }
        loading = false;
        if (gaveUp) {
            ++abandonedLoads;
            if (error)
                *error = QStringLiteral("abandoned");
            return false;
        }
        loaded = true;
        return true;
    }
    void release() override
    {
        loaded = false;
        ++releases;
    }
    bool isLoaded() const override { return loaded; }
    bool runsOnWorker() const override { return true; }
    FaceDetectionResult detect(const QImage &) override
    {
        ++detects;
        return loaded ? SimFaceLandmarks::faces({SimFaceLandmarks::face(3.0)})
                      : SimFaceLandmarks::failure(QStringLiteral("The face model is not loaded"));
    }

    QSemaphore letGo;
    bool abandonable = true;
    std::atomic<bool> loading{false};
    std::atomic<bool> loaded{false};
    std::atomic<int> loadsStarted{0};
    std::atomic<int> abandonedLoads{0};
    std::atomic<int> releases{0};
    std::atomic<int> detects{0};
};

class BlinkWorkerTest : public BlinkTest {
protected:
    void useLandmarks(FaceLandmarks &landmarks)
    {
        PlatformServices services = mac->services();
        services.faceLandmarks = &landmarks;
        installPlatform(services);
    }
    // Lets the worker's answers come back through the event loop.
    static bool waitFor(const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 20000); }
};
} // namespace

TEST_F(BlinkWorkerTest, SwitchingOffWhileTheModelLoadsReturnsAtOnceAndTheWorkerCleansUp)
{
    struct Case {
        const char *name;
        bool abandonable; // the load gives up when asked, or runs to its end
        bool onAgain;     // switched on again before the first load ended
    };
    const Case cases[] = {
        {"abandoned", true, false},
        {"finished, then released", false, false},
        {"abandoned, on again", true, true},
        {"finished, on again", false, true},
    };
    for (const Case &c : cases) {
        SlowLoadingLandmarks landmarks;
        landmarks.abandonable = c.abandonable;
        useLandmarks(landmarks);
        BlinkDetector &d = make();
        enable();
        ASSERT_TRUE(waitFor([&] { return landmarks.loading.load(); })) << c.name;

        d.setUserEnabled(false);
        // The switch returned while the load still runs: nothing waited for it.
        EXPECT_TRUE(landmarks.loading) << c.name;
        EXPECT_FALSE(d.isActive()) << c.name;
        if (c.onAgain) {
            enable();
            EXPECT_TRUE(d.isActive()) << c.name;
        }
        // The first load gives up on its own, or ends when let go.
        if (c.abandonable) {
            ASSERT_TRUE(waitFor([&] { return !landmarks.loading; })) << c.name;
        }
        landmarks.letGo.release(2);
        if (c.onAgain) {
            // The model of the new run stays; its frames are analysed.
            ASSERT_TRUE(waitFor([&] { return landmarks.loadsStarted == 2 && landmarks.loaded && !landmarks.loading; }))
                << c.name;
            advance(100);
            camera().deliverFrame(SimCamera::blankFrame());
            runPending();
            ASSERT_TRUE(waitFor([&] { return d.faceDetected(); })) << c.name;
            EXPECT_TRUE(landmarks.loaded) << c.name;
        } else {
            ASSERT_TRUE(waitFor([&] { return landmarks.releases > 0 && !landmarks.loading; })) << c.name;
            EXPECT_FALSE(landmarks.loaded) << c.name;
            EXPECT_EQ(landmarks.abandonedLoads, c.abandonable ? 1 : 0) << c.name;
        }
        // An abandoned load is no failure: the switch keeps what the user chose.
        EXPECT_EQ(d.userEnabled(), c.onAgain) << c.name;
        EXPECT_FALSE(logs->containsPart("BlinkDetector", "Could not load the face model")) << c.name;
        detector.reset();
        EXPECT_FALSE(landmarks.loaded) << c.name;
    }
}

TEST_F(BlinkDetectorTest, WithNoFaceInViewFramesAreSearchedOncePerLostFaceInterval)
{
    BlinkDetector &d = make();
    enable();
    // Ten seconds at 30 frames a second; the face is there for the first three, gone for
    // the next five, and back for the last two.
    auto faceAt = [](int ms) { return ms < 3000 || ms >= 8000; };
    int analysedWhileLost = 0, foundAgainAt = -1;
    for (int ms = 0; ms < 10000; ms += 33) {
        landmarks().setResult(faceAt(ms) ? SimFaceLandmarks::faces({SimFaceLandmarks::face(kOpen)})
                                         : SimFaceLandmarks::noFace());
        const int before = landmarks().detectCount();
        camera().deliverFrame(SimCamera::blankFrame());
        runPending();
        const bool analysed = landmarks().detectCount() > before;
        // Past the grace period the search slows down.
        if (!faceAt(ms) && ms >= 3000 + 2100 && analysed)
            ++analysedWhileLost;
        if (faceAt(ms) && ms >= 8000 && d.faceDetected() && foundAgainAt < 0)
            foundAgainAt = ms;
        advance(33);
    }
    // Within the grace period every seventh-of-a-second frame is still analysed, so a face
    // briefly missed is found at once; after it, about one frame a second.
    EXPECT_TRUE(d.isActive());
    EXPECT_GE(analysedWhileLost, 2);
    EXPECT_LE(analysedWhileLost, 4);
    // A face that comes back is found within the interval, and frames go at full rate again.
    ASSERT_GE(foundAgainAt, 8000);
    EXPECT_LE(foundAgainAt, 8000 + 1000 + 33);
    const int before = landmarks().detectCount();
    for (int i = 0; i < 10; ++i) {
        advance(100);
        camera().deliverFrame(SimCamera::blankFrame());
        runPending();
    }
    EXPECT_EQ(landmarks().detectCount() - before, 10);
}
