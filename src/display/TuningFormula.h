#pragma once

#include "display/SidecarComfortOverlayState.h"
#include "display/TuningValues.h"
#include "platform/Types.h"

namespace qv::tuningFormula {

// What the formula derives from one value set before it builds the channels.
struct Adjusted {
    double b = 1, w = 0, c = 0, s = 0, h = 0; // clamped inputs
    double amb = 0;                           // ambient comfort amount
    double r = 0;                             // red-mode amount
    double score = 0;                         // bloom-risk score
    bool autoActive = false;                  // automatic bloom guard engaged
    double guard = 0;                         // bloom guard amount g
    double b2 = 1, w2 = 0, s2 = 0, h2 = 0;    // after ambient and guard
};

// The pure computation, for one value set: ambient is the ambient comfort amount (0 when
// off), forcedGuard the editor's bloom-guard switch, miniLED the panel class.
Adjusted adjust(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED);
TransferFormula formula(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED,
                        bool *autoActive = nullptr);
// What the Sidecar overlay panels show for a value set.
SidecarComfortOverlayState overlayState(const TuningValues &values, double ambient, bool forcedGuard, bool anySidecar,
                                        bool overlayEnabled);

} // namespace qv::tuningFormula
