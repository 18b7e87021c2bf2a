// What the main window's moving brand costs on the CPU: one backdrop frame painted at
// 1100 by 760 (what happens when its picture changes), the checks that decide whether it
// changed (the estimate four times a second, the sample when the estimate allows a
// level), and one logo-mark frame at 32 points (painted up to 15 times a second). Device pixel ratio 1 (the virtual X server) and 2 (a Retina display).

#include "design/Brand.h"
#include "design/Painting.h"


#include <benchmark/benchmark.h>

namespace {

using namespace qv;

void BM_BackdropFrame(benchmark::State &state)
{
    const qreal dpr = qreal(state.range(0));
    double t = 800000000.0;
    for (auto _ : state) {
        const brand::BackdropFrame frame = brand::backdropFrame(t, false);
        QImage image = paint::renderBackdrop(QSizeF(1100, 760), frame, dpr, state.range(1) / 100.0);
        benchmark::DoNotOptimize(image.constBits());
        t += 0.7;
    }
}
BENCHMARK(BM_BackdropFrame)->Args({1, 25})->Args({1, 12})->Args({2, 25})->Unit(benchmark::kMillisecond);

// Full resolution without the smaller picture, for comparison.
void BM_BackdropFrameFullResolution(benchmark::State &state)
{
    double t = 800000000.0;
    for (auto _ : state) {
        const brand::BackdropFrame frame = brand::backdropFrame(t, false);
        QImage image = paint::renderBackdrop(QSizeF(1100, 760), frame, 1.0, 1.0);
        benchmark::DoNotOptimize(image.constBits());
        t += 0.7;
    }
}
BENCHMARK(BM_BackdropFrameFullResolution)->Unit(benchmark::kMillisecond);

void BM_BackdropFrameCheck(benchmark::State &state)
{
    double t = 800000000.0;
    brand::BackdropFrame drawn = brand::backdropFrame(t, false);
    for (auto _ : state) {
        t += 0.25;
        const brand::BackdropFrame next = brand::backdropFrame(t, false);
        if (brand::backdropDifference(drawn, next, QSizeF(1100, 760)) >= 1.0)
            drawn = next;
        benchmark::DoNotOptimize(drawn);
    }
}
BENCHMARK(BM_BackdropFrameCheck);

// The sample of the backdrop that the check compares, one point in 16, and the comparison.
void BM_BackdropSampleCheck(benchmark::State &state)
{
    const QSizeF size(1100, 760);
    double t = 800000000.0;
    const QImage drawn = paint::paintDeepBackdrop(size, brand::backdropFrame(t, false), 1.0 / 16);
    for (auto _ : state) {
        t += 0.25;
        const QImage now = paint::paintDeepBackdrop(size, brand::backdropFrame(t, false), 1.0 / 16);
        benchmark::DoNotOptimize(paint::largestLevelDifference(drawn, now));
    }
}
BENCHMARK(BM_BackdropSampleCheck)->Unit(benchmark::kMicrosecond);

void BM_LogoMarkFrame(benchmark::State &state)
{
    const qreal dpr = qreal(state.range(0));
    // Start in the cross-fade, where all three skins are drawn.
    double t = 18 * 1000 + 0.54 * 18;
    for (auto _ : state) {
        QImage image = paint::renderLogoMark(32, dpr, brand::logoState(t));
        benchmark::DoNotOptimize(image.constBits());
        t += 1.0 / 15;
    }
}
BENCHMARK(BM_LogoMarkFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A paint the cross-fade alone asks for: the colours move, the outline stays as drawn.
void BM_LogoMarkFadeFrame(benchmark::State &state)
{
    const qreal dpr = qreal(state.range(0));
    double t = 18 * 1000 + 0.54 * 18;
    const brand::LogoState first = brand::logoState(t);
    for (auto _ : state) {
        brand::LogoState now = brand::logoState(t);
        now.wave = first.wave;
        now.scale = first.scale;
        QImage image = paint::renderLogoMark(32, dpr, now);
        benchmark::DoNotOptimize(image.constBits());
        t += 1.0 / 15;
    }
}
BENCHMARK(BM_LogoMarkFadeFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
