#include "pages/wellness/BlinkPageModel.h"

#include "design/Theme.h"
#include "platform/sim/SimFaceLandmarks.h"
#include "support/TestEnvironment.h"
#include "support/ViewTexts.h"
#include "wellness/BlinkDetector.h"

#include <QSignalSpy>

#include <cmath>

using namespace qv;

namespace {

const QString kEmDash = QString(QChar(0x2014));

class BlinkPageModelTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        source = new HeldBlinkSource;
        model = std::make_unique<BlinkPageModel>(source);
        source->setParent(model.get());
    }

    BlinkReadings on() const
    {
        BlinkReadings r;
        r.userEnabled = true;
        r.faceDetected = true;
        r.attentionStateLabel = "Focused";
        r.eyeStateLabel = "Open";
        return r;
    }

    HeldBlinkSource *source = nullptr;
    std::unique_ptr<BlinkPageModel> model;
};

TEST_F(BlinkPageModelTest, SwitchedOffEverythingShowsPlaceholdersWhateverTheDetectorHolds)
{
    BlinkReadings r = on();
    r.userEnabled = false;
    r.isCalibrating = true;
    r.fiveMinuteBlinkRate = 14;
    r.sessionBlinkCount = 40;
    r.blinkComfortScore = 90;
    r.blinkRateBuckets = QList<double>(10, 15.0);
    source->setReadings(r);

    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(model->tile(i).value(), kEmDash);
        EXPECT_EQ(model->tile(i).note(), "No data available");
        EXPECT_FALSE(model->tile(i).isActive());
        EXPECT_EQ(model->tile(i).valueColor(), Theme::shared().textTertiary());
        EXPECT_EQ(model->tile(i).symbolColor(), Theme::shared().textTertiary());
    }
    EXPECT_FALSE(model->recalibrateVisible());
    EXPECT_FALSE(model->panel()->calibrationNoticeVisible());
    EXPECT_EQ(model->panel()->presenceValue(), "Off");
    EXPECT_EQ(model->panel()->presenceCaption(), "Enable to begin tracking");
    EXPECT_EQ(model->panel()->failureNote(), "");
    // A switch that went off by itself says why beside it; switched on, the note goes.
    r.startFailure = "No camera available";
    source->setReadings(r);
    EXPECT_EQ(model->panel()->failureNote(), "No camera available");
    source->setReadings(on());
    EXPECT_EQ(model->panel()->failureNote(), "");
    r.startFailure.clear();
    source->setReadings(r);
    EXPECT_EQ(model->panel()->rateValue(), kEmDash);
    EXPECT_EQ(model->quality()->fullBlinks(), kEmDash);
    EXPECT_EQ(model->quality()->note(), "No data available until blink detection is enabled.");
    EXPECT_EQ(model->signalCard()->badgeText(), "Off");
    // The cadence card gets ten zeros, not the detector's buckets.
    EXPECT_EQ(model->cadence()->values(), QVariantList(10, 0.0));
    for (const QVariant &height : model->cadence()->barHeights())
        EXPECT_EQ(height.toDouble(), 3);
}

TEST_F(BlinkPageModelTest, SwitchedOnTheTilesShowTheDetectorsValues)
{
    BlinkReadings r = on();
    r.fiveMinuteBlinkRate = 11.5;
    r.blinksPerMinute = 4;
    r.secondsSinceLastBlink = 20.5;
    r.attentionSecondsThisSession = 3661;
    r.blinkComfortScore = 54;
    source->setReadings(r);

    EXPECT_TRUE(model->recalibrateVisible());
    EXPECT_EQ(model->tile(0).value(), "12 / min");
    EXPECT_EQ(model->tile(0).tint(), Theme::shared().copper());
    EXPECT_EQ(model->tile(1).value(), "21s");
    EXPECT_EQ(model->tile(1).tint(), Theme::shared().copper());
    EXPECT_EQ(model->tile(2).value(), "1h 1m");
    EXPECT_EQ(model->tile(2).tint(), Theme::brandTeal());
    EXPECT_EQ(model->tile(3).value(), "54");
    EXPECT_EQ(model->tile(3).note(), "Consider a short eye reset");

    r.fiveMinuteBlinkRate = 0;
    r.secondsSinceLastBlink.reset();
    r.blinkComfortScore = -20; // out of range: read as no score
    source->setReadings(r);
    EXPECT_EQ(model->tile(0).value(), "0 / min");
    EXPECT_EQ(model->tile(0).note(), "Learning your pace");
    EXPECT_EQ(model->tile(1).value(), kEmDash);
    EXPECT_EQ(model->tile(1).note(), "No blink yet");
    EXPECT_EQ(model->tile(3).value(), kEmDash);
    EXPECT_EQ(model->tile(3).note(), "Waiting for enough signal");
}

