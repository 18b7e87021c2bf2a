#include "platform/desktop/DlibFaceLandmarks.h"
#include "wellness/BlinkTestSupport.h"

#include <QTest>

#include <QFile>
#include <QLineF>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

namespace {
// The portrait drawn into a 640 x 480 camera frame at the given place and size.
QImage cameraFrame(const QImage &portrait, const QRectF &place)
{
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(Qt::gray);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(place, portrait);
    return frame;
}

// The face box of an observation in upright frame pixels (the request's frame is
// transposed).
QRectF uprightBox(const FaceObservation &face, const QSize &frame)
{
    const QRectF b = face.boundingBox;
    return QRectF(b.y() * frame.width(), b.x() * frame.height(), b.height() * frame.width(),
                  b.width() * frame.height());
}

double eyeRatio(const FaceObservation &face)
{
    return (*BlinkDetector::eyeRatio(*face.leftEye) + *BlinkDetector::eyeRatio(*face.rightEye)) * 0.5;
}
} // namespace

TEST_F(DlibFaceLandmarksTest, TheFaceThatContinuesTheLastOneIsFollowedAndGetsTheOnlyLandmarks)
{
    const QImage portrait = photograph("astronaut");
    // Where the face lies in the portrait, from the portrait alone.
    const FaceDetectionResult alone = detector->detect(portrait);
    ASSERT_EQ(alone.observations.size(), 1);
    const QRectF faceInPortrait = uprightBox(alone.observations.first(), portrait.size());

    struct Case {
        const char *name;
        QSize frame;
        bool reuse;           // searched around the last face first
        QList<QRectF> before; // the portrait's place in the frames before
        QList<QRectF> places; // the portraits in the last frame; the first is followed
    };
    const QRectF bench(80, 0, 480, 480);
    const Case cases[] = {
        // The frame of the benchmark: a badge on the suit is found as well.
        {"the benchmark's frame, first", {640, 480}, true, {}, {bench}},
        {"the benchmark's frame, followed", {640, 480}, true, {bench, bench}, {bench}},
        {"the benchmark's frame, whole", {640, 480}, false, {bench, bench}, {bench}},
        // A larger face beside the one followed does not take over.
        {"a larger face arrives", {1280, 720}, false, {QRectF(0, 160, 560, 560)},
         {QRectF(0, 160, 560, 560), QRectF(620, 0, 660, 660)}},
    };
    for (const Case &c : cases) {
        detector->forgetFaceBox();
        detector->setReusesFaceBox(c.reuse);
        auto frame = [&](const QList<QRectF> &places) {
            QImage image(c.frame, QImage::Format_RGB32);
            image.fill(Qt::gray);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            for (const QRectF &place : places)
                painter.drawImage(place, portrait);
            return image;
        };
        for (const QRectF &place : c.before)
            detector->detect(frame({place}));
        const QImage last = frame(c.places);
        const FaceDetectionResult result = detector->detect(last);
        detector->setReusesFaceBox(true);
        ASSERT_EQ(result.observations.size(), 1) << c.name;
        const QRectF place = c.places.first();
        const double k = place.width() / portrait.width();
        const QRectF expected(place.x() + faceInPortrait.x() * k, place.y() + faceInPortrait.y() * k,
                              faceInPortrait.width() * k, faceInPortrait.height() * k);
        const QRectF found = uprightBox(result.observations.first(), last.size());
        EXPECT_LT(QLineF(found.center(), expected.center()).length(), expected.width() * 0.25)
            << c.name << ": found at " << found.center().x() << "," << found.center().y() << ", the face is at "
            << expected.center().x() << "," << expected.center().y();
        EXPECT_GT(eyeRatio(result.observations.first()), 2.0) << c.name;
    }
}

TEST_F(DlibFaceLandmarksTest, AStillEyeOnASmallFaceKeepsItsRatioWithinATenthFromFrameToFrame)
{
    const QImage portrait = photograph("astronaut");
    const FaceDetectionResult alone = detector->detect(portrait);
    ASSERT_EQ(alone.observations.size(), 1);
    const double faceWidth = uprightBox(alone.observations.first(), portrait.size()).width();
    // Scaled so that the face box is about 73 pixels wide; from frame to frame the face
    // falls a fraction of a pixel elsewhere and the sensor adds a little noise: the same
    // still eye, sampled differently by the camera.
    const double side = portrait.width() * 73.0 / faceWidth;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-3, 3);
    double lowest = 1e9, highest = 0;
    for (int i = 0; i < 16; ++i) {
        detector->forgetFaceBox();
        QImage frame = cameraFrame(portrait, QRectF(200 + i * 0.0625, 100 + i * 0.1875, side, side));
        for (int y = 0; y < frame.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(frame.scanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const int n = noise(random);
                const QRgb c = line[x];
                line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                               std::clamp(qBlue(c) + n, 0, 255));
            }
        }
        const FaceDetectionResult result = detector->detect(frame);
        ASSERT_EQ(result.observations.size(), 1) << i;
        const QRectF box = uprightBox(result.observations.first(), frame.size());
        ASSERT_NEAR(box.width(), 73, 8) << i << ": not the face";
        const double ratio = eyeRatio(result.observations.first());
        lowest = std::min(lowest, ratio);
        highest = std::max(highest, ratio);
    }
    EXPECT_LT(highest / lowest, 1.10) << lowest << " to " << highest;
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
    // The model goes with the detection, released on the worker.
    QTRY_VERIFY_WITH_TIMEOUT(!landmarks.isLoaded(), 20000);
    detector.reset(); // its worker before the landmarks it runs
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
    detector.reset(); // its worker before the landmarks it runs
}
