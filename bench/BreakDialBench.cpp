// What the break page's countdown dial costs per frame: one frame of the active dial at
// 318 by 318 points at device pixel ratio 2 (a Retina display) and 1 (the virtual X
// server), as painted on every display frame while a countdown runs (the still layers
// come from the cache), and a frame whose still layers are painted afresh (the second
// changed, once a second).

#include "pages/wellness/CalmCountdownDial.h"

#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace qv;

void paintFrames(benchmark::State &state, bool newSecondEveryFrame)
{
    const qreal dpr = qreal(state.range(0));
    const QSizeF size(318, 318);
    QImage target((size * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(dpr);
    CalmCountdownDial::Painter painter;
    CalmCountdownDial::Face face{.progress = 0.37, .timeText = "12:34", .active = true, .t = 800000000.0};
    int second = 0;
    for (auto _ : state) {
        target.fill(Qt::transparent);
        if (newSecondEveryFrame) {
            face.timeText = QStringLiteral("12:%1").arg(++second % 60, 2, 10, QLatin1Char('0'));
        }
        QPainter p(&target);
        painter.paint(p, size, dpr, face);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
        face.t += 1.0 / 60;
    }
}

void BM_DialFrame(benchmark::State &state)
{
    paintFrames(state, false);
}
BENCHMARK(BM_DialFrame)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DialFrameNewSecond(benchmark::State &state)
{
    paintFrames(state, true);
}
BENCHMARK(BM_DialFrameNewSecond)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
