// What one recomputation of the transfer formulas costs: apply() with 1, 2 and 4
// displays, and one whole 48-step circadian transition on two displays. The identity
// list is warm, as during an animation. Target: apply() with two displays well under
// 18 us (1/1000 of one 18 ms animation step). Also the pipeline watch's capture and drift
// comparison.

#include "display/DisplayEngine.h"
#include "display/DisplayIdentity.h"
#include "display/PipelineMonitor.h"
#include "display/DisplayTuning.h"
#include "platform/Platform.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"


#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace qv;

// A simulated machine with the given number of displays, tuning on, the identity cache warm.
struct Machine {
    explicit Machine(int displayCount)
    {
        Scheduler::setCurrent(&clock);
        UserDefaults::setStandard(&defaults);
        mac = SimulatedMac::standard();
        if (displayCount == 1)
            mac->removeDisplay(2);
        for (int i = 3; i <= displayCount; ++i) {
            SimDisplay extra = *mac->display(2);
            extra.id = DisplayId(i);
            extra.name = QStringLiteral("DELL U2723QE (%1)").arg(i);
            extra.service = 0;
            extra.entryName.clear();
            extra.frame.translate(1920 * (i - 2), 0);
            mac->addDisplay(extra);
        }
        installSimulatedMac(mac.get());
        mac->workspace().setApplicationRunning(true); // the Sidecar hand-over runs in full
        DisplayIdentityProvider::shared().identities(true);
        DisplayTuning &tuning = DisplayTuning::shared();
        tuning.batch([&] {
            tuning.setBrightness(0.7);
            tuning.setWarmth(0.6);
            tuning.setEnabled(true);
        });
        clock.advance(1000); // the debounced save
    }
    ~Machine()
    {
        resetSharedInstances();
        installSimulatedMac(nullptr);
        UserDefaults::setStandard(nullptr);
        Scheduler::setCurrent(nullptr);
    }

    VirtualScheduler clock;
    UserDefaults defaults; // in memory
    std::unique_ptr<SimulatedMac> mac;
};

void BM_Apply(benchmark::State &state)
{
    Machine machine(int(state.range(0)));
    DisplayTuning &tuning = DisplayTuning::shared();
    for (auto _ : state)
        tuning.apply();
    state.counters["displays"] = double(machine.mac->displays().size());
}
BENCHMARK(BM_Apply)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

// One slider step: the change handler stores the set, restarts the save and applies.
void BM_SliderStep(benchmark::State &state)
{
    Machine machine(2);
    DisplayTuning &tuning = DisplayTuning::shared();
    double value = 0.5;
    for (auto _ : state) {
        value = value > 0.9 ? 0.5 : value + 0.001;
        tuning.setBrightness(value);
    }
}
BENCHMARK(BM_SliderStep)->Unit(benchmark::kMicrosecond);

// One whole transition (48 steps and the settle) on two displays, without the pauses.
void BM_CircadianTransition(benchmark::State &state)
{
    Machine machine(2);
    DisplayTuning &tuning = DisplayTuning::shared();
    const DisplayTuning::CircadianTarget evening{QStringLiteral("Evening"),
                                                 {.brightness = 0.70, .warmth = 0.64, .contrastReduction = 0.08,
                                                  .softWhite = 0.20, .highlightCompression = 0.14}};
    const DisplayTuning::CircadianTarget noBlue{QStringLiteral("No blue"),
                                                {.brightness = 0.40, .warmth = 1.40, .contrastReduction = 0.10,
                                                 .softWhite = 0.30, .highlightCompression = 0.22,
                                                 .noBlueModeEnabled = true}};
    bool toggle = false;
    for (auto _ : state) {
        tuning.applyCircadianTarget(toggle ? evening : noBlue);
        toggle = !toggle;
        machine.clock.advance(TuningAnimator::stepMs * (DisplayTuning::transitionStepCount + 1));
    }
}
BENCHMARK(BM_CircadianTransition)->Unit(benchmark::kMicrosecond);

// What the pipeline watch costs per refresh besides the display re-read and the
// font-smoothing command: one capture of the published state, and one comparison with a
// baseline that differs in a display, the PWM state and two tuning values.
void BM_PipelineCapture(benchmark::State &state)
{
    Machine machine(2);
    DisplayEngine &engine = DisplayEngine::shared();
    machine.clock.runPending(); // the display list is published
    PipelineMonitor monitor;
    monitor.configure(&engine, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(monitor.captureSnapshot());
}
BENCHMARK(BM_PipelineCapture)->Unit(benchmark::kMicrosecond);

void BM_PipelineDriftComparison(benchmark::State &state)
{
    Machine machine(2);
    DisplayEngine &engine = DisplayEngine::shared();
    machine.clock.runPending();
    PipelineMonitor monitor;
    monitor.configure(&engine, nullptr);
    const PipelineSnapshot current = monitor.captureSnapshot();
    PipelineSnapshot baseline = current;
    baseline.displays.last().resolution = QStringLiteral("1920 x 1080");
    baseline.displays.first().ditheringEnabled = !current.displays.first().ditheringEnabled;
    baseline.pwmAvoidanceEnabled = !current.pwmAvoidanceEnabled;
    baseline.brightness = current.brightness - 0.2;
    baseline.warmth = current.warmth + 0.3;
    for (auto _ : state)
        benchmark::DoNotOptimize(PipelineMonitor::driftItems(current, baseline));
}
BENCHMARK(BM_PipelineDriftComparison)->Unit(benchmark::kMicrosecond);

} // namespace
