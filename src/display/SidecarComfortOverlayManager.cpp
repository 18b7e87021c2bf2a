#include "display/SidecarComfortOverlayManager.h"

#include "display/DisplayIdentity.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "runtime/Shared.h"

#include <QHash>
#include <QSet>

namespace qv {

SidecarComfortOverlayManager &SidecarComfortOverlayManager::shared()
{
    return sharedInstance<SidecarComfortOverlayManager>();
}

SidecarComfortOverlayManager::SidecarComfortOverlayManager()
{
    // Before the application has finished launching, a handed-over state waits in
    // latestState and is shown when launching finishes.
    if (Workspace *workspace = platform().workspace) {
        m_applicationReady = workspace->isApplicationRunning();
        connect(workspace, &Workspace::applicationDidFinishLaunching, this,
                &SidecarComfortOverlayManager::handleApplicationReady);
    }
}

SidecarComfortOverlayManager::~SidecarComfortOverlayManager() = default;

void SidecarComfortOverlayManager::handleApplicationReady()
{
    m_applicationReady = true;
    if (m_latestState)
        apply(*m_latestState);
}

QList<DisplayId> SidecarComfortOverlayManager::sidecarDisplayIDs()
{
    QHash<DisplayId, DisplayIdentity> byID;
    for (const DisplayIdentity &identity : DisplayIdentityProvider::shared().identities(false)) {
        if (identity.cgDisplayID)
            byID.insert(*identity.cgDisplayID, identity);
    }
    QList<DisplayId> result;
    for (const ScreenInfo &screen : platform().screens->screens()) {
        if (!screen.displayNumber)
            continue;
        const auto it = byID.constFind(*screen.displayNumber);
        if (it == byID.constEnd())
            continue;
        if (it->looksLikeSidecar())
            result << *screen.displayNumber;
    }
    return result;
}

void SidecarComfortOverlayManager::apply(const SidecarComfortOverlayState &state)
{
    if (!state.enabled) {
        m_panels.clear();
        return;
    }
    const QList<DisplayId> sidecars = sidecarDisplayIDs();
    const QSet<DisplayId> present(sidecars.begin(), sidecars.end());
    for (auto it = m_panels.begin(); it != m_panels.end();) {
        if (present.contains(it.key()))
            ++it;
        else
            it = m_panels.erase(it);
    }
    if (sidecars.isEmpty()) {
        hideAll();
        return;
    }
    for (const DisplayId id : sidecars) {
        if (!m_panels.contains(id))
            m_log.info("Created Sidecar overlay for display %u", id);
        m_panels.insert(id, state);
    }
}

void SidecarComfortOverlayManager::hideAll()
{
    m_panels.clear();
}

} // namespace qv
