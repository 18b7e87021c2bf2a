// What a ramp write costs on a wlroots compositor: a 1024-entry ramp into a sealed memory
// file and the set_gamma request, against the test compositor (tests/support/wayland), once
// as the method does it (sent, not waited for) and once with the round trip after which the
// compositor has read the file. Target: under 1 ms.

#include "platform/host/GammaRamp.h"
#include "platform/host/wayland/WlrGamma.h"
#include "support/WaylandTestCompositor.h"

#include <QSignalSpy>

#include <benchmark/benchmark.h>
#include <wayland-client.h>

#include <memory>

namespace {

using namespace qv;

struct Compositor {
    Compositor()
    {
        compositor.addOutput(QStringLiteral("DP-1"), 1024);
        connection = std::make_unique<host::WaylandConnection>(compositor.socketPath(), Logger("HostDisplays"));
        gamma = std::make_unique<host::WlrGamma>(connection.get());
        QSignalSpy ready(gamma.get(), &host::GammaMethod::layoutChanged);
        if (gamma->layout().gammaSizes.isEmpty())
            ready.wait(5000);
        const auto sizes = gamma->layout().gammaSizes;
        if (!sizes.isEmpty())
            crtc = sizes.cbegin().key();
    }

    test::WaylandTestCompositor compositor;
    std::unique_ptr<host::WaylandConnection> connection;
    std::unique_ptr<host::WlrGamma> gamma;
    quint32 crtc = 0;
};

Compositor &compositor()
{
    static Compositor c;
    return c;
}

TransferFormula evening(int i)
{
    TransferFormula f;
    f.redMax = 0.64f;
    f.greenMax = 0.55f - 0.0001f * float(i % 100);
    f.blueMax = 0.40f;
    return f;
}

void writeRamps(benchmark::State &state, bool roundTrip)
{
    Compositor &c = compositor();
    if (!c.crtc) {
        state.SkipWithError("no gamma control on the test compositor");
        return;
    }
    // The ramps are made beforehand: this measures the write alone.
    const GammaRamp ramps[] = {gammaRampForFormula(evening(0), 1024), gammaRampForFormula(evening(50), 1024)};
    int i = 0;
    for (auto _ : state) {
        if (!c.gamma->writeRamp(c.crtc, ramps[i++ % 2]).ok())
            state.SkipWithError("the write failed");
        // Without the round trip, the compositor's reading is left out of the time (and the
        // socket never fills, which would make later writes wait in memory).
        if (!roundTrip)
            state.PauseTiming();
        wl_display_roundtrip(c.connection->display());
        if (!roundTrip)
            state.ResumeTiming();
    }
}

void BM_WlrWriteRamp(benchmark::State &state)
{
    writeRamps(state, false);
}
BENCHMARK(BM_WlrWriteRamp)->Unit(benchmark::kMicrosecond);

void BM_WlrWriteRampAndRoundTrip(benchmark::State &state)
{
    writeRamps(state, true);
}
BENCHMARK(BM_WlrWriteRampAndRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace
