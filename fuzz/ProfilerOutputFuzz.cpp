// The display profiler's output ("system_profiler SPDisplaysDataType -json") as the
// identity provider reads it, merged with the screens and shown as tuning targets.
#include "FuzzInput.h"

#include "display/DisplayIdentity.h"
#include "display/DisplayTuningTarget.h"
#include "runtime/ProcessRunner.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    input.mac().setProcessHandler(QStringLiteral("/usr/sbin/system_profiler"), [&input](const QStringList &) {
        ProcessResult result;
        result.started = true;
        result.exitCode = 0;
        result.standardOutput = input.bytes();
        return result;
    });
    const QList<DisplayIdentity> profiler = DisplayIdentityProvider::profilerIdentities();
    QString fault;
    fuzz::require(DisplayIdentityProvider::parseProfilerOutput(input.bytes(), &fault) == profiler,
                  "the provider reads the profiler's output as the parser does");
    fuzz::require(!profiler.isEmpty() || !fault.isEmpty() || input.jsonObject().contains("SPDisplaysDataType"),
                  "output that gives no display is either a list without displays or has a fault named");
    const QList<DisplayIdentity> merged = DisplayIdentityProvider::merge(profiler, DisplayIdentityProvider::screenIdentities());
    for (const DisplayIdentity &identity : merged) {
        identity.detailText();
        identity.isLikelyMiniLED();
        identity.looksLikeSidecar();
        if (const auto target = DisplayTuningTarget::fromIdentity(identity))
            fuzz::require(DisplayTuningTarget::parseTargetId(target->id) == identity.cgDisplayID,
                          "a display's target id reads back as its display ID");
    }
    splitBuiltInAndExternal(merged);
    return 0;
}
