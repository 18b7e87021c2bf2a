// A machine description (--machine FILE), and the simulated Mac it describes as the
// display code sees it: screens, profiler output, tuning targets and overlay panels.
#include "FuzzInput.h"

#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayIdentity.h"
#include "display/DisplayTuning.h"
#include "platform/Platform.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    QString error;
    std::unique_ptr<SimulatedMac> mac = SimulatedMac::fromDescription(input.bytes(), &error);
    if (!mac) {
        fuzz::require(!error.isEmpty(), "a refused description names its fault");
        return 0;
    }
    input.useMachine(std::move(mac));
    SimulatedMac &m = input.mac();

    QString fault;
    const auto profiler = DisplayIdentityProvider::parseProfilerOutput(m.profilerOutput(), &fault);
    fuzz::require(fault.isEmpty(), "the simulated profiler's output reads back");
    const auto merged = DisplayIdentityProvider::merge(profiler, DisplayIdentityProvider::screenIdentities());
    for (const DisplayIdentity &identity : merged)
        identity.detailText();

    const PlatformServices &p = platform();
    for (DisplayId id : p.displays->activeDisplays()) {
        p.displays->currentMode(id);
        p.displays->allModes(id, true);
    }
    DisplayEngine::shared().refreshDisplays();
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setEnabled(true);
    for (const DisplayTuningTarget &target : tuning.availableTargets())
        tuning.selectTarget(target.id);
    ComfortVeilController::shared().setEnabled(true);
    m.layOverScreens({QRectF(0, 0, 1280, 800)});
    input.clock().advance(2000);
    return 0;
}
