#include "design/Brand.h"
#include "design/Painting.h"
#include "design/Surface.h"
#include "design/Theme.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <limits>

using namespace qv;

namespace {

// The enlarged, dithered backdrop keeps the colours of a direct full-resolution paint.
TEST(BackdropPicture, MatchesADirectPaintWithinALevel)
{
    for (bool dark : {false, true}) {
        const brand::BackdropFrame frame = brand::backdropFrame(812345678.9, dark);
        const QSizeF size(1100, 760);
        const QImage fast = paint::renderBackdrop(size, frame, 1.0, 0.25);
        QImage direct(size.toSize(), QImage::Format_RGBA64);
        {
            QPainter p(&direct);
            paint::paintBackdrop(p, QRectF(QPointF(0, 0), size), frame);
        }
        ASSERT_EQ(fast.size(), QSize(1100, 760));
        for (const QPoint at : {QPoint(900, 90), QPoint(200, 120), QPoint(640, 650), QPoint(10, 750)}) {
            // Average a 4x4 block: the dither spreads a fraction of a level over it.
            double sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx) {
                    const QRgb px = fast.pixel(at + QPoint(dx, dy));
                    sum[0] += qRed(px);
                    sum[1] += qGreen(px);
                    sum[2] += qBlue(px);
                }
            const QColor want = direct.pixelColor(at + QPoint(2, 2));
            EXPECT_NEAR(sum[0] / 16, want.redF() * 255, 1.0) << dark << " " << at.x();
            EXPECT_NEAR(sum[1] / 16, want.greenF() * 255, 1.0) << dark << " " << at.x();
            EXPECT_NEAR(sum[2] / 16, want.blueF() * 255, 1.0) << dark << " " << at.x();
        }
    }
}

// The backdrop decides to paint again from a sample one point in 16: as it drifts, the
// sample's largest change follows the full picture's, so the picture on screen never
// falls more than about a level behind.
TEST(BackdropPicture, ACoarseSampleSeesTheDriftOfTheFullPicture)
{
    const QSizeF size(1100, 760);
    const qreal sample = 1.0 / 16;
    for (bool dark : {false, true})
        for (double start : {600000000.0, 600000011.0, 600000023.0, 812345678.9}) {
            const brand::BackdropFrame drawn = brand::backdropFrame(start, dark);
            const QImage drawnSample = paint::paintDeepBackdrop(size, drawn, sample);
            const QImage drawnFull = paint::paintDeepBackdrop(size, drawn, 0.25);
            double t = start;
            double sampled = 0;
            while (sampled < 1.0 && t < start + 30) {
                t += 0.25;
                const brand::BackdropFrame now = brand::backdropFrame(t, dark);
                sampled = paint::largestLevelDifference(drawnSample, paint::paintDeepBackdrop(size, now, sample));
                const double full = paint::largestLevelDifference(drawnFull, paint::paintDeepBackdrop(size, now, 0.25));
                EXPECT_NEAR(sampled, full, 0.1) << dark << " " << start << " +" << t - start;
                if (sampled < 1.0) {
                    EXPECT_LT(full, 1.1) << dark << " " << start << " +" << t - start;
                }
            }
            // It does move: a level within seconds, not at every frame.
            EXPECT_GE(sampled, 1.0);
            EXPECT_GE(t - start, 1.0);
        }
}

