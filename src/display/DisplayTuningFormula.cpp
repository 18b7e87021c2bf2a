// The transfer formula: what every active display gets from the tuning values.

#include "display/DisplayTuning.h"

#include "display/DisplayIdentity.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "runtime/Clamp.h"

#include <algorithm>

namespace qv {

void DisplayTuning::apply()
{
    // A selected display that is gone stays selected: when its monitor returns, it gets
    // its own values again.
    const QList<DisplayId> displays = activeDisplayIDs();

    const auto chosenSet = [this](DisplayId id) -> const TuningValues & { return m_store.valuesFor(id); };

    const bool anyEnabled = std::any_of(displays.begin(), displays.end(),
                                        [&](DisplayId id) { return chosenSet(id).enabled; });
    if (!anyEnabled) {
        restoreSystemOutput();
        return;
    }

    for (const DisplayId id : displays)
        applyTransferFormula(chosenSet(id), id);

    updateSidecarOverlay(m_store.editedValues());
}

bool DisplayTuning::formulasReachScreens()
{
    Displays *displays = platform().displays;
    return !displays || displays->transferFormulasReachScreens();
}

QList<DisplayId> DisplayTuning::activeDisplayIDs() const
{
    return platform().displays->activeDisplays();
}

DisplayTuning::Adjusted DisplayTuning::adjust(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED)
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

TransferFormula DisplayTuning::formula(const TuningValues &values, double ambient, bool forcedGuard, bool miniLED,
                                       bool *autoActive)
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

SidecarComfortOverlayState DisplayTuning::overlayState(const TuningValues &values, double ambient, bool forcedGuard,
                                                       bool anySidecar, bool overlayEnabled)
{
    const Adjusted a = adjust(values, ambient, forcedGuard, anySidecar);
    return SidecarComfortOverlayState{overlayEnabled, a.b2, a.w2, a.s2, a.h2, a.r};
}

void DisplayTuning::applyTransferFormula(const TuningValues &values, DisplayId displayID)
{
    if (!values.enabled) {
        resetTransferFormula(displayID);
        return;
    }
    const double ambient = m_schedule.ambientAmount();
    bool autoActive = false;
    const TransferFormula f = formula(values, ambient, m_values.bloomGuardEnabled, isMiniLEDDisplay(displayID), &autoActive);

    const std::optional<DisplayId> selected = m_store.selectedDisplayID();
    const DisplayId edited = selected ? *selected : platform().displays->mainDisplay();
    if (displayID == edited && m_bloomGuardAutoActive != autoActive)
        setBloomGuardAutoActive(autoActive);

    // Where the desktop cannot take a formula, the one reason was logged at start; the
    // overlays carry the tuning.
    if (!formulasReachScreens())
        return;
    if (const ResultCode code = platform().displays->setTransferFormula(displayID, f); code != 0)
        m_log.error("CGSetDisplayTransferByFormula failed for display %u: %d", displayID, code);
}


void DisplayTuning::restoreSystemOutput()
{
    SidecarComfortOverlayManager &overlay = SidecarComfortOverlayManager::shared();
    overlay.setLatestState(std::nullopt);
    overlay.hideAll();
    platform().displays->restoreColorSyncSettings();
}

void DisplayTuning::resetTransferFormula(DisplayId displayID)
{
    if (!formulasReachScreens())
        return;
    if (const ResultCode code = platform().displays->resetTransferFormula(displayID); code != 0)
        m_log.error("CGSetDisplayTransferByFormula neutral reset failed for display %u: %d", displayID, code);
}

void DisplayTuning::updateSidecarOverlay(const TuningValues &values)
{
    SidecarComfortOverlayManager &overlay = SidecarComfortOverlayManager::shared();
    if (!values.enabled) {
        overlay.setLatestState(std::nullopt);
        overlay.hideAll();
        return;
    }
    const double ambient = m_schedule.ambientAmount();
    const SidecarComfortOverlayState state =
        overlayState(values, ambient, m_values.bloomGuardEnabled, hasSidecarDisplay(), m_sidecarOverlayEnabled);
    overlay.setLatestState(state);
    if (overlay.applicationReady())
        overlay.apply(state);
}

bool DisplayTuning::isMiniLEDDisplay(DisplayId displayID) const
{
    for (const DisplayIdentity &identity : DisplayIdentityProvider::shared().identities(false)) {
        if (identity.cgDisplayID && *identity.cgDisplayID == displayID)
            return identity.isLikelyMiniLED();
    }
    return false;
}

bool DisplayTuning::hasSidecarDisplay() const
{
    const QList<DisplayIdentity> identities = DisplayIdentityProvider::shared().identities(false);
    return std::any_of(identities.begin(), identities.end(),
                       [](const DisplayIdentity &identity) { return identity.looksLikeSidecar(); });
}

} // namespace qv
