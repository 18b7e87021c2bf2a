// What blink detection costs per analysed frame. On the worker: one 640 x 480 camera
// frame through the real landmarks (face search, 68 landmarks, head pose), with and
// without reusing the last face box; target under 15 ms with reuse. On the main thread:
// one frame's result through the state machine and the statistics with five minutes of
// history; target under 1 ms. And the process's resident memory with the face model
// loaded and after it is released.

#include "platform/desktop/DlibFaceLandmarks.h"
#include "platform/sim/SimFaceLandmarks.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Scheduler.h"
#include "runtime/UserDefaults.h"
#include "wellness/BlinkDetector.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace qv;

// The sample portrait on a 640 x 480 frame, as the camera delivers it.
QImage cameraFrame()
{
    const QImage portrait(QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/astronaut.png"));
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(Qt::gray);
    QPainter painter(&frame);
    painter.drawImage(QRect(80, 0, 480, 480), portrait);
    return frame;
}

// Registered first: the benchmarks after it keep a model loaded.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

void residentMemory(benchmark::State &state)
{
    for (auto _ : state) {
        DlibFaceLandmarks model;
        const double before = residentMegabytes();
        QString error;
        model.load(&error);
        model.detect(cameraFrame());
        const double loaded = residentMegabytes();
        model.release();
        const double released = residentMegabytes();
        state.counters["before_MB"] = before;
        state.counters["loaded_MB"] = loaded;
        state.counters["released_MB"] = released;
    }
}
BENCHMARK(residentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

DlibFaceLandmarks &landmarks()
{
    static DlibFaceLandmarks *model = [] {
        auto *m = new DlibFaceLandmarks;
        QString error;
        if (!m->load(&error))
            qFatal("%s", qUtf8Printable(error));
        return m;
    }();
    return *model;
}

void analyseFrame(benchmark::State &state)
{
    const bool reuse = state.range(0) != 0;
    const QImage frame = cameraFrame();
    DlibFaceLandmarks &model = landmarks();
    model.setReusesFaceBox(reuse);
    model.forgetFaceBox();
    if (model.detect(frame).observations.isEmpty())
        state.SkipWithError("no face found in the frame");
    for (auto _ : state)
        benchmark::DoNotOptimize(model.detect(frame));
}
BENCHMARK(analyseFrame)->ArgName("reuseFaceBox")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The detector on virtual time with five minutes behind it: ten frames a second, a blink
// every four seconds.
void mainThreadPerFrame(benchmark::State &state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.tebrix.Quellvista.*=false"));
    VirtualScheduler clock;
    Scheduler::setCurrent(&clock);
    UserDefaults defaults;
    UserDefaults::setStandard(&defaults);
    auto mac = SimulatedMac::standard();
    installSimulatedMac(mac.get());
    {
        BlinkDetector detector;
        detector.recalibrate();
        const FaceDetectionResult open = SimFaceLandmarks::faces({SimFaceLandmarks::face(3.0)});
        const FaceDetectionResult closed = SimFaceLandmarks::faces({SimFaceLandmarks::face(4.5)});
        BlinkTime t = BlinkDetector::nowTime();
        int frame = 0;
        auto next = [&] {
            t += BlinkDetector::seconds(0.1);
            ++frame;
            return frame % 40 < 2 && frame > 100 ? &closed : &open;
        };
        for (int i = 0; i < 3000; ++i)
            detector.handleDetectionResult(*next(), t);
        for (auto _ : state)
            detector.handleDetectionResult(*next(), t);
        state.counters["blinks"] = detector.sessionBlinkCount();
    }
    installSimulatedMac(nullptr);
    UserDefaults::setStandard(nullptr);
    Scheduler::setCurrent(nullptr);
}
BENCHMARK(mainThreadPerFrame)->Unit(benchmark::kMicrosecond);
} // namespace