TEST_F(BlinkPageModelTest, APerFrameChangeSignalsOnlyWhatItMoved)
{
    BlinkReadings r = on();
    r.currentEAR = 0.25;
    r.baselineEAR = 0.25;
    source->setReadings(r);
    model->signalCard()->setMeterWidth(300);

    QSignalSpy ratio(model->signalCard(), &BlinkSignalModel::ratioTextChanged);
    QSignalSpy level(model->signalCard(), &BlinkSignalModel::levelWidthChanged);
    QSignalSpy tileValue(&model->tile(0), &BlinkMetricTileModel::valueChanged);
    QSignalSpy rate(model->panel(), &BlinkPanelModel::rateValueChanged);
    QSignalSpy bars(model->cadence(), &BlinkCadenceModel::barHeightsChanged);
    r.currentEAR = 0.31;
    r.eyeOpenAmount = 0.4;
    source->setReadings(r);
    EXPECT_EQ(ratio.count(), 1);
    EXPECT_EQ(level.count(), 1);
    EXPECT_EQ(tileValue.count(), 0);
    EXPECT_EQ(rate.count(), 0);
    EXPECT_EQ(bars.count(), 0);
    EXPECT_EQ(model->signalCard()->levelWidth(), 120);
}

TEST_F(BlinkPageModelTest, ClosedEyeTurnsTheBadgeCopperAndOnlyATrackedOneTheSignal)
{
    BlinkReadings r = on();
    r.eyeStateLabel = "Closed";
    source->setReadings(r);
    EXPECT_EQ(model->signalCard()->badgeTextColor(), QColor(Qt::white));
    EXPECT_EQ(model->signalCard()->badgeFill(), Theme::shared().copper());
    EXPECT_EQ(model->signalCard()->tint(), Theme::shared().copper());

    r.isLookingAtScreen = false;
    source->setReadings(r);
    EXPECT_EQ(model->signalCard()->badgeFill(), Theme::shared().copper());
    EXPECT_EQ(model->signalCard()->tint(), Theme::shared().textTertiary());
    EXPECT_EQ(model->signalCard()->statusText(), "Paused");

    r.eyeStateLabel = "closed"; // the comparison is exact
    source->setReadings(r);
    EXPECT_EQ(model->signalCard()->badgeFill(), Theme::shared().accentSoft());
}

TEST_F(BlinkPageModelTest, AFullCadenceBarLeavesRoomForItsLabel)
{
    BlinkReadings r = on();
    r.blinkRateBuckets = {6, 12, 30, 0, 0.3, 24, 24.5, 10, 9.9, 0};
    source->setReadings(r);
    BlinkCadenceModel &cadence = *model->cadence();
    cadence.setChartHeight(92);
    const double area = cadence.barArea();
    EXPECT_GT(area, 0);
    EXPECT_DOUBLE_EQ(area + cadence.labelHeight() + cadence.labelSpacing(), 92);
    EXPECT_DOUBLE_EQ(cadence.barHeights()[2].toDouble(), area);
    EXPECT_DOUBLE_EQ(cadence.barHeights()[0].toDouble(), 0.2 * area);
    EXPECT_EQ(cadence.barHeights()[4].toDouble(), 8);
    EXPECT_EQ(cadence.barHeights()[3].toDouble(), 3);
    EXPECT_EQ(cadence.barColors()[5].value<QColor>(), Theme::shared().accent());
    EXPECT_EQ(cadence.barColors()[6].value<QColor>(), Theme::brandTeal());
    EXPECT_EQ(cadence.barColors()[8].value<QColor>(), Theme::shared().copper());
    EXPECT_EQ(cadence.labels().first(), "1");
    EXPECT_EQ(cadence.labels().last(), "10");
}