TEST(BackdropPicture, LevelDifferenceOfTwoPictures)
{
    QImage a(4, 3, QImage::Format_RGBA64_Premultiplied);
    a.fill(QColor::fromRgba64(30000, 40000, 50000, 65535));
    struct Case {
        const char *name;
        QImage b;
        double levels;
    };
    QImage oneLevel = a;
    oneLevel.setPixelColor(3, 2, QColor::fromRgba64(30000, 40257, 50000, 65535));
    QImage darker = a;
    darker.setPixelColor(0, 0, QColor::fromRgba64(30000 - 2570, 40000, 50000, 65535));
    QImage clearer = a;
    clearer.setPixelColor(1, 1, QColor::fromRgba64(30000, 40000, 50000, 65535 - 514));
    const Case cases[] = {
        {"same", a, 0},
        {"one level up in one channel", oneLevel, 1},
        {"ten levels down", darker, 10},
        {"alpha counts", clearer, 2},
        {"other size", QImage(4, 4, QImage::Format_RGBA64_Premultiplied), std::numeric_limits<double>::infinity()},
        {"8-bit picture", a.convertToFormat(QImage::Format_ARGB32_Premultiplied),
         std::numeric_limits<double>::infinity()},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(paint::largestLevelDifference(a, c.b), c.levels) << c.name;
}

TEST(LogoPicture, SkinStaysInsideTheBlob)
{
    const qreal s = 64;
    const QImage image = paint::renderLogoMark(s, 1.0, brand::logoState(0), {.halo = false});
    const qreal canvas = paint::kLogoCanvasFactor * s;
    ASSERT_EQ(image.width(), int(std::ceil(canvas)));
    const QPointF origin((canvas - s) / 2, (canvas - s) / 2);
    // The centre is the gold-to-rose skin: warm and opaque.
    const QColor centre = image.pixelColor((origin + QPointF(s / 2, s / 2)).toPoint());
    EXPECT_GT(centre.alpha(), 240);
    EXPECT_GT(centre.red(), centre.blue());
    // The frame's corners lie outside the blob: only faint shadow there, no skin.
    for (const QPointF corner : {QPointF(1, 1), QPointF(s - 2, 1), QPointF(1, s - 2), QPointF(s - 2, s - 2)})
        EXPECT_LT(image.pixelColor((origin + corner).toPoint()).alpha(), 90) << corner.x() << "," << corner.y();
}

// The breathing ring is a hairline softened by a blur of half a point: wider and fainter
// than the line itself, centred on its radius.
TEST(BreathingRing, IsAHairlineBlurredByHalfAPoint)
{
    const qreal radius = 30;
    const qreal dpr = 2;
    const QImage ring = paint::breathingRing(radius, dpr);
    ASSERT_EQ(ring.width(), ring.height());
    const int centre = ring.width() / 2;
    const int y = centre;
    int lit = 0;
    int peak = 0;
    double weighted = 0, total = 0;
    for (int x = centre; x < ring.width(); ++x) {
        const int alpha = qAlpha(ring.pixel(x, y));
        lit += alpha > 0;
        peak = std::max(peak, alpha);
        weighted += alpha * (x + 0.5);
        total += alpha;
    }
    // A one-point line covers two device pixels; blurred, it spreads over four or more.
    EXPECT_GE(lit, 4);
    EXPECT_LT(peak, 0.85 * 0.1 * 255);
    EXPECT_GT(peak, 0.4 * 0.1 * 255);
    EXPECT_NEAR(weighted / total, centre + radius * dpr, 0.5);
    EXPECT_EQ(qAlpha(ring.pixel(ring.width() - 1, y)), 0);
}

// The mark's soft shadows are kept from a nearby outline while they are within a level of
// its own, and the gold outline is blurred on the part of the canvas it reaches: the mark
// looks as one painted afresh, but for the rounding of each stacked 8-bit shadow (a level
// each where they overlap).
TEST(LogoPicture, KeptShadowsAndTheCutGoldMatchAFreshPaintWithinALevel)
{
    const auto forgetShapes = [] {
        for (qreal other : {20.0, 21.0, 22.0, 23.0})
            paint::renderLogoMark(other, 1, brand::logoState(0));
    };
    const auto levelsApart = [](const QImage &a, const QImage &b) {
        return paint::largestLevelDifference(a.convertToFormat(QImage::Format_RGBA64_Premultiplied),
                                             b.convertToFormat(QImage::Format_RGBA64_Premultiplied));
    };
    for (bool breathing : {false, true}) {
        brand::LogoState state = brand::logoState(3);
        const paint::LogoExtras extras{.breathingShadows = breathing};
        forgetShapes();
        const QImage fresh = paint::renderLogoMark(120, 1, state, extras);
        forgetShapes();
        brand::LogoState near = state;
        near.wave = state.wave > 0.5 ? state.wave - 0.13 : state.wave + 0.13;
        paint::renderLogoMark(120, 1, near, extras);
        const QImage kept = paint::renderLogoMark(120, 1, state, extras);
        EXPECT_LE(levelsApart(fresh, kept), breathing ? 4.0 : 2.0) << breathing;
        EXPECT_GT(levelsApart(fresh, paint::renderLogoMark(120, 1, near, extras)), 1.0);
    }
}

// Of two shadows given to one view the second lies beneath the first: the logo's teal
// shadow over its rose one, the breathing mark's rose shadow (below the mark) over its
// teal one (above it).
TEST(LogoShadows, AreDrawnBottomFirst)
{
    const auto logo = paint::logoShadows();
    const auto breathing = paint::breathingShadows();
    ASSERT_EQ(logo.size(), 2);
    ASSERT_EQ(breathing.size(), 2);
    EXPECT_EQ(logo[0].colour.rgb(), Theme::markRose().rgb());
    EXPECT_EQ(logo[1].colour.rgb(), Theme::markTeal().rgb());
    EXPECT_EQ(breathing[0].colour.rgb(), Theme::markTeal().rgb());
    EXPECT_LT(breathing[0].offset, 0);
    EXPECT_EQ(breathing[1].colour.rgb(), Theme::markRose().rgb());
    EXPECT_GT(breathing[1].offset, 0);
}

TEST(ContinuousCorners, FitTheRectangleAndFallBackToCirclesWhenTooRound)
{
    const QRectF rect(10, 20, 232, 700);
    const QPainterPath path = paint::continuousRoundedRect(rect, 28);
    EXPECT_NEAR(path.boundingRect().left(), rect.left(), 1e-9);
    EXPECT_NEAR(path.boundingRect().bottom(), rect.bottom(), 1e-9);
    EXPECT_FALSE(path.contains(rect.topLeft() + QPointF(2, 2)));
    EXPECT_TRUE(path.contains(rect.center()));
    // A 36 by 20 track with radius 11 is a capsule.
    const QPainterPath capsule = paint::continuousRoundedRect(QRectF(0, 0, 36, 20), 11);
    EXPECT_TRUE(capsule.contains(QPointF(10, 10)));
    EXPECT_FALSE(capsule.contains(QPointF(0.5, 0.5)));
    EXPECT_EQ(capsule.boundingRect(), QRectF(0, 0, 36, 20));
}

TEST(Surfaces, SidebarAndStatusCardAsDrawn)
{
    for (bool dark : {false, true}) {
        auto token = [dark](ColorToken t) { return Theme::adaptive(t).resolve(dark); };
        const SurfaceStyle sidebar = surfaceStyle(SurfaceKind::sidebar, {}, dark);
        EXPECT_EQ(sidebar.fill, Theme::withOpacity(token(ColorToken::sidebarBackground), 0.68));
        ASSERT_EQ(sidebar.overlay.size(), 3);
        EXPECT_EQ(sidebar.overlay.first().second, token(ColorToken::sidebarSheen));
        EXPECT_EQ(sidebar.overlay.last().second, token(ColorToken::sidebarGlow));
        EXPECT_EQ(sidebar.strokeWidth, 0.8);
        ASSERT_EQ(sidebar.stroke.size(), 3);
        EXPECT_EQ(sidebar.stroke[1].second, Theme::withOpacity(token(ColorToken::sidebarBorder), 0.48));
        EXPECT_EQ(sidebar.shadow->colour, Theme::withOpacity(token(ColorToken::panelShadow), 0.42));
        EXPECT_EQ(sidebar.shadow->radius, 22);
        EXPECT_EQ(sidebar.shadow->offset, QPointF(0, 14));

        const SurfaceStyle card = surfaceStyle(SurfaceKind::statusCard, {}, dark);
        EXPECT_EQ(card.fill, Theme::withOpacity(token(ColorToken::surface), 0.3));
        EXPECT_EQ(card.stroke.first().second, Theme::withOpacity(token(ColorToken::sidebarBorder), 0.56));
        EXPECT_EQ(card.shadow->offset, QPointF(0, 5));

        const SurfaceStyle primary = surfaceStyle(SurfaceKind::primaryButton, {}, dark);
        EXPECT_EQ(primary.overlay.first().second, token(ColorToken::accent));
        EXPECT_EQ(primary.overlay.last().second, Theme::withOpacity(Theme::brandTeal(), 0.78));
        EXPECT_EQ(primary.shadow->colour, Theme::withOpacity(token(ColorToken::accent), 0.16));
    }
}

TEST(Blur, SpreadsWithoutLosingCoverage)
{
    QImage image(61, 61, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.fillRect(QRect(20, 20, 21, 21), Qt::black);
    }
    auto coverage = [](const QImage &im) {
        qint64 total = 0;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                total += qAlpha(im.pixel(x, y));
        return total;
    };
    const qint64 before = coverage(image);
    paint::blur(image, 4);
    EXPECT_NEAR(double(coverage(image)), double(before), before * 0.03);
    EXPECT_GT(qAlpha(image.pixel(16, 30)), 20);   // spread outward
    EXPECT_GT(qAlpha(image.pixel(30, 30)), 230); // the middle stays nearly full
}

// A picture of one colour blurred as its alpha and coloured after is the picture blurred
// whole, within a level (of rounding), on a width whose rows are padded.
TEST(Blur, OfTheAlphaAloneThenTintedMatchesTheWholeBlur)
{
    QImage shape(61, 40, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(12.3, 8.6, 30, 18));
    }
    for (const QColor &colour : {QColor(200, 120, 60, 56), QColor(40, 180, 170, 255)}) {
        QImage whole = shape.copy();
        {
            QPainter p(&whole);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(whole.rect(), colour);
        }
        paint::blur(whole, 5);
        const QImage split = paint::tintedAlpha(paint::blurredAlpha(shape, 5), colour);
        EXPECT_LE(paint::largestLevelDifference(whole.convertToFormat(QImage::Format_RGBA64_Premultiplied),
                                                split.convertToFormat(QImage::Format_RGBA64_Premultiplied)),
                  1.0)
            << colour.name(QColor::HexArgb).toStdString();
    }
}

} // namespace

