#pragma once

#include "display/OverlayPanels.h"
#include "display/SidecarComfortOverlayState.h"
#include "platform/Screens.h"
#include "platform/Types.h"
#include "platform/Workspace.h"
#include "runtime/Logging.h"

#include <QMap>
#include <QObject>

#include <optional>
#include <utility>

namespace qv {

// Keeps the overlay state display tuning hands over for Sidecar displays and the panels
// that show it, one per Sidecar display. Every Sidecar display shows the same state.
// Panels leave the screen while a screenshot tool is the active application and are
// re-fitted 0.35 s after each screen change.
class SidecarComfortOverlayManager : public QObject {
    Q_OBJECT
public:
    static SidecarComfortOverlayManager &shared();

    SidecarComfortOverlayManager();
    ~SidecarComfortOverlayManager() override;

    // The last state handed over by display tuning; nothing once tuning is off.
    const std::optional<SidecarComfortOverlayState> &latestState() const { return m_latestState; }
    void setLatestState(std::optional<SidecarComfortOverlayState> state) { m_latestState = std::move(state); }

    // Panels are only shown once the application has finished launching.
    bool applicationReady() const { return m_applicationReady; }
    bool isScreenshotSessionActive() const { return m_screenshotSessionActive; }

    // Shows, updates or hides the panels for a state; latestState is left alone.
    void apply(const SidecarComfortOverlayState &state);
    // Orders out and releases every panel.
    void hideAll();
    // Orders out every panel and keeps them.
    void hidePanels();

    // The panel kept for a display, if any, and the displays that have one.
    Panel *panel(DisplayId display) const { return m_windowsByDisplayID.panel(display); }
    QList<DisplayId> panelDisplayIDs() const { return m_windowsByDisplayID.displayIDs(); }
    // The state each kept panel's view holds, keyed by display ID.
    QMap<DisplayId, SidecarComfortOverlayState> panelStates() const;

    // The Sidecar screens with their display IDs, in screen order.
    static QList<std::pair<ScreenInfo, DisplayId>> sidecarScreens();
    static QList<DisplayId> sidecarDisplayIDs();

public slots:
    // The application finished launching: show the state that waited for it.
    void handleApplicationReady();
    // Re-fits the panels 0.35 s later with the state current by then.
    void handleDisplayConfigurationChanged();
    void handleWorkspaceApplicationActivated(const std::optional<RunningApplication> &application);
    void handleWorkspaceApplicationDeactivated(const std::optional<RunningApplication> &application);

private:
    std::unique_ptr<Panel> makePanel(const ScreenInfo &screen, DisplayId display);
    void finishScreenshotSession();

    Logger m_log{"SidecarComfortOverlay"};
    OverlayPanels m_windowsByDisplayID{m_log, "Sidecar overlay"};
    std::optional<SidecarComfortOverlayState> m_latestState;
    bool m_applicationReady = false;
    bool m_screenshotSessionActive = false;
};

} // namespace qv
