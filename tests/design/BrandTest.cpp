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
#include "runtime/Scheduler.h"

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

} // namespace