namespace {
// The shadow as made without the cache: the silhouette painted, tinted and blurred.
QImage uncachedShadow(const QPainterPath &shape, const QRectF &bounds, const QColor &colour, qreal sigma,
                      qreal margin, qreal dpr)
{
    return qv::paint::shadowImage([&](QPainter &p) { p.fillPath(shape, Qt::black); }, bounds, colour, sigma,
                                  margin, dpr);
}
} // namespace

TEST(ShadowCache, HandsOutTheSameShadowOnlyForTheSameInputs)
{
    using qv::paint::shadowImage;
    const QRectF bounds(0, 0, 120, 48);
    const QPainterPath card = qv::paint::continuousRoundedRect(bounds, 12);
    const QColor colour(0, 0, 0, 40);
    const QImage first = shadowImage(card, bounds, colour, 8, 25, 0.5);
    const QImage again = shadowImage(card, bounds, colour, 8, 25, 0.5);
    EXPECT_EQ(again.cacheKey(), first.cacheKey()); // not blurred a second time
    EXPECT_EQ(first, uncachedShadow(card, bounds, colour, 8, 25, 0.5));

    const struct {
        const char *name;
        QPainterPath shape;
        QRectF bounds;
        QColor colour;
        qreal sigma;
        qreal dpr;
    } variants[] = {
        {"rounder corners", qv::paint::continuousRoundedRect(bounds, 20), bounds, colour, 8, 0.5},
        {"circle", [&] { QPainterPath p; p.addEllipse(bounds); return p; }(), bounds, colour, 8, 0.5},
        {"offset bounds", card, bounds.translated(1, 0), colour, 8, 0.5},
        {"colour", card, bounds, QColor(0, 0, 0, 41), 8, 0.5},
        {"blur", card, bounds, colour, 7, 0.5},
        {"resolution", card, bounds, colour, 8, 1},
    };
    for (const auto &v : variants) {
        const QImage shadow = shadowImage(v.shape, v.bounds, v.colour, v.sigma, 25, v.dpr);
        EXPECT_NE(shadow.cacheKey(), first.cacheKey()) << v.name;
        EXPECT_EQ(shadow, uncachedShadow(v.shape, v.bounds, v.colour, v.sigma, 25, v.dpr)) << v.name;
    }
}

TEST(ShadowCache, ACallerPaintingOnItsShadowLeavesTheCachedOneAlone)
{
    const QRectF bounds(0, 0, 64, 64);
    QPainterPath circle;
    circle.addEllipse(bounds);
    QImage mine = qv::paint::shadowImage(circle, bounds, Qt::black, 4, 13, 1);
    mine.fill(Qt::red);
    EXPECT_EQ(qv::paint::shadowImage(circle, bounds, Qt::black, 4, 13, 1),
              uncachedShadow(circle, bounds, Qt::black, 4, 13, 1));
}
