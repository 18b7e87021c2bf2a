#include "design/Brand.h"
#include "design/DesignItems.h"
#include "support/TestEnvironment.h"

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <functional>

using namespace qv;

namespace {

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
    // Two whole 18 s cycles in steps of the logo's own check interval.
    for (int i = 0; i < 36000 / 67; ++i) {
        advance(67);
        QCoreApplication::processEvents();
        const brand::LogoState drawn = logo->drawnState();
        EXPECT_LT(brand::logoDifference(drawn, logo->currentState(), pixels), 1.0 + 1e-9) << "at step " << i;
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

} // namespace
