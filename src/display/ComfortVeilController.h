#pragma once

#include "display/ComfortVeilState.h"
#include "display/OverlayPanels.h"
#include "platform/Panels.h"
#include "platform/Types.h"
#include "platform/Workspace.h"
#include "runtime/Logging.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>
#include <utility>

namespace qv {

// The comfort veil: eleven user values, each kept under its "comfortVeil." key, turned
// into one clamped state shown by one click-through panel per screen. Panels leave the
// screen while a screenshot tool is the active application and are re-fitted 0.35 s
// after each screen change.
class ComfortVeilController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(bool peripheralSofteningEnabled READ peripheralSofteningEnabled WRITE setPeripheralSofteningEnabled
                   NOTIFY peripheralSofteningEnabledChanged)
    Q_PROPERTY(double peripheralSoftening READ peripheralSoftening WRITE setPeripheralSoftening
                   NOTIFY peripheralSofteningChanged)
    Q_PROPERTY(bool focusWindowEnabled READ focusWindowEnabled WRITE setFocusWindowEnabled
                   NOTIFY focusWindowEnabledChanged)
    Q_PROPERTY(double focusWindowSize READ focusWindowSize WRITE setFocusWindowSize NOTIFY focusWindowSizeChanged)
    Q_PROPERTY(bool highlightDampeningEnabled READ highlightDampeningEnabled WRITE setHighlightDampeningEnabled
                   NOTIFY highlightDampeningEnabledChanged)
    Q_PROPERTY(double highlightDampening READ highlightDampening WRITE setHighlightDampening
                   NOTIFY highlightDampeningChanged)
    Q_PROPERTY(bool colorCalmEnabled READ colorCalmEnabled WRITE setColorCalmEnabled NOTIFY colorCalmEnabledChanged)
    Q_PROPERTY(double colorCalm READ colorCalm WRITE setColorCalm NOTIFY colorCalmChanged)
    Q_PROPERTY(bool microtextureEnabled READ microtextureEnabled WRITE setMicrotextureEnabled
                   NOTIFY microtextureEnabledChanged)
    Q_PROPERTY(double microtexture READ microtexture WRITE setMicrotexture NOTIFY microtextureChanged)
public:
    ComfortVeilController();
    ~ComfortVeilController() override;

    static ComfortVeilController &shared();

    bool enabled() const { return m_values.enabled; }
    bool peripheralSofteningEnabled() const { return m_values.peripheralSofteningEnabled; }
    double peripheralSoftening() const { return m_values.peripheralSoftening; }
    bool focusWindowEnabled() const { return m_values.focusWindowEnabled; }
    double focusWindowSize() const { return m_values.focusWindowSize; }
    bool highlightDampeningEnabled() const { return m_values.highlightDampeningEnabled; }
    double highlightDampening() const { return m_values.highlightDampening; }
    bool colorCalmEnabled() const { return m_values.colorCalmEnabled; }
    double colorCalm() const { return m_values.colorCalm; }
    bool microtextureEnabled() const { return m_values.microtextureEnabled; }
    double microtexture() const { return m_values.microtexture; }

    // Every assignment, equal or not, publishes the value, stores it under its key and
    // calls updateVeil(). Values are kept as assigned; clamping happens in the state.
    void setEnabled(bool value);
    void setPeripheralSofteningEnabled(bool value);
    void setPeripheralSoftening(double value);
    void setFocusWindowEnabled(bool value);
    void setFocusWindowSize(double value);
    void setHighlightDampeningEnabled(bool value);
    void setHighlightDampening(double value);
    void setColorCalmEnabled(bool value);
    void setColorCalm(double value);
    void setMicrotextureEnabled(bool value);
    void setMicrotexture(double value);

    // Builds the clamped state, keeps it as the latest and shows it once the application
    // is running.
    void updateVeil();
    // Brings the panels in line with a state.
    void applyState(const ComfortVeilState &state);
    // Orders every panel out and releases them all.
    void removeAllWindows();
    // Orders every panel out and keeps them.
    void hideAllWindows();
    // Forgets the latest state (the neutral reset does this before removing the panels).
    void clearLatestState() { m_latestState.reset(); }

    // The eleven values as assigned.
    const ComfortVeilState &values() const { return m_values; }
    // The state built from the current values.
    ComfortVeilState currentState() const;
    std::optional<ComfortVeilState> latestState() const { return m_latestState; }
    bool isApplicationReady() const { return m_applicationReady; }
    bool isScreenshotSessionActive() const { return m_screenshotSessionActive; }
    // The panel kept for a display, if any.
    Panel *window(DisplayId display) const;
    QList<DisplayId> windowDisplayIDs() const;
    // Whether a panel of the veil is on a screen now.
    bool tints() const;

    // The screens with a usable display number, in the system's order.
    static QList<std::pair<ScreenInfo, DisplayId>> screensByDisplayID();
    static bool isScreenshotApplication(const RunningApplication &application);
    // True when the active application is a screenshot tool.
    static bool isScreenshotSessionRunning();

    // Notification handlers.
    void handleApplicationReady();
    void handleDisplayConfigurationChanged();
    void handleWorkspaceApplicationActivated(const std::optional<RunningApplication> &application);
    void handleWorkspaceApplicationDeactivated(const std::optional<RunningApplication> &application);

signals:
    void enabledChanged();
    void peripheralSofteningEnabledChanged();
    void peripheralSofteningChanged();
    void focusWindowEnabledChanged();
    void focusWindowSizeChanged();
    void highlightDampeningEnabledChanged();
    void highlightDampeningChanged();
    void colorCalmEnabledChanged();
    void colorCalmChanged();
    void microtextureEnabledChanged();
    void microtextureChanged();
    // tints() turned.
    void tintsChanged();

private:
    void noteTints();

    std::unique_ptr<Panel> makePanel(const ScreenInfo &screen);
    // A stored amount; one that is not a finite number reads as the default (logged).
    double storedAmount(const QString &key, double fallback) const;

    Logger m_log{"ComfortVeil"};

    ComfortVeilState m_values; // as assigned, unclamped

    OverlayPanels m_windowsByDisplayID{m_log, "veil panel"};
    std::optional<ComfortVeilState> m_latestState;
    bool m_applicationReady = false;
    bool m_screenshotSessionActive = false;
    bool m_tints = false;
};

} // namespace qv
