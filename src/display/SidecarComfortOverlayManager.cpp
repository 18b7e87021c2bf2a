#include "display/SidecarComfortOverlayManager.h"

#include "display/ComfortVeilController.h"
#include "display/DisplayIdentity.h"
#include "display/SidecarComfortOverlayView.h"
#include "platform/Platform.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QHash>

namespace qv {

namespace {

constexpr qint64 kReapplyDelayMs = 350;

} // namespace

SidecarComfortOverlayManager &SidecarComfortOverlayManager::shared()
{
    return sharedInstance<SidecarComfortOverlayManager>();
}

SidecarComfortOverlayManager::SidecarComfortOverlayManager()
{
    // Before the application has finished launching, a handed-over state waits in
    // latestState and is shown when launching finishes.
    const PlatformServices &services = platform();
    if (Workspace *workspace = services.workspace) {
        m_applicationReady = workspace->isApplicationRunning();
        connect(workspace, &Workspace::applicationDidFinishLaunching, this,
                &SidecarComfortOverlayManager::handleApplicationReady);
        connect(workspace, &Workspace::applicationLaunched, this,
                &SidecarComfortOverlayManager::handleWorkspaceApplicationActivated);
        connect(workspace, &Workspace::applicationActivated, this,
                &SidecarComfortOverlayManager::handleWorkspaceApplicationActivated);
        connect(workspace, &Workspace::applicationDeactivated, this,
                &SidecarComfortOverlayManager::handleWorkspaceApplicationDeactivated);
        connect(workspace, &Workspace::applicationTerminated, this,
                &SidecarComfortOverlayManager::handleWorkspaceApplicationDeactivated);
    }
    if (Screens *screens = services.screens)
        connect(screens, &Screens::parametersChanged, this,
                &SidecarComfortOverlayManager::handleDisplayConfigurationChanged);
}

SidecarComfortOverlayManager::~SidecarComfortOverlayManager() = default;

void SidecarComfortOverlayManager::handleApplicationReady()
{
    m_applicationReady = true;
    if (m_latestState)
        apply(*m_latestState);
}

QList<std::pair<ScreenInfo, DisplayId>> SidecarComfortOverlayManager::sidecarScreens()
{
    QHash<DisplayId, DisplayIdentity> byID;
    for (const DisplayIdentity &identity : DisplayIdentityProvider::shared().identities(false)) {
        if (identity.cgDisplayID)
            byID.insert(*identity.cgDisplayID, identity);
    }
    QList<std::pair<ScreenInfo, DisplayId>> result;
    Screens *screens = platform().screens;
    if (!screens)
        return result;
    for (const ScreenInfo &screen : screens->screens()) {
        if (!screen.displayNumber)
            continue;
        const auto it = byID.constFind(*screen.displayNumber);
        if (it != byID.constEnd() && it->looksLikeSidecar())
            result.append({screen, *screen.displayNumber});
    }
    return result;
}

QList<DisplayId> SidecarComfortOverlayManager::sidecarDisplayIDs()
{
    QList<DisplayId> ids;
    for (const auto &entry : sidecarScreens())
        ids << entry.second;
    return ids;
}

void SidecarComfortOverlayManager::apply(const SidecarComfortOverlayState &state)
{
    if (!state.enabled) {
        hideAll();
        return;
    }
    if (m_screenshotSessionActive) {
        hidePanels();
        return;
    }
    const auto screens = sidecarScreens();
    if (screens.isEmpty()) {
        hideAll();
        return;
    }
    m_windowsByDisplayID.fit(
        screens, [this](const ScreenInfo &screen, DisplayId display) { return makePanel(screen, display); },
        [&state](QObject *content) {
            auto *view = qobject_cast<SidecarComfortOverlayView *>(content);
            if (view && view->state() != state) {
                view->setState(state);
                view->setNeedsDisplay();
            }
        });
}

std::unique_ptr<Panel> SidecarComfortOverlayManager::makePanel(const ScreenInfo &screen, DisplayId display)
{
    Panels *panels = platform().panels;
    if (!panels)
        return nullptr;
    PanelConfiguration configuration;
    configuration.contentRect = screen.frame;
    auto *view = new SidecarComfortOverlayView(QRectF(0, 0, screen.frame.width(), screen.frame.height()));
    std::unique_ptr<Panel> panel = panels->createPanel(configuration, screen, view);
    if (panel)
        m_log.info("Created Sidecar overlay for display %u", display);
    return panel;
}

void SidecarComfortOverlayManager::hideAll()
{
    m_windowsByDisplayID.removeAll();
}

void SidecarComfortOverlayManager::hidePanels()
{
    m_windowsByDisplayID.hideAll();
}

QMap<DisplayId, SidecarComfortOverlayState> SidecarComfortOverlayManager::panelStates() const
{
    QMap<DisplayId, SidecarComfortOverlayState> states;
    for (const DisplayId id : m_windowsByDisplayID.displayIDs()) {
        if (auto *view = qobject_cast<SidecarComfortOverlayView *>(panel(id)->contentView()))
            states.insert(id, view->state());
    }
    return states;
}

void SidecarComfortOverlayManager::handleDisplayConfigurationChanged()
{
    if (!m_latestState) {
        hideAll();
        return;
    }
    // Each change re-applies on its own, 0.35 s later, with the state current by then:
    // an overlay switched off in the meantime stays off.
    scheduler().after(kReapplyDelayMs, this, [this] {
        if (m_latestState)
            apply(*m_latestState);
        else
            hideAll();
    });
}

void SidecarComfortOverlayManager::handleWorkspaceApplicationActivated(
    const std::optional<RunningApplication> &application)
{
    if (!application || !ComfortVeilController::isScreenshotApplication(*application))
        return;
    m_screenshotSessionActive = true;
    hidePanels();
}

void SidecarComfortOverlayManager::handleWorkspaceApplicationDeactivated(
    const std::optional<RunningApplication> &application)
{
    if (!application || !ComfortVeilController::isScreenshotApplication(*application))
        return;
    scheduler().after(kReapplyDelayMs, this, [this] { finishScreenshotSession(); });
}

void SidecarComfortOverlayManager::finishScreenshotSession()
{
    if (ComfortVeilController::isScreenshotSessionRunning()) {
        hidePanels();
        return;
    }
    m_screenshotSessionActive = false;
    if (m_latestState)
        apply(*m_latestState);
}

} // namespace qv
