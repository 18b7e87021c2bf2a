#pragma once

#include "platform/Types.h"
#include "runtime/Logging.h"

#include <QMap>
#include <QObject>

#include <optional>

namespace qv {

// What an overlay panel on a Sidecar display shows.
struct SidecarComfortOverlayState {
    bool enabled = false;            // panels shown at all
    double brightness = 1.0;         // 0.1 to 1; lower darkens
    double warmth = 0;               // 0 to 1.4
    double softWhite = 0;            // 0 to 1
    double highlightCompression = 0; // 0 to 1
    double noBlueAmount = 0;         // 0 to 1; red no-blue strength

    bool operator==(const SidecarComfortOverlayState &) const = default;
};

// Keeps the overlay state display tuning hands over for Sidecar displays and the panels
// that show it, one per Sidecar display. Every Sidecar display shows the same state.
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

    // Shows, updates or hides the panels for a state; latestState is left alone.
    void apply(const SidecarComfortOverlayState &state);
    // Orders out and releases every panel.
    void hideAll();

    // The state each Sidecar display's panel shows, keyed by display ID.
    const QMap<DisplayId, SidecarComfortOverlayState> &panelStates() const { return m_panels; }

    // The displays whose screens are Sidecar screens, in screen order.
    static QList<DisplayId> sidecarDisplayIDs();

public slots:
    // The application finished launching: show the state that waited for it.
    void handleApplicationReady();

private:
    Logger m_log{"SidecarComfortOverlay"};
    QMap<DisplayId, SidecarComfortOverlayState> m_panels;
    std::optional<SidecarComfortOverlayState> m_latestState;
    bool m_applicationReady = false;
};

} // namespace qv