TEST_F(BlinkPageModelTest, TheSwitchAndRecalibrateReachTheDetector)
{
    model->setUserEnabled(true);
    EXPECT_TRUE(model->panel()->isOn());
    EXPECT_EQ(model->panel()->statusText(), "Blink rate and presence are live");
    model->recalibrate();
    EXPECT_EQ(source->recalibrations, 1);
}

TEST_F(BlinkPageModelTest, ByDefaultThePageFollowsTheSharedDetector)
{
    BlinkPageModel page;
    EXPECT_FALSE(page.panel()->isOn());
    page.setUserEnabled(true);
    runPending();
    EXPECT_TRUE(BlinkDetector::shared().userEnabled());
    EXPECT_EQ(defaults->boolValue("blinkDetectionEnabled"), true);
    EXPECT_TRUE(page.panel()->isOn());
    // The page reads the detector once per display frame.
    page.recalibrate();
    advance(16);
    EXPECT_TRUE(page.panel()->calibrationNoticeVisible());
    EXPECT_EQ(page.panel()->confidenceCaption(), "Learning baseline");
    page.setUserEnabled(false);
    advance(16);
    EXPECT_FALSE(page.panel()->calibrationNoticeVisible());
    EXPECT_EQ(page.tile(0).value(), kEmDash);
}

TEST_F(BlinkPageModelTest, TheTileGridFitsAsManyColumnsAsItCan)
{
    const struct { double width; int columns; } cases[] = {
        {0, 1}, {170, 1}, {351, 1}, {352, 2}, {716, 4}, {790, 4}, {3700, 20}, {NAN, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BlinkPageModel::adaptiveColumns(c.width), c.columns) << c.width;
    model->setGridWidth(790);
    EXPECT_DOUBLE_EQ(model->tileWidth(), (790 - 36) / 4.0);
}

TEST_F(BlinkPageModelTest, TourMovesThroughTheFourSectionsAndStoresTheFlagWhenFinished)
{
    GuidedTour &tour = *model->tour();
    QSignalSpy scrolls(&tour, &GuidedTour::scrollRequested);
    tour.previous(); // closed: nothing
    EXPECT_FALSE(tour.isOpen());
    tour.open();
    EXPECT_EQ(tour.currentStep(), "setup");
    EXPECT_EQ(tour.positionText(), "Step 1 of 4");
    EXPECT_FALSE(tour.canGoBack());
    tour.previous();
    EXPECT_EQ(tour.currentStep(), "setup");
    for (const char *step : {"metrics", "signal", "cadence"}) {
        tour.next();
        EXPECT_EQ(tour.currentStep(), step);
    }
    EXPECT_EQ(tour.nextLabel(), "Finish");
    EXPECT_EQ(tour.currentTitle(), "Review recent cadence");
    EXPECT_EQ(scrolls.last().first().toString(), "blinkGuide-cadence");
    tour.next();
    EXPECT_FALSE(tour.isOpen());
    EXPECT_EQ(defaults->boolValue("blinkDetectionGuideCompleted"), true);
    tour.open();
    EXPECT_EQ(tour.currentStep(), "setup");
}

TEST_F(BlinkPageModelTest, FixedTextsOfThePageAndItsCards)
{
    test::expectViewTexts(*model, {
        {"pageTitle", "Blink Detection"},
        {"pageSubtitle", "Optional on-device blink and presence tracking for healthier screen sessions."},
        {"recalibrateLabel", "Recalibrate"},
    });
    test::expectViewTexts(*model->panel(), {
        {"title", "Blink detection"},
        {"calibrationNotice",
         "Calibrating \u2014 look at your screen normally for 8 seconds while we learn your eye shape."},
    });
    test::expectViewTexts(*model->signalCard(), {
        {"title", "Live eye signal"}, {"closedLabel", "Closed"}, {"triggerLabel", "Blink trigger"}});
    test::expectViewTexts(*model->quality(), {{"title", "Blink quality"}});
    test::expectViewTexts(*model->cadence(), {{"title", "Recent cadence"}, {"targetText", "Target 12\u201324 / min"}});

    // The rows name their labels and the properties that hold their figures.
    const struct {
        const QObject *model;
        const char *table;
        QStringList labels;
        QStringList keys;
    } tables[] = {
        {model->panel(), "statistics", {"Live rate", "Session blinks", "Presence", "Signal confidence"},
         {"value", "caption"}},
        {model->quality(), "rows", {"Full blinks", "Avg closure", "Partial candidates", "Paused time"}, {"value"}},
    };
    for (const auto &t : tables) {
        QStringList labels;
        for (const QVariant &row : t.model->property(t.table).toList()) {
            const QVariantMap map = row.toMap();
            labels << map.value("label").toString();
            for (const QString &key : t.keys) {
                const QByteArray name = map.value(key).toString().toLatin1();
                EXPECT_TRUE(t.model->property(name.constData()).isValid()) << t.table << " " << name.constData();
            }
        }
        EXPECT_EQ(labels, t.labels) << t.table;
    }
}

TEST(BlinkGuide, StepsByRawValueAndScrollTargets)
{
    EXPECT_EQ(blinkguide::fromRawValue("signal"), BlinkDetectionGuideStep::signal);
    EXPECT_EQ(blinkguide::fromRawValue("Signal"), std::nullopt);
    EXPECT_EQ(blinkguide::fromRawValue(""), std::nullopt);
    EXPECT_EQ(blinkguide::previous(BlinkDetectionGuideStep::setup), std::nullopt);
    EXPECT_EQ(blinkguide::next(BlinkDetectionGuideStep::cadence), std::nullopt);
    EXPECT_EQ(blinkguide::next(BlinkDetectionGuideStep::metrics), BlinkDetectionGuideStep::signal);
    // A section near the end cannot come higher than the end of the content allows.
    EXPECT_EQ(blinkguide::scrollTarget(300, 1200, 700), 300);
    EXPECT_EQ(blinkguide::scrollTarget(900, 1200, 700), 500);
    EXPECT_EQ(blinkguide::scrollTarget(300, 600, 700), 0);
    EXPECT_EQ(blinkguide::scrollTarget(-10, 1200, 700), 0);
    EXPECT_EQ(blinkguide::scrollTarget(NAN, 1200, 700), 0);
}

} // namespace

