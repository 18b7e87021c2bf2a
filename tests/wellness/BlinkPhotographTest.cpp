#include "platform/desktop/DlibFaceLandmarks.h"
#include "wellness/BlinkTestSupport.h"

#include <QTest>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv;

namespace {
// Sample photographs Debian's python3-skimage ships (scripts/setup installs it).
QImage photograph(const char *name)
{
    const QString path = QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/%1.png").arg(QLatin1String(name));
    QImage image(path);
    EXPECT_FALSE(image.isNull()) << "missing " << path.toStdString() << " (scripts/setup installs python3-skimage)";
    return image.convertToFormat(QImage::Format_RGB32); // BGRA, as the camera delivers
}

// One model for the whole suite: loading it takes a moment.
class DlibFaceLandmarksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        detector = new DlibFaceLandmarks;
        QString error;
        ASSERT_TRUE(detector->load(&error)) << error.toStdString() << " (scripts/setup installs libdlib-data)";
    }
    static void TearDownTestSuite()
    {
        delete detector;
        detector = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(detector && detector->isLoaded());
        detector->forgetFaceBox();
    }
    static DlibFaceLandmarks *detector;
};
DlibFaceLandmarks *DlibFaceLandmarksTest::detector = nullptr;
} // namespace

TEST_F(DlibFaceLandmarksTest, APortraitGivesTwoSixPointEyesOpenAndFacingTheCamera)
{
    const FaceDetectionResult result = detector->detect(photograph("astronaut"));
    ASSERT_FALSE(result.error);
    ASSERT_EQ(result.observations.size(), 1);
    const FaceObservation &face = result.observations.first();
    ASSERT_TRUE(face.leftEye && face.rightEye);
    EXPECT_EQ(face.leftEye->size(), 6);
    EXPECT_EQ(face.rightEye->size(), 6);
    const auto left = BlinkDetector::eyeRatio(*face.leftEye);
    const auto right = BlinkDetector::eyeRatio(*face.rightEye);
    ASSERT_TRUE(left && right);
    const double ratio = (*left + *right) * 0.5;
    // An open eye is some three times as long as it is open: far above the 0.02 floor of
    // the baseline, and closing it (a smaller opening) raises the ratio past 1.38 times.
    EXPECT_GT(ratio, 2.0);
    EXPECT_LT(ratio, 6.0);
    ASSERT_TRUE(face.yaw && face.pitch);
    EXPECT_TRUE(BlinkDetector::isAttentive(face.yaw, face.pitch)) << *face.yaw << " " << *face.pitch;
    // The box is given in the transposed frame: its centre lies in the upper half of the
    // upright portrait, so along x of the request's frame it is left of the middle.
    EXPECT_LT(face.boundingBox.center().x(), 0.5);
}

TEST_F(DlibFaceLandmarksTest, PhotographsWithoutAFaceGiveNoObservation)
{
    for (const char *name : {"chelsea", "coffee"}) {
        const FaceDetectionResult result = detector->detect(photograph(name));
        EXPECT_FALSE(result.error) << name;
        EXPECT_TRUE(result.observations.isEmpty()) << name;
    }
}

TEST_F(DlibFaceLandmarksTest, ReusingTheFaceBoxFindsTheSameEyes)
{
    const QImage portrait = photograph("astronaut");
    detector->setReusesFaceBox(false);
    const FaceDetectionResult whole = detector->detect(portrait);
    detector->setReusesFaceBox(true);
    detector->detect(portrait); // remembers the box
    const FaceDetectionResult reused = detector->detect(portrait);
    ASSERT_EQ(whole.observations.size(), 1);
    ASSERT_EQ(reused.observations.size(), 1);
    const double a = *BlinkDetector::eyeRatio(*whole.observations[0].leftEye);
    const double b = *BlinkDetector::eyeRatio(*reused.observations[0].leftEye);
    EXPECT_NEAR(a, b, 0.35 * a);
    // Moving on to a frame without the face falls back to a search of the whole frame.
    EXPECT_TRUE(detector->detect(photograph("coffee")).observations.isEmpty());
}

TEST_F(DlibFaceLandmarksTest, UnreadableFramesAreErrors)
{
    QImage mono(64, 64, QImage::Format_Mono);
    mono.fill(0);
    for (const QImage &frame : {QImage(), QImage(0, 10, QImage::Format_RGB32), mono}) {
        const FaceDetectionResult result = detector->detect(frame);
        EXPECT_TRUE(result.error);
        EXPECT_TRUE(result.observations.isEmpty());
    }
    // Grayscale and other readable formats are converted.
    EXPECT_FALSE(detector->detect(photograph("coffee").convertToFormat(QImage::Format_Grayscale8)).error);
}

TEST(DlibFaceLandmarksModel, AMissingOrDamagedModelIsNamedInTheError)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("absent.dat");
    const QString damaged = dir.filePath("damaged.dat");
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x7f'));
    file.close();
    for (const QString &path : {missing, damaged, dir.path()}) {
        DlibFaceLandmarks landmarks(path);
        QString error;
        EXPECT_FALSE(landmarks.load(&error)) << path.toStdString();
        EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
        EXPECT_FALSE(landmarks.isLoaded());
        EXPECT_TRUE(landmarks.detect(QImage(64, 64, QImage::Format_RGB32)).error);
    }
}

namespace {
// The detector on the real landmarks, which run on the worker thread: the test waits for
// the worker's results to come back through the event loop.
class BlinkOnPhotographsTest : public test::BlinkTest {
protected:
    void useLandmarks(DlibFaceLandmarks &landmarks)
    {
        PlatformServices services = mac->services();
        services.faceLandmarks = &landmarks;
        installPlatform(services);
    }
    void show(const QImage &frame)
    {
        advance(100);
        camera().deliverFrame(frame);
        runPending();
    }
};
} // namespace

TEST_F(BlinkOnPhotographsTest, FramesGoThroughTheWorkerToTheStateMachineInOrder)
{
    DlibFaceLandmarks landmarks;
    useLandmarks(landmarks);
    BlinkDetector &d = make();
    enable();
    ASSERT_TRUE(d.isActive());

    show(photograph("astronaut"));
    QTRY_VERIFY_WITH_TIMEOUT(d.faceDetected(), 20000);
    EXPECT_TRUE(landmarks.isLoaded());
    EXPECT_EQ(d.eyeStateLabel(), "Open");
    EXPECT_TRUE(d.isLookingAtScreen());
    EXPECT_GT(d.currentEAR(), 2.0);
    EXPECT_LT(d.currentEAR(), 6.0);

    // The cup: no face. Within the grace period nothing changes; after it the user is away.
    show(photograph("coffee"));
    advance(2000);
    show(photograph("coffee"));
    QTRY_VERIFY_WITH_TIMEOUT(d.isUserAway(), 20000);
    EXPECT_EQ(d.eyeStateLabel(), "Away");

    d.setUserEnabled(false);
    EXPECT_FALSE(landmarks.isLoaded()) << "the model goes with the detection";
}

TEST_F(BlinkOnPhotographsTest, AModelThatCannotBeLoadedTurnsDetectionOffAndNamesTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shape_predictor_68_face_landmarks.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a model");
    file.close();
    DlibFaceLandmarks landmarks(path);
    useLandmarks(landmarks);
    BlinkDetector &d = make();
    enable();
    QTRY_VERIFY_WITH_TIMEOUT(!d.userEnabled(), 20000);
    EXPECT_TRUE(logs->containsPart("BlinkDetector", "Could not load the face model: " + path));
    EXPECT_FALSE(d.isActive());
    EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), false);
}
