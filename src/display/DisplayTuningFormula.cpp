// The screens: every active display gets the transfer formula of its value set, and the
// Sidecar overlay the state of the set being edited.

#include "display/DisplayTuning.h"

#include "display/DisplayIdentity.h"
#include "display/TuningFormula.h"
#include "platform/Displays.h"
#include "platform/Platform.h"

#include <algorithm>

namespace qv {

void DisplayTuning::apply()
{
    // A selected display that went left all displays selected; when it comes back it is
    // selected again and gets its own values.
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

void DisplayTuning::applyTransferFormula(const TuningValues &values, DisplayId displayID)
{
    if (!values.enabled) {
        resetTransferFormula(displayID);
        return;
    }
    const double ambient = m_schedule.ambientAmount();
    bool autoActive = false;
    const TransferFormula f =
        tuningFormula::formula(values, ambient, m_values.bloomGuardEnabled, isMiniLEDDisplay(displayID), &autoActive);

    const std::optional<DisplayId> selected = m_store.selectedDisplayID();
    const DisplayId edited = selected ? *selected : platform().displays->mainDisplay();
    if (displayID == edited && m_bloomGuardAutoActive != autoActive)
        setBloomGuardAutoActive(autoActive);

    // Where the desktop cannot take a formula, the one reason was logged at start and the
    // page says it.
    if (!formulasReachScreens())
        return;
    // A Mac's error code is logged at every failure; the host's display services log their
    // own failures, once per output and cause.
    if (const DisplayResult result = platform().displays->setTransferFormula(displayID, f);
        !result.ok() && result.coreGraphicsCode)
        m_log.error("CGSetDisplayTransferByFormula failed for display %u: %d", displayID, *result.coreGraphicsCode);
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
    if (const DisplayResult result = platform().displays->resetTransferFormula(displayID);
        !result.ok() && result.coreGraphicsCode)
        m_log.error("CGSetDisplayTransferByFormula neutral reset failed for display %u: %d", displayID,
                    *result.coreGraphicsCode);
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
        tuningFormula::overlayState(values, ambient, m_values.bloomGuardEnabled, hasSidecarDisplay(),
                                    m_sidecarOverlayEnabled);
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
