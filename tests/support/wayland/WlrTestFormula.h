#pragma once

#include "platform/Types.h"

namespace qv::test {

// An evening formula whose ramps differ from the linear ones in every channel.
inline const TransferFormula kWarmFormula = [] {
    TransferFormula f;
    f.redMin = f.greenMin = f.blueMin = 0.02f;
    f.redMax = 0.95f;
    f.greenMax = 0.7f;
    f.blueMax = 0.45f;
    f.redGamma = f.greenGamma = f.blueGamma = 1.1f;
    return f;
}();

} // namespace qv::test
