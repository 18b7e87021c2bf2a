// The stored pipeline baseline: any bytes either decode to a snapshot that survives its
// own stored form unchanged, or to nothing; the drift comparison of a decoded baseline
// with itself finds nothing.
#include "FuzzInput.h"

#include "display/PipelineMonitor.h"

#include <cmath>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    const auto snapshot = PipelineSnapshot::decode(input.bytes());
    if (!snapshot)
        return 0;
    const auto again = PipelineSnapshot::decode(snapshot->encode());
    fuzz::require(again.has_value(), "a decoded baseline encodes to a readable one");
    fuzz::require(*again == *snapshot, "a decoded baseline survives its stored form");
    PipelineMonitor::driftItems(*snapshot, snapshot);
    return 0;
}
