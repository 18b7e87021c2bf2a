#include "design/Brand.h"

#include "design/Theme.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qv;
using namespace qv::brand;

namespace {

TEST(Backdrop, PhasesAtChosenTimes)
{
    struct Case {
        double t, p1, p2, p3;
    };
    const auto phase = [](double t, double offset, double period) {
        return (std::sin(2 * M_PI * (t + offset) / period) + 1) * 0.5;
    };
    const Case cases[] = {
        {0, 0.5, phase(0, 1.7, 42), phase(0, 3.1, 52)},
        {8.5, 1.0, phase(8.5, 1.7, 42), phase(8.5, 3.1, 52)},
        {25.5, 0.0, phase(25.5, 1.7, 42), phase(25.5, 3.1, 52)},
        {42 - 1.7 + 10.5, phase(50.8, 0, 34), 1.0, phase(50.8, 3.1, 52)},
        {13 - 3.1, phase(9.9, 0, 34), phase(9.9, 1.7, 42), 1.0},
    };
    for (const Case &c : cases) {
        const BackdropPhases p = backdropPhases(c.t);
        EXPECT_NEAR(p.p1, c.p1, 1e-9) << c.t;
        EXPECT_NEAR(p.p2, c.p2, 1e-9) << c.t;
        EXPECT_NEAR(p.p3, c.p3, 1e-9) << c.t;
    }
}

TEST(Backdrop, GlowsStayWithinTheirOpacitiesAndPlaces)
{
    double lo[3] = {1, 1, 1}, hi[3] = {0, 0, 0};
    for (double t = 0; t < 52 * 42; t += 0.37) {
        const BackdropFrame f = backdropFrame(t, false);
        const RadialGlow *glows[3] = {&f.rose, &f.teal, &f.gold};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], double(glows[i]->inner.alphaF()));
            hi[i] = std::max(hi[i], double(glows[i]->inner.alphaF()));
        }
    }
    const double expected[3][2] = {{0.028, 0.062}, {0.026, 0.058}, {0.024, 0.052}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(lo[i], expected[i][0], 0.003) << i;
        EXPECT_NEAR(hi[i], expected[i][1], 0.003) << i;
    }
    // At t = 8.5 s the rose phase is 1: right-most centre, largest reach.
    const BackdropFrame f = backdropFrame(8.5, true);
    EXPECT_NEAR(f.rose.centre.x(), 0.84, 1e-9);
    EXPECT_NEAR(f.rose.endRadius, 640, 1e-9);
    EXPECT_NEAR(f.gold.centre.y(), 0.78, 1e-9);
    EXPECT_EQ(f.background, Theme::adaptive(ColorToken::appBackground).dark);
    EXPECT_EQ(f.rose.middle.rgb(), Theme::adaptive(ColorToken::accent).dark.rgb());
}

TEST(Backdrop, SmallStepsDrawTheSamePictureAndLargeOnesDoNot)
{
    const QSizeF window(1100, 760);
    const BackdropFrame a = backdropFrame(1000.0, false);
    EXPECT_LT(backdropDifference(a, backdropFrame(1000.016, false), window), 0.5);
    EXPECT_GE(backdropDifference(a, backdropFrame(1004.0, false), window), 0.5);
    EXPECT_GE(backdropDifference(a, backdropFrame(1000.0, true), window), 0.5);
}

