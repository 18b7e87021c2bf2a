#include "pages/wellness/BlinkPageModel.h"

#include "app/AppEngine.h"
#include "render/ViewRenderer.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace qv;

namespace {

// The page loads under the virtual X server; on the offscreen platform it draws with the
// software renderer.
class BlinkPageViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        prepareAppEngine(engine);
    }

    // The page at the given size over a held source; null when it cannot be made.
    QQuickItem *show(QSize size)
    {
        source = new HeldBlinkSource;
        model = std::make_unique<BlinkPageModel>(source);
        source->setParent(model.get());
        QQmlComponent component(&engine);
        component.setData("import Quellvista.Pages.Wellness\nBlinkDetectionPage {}", QUrl("qrc:/test/Page.qml"));
        page.reset(qobject_cast<QQuickItem *>(component.createWithInitialProperties({{"model", QVariant::fromValue(model.get())}})));
        EXPECT_TRUE(page) << qPrintable(component.errorString());
        if (!page)
            return nullptr;
        window.resize(size);
        page->setParentItem(window.contentItem());
        page->setSize(size);
        window.show();
        settle();
        return page.get();
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            window.update();
            QCoreApplication::processEvents();
        }
    }
    QQuickItem *find(const char *name) const { return page->findChild<QQuickItem *>(name); }
    // Items by name through the item tree, which also holds the repeaters' delegates.
    static void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &found)
    {
        for (QQuickItem *child : item->childItems()) {
            if (child->objectName() == name)
                found << child;
            collect(child, name, found);
        }
    }
    QList<QQuickItem *> items(const QString &name) const
    {
        QList<QQuickItem *> found;
        collect(page.get(), name, found);
        return found;
    }
    QRectF inPage(QQuickItem *item) const { return item->mapRectToItem(page.get(), QRectF(0, 0, item->width(), item->height())); }

    QQmlEngine engine;
    QQuickWindow window;
    HeldBlinkSource *source = nullptr;
    std::unique_ptr<BlinkPageModel> model;
    std::unique_ptr<QQuickItem> page;
};

TEST_F(BlinkPageViewTest, HostileReadingsAtTheNarrowestAndWidestPageDrawWithoutWarnings)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    BlinkReadings hostile;
    hostile.userEnabled = true;
    hostile.isCalibrating = true;
    hostile.faceDetected = true;
    hostile.eyeStateLabel = "Closed";
    hostile.attentionStateLabel = "<b>not bold</b>";
    hostile.blinksPerMinute = nan;
    hostile.fiveMinuteBlinkRate = -inf;
    hostile.sessionBlinkCount = -4;
    hostile.secondsSinceLastBlink = inf;
    hostile.attentionSecondsThisSession = -30;
    hostile.pausedSecondsThisSession = nan;
    hostile.blinkRateBuckets = {nan, inf, -3, 1e9, 12};
    hostile.averageClosureMilliseconds = inf;
    hostile.partialBlinkCandidateCount = -1;
    hostile.calibrationConfidence = nan;
    hostile.blinkComfortScore = 400;
    hostile.currentEAR = -inf;
    hostile.baselineEAR = nan;
    hostile.eyeOpenAmount = nan;

    test::WarningRecorder warnings;
    for (QSize size : {QSize(844, 760), QSize(3584, 2160)}) {
        ASSERT_TRUE(show(size));
        source->setReadings(hostile);
        settle();
        const QRectF meter = inPage(find("opennessMeter"));
        const QRectF level = inPage(find("levelBar"));
        EXPECT_LE(level.right(), meter.right() + 0.5) << size.width();
        EXPECT_FALSE(find("triggerMark")->isVisible());
        const QList<QQuickItem *> bars = items("cadenceBar");
        ASSERT_EQ(bars.size(), 10);
        for (QQuickItem *bar : bars) {
            // Each bar stays inside its column, over its label.
            const QRectF column = inPage(bar->parentItem());
            EXPECT_GE(inPage(bar).top(), column.top() - 0.5) << size.width();
        }
        EXPECT_EQ(model->panel()->rateValue(), QString(QChar(0x2014)));
        page.reset();
    }
    EXPECT_EQ(warnings.warnings(), QStringList());
}

