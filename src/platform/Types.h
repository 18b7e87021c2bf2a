#pragma once

#include <QtGlobal>

namespace qv {

// CoreGraphics display identifier.
using DisplayId = quint32;
// A registry service handle.
using ServiceHandle = quint32;
// A kernel / Core Graphics result code; 0 is success.
using ResultCode = int;

// The per-display transfer formula: minimum, maximum and gamma for red, green and blue.
struct TransferFormula {
    float redMin = 0, redMax = 1, redGamma = 1;
    float greenMin = 0, greenMax = 1, greenGamma = 1;
    float blueMin = 0, blueMax = 1, blueGamma = 1;

    static TransferFormula identity() { return {}; }
    bool operator==(const TransferFormula &) const = default;
};

} // namespace qv