TEST(LogoCurves, BoundariesOfTheCycle)
{
    struct Case {
        double u, a, b;
    };
    const Case cases[] = {
        {0.0, 0, 0},    {0.2399, 0, 0},     {0.24, 0, 0},   {0.30, 0.5, 0},   {0.36, 1, 0},
        {0.52, 1, 0},   {0.56, 1, smooth(0.25)}, {0.60, 1 - smooth(1.0 / 3), 0.5}, {0.68, 0, 1},
        {0.6801, 0, 1}, {0.88, 0, 1},       {0.94, 0, 0.5}, {0.99999, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(logoCurveA(c.u), c.a, 1e-3) << c.u;
        EXPECT_NEAR(logoCurveB(c.u), c.b, 1e-3) << c.u;
    }
    EXPECT_DOUBLE_EQ(smooth(-1), 0);
    EXPECT_DOUBLE_EQ(smooth(2), 1);
    EXPECT_DOUBLE_EQ(smooth(0.5), 0.5);
}

TEST(LogoState, StillMarkAndCyclePositions)
{
    const LogoState still = logoState(0);
    EXPECT_DOUBLE_EQ(still.secondOpacity, 0);
    EXPECT_DOUBLE_EQ(still.thirdOpacity, 0);
    EXPECT_DOUBLE_EQ(still.wave, 0.5);
    EXPECT_DOUBLE_EQ(still.scale, 1.02);

    // u = 0.68 of an 18 s cycle, some cycles on.
    const LogoState at068 = logoState(18 * 1000 + 0.68 * 18);
    EXPECT_NEAR(at068.u, 0.68, 1e-9);
    EXPECT_NEAR(at068.secondOpacity, 0, 1e-9);
    EXPECT_NEAR(at068.thirdOpacity, 0.72, 1e-9);
    // Between 0.52 and 0.56 both later palettes show.
    const LogoState at054 = logoState(0.54 * 18);
    EXPECT_NEAR(at054.secondOpacity, 0.78, 1e-9);
    EXPECT_GT(at054.thirdOpacity, 0);
    EXPECT_LT(at054.thirdOpacity, 0.72);
    // The wave peaks a quarter of its 8.5 s period in, the scale a quarter of 10 s in.
    EXPECT_NEAR(logoState(8.5 / 4).wave, 1.0, 1e-9);
    EXPECT_NEAR(logoState(2.5).scale, 1.038, 1e-9);
    EXPECT_NEAR(logoState(7.5).scale, 1.002, 1e-9);
}

std::vector<QPointF> pathPoints(const QPainterPath &path)
{
    std::vector<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.push_back(path.elementAt(i));
    return points;
}

void expectPoints(const QPainterPath &path, const std::vector<QPointF> &expected, const char *label)
{
    const auto points = pathPoints(path);
    ASSERT_EQ(points.size(), expected.size()) << label;
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].x(), expected[i].x(), 1e-9) << label << " point " << i;
        EXPECT_NEAR(points[i].y(), expected[i].y(), 1e-9) << label << " point " << i;
    }
}

TEST(AmorphousLogoShape, PointsAtProgressZeroAndOne)
{
    const QRectF unit(0, 0, 1, 1);
    // Move, then per curve: control, control, end.
    expectPoints(amorphousLogoPath(unit, 0),
                 {{0.5, 0.03},
                  {0.77, 0.02}, {0.99, 0.24}, {0.96, 0.48},
                  {0.98, 0.75}, {0.77, 0.99}, {0.51, 0.97},
                  {0.24, 0.96}, {0, 0.77}, {0.04, 0.5},
                  {0.05, 0.24}, {0.23, 0}, {0.5, 0.03}},
                 "progress 0");
    expectPoints(amorphousLogoPath(unit, 1),
                 {{0.52, 0.03},
                  {0.80, 0.05}, {0.97, 0.22}, {0.93, 0.52},
                  {0.96, 0.77}, {0.73, 0.99}, {0.48, 0.97},
                  {0.21, 0.94}, {0.03, 0.79}, {0.07, 0.47},
                  {0.07, 0.21}, {0.21, 0.02}, {0.52, 0.03}},
                 "progress 1");
}

TEST(AmorphousLogoShape, FollowsTheRectanglesOriginAndCollapsesWhenFlat)
{
    const QPainterPath moved = amorphousLogoPath(QRectF(10, 20, 100, 50), 0);
    EXPECT_NEAR(moved.elementAt(0).x, 60, 1e-9);
    EXPECT_NEAR(moved.elementAt(0).y, 21.5, 1e-9);
    const QPainterPath flat = amorphousLogoPath(QRectF(5, 7, 40, 0), 0.5);
    for (int i = 0; i < flat.elementCount(); ++i)
        EXPECT_DOUBLE_EQ(flat.elementAt(i).y, 7);
}

} // namespace

