// What one paint of a comfort-veil panel costs on a 2560 x 1440 screen at pixel ratio 2
// with every effect on, as the scene graph paints it in software (one pass over the
// pixels; times are the CPU of every thread of the process). First paint (the vignette's
// shape and the microtexture made afresh): target < 40 ms. A repaint after an amount
// changed (both from the view's cache): target < 4 ms. The counter "kept_MB" is what the
// view keeps for its picture (target < 40 MB per panel).

#include "display/ComfortVeilDrawing.h"
#include "display/ComfortVeilOverlayView.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace qv;

constexpr QSize kScreen(2560, 1440);
constexpr double kRatio = 2.0;

ComfortVeilState everyEffect(double amount)
{
    ComfortVeilState s;
    s.enabled = true;
    s.peripheralSoftening = 1.0;
    s.highlightDampening = amount;
    s.colorCalmEnabled = true;
    s.colorCalm = 1.2;
    s.microtextureEnabled = true;
    s.microtexture = 0.5;
    return s;
}

QImage panelSurface()
{
    QImage surface(kScreen * kRatio, QImage::Format_ARGB32_Premultiplied);
    surface.setDevicePixelRatio(kRatio);
    return surface;
}

// The view replaces every pixel of its area: the surface is not cleared first.
void paintInto(QImage &surface, ComfortVeilOverlayView &view)
{
    QPainter painter(&surface);
    view.paint(painter, QRectF(QPointF(0, 0), QSizeF(kScreen)));
}

void BM_VeilFirstPaint(benchmark::State &state)
{
    QImage surface = panelSurface();
    for (auto _ : state) {
        ComfortVeilOverlayView view(QRectF(QPointF(0, 0), QSizeF(kScreen)));
        view.setState(everyEffect(0.3));
        paintInto(surface, view);
        benchmark::DoNotOptimize(surface.constBits());
        state.counters["kept_MB"] = double(view.cachedBytes()) / 1e6;
    }
}
BENCHMARK(BM_VeilFirstPaint)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_VeilRepaintAfterAmountChange(benchmark::State &state)
{
    QImage surface = panelSurface();
    ComfortVeilOverlayView view(QRectF(QPointF(0, 0), QSizeF(kScreen)));
    view.setState(everyEffect(0.3));
    paintInto(surface, view);
    int step = 0;
    for (auto _ : state) {
        view.setState(everyEffect(0.3 + 0.001 * (++step % 100)));
        paintInto(surface, view);
        benchmark::DoNotOptimize(surface.constBits());
    }
    if (view.textureRenderCount() != 1)
        state.SkipWithError("the microtexture was drawn again");
    state.counters["kept_MB"] = double(view.cachedBytes()) / 1e6;
}
BENCHMARK(BM_VeilRepaintAfterAmountChange)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A microtexture change alone: nothing is made again.
void BM_VeilRepaintAfterMicrotextureChange(benchmark::State &state)
{
    QImage surface = panelSurface();
    ComfortVeilOverlayView view(QRectF(QPointF(0, 0), QSizeF(kScreen)));
    ComfortVeilState s = everyEffect(0.3);
    view.setState(s);
    paintInto(surface, view);
    int step = 0;
    for (auto _ : state) {
        s.microtexture = 0.3 + 0.001 * (++step % 100);
        view.setState(s);
        paintInto(surface, view);
        benchmark::DoNotOptimize(surface.constBits());
    }
    if (view.textureRenderCount() != 1)
        state.SkipWithError("the microtexture was drawn again");
}
BENCHMARK(BM_VeilRepaintAfterMicrotextureChange)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same on the 1920 x 1200 screen of the drag benchmark, at ratio 1.
void BM_VeilRepaint1920(benchmark::State &state)
{
    QImage surface(QSize(1920, 1200), QImage::Format_ARGB32_Premultiplied);
    ComfortVeilOverlayView view(QRectF(0, 0, 1920, 1200));
    ComfortVeilState s = everyEffect(0.3);
    s.microtextureEnabled = state.range(0) != 0;
    int step = 0;
    for (auto _ : state) {
        s.colorCalm = 0.5 + 0.001 * (++step % 100);
        view.setState(s);
        QPainter painter(&surface);
        view.paint(painter, QRectF(0, 0, 1920, 1200));
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_VeilRepaint1920)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One effect at a time (0 vignette, 1 washes, 2 microtexture from the cache).
void BM_VeilRepaintOneEffect(benchmark::State &state)
{
    QImage surface = panelSurface();
    ComfortVeilOverlayView view(QRectF(QPointF(0, 0), QSizeF(kScreen)));
    ComfortVeilState s = everyEffect(0.3);
    s.peripheralSofteningEnabled = state.range(0) == 0;
    s.highlightDampeningEnabled = s.colorCalmEnabled = state.range(0) == 1;
    s.microtextureEnabled = state.range(0) == 2;
    view.setState(s);
    paintInto(surface, view);
    for (auto _ : state) {
        paintInto(surface, view);
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_VeilRepaintOneEffect)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The parts on their own: the texture alone, and the surface clear the paints above include.
void BM_VeilTextureOnly(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(veil::renderMicrotexture(QSizeF(kScreen), kRatio));
}
BENCHMARK(BM_VeilTextureOnly)->Unit(benchmark::kMillisecond);

void BM_SurfaceClearOnly(benchmark::State &state)
{
    QImage surface = panelSurface();
    for (auto _ : state) {
        surface.fill(Qt::transparent);
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_SurfaceClearOnly)->Unit(benchmark::kMillisecond);

} // namespace