// The metric tiles of one row line up at the top, also when one is taller than the others
// (its note wraps).
TEST_F(BlinkPageViewTest, MetricTilesOfARowLineUpAtTheTop)
{
    BlinkReadings live;
    live.userEnabled = true;
    live.faceDetected = true;
    for (QSize size : {QSize(844, 760), QSize(700, 900)}) {
        ASSERT_TRUE(show(size));
        source->setReadings(live);
        model->tile(1).show(QStringLiteral("12s"), QString(40, QLatin1Char('n')).replace(QLatin1Char('n'), "gap "),
                            blink::Tint::accent, true);
        settle();
        window.grabWindow();
        settle();
        const QList<QQuickItem *> tiles = items("metricTile");
        ASSERT_EQ(tiles.size(), 4);
        const int columns = model->gridColumns();
        ASSERT_GT(columns, 1);
        EXPECT_GT(tiles[1]->height(), tiles[0]->height()) << "the long note wraps";
        for (int i = 0; i < tiles.size(); ++i) {
            const int first = i / columns * columns;
            EXPECT_NEAR(inPage(tiles[i]).top(), inPage(tiles[first]).top(), 0.01) << size.width() << " tile " << i;
        }
        page.reset();
    }
}

TEST_F(BlinkPageViewTest, TheRecalibrateButtonShowsOnlyWhileDetectionIsOn)
{
    ASSERT_TRUE(show(QSize(900, 760)));
    EXPECT_FALSE(find("recalibrateButton")->isVisible());
    EXPECT_FALSE(find("calibrationNotice")->isVisible());
    BlinkReadings r;
    r.userEnabled = true;
    r.isCalibrating = true;
    source->setReadings(r);
    EXPECT_TRUE(find("recalibrateButton")->isVisible());
    EXPECT_TRUE(find("calibrationNotice")->isVisible());
    QMetaObject::invokeMethod(find("recalibrateButton"), "clicked");
    EXPECT_EQ(source->recalibrations, 1);
}

// The header's guide button carries the same help as the other pages' guide buttons.
TEST_F(BlinkPageViewTest, TheGuideButtonHasItsNameAndHelp)
{
    ASSERT_TRUE(show(QSize(900, 760)));
    QQuickItem *guide = find("guideButton");
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->property("accessibleName"), "Open Blink Detection guide");
    QObject *help = guide->findChild<QObject *>("guideHelp");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->property("text"), "Guide");
}

TEST_F(BlinkPageViewTest, EachTourStepBringsItsSectionToTheTopAsFarAsTheContentAllows)
{
    ASSERT_TRUE(show(QSize(844, 500)));
    auto *scroller = page->property("scroller").value<QQuickItem *>();
    auto *animation = page->findChild<QObject *>("scrollAnimation");
    ASSERT_TRUE(scroller && animation);
    auto *content = scroller->property("contentItem").value<QQuickItem *>();
    const double contentHeight = scroller->property("contentHeight").toDouble();
    const double end = contentHeight - scroller->height();
    ASSERT_GT(end, 0);
    for (const char *step : {"setup", "metrics", "signal", "cadence"}) {
        model->tour()->select(step);
        QQuickItem *section = find(qPrintable(QStringLiteral("blinkGuide-") + step));
        ASSERT_TRUE(section) << step;
        const double sectionY = section->mapToItem(content, QPointF()).y();
        EXPECT_DOUBLE_EQ(animation->property("to").toDouble(), std::clamp(sectionY, 0.0, end)) << step;
        EXPECT_EQ(animation->property("duration").toInt(), 250);
    }
    // The last section lies too low to reach the top: the page scrolls to its end.
    EXPECT_DOUBLE_EQ(animation->property("to").toDouble(), end);
}

} // namespace
