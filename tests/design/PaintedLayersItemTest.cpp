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

} // namespace