#include "design/DesignItems.h"
#include "design/Painting.h"
#include "runtime/Scheduler.h"

#include <QPainter>

namespace {

TEST(BreathingMark, BreathesInAndOutEvery58Seconds)
{
    using qv::BreathingMarkItem;
    EXPECT_NEAR(BreathingMarkItem::breathAt(0), 0, 1e-6);
    EXPECT_NEAR(BreathingMarkItem::breathAt(2.9), 0.5, 1e-3);
    EXPECT_NEAR(BreathingMarkItem::breathAt(5.8), 1, 1e-6);
    EXPECT_NEAR(BreathingMarkItem::breathAt(8.7), 0.5, 1e-3);
    EXPECT_NEAR(BreathingMarkItem::breathAt(11.6), 0, 1e-6);
    // Eased: slow at the ends, quick in the middle.
    EXPECT_LT(BreathingMarkItem::breathAt(0.58), 0.1);
    EXPECT_NEAR(BreathingMarkItem::breathAt(11.6 * 3 + 5.8), 1, 1e-6);
}

struct BreathingMarkProbe : qv::BreathingMarkItem {
    auto layersAt(qreal dpr) { return paintLayers(dpr); }
};

// The breath asks for a paint every few frames; the outline (the costly part: its shadows
// are blurred) is drawn afresh only once it moved by a visible step.
TEST(BreathingMark, KeepsItsOutlineUntilItMovesByAVisibleStep)
{
    qv::VirtualScheduler clock;
    qv::Scheduler::setCurrent(&clock);
    BreathingMarkProbe mark;
    mark.setSize(170);
    mark.layersAt(1);
    const double wave = mark.drawnState().wave;
    clock.advance(50);
    mark.layersAt(1);
    EXPECT_EQ(mark.drawnState().wave, wave);
    clock.advance(2000);
    mark.layersAt(1);
    EXPECT_NE(mark.drawnState().wave, wave);
}

namespace {
// The layers as the window lays them over each other, on the mark's canvas.
double levelsApart(const QImage &a, const QImage &b)
{
    return qv::paint::largestLevelDifference(a.convertToFormat(QImage::Format_RGBA64_Premultiplied),
                                             b.convertToFormat(QImage::Format_RGBA64_Premultiplied));
}

template <typename Layers>
QImage composed(const Layers &layers, qreal size, qreal dpr, int count = 3)
{
    // The item is as large as the mark, its layers centred on it.
    const qreal canvas = 3.2 * size;
    QImage image(int(std::ceil(canvas * dpr)), int(std::ceil(canvas * dpr)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(dpr, dpr);
    p.translate(canvas / 2 - size / 2, canvas / 2 - size / 2);
    for (int i = 0; i < count && i < layers.size(); ++i) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, layers[i].smooth);
        p.drawImage(layers[i].rect, layers[i].image);
    }
    return image;
}
} // namespace

// Glow, ring and logo, each kept as its own picture and scaled by the window, look as the
// mark painted in one piece.
TEST(BreathingMark, ItsLayersLookAsTheMarkPaintedWhole)
{
    qv::VirtualScheduler clock;
    qv::Scheduler::setCurrent(&clock);
    struct Case {
        qreal size, dpr;
        qint64 afterMs;
    };
    for (const Case &c : {Case{170, 1, 0}, Case{170, 1, 2900}, Case{170, 1, 5800}, Case{60, 2, 1700}}) {
        BreathingMarkProbe mark;
        mark.setSize(c.size);
        clock.advance(c.afterMs);
        const auto layers = mark.layersAt(c.dpr);
        ASSERT_EQ(layers.size(), 3);
        const qreal b = mark.breath();
        const qreal canvas = 3.2 * c.size;
        const int pixels = int(std::ceil(canvas * c.dpr));
        QImage whole(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        whole.fill(Qt::transparent);
        {
            QPainter p(&whole);
            p.scale(c.dpr, c.dpr);
            qv::paint::paintBreathingBackground(p, c.size, canvas, b, c.dpr);
            qv::paint::LogoExtras extras;
            extras.breathingShadows = true;
            extras.outerScale = qv::paint::breathingLogoScale(b);
            const qreal side = qv::paint::kLogoCanvasFactor * c.size;
            p.drawImage(QRectF((canvas - side) / 2, (canvas - side) / 2, side, side),
                        qv::paint::renderLogoMark(c.size, c.dpr, mark.drawnState(), extras));
        }
        EXPECT_LE(levelsApart(composed(layers, c.size, c.dpr), whole), 1.0) << c.afterMs;
    }
}

// Painted at every frame of a whole breath, the glow moves when it has changed by a level,
// the ring when its edge has moved a quarter pixel and the logo (the costly layer) half a
// pixel: a few dozen steps, and the glow shown is never a whole level from the one of the
// moment.
TEST(BreathingMark, StepsWhenALayerLooksDifferent)
{
    qv::VirtualScheduler clock;
    qv::Scheduler::setCurrent(&clock);
    BreathingMarkProbe mark;
    mark.setSize(170);
    mark.layersAt(1);
    int glowSteps = 0, ringSteps = 0, shapeSteps = 0;
    double largestLag = 0;
    for (int frame = 0; frame < 11600 / 16; ++frame) {
        clock.advance(16);
        const qreal glowBefore = mark.glowBreath(), ringBefore = mark.ringBreath(), shapeBefore = mark.shapeBreath();
        const double waveBefore = mark.drawnState().wave, fadeBefore = mark.drawnState().secondOpacity;
        const auto layers = mark.layersAt(1);
        glowSteps += mark.glowBreath() != glowBefore;
        // The logo painted for the breath alone (a step of its own takes the breath along),
        // the ring alone (a paint of the logo takes it along).
        const bool ownStep = mark.drawnState().wave != waveBefore || mark.drawnState().secondOpacity != fadeBefore;
        const bool logoStep = mark.shapeBreath() != shapeBefore;
        shapeSteps += logoStep && !ownStep;
        ringSteps += mark.ringBreath() != ringBefore && !logoStep;
        EXPECT_LT(std::abs(qv::paint::breathingRingScale(mark.breath()) - qv::paint::breathingRingScale(mark.ringBreath())),
                  0.25 / (0.59 * 170) * 1.2);
        // Never more than a step behind the breath.
        EXPECT_LT(std::abs(qv::paint::breathingLogoScale(mark.breath()) - qv::paint::breathingLogoScale(mark.shapeBreath())),
                  qv::brand::kLogoStepPixels / (0.52 * 170) * 1.2);
        if (frame % 8 == 0) {
            // The glow as drawn, against the glow at this breath.
            auto now = layers;
            const qreal scale = qv::paint::breathingGlowScale(mark.breath()) /
                                qv::paint::breathingGlowScale(mark.glowBreath());
            const QPointF centre(85, 85);
            now[0].rect = QRectF(centre + (now[0].rect.topLeft() - centre) * scale, now[0].rect.size() * scale);
            largestLag = std::max(largestLag, levelsApart(composed(layers, 170, 1, 1), composed(now, 170, 1, 1)));
        }
    }
    // A level of change and a level of rounding: the same picture scaled a little differently
    // rounds differently.
    EXPECT_LE(largestLag, 2.0);
    EXPECT_GE(glowSteps, 4);
    EXPECT_LE(glowSteps, 40);
    // The ring's edge swings 4.0 pixels each way (16 quarters), the logo's 4.4 (9 halves).
    EXPECT_LE(ringSteps, 36);
    EXPECT_LE(shapeSteps, 20);
}

} // namespace

