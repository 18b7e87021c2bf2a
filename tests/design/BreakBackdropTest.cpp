#include "design/BreakBackdropItem.h"
#include "design/Surface.h"
#include "design/Theme.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace qv;

namespace {
QImage painted(const std::function<void(QPainter &)> &paint, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter);
    return image;
}
} // namespace

TEST(BreakBackdrop, GradientRunsFromInkToGreenAndTheGlowsSitWhereTheyBelong)
{
    const QSize size(1000, 1000);
    for (bool dark : {false, true}) {
        const QImage image = painted([&](QPainter &p) { BreakBackdropItem::paint(p, size, dark); }, size);
        const QColor top = image.pixelColor(2, 2);
        const QColor bottom = image.pixelColor(2, 997);
        // Top left: ink; bottom: the green of "223227" (green above red and blue).
        EXPECT_LT(top.lightness(), 20) << dark;
        EXPECT_GT(bottom.green(), bottom.red()) << dark;
        EXPECT_GT(bottom.green(), bottom.blue()) << dark;
        // The rose glow lifts its centre above the corners at the same height.
        const QColor rose = image.pixelColor(460, 330);
        EXPECT_GT(rose.red(), image.pixelColor(2, 330).red() + 10) << dark;
        EXPECT_EQ(image.pixelColor(500, 500).alpha(), 255) << dark;
    }
}

TEST(BreakBackdrop, SkipButtonSurfaceIsTranslucent)
{
    for (bool dark : {false, true}) {
        const SurfaceStyle style = surfaceStyle(SurfaceKind::breakButton, {}, dark);
        const QImage image = painted([&](QPainter &p) { paintSurface(p, QRectF(0, 0, 100, 40), 6, style); },
                                     QSize(100, 40));
        const int alpha = image.pixelColor(50, 20).alpha();
        EXPECT_GT(alpha, 0) << dark;
        EXPECT_LT(alpha, 60) << dark;
        ASSERT_TRUE(style.shadow);
        EXPECT_EQ(style.shadow->offset, QPointF(0, 10));
    }
}
