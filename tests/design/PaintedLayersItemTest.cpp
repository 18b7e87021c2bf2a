#include "design/Brand.h"
#include "design/DesignItems.h"
#include "design/FrameTicker.h"
#include "design/Painting.h"
#include "design/Theme.h"
#include "support/TestEnvironment.h"

#include <QPainter>

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <functional>

using namespace qv;

namespace {

// The longest the logo waits between two paints while it changes: its shortest interval
// brought onto the wake-up grid, and the grid step it paints ahead.
constexpr qint64 kLogoStepMs =
    (LogoMarkItem::kMinimumIntervalMs + FrameTicker::kGridMs - 1) / FrameTicker::kGridMs * FrameTicker::kGridMs +
    LogoMarkItem::kLookAheadMs;

// The software renderer draws what an item paints again where it drew it first: in the
// item, not at the window's origin. The window is plain white; the item sits away from
// the corner, so the corner must stay white and the item's place must not.
class PaintedLayersItemTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
};

TEST_F(PaintedLayersItemTest, ARepaintedItemStaysInItsPlace)
{
    const auto button = [](QQuickItem *parent) -> PaintedLayersItem * {
        auto *s = new SurfaceItem(parent);
        s->setKind(SurfaceItem::PrimaryButton);
        s->setSize(QSizeF(60, 40));
        return s;
    };
    struct Case {
        const char *name;
        std::function<PaintedLayersItem *(QQuickItem *parent)> make;
        std::function<void(PaintedLayersItem *)> repaint;
    };
    const Case cases[] = {
        {"surface changing state", button,
         [](PaintedLayersItem *item) { static_cast<SurfaceItem *>(item)->setPressed(true); }},
        {"surface resized", button, [](PaintedLayersItem *item) { item->setSize(QSizeF(50, 30)); }},
        {"logo animating",
         [](QQuickItem *parent) {
             auto *logo = new LogoMarkItem(parent);
             logo->setSize(40);
             return logo;
         },
         [this](PaintedLayersItem *) { advance(2000); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QQuickWindow window;
        window.setColor(Qt::white);
        window.resize(240, 200);
        PaintedLayersItem *item = c.make(window.contentItem());
        item->setPosition(QPointF(150, 130));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QImage first = window.grabWindow();
        ASSERT_FALSE(first.isNull());
        const int paints = item->paintCount();
        c.repaint(item);
        const QImage second = window.grabWindow();
        EXPECT_GT(item->paintCount(), paints);
        for (const QImage &image : {first, second}) {
            EXPECT_EQ(image.pixelColor(10, 10).name(), "#ffffff") << "drawn at the window's origin";
            EXPECT_NE(image.pixelColor(170, 145).name(), "#ffffff") << "missing from its place";
        }
    }
}

// While the logo's colours fade its outline hardly moves: a paint the fade alone asks for
// keeps the outline as drawn (so that it is painted once, not at every step), yet the
// logo on screen never falls behind by more than the step it paints at, colour or outline.
TEST_F(PaintedLayersItemTest, AFadingLogoKeepsItsOutlineButNeverFallsBehind)
{
    QQuickWindow window;
    window.resize(120, 120);
    auto *logo = new LogoMarkItem(window.contentItem());
    logo->setSize(32);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const qreal pixels = 32 * window.effectiveDevicePixelRatio();
    int colourOnly = 0, outlineMoved = 0;
    brand::LogoState before = logo->drawnState();
    // Two whole 18 s cycles in steps of a display frame. The logo paints at most every
    // kMinimumIntervalMs: it may lag by what changes over that time.
    const auto stateAgo = [](qint64 ms) {
        return brand::logoState(brand::referenceSeconds(scheduler().now().addMSecs(-ms)));
    };
    for (int i = 0; i < 36000 / 16; ++i) {
        advance(16);
        QCoreApplication::processEvents();
        const brand::LogoState drawn = logo->drawnState();
        const double allowed = std::max(1.0, brand::logoDifference(stateAgo(kLogoStepMs + 2 * FrameTicker::kGridMs),
                                                                   logo->currentState(), pixels));
        EXPECT_LE(brand::logoDifference(drawn, logo->currentState(), pixels), allowed * 1.01) << "at step " << i;
        if (drawn.u == before.u)
            continue;
        if (drawn.wave == before.wave && drawn.scale == before.scale)
            ++colourOnly;
        else
            ++outlineMoved;
        before = drawn;
    }
    EXPECT_GT(colourOnly, 20);
    EXPECT_GT(outlineMoved, 20);
    // Under three paints a second on average over the two cycles.
    EXPECT_LE(colourOnly + outlineMoved, 2 * 18 * 3) << colourOnly << " + " << outlineMoved;
}

// Sleeping between visible changes, an animation still shows on screen what drawing it
// anew at every display frame would show, within two levels (the backdrop sleeps through a
// change of under one and a half): the window's picture over
// 20 s, looked at every 50 ms (and the sleeps fall between), against the one painted for
// that moment, in light and then in dark (switched half-way). The backdrop is compared
// whole, its tiles included. The logo is drawn at most 30 times a second on display
// frames, one of which may wait a frame for the window: what it shows at a moment is its
// state at one of the last 66 ms (four frames at 60 Hz). Its colours are compared with the
// outline as drawn, which steps by half a pixel and so moves an edge pixel by many levels.
// It sleeps through a change of its colours of under eight levels, and its picture is a
// stack of translucent 8-bit layers whose rounding of colour and coverage apart moves a few
// pixels of an edge by two more.
TEST_F(PaintedLayersItemTest, ASleepingAnimationShowsWhatEveryFrameWouldShow)
{
    const QSize size(360, 240);
    const auto now = [] { return brand::referenceSeconds(scheduler().now()); };
    struct Case {
        const char *name;
        std::function<PaintedLayersItem *(QQuickItem *)> make;
        // The pictures the animation may show at this moment.
        std::function<QList<QImage>(PaintedLayersItem *, qreal dpr)> exact;
        int allowed; // levels
    };
    const Case cases[] = {
        {"backdrop",
         [](QQuickItem *parent) {
             auto *b = new AppBackdropItem(parent);
             b->setSize(QSizeF(360, 240));
             return b;
         },
         [&](PaintedLayersItem *, qreal dpr) {
             return QList<QImage>{paint::renderBackdrop(
                 QSizeF(size), brand::backdropFrame(now(), Theme::shared().isDark()), dpr, AppBackdropItem::kResolution)};
         },
         2},
        {"logo",
         [](QQuickItem *parent) {
             auto *logo = new LogoMarkItem(parent);
             logo->setSize(64);
             logo->setPosition(QPointF(148, 88));
             return logo;
         },
         [&](PaintedLayersItem *item, qreal dpr) {
             // The moment of the last 66 ms whose colours come closest to those drawn.
             const brand::LogoState drawn = static_cast<LogoMarkItem *>(item)->drawnState();
             brand::LogoState exact;
             double closest = 2;
             for (int ago = 0; ago <= 66; ++ago) {
                 const brand::LogoState then = brand::logoState(now() - ago / 1000.0);
                 const double apart = std::max(std::abs(then.secondOpacity - drawn.secondOpacity),
                                               std::abs(then.thirdOpacity - drawn.thirdOpacity));
                 if (apart < closest) {
                     closest = apart;
                     exact = then;
                 }
             }
             exact.wave = drawn.wave;
             exact.scale = drawn.scale;
             QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
             image.setDevicePixelRatio(dpr);
             image.fill(Qt::white);
             QPainter p(&image);
             const qreal canvas = paint::kLogoCanvasFactor * 64;
             p.drawImage(QRectF(180 - canvas / 2, 120 - canvas / 2, canvas, canvas),
                         paint::renderLogoMark(64, dpr, exact));
             return QList<QImage>{image};
         },
         int(brand::kLogoStepLevels) + 2},
    };
    const auto largestDifference = [](const QImage &shown, const QImage &exact) {
        const QImage a = shown.convertToFormat(QImage::Format_ARGB32);
        const QImage b = exact.convertToFormat(QImage::Format_ARGB32);
        if (a.size() != b.size())
            return 255;
        int largest = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            }
        return largest;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->setString("appAppearanceMode", "light");
        QQuickWindow window;
        window.setColor(Qt::white);
        window.resize(size);
        PaintedLayersItem *item = c.make(window.contentItem());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        int worst = 0;
        for (int step = 0; step < 400; ++step) {
            if (step == 200)
                defaults->setString("appAppearanceMode", "dark");
            advance(50);
            const QImage shown = window.grabWindow();
            int closest = 255;
            for (const QImage &exact : c.exact(item, window.effectiveDevicePixelRatio()))
                closest = std::min(closest, largestDifference(shown, exact));
            EXPECT_LE(closest, c.allowed) << "at " << step * 50 << " ms";
            worst = std::max(worst, closest);
        }
        EXPECT_LE(worst, c.allowed);
    }
}

} // namespace