TEST_F(BlinkPageModelTest, TheDetectorIsReadOncePerDisplayFrameAndItsLastValuesAlwaysShow)
{
    BlinkDetector &detector = BlinkDetector::shared();
    detector.setUserEnabled(true);
    runPending();
    ASSERT_TRUE(detector.isActive());
    const std::unique_ptr<BlinkSource> source = makeDetectorBlinkSource();
    BlinkPageModel page(source.get());
    QSignalSpy reads(source.get(), &BlinkSource::changed);
    const FaceDetectionResult open = SimFaceLandmarks::faces({SimFaceLandmarks::face(3.0)});
    const FaceDetectionResult closed = SimFaceLandmarks::faces({SimFaceLandmarks::face(4.5)});

    // One analysed frame changes a dozen published values: the page reads them once, on
    // the next turn of the main loop.
    detector.handleDetectionResult(open, BlinkDetector::nowTime());
    EXPECT_EQ(reads.count(), 0);
    runPending();
    EXPECT_EQ(reads.count(), 1);
    EXPECT_EQ(source->readings().currentEAR, 3.0);
    const QString openText = page.signalCard()->ratioText();

    // Frames closer together than a display frame: one read, a display frame after the
    // one before, with the last frame's values.
    advance(4);
    detector.handleDetectionResult(closed, BlinkDetector::nowTime());
    runPending();
    advance(4);
    detector.handleDetectionResult(open, BlinkDetector::nowTime());
    runPending();
    advance(4);
    detector.handleDetectionResult(closed, BlinkDetector::nowTime());
    runPending();
    EXPECT_EQ(reads.count(), 1);
    EXPECT_EQ(page.signalCard()->ratioText(), openText);
    advance(4);
    EXPECT_EQ(reads.count(), 2);
    EXPECT_NE(page.signalCard()->ratioText(), openText);
    EXPECT_EQ(page.signalCard()->ratioText(), BlinkPageModel(source.get()).signalCard()->ratioText());

    // Switching off shows at once on the next turn, with nothing left pending after it.
    advance(100);
    detector.setUserEnabled(false);
    runPending();
    EXPECT_EQ(reads.count(), 3);
    EXPECT_FALSE(page.panel()->isOn());
    advance(100);
    EXPECT_EQ(reads.count(), 3);
}
