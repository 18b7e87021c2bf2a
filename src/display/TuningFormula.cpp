// The transfer formula: what a display gets from one set of tuning values.

#include "display/TuningFormula.h"

#include "runtime/Clamp.h"

#include <algorithm>

namespace qv::tuningFormula {

Adjusted adjust(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED)
{
    Adjusted a;
    a.b = clampTo(values.brightness, 0.1, 1.0);
    a.w = clampTo(values.warmth, 0, 1.4);
    a.c = clampTo(values.contrastReduction, 0, 0.4);
    a.s = clamp01(values.softWhite);
    a.h = clamp01(values.highlightCompression);
    a.amb = clamp01(ambient);
    a.r = values.noBlueModeEnabled ? clamp01(values.redModeIntensity) : 0;

    double score = 0.32 * clamp01((a.w - 0.52) / 0.7) + 0.24 * clamp01((0.74 - a.b) / 0.46)
                   + 0.16 * clamp01((a.s - 0.2) / 0.36) + 0.14 * clamp01((a.h - 0.14) / 0.32) + 0.12 * a.amb
                   + 0.28 * a.r;
    if (miniLED)
        score += 0.12 + 0.18 * clamp01((0.82 - a.b) / 0.52) + 0.2 * a.r;
    a.score = score;

    a.autoActive = score >= 0.22;
    const double autoAmount = a.autoActive ? std::min(score, miniLED ? 0.5 : 0.34) : 0.0;
    const double forced = forcedGuard ? (miniLED ? 0.48 : 0.38) : 0.0;
    a.guard = std::max(autoAmount, forced);

    a.b2 = std::max(a.b - 0.12 * a.amb, 0.1);
    a.w2 = clampTo(a.w + 0.22 * a.amb, 0, 1.4);
    a.s2 = clamp01(a.s + 0.18 * a.amb + 0.2 * a.guard);
    a.h2 = clamp01(a.h + 0.12 * a.amb + 0.18 * a.guard);
    return a;
}

TransferFormula formula(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED, bool *autoActive)
{
    const Adjusted a = adjust(values, ambient, forcedGuard, miniLED);
    if (autoActive)
        *autoActive = a.autoActive;

    float redMax = float(a.b2 * std::max(1 - 0.06 * a.s2 - 0.08 * a.h2, 0.1));
    float greenMax = float(a.b2 * std::max(1 - 0.15 * a.w2 - 0.09 * a.s2 - 0.10 * a.h2, 0.1));
    float blueMax = float(a.b2 * std::max(1 - 0.45 * a.w2 - 0.16 * a.s2 - 0.12 * a.h2, 0.1));

    const float r = float(a.r);
    if (a.r > 0) {
        const float greenTarget = float(miniLED ? a.b2 * 0.12 : a.b2 * 0.08);
        const float redTarget = float(miniLED ? a.b2 * 0.68 : a.b2 * 0.82);
        greenMax = greenMax + r * (std::min(greenMax, greenTarget) - greenMax);
        redMax = redMax + r * (std::max(redMax, redTarget) - redMax);
        blueMax = (1 - r) * blueMax;
    }

    const double k = miniLED ? 0.055 : 0.035;
    const double cap = miniLED ? 0.11 : 0.08;
    const float lift = float(std::min(0.15 * a.c + k * a.guard, cap));
    const float gamma = float(1 + 0.22 * a.h);

    TransferFormula f;
    f.redMin = lift;
    f.redMax = redMax;
    f.redGamma = gamma;
    f.greenMin = lift + r * (std::min(lift, 0.01f) - lift);
    f.greenMax = greenMax;
    f.greenGamma = gamma;
    f.blueMin = (1 - r) * lift;
    f.blueMax = blueMax;
    f.blueGamma = gamma;
    return f;
}

SidecarComfortOverlayState overlayState(const TuningValues &values, double ambient, bool forcedGuard, bool anySidecar,
                                        bool overlayEnabled)
{
    const Adjusted a = adjust(values, ambient, forcedGuard, anySidecar);
    return SidecarComfortOverlayState{overlayEnabled, a.b2, a.w2, a.s2, a.h2, a.r};
}

} // namespace qv::tuningFormula
