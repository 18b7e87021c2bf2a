// What one transfer formula costs on the host: computing a CRTC's gamma ramp at 256, 1024
// and 4096 entries, and computing plus writing it to a local X server with the round trip
// that confirms the write. The benchmark starts its own Xvfb, whose CRTC has a fixed ramp
// size: the writes are made at that size (after computing at the size named), and the
// full setTransferFormula() path is measured at that size too. Target: under 1 ms each.

#include "platform/host/GammaRamp.h"
#include "platform/host/HostDisplays.h"
#include "support/XvfbServer.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace qv;

struct Server {
    Server()
    {
        HostDisplays::Options options;
        options.displayName = xvfb.display();
        options.restoreFilePath = folder.filePath(QStringLiteral("gamma.json"));
        displays = std::make_unique<HostDisplays>(options);
        display = displays->mainDisplay();
    }
    ~Server() { displays->restoreColorSyncSettings(); }

    test::XvfbServer xvfb;
    QTemporaryDir folder;
    std::unique_ptr<HostDisplays> displays;
    DisplayId display = 0;
};

Server &server()
{
    static Server s;
    return s;
}

TransferFormula evening(int i)
{
    // A formula that changes from call to call, as an animation's does.
    TransferFormula f;
    f.redMin = f.greenMin = f.blueMin = 0.01f;
    f.redMax = 0.64f;
    f.greenMax = 0.55f - 0.0001f * float(i % 100);
    f.blueMax = 0.40f;
    f.redGamma = f.greenGamma = f.blueGamma = 1.03f;
    return f;
}

void BM_ComputeRamp(benchmark::State &state)
{
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(gammaRampForFormula(evening(i++), int(state.range(0))));
}
BENCHMARK(BM_ComputeRamp)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

// Computes at the size named, then computes and writes the server's ramp with its round trip.
void BM_ComputeAndWriteRamp(benchmark::State &state)
{
    Server &s = server();
    const int serverSize = s.displays->gammaRampSize(s.display);
    if (serverSize < 2) {
        state.SkipWithError("no gamma ramp on the X server");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gammaRampForFormula(evening(i), int(state.range(0))));
        if (!s.displays->writeGammaRamp(s.display, gammaRampForFormula(evening(i), serverSize)).ok())
            state.SkipWithError("the write failed");
        ++i;
    }
    state.counters["server ramp size"] = serverSize;
}
BENCHMARK(BM_ComputeAndWriteRamp)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

// The whole path the display tuning takes once per display and animation step.
void BM_SetTransferFormula(benchmark::State &state)
{
    Server &s = server();
    int i = 0;
    for (auto _ : state) {
        if (!s.displays->setTransferFormula(s.display, evening(i++)).ok())
            state.SkipWithError("setTransferFormula failed");
    }
}
BENCHMARK(BM_SetTransferFormula)->Unit(benchmark::kMicrosecond);

} // namespace
