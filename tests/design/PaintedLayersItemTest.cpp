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
}

// Sleeping between visible changes, an animation still shows on screen what drawing it
// anew at every display frame would show, within a level: the window's picture over 20 s,
// looked at every 50 ms (and the sleeps fall between), against the one painted for that
// moment, in light and then in dark (switched half-way). The backdrop is compared whole,
// its tiles included. The logo's colours are compared with the outline as drawn: the outline
// steps by a quarter of a pixel, which moves an edge pixel by many levels; while a palette
// fades, the picture may lag by what changes in one paint interval (at most 30 a second),
// plus the painter's rounding of a skin's opacity and of each layer.
TEST_F(PaintedLayersItemTest, ASleepingAnimationShowsWhatEveryFrameWouldShow)
{
    const QSize size(360, 240);
    const auto now = [] { return brand::referenceSeconds(scheduler().now()); };
    struct Case {
        const char *name;
        std::function<PaintedLayersItem *(QQuickItem *)> make;
        std::function<QImage(PaintedLayersItem *, qreal dpr)> exact;
        std::function<int(PaintedLayersItem *)> allowed; // levels
    };
    const auto one = [](PaintedLayersItem *) { return 1; };
    const Case cases[] = {
        {"backdrop",
         [](QQuickItem *parent) {
             auto *b = new AppBackdropItem(parent);
             b->setSize(QSizeF(360, 240));
             return b;
         },
         [&](PaintedLayersItem *, qreal dpr) {
             return paint::renderBackdrop(QSizeF(size), brand::backdropFrame(now(), Theme::shared().isDark()), dpr,
                                          AppBackdropItem::kResolution);
         },
         one},
        {"logo",
         [](QQuickItem *parent) {
             auto *logo = new LogoMarkItem(parent);
             logo->setSize(64);
             logo->setPosition(QPointF(148, 88));
             return logo;
         },
         [&](PaintedLayersItem *item, qreal dpr) {
             brand::LogoState exact = brand::logoState(now());
             const brand::LogoState drawn = static_cast<LogoMarkItem *>(item)->drawnState();
             exact.wave = drawn.wave;
             exact.scale = drawn.scale;
             QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
             image.setDevicePixelRatio(dpr);
             image.fill(Qt::white);
             QPainter p(&image);
             const qreal canvas = paint::kLogoCanvasFactor * 64;
             p.drawImage(QRectF(180 - canvas / 2, 120 - canvas / 2, canvas, canvas),
                         paint::renderLogoMark(64, dpr, exact));
             return image;
         },
         [&](PaintedLayersItem *item) {
             const brand::LogoState a = static_cast<LogoMarkItem *>(item)->drawnState();
             const brand::LogoState b = brand::logoState(now());
             const double fade = std::max(std::abs(a.secondOpacity - b.secondOpacity),
                                          std::abs(a.thirdOpacity - b.thirdOpacity)) *
                                 brand::logoPaletteSpread();
             // What the fade moved since the paint, and while it moves a few levels for the
             // painter: it blends a skin at its opacity in steps of 1/256 and rounds each
             // layer to 8 bits.
             return fade <= 0 ? 1 : int(std::ceil(fade)) + 3;
         }},
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
            const QImage exact = c.exact(item, window.effectiveDevicePixelRatio());
            const QImage a = shown.convertToFormat(QImage::Format_ARGB32);
            const QImage b = exact.convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(a.size(), b.size());
            int largest = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                    largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                        std::abs(qBlue(p) - qBlue(q))});
                }
            EXPECT_LE(largest, c.allowed(item)) << "at " << step * 50 << " ms";
            worst = std::max(worst, largest - c.allowed(item));
        }
        EXPECT_LE(worst, 0);
    }
}

} // namespace
