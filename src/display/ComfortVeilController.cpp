#include "display/ComfortVeilController.h"

#include "display/ComfortVeilOverlayView.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "runtime/Clamp.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"
#include "runtime/Settings.h"

#include <QPointer>

#include <algorithm>

#include <cmath>

namespace qv {

namespace {

const QString kEnabledKey = settings::veilEnabled.name();
const QString kPeripheralEnabledKey = settings::veilPeripheralEnabled.name();
const QString kPeripheralAmountKey = settings::veilPeripheralAmount.name();
const QString kFocusEnabledKey = settings::veilFocusEnabled.name();
const QString kFocusSizeKey = settings::veilFocusSize.name();
const QString kHighlightEnabledKey = settings::veilHighlightEnabled.name();
const QString kHighlightAmountKey = settings::veilHighlightAmount.name();
const QString kColorCalmEnabledKey = settings::veilColorCalmEnabled.name();
const QString kColorCalmAmountKey = settings::veilColorCalmAmount.name();
const QString kMicrotextureEnabledKey = settings::veilMicrotextureEnabled.name();
const QString kMicrotextureAmountKey = settings::veilMicrotextureAmount.name();

constexpr qint64 kRefitDelayMs = 350;

} // namespace

ComfortVeilController &ComfortVeilController::shared()
{
    return sharedInstance<ComfortVeilController>();
}

ComfortVeilController::ComfortVeilController()
{
    UserDefaults &d = UserDefaults::standard();
    m_values.enabled = d.boolForKey(kEnabledKey);
    m_values.peripheralSofteningEnabled = d.boolValue(kPeripheralEnabledKey).value_or(settings::veilPeripheralEnabled.defaultValue);
    m_values.peripheralSoftening = storedAmount(kPeripheralAmountKey, settings::veilPeripheralAmount.defaultValue);
    m_values.focusWindowEnabled = false;
    m_values.focusWindowSize = storedAmount(kFocusSizeKey, settings::veilFocusSize.defaultValue);
    m_values.highlightDampeningEnabled = d.boolValue(kHighlightEnabledKey).value_or(settings::veilHighlightEnabled.defaultValue);
    m_values.highlightDampening = storedAmount(kHighlightAmountKey, settings::veilHighlightAmount.defaultValue);
    m_values.colorCalmEnabled = d.boolForKey(kColorCalmEnabledKey);
    m_values.colorCalm = storedAmount(kColorCalmAmountKey, settings::veilColorCalmAmount.defaultValue);
    m_values.microtextureEnabled = d.boolForKey(kMicrotextureEnabledKey);
    m_values.microtexture = storedAmount(kMicrotextureAmountKey, settings::veilMicrotextureAmount.defaultValue);

    const PlatformServices &services = platform();
    if (Workspace *workspace = services.workspace) {
        m_applicationReady = workspace->isApplicationRunning();
        connect(workspace, &Workspace::applicationDidFinishLaunching, this,
                &ComfortVeilController::handleApplicationReady);
        connect(workspace, &Workspace::applicationLaunched, this,
                &ComfortVeilController::handleWorkspaceApplicationActivated);
        connect(workspace, &Workspace::applicationActivated, this,
                &ComfortVeilController::handleWorkspaceApplicationActivated);
        connect(workspace, &Workspace::applicationDeactivated, this,
                &ComfortVeilController::handleWorkspaceApplicationDeactivated);
        connect(workspace, &Workspace::applicationTerminated, this,
                &ComfortVeilController::handleWorkspaceApplicationDeactivated);
    }
    if (Screens *screens = services.screens)
        connect(screens, &Screens::parametersChanged, this, &ComfortVeilController::handleDisplayConfigurationChanged);
}

ComfortVeilController::~ComfortVeilController() = default;

double ComfortVeilController::storedAmount(const QString &key, double fallback) const
{
    const std::optional<double> stored = UserDefaults::standard().doubleValue(key);
    if (!stored)
        return fallback;
    if (!std::isfinite(*stored)) {
        m_log.error("Stored %s is not a finite number (%g); using %g", qUtf8Printable(key), *stored, fallback);
        return fallback;
    }
    return *stored;
}

// ---- values ----

#define QV_VEIL_SETTER(Setter, member, key, signal, store)                                                   \
    void ComfortVeilController::Setter(decltype(member) value)                                                \
    {                                                                                                         \
        member = value;                                                                                       \
        emit signal();                                                                                        \
        UserDefaults::standard().store(key, value);                                                           \
        updateVeil();                                                                                         \
    }

QV_VEIL_SETTER(setEnabled, m_values.enabled, kEnabledKey, enabledChanged, setBool)
QV_VEIL_SETTER(setPeripheralSofteningEnabled, m_values.peripheralSofteningEnabled, kPeripheralEnabledKey,
               peripheralSofteningEnabledChanged, setBool)
QV_VEIL_SETTER(setPeripheralSoftening, m_values.peripheralSoftening, kPeripheralAmountKey, peripheralSofteningChanged,
               setDouble)
QV_VEIL_SETTER(setFocusWindowEnabled, m_values.focusWindowEnabled, kFocusEnabledKey, focusWindowEnabledChanged, setBool)
QV_VEIL_SETTER(setFocusWindowSize, m_values.focusWindowSize, kFocusSizeKey, focusWindowSizeChanged, setDouble)
QV_VEIL_SETTER(setHighlightDampeningEnabled, m_values.highlightDampeningEnabled, kHighlightEnabledKey,
               highlightDampeningEnabledChanged, setBool)
QV_VEIL_SETTER(setHighlightDampening, m_values.highlightDampening, kHighlightAmountKey, highlightDampeningChanged,
               setDouble)
QV_VEIL_SETTER(setColorCalmEnabled, m_values.colorCalmEnabled, kColorCalmEnabledKey, colorCalmEnabledChanged, setBool)
QV_VEIL_SETTER(setColorCalm, m_values.colorCalm, kColorCalmAmountKey, colorCalmChanged, setDouble)
QV_VEIL_SETTER(setMicrotextureEnabled, m_values.microtextureEnabled, kMicrotextureEnabledKey,
               microtextureEnabledChanged, setBool)
QV_VEIL_SETTER(setMicrotexture, m_values.microtexture, kMicrotextureAmountKey, microtextureChanged, setDouble)

#undef QV_VEIL_SETTER

// ---- state ----

ComfortVeilState ComfortVeilController::currentState() const
{
    ComfortVeilState s = m_values;
    s.peripheralSoftening = clampTo(s.peripheralSoftening, 0, 1.4);
    s.focusWindowEnabled = false; // carried and stored, never shown
    s.focusWindowSize = clampTo(s.focusWindowSize, 0.35, 0.82);
    s.highlightDampening = clampTo(s.highlightDampening, 0, 1);
    s.colorCalm = clampTo(s.colorCalm, 0, 2);
    s.microtexture = clampTo(s.microtexture, 0, 0.75);
    return s;
}

void ComfortVeilController::updateVeil()
{
    const ComfortVeilState state = currentState();
    m_latestState = state;
    if (m_applicationReady)
        applyState(state);
}

void ComfortVeilController::applyState(const ComfortVeilState &state)
{
    if (!state.showsAnything()) {
        removeAllWindows();
        return;
    }
    if (m_screenshotSessionActive) {
        hideAllWindows();
        return;
    }

    m_windowsByDisplayID.fit(
        screensByDisplayID(), [this](const ScreenInfo &screen, DisplayId) { return makePanel(screen); },
        [&state](QObject *content) {
            auto *view = qobject_cast<ComfortVeilOverlayView *>(content);
            if (view && view->state() != state) {
                view->setState(state);
                view->setNeedsDisplay();
            }
        });
    noteTints();
}

std::unique_ptr<Panel> ComfortVeilController::makePanel(const ScreenInfo &screen)
{
    Panels *panels = platform().panels;
    if (!panels)
        return nullptr;
    PanelConfiguration configuration;
    configuration.contentRect = screen.frame;
    auto *view = new ComfortVeilOverlayView(QRectF(0, 0, screen.frame.width(), screen.frame.height()));
    return panels->createPanel(configuration, screen, view);
}

void ComfortVeilController::removeAllWindows()
{
    m_windowsByDisplayID.removeAll();
    noteTints();
}

void ComfortVeilController::hideAllWindows()
{
    m_windowsByDisplayID.hideAll();
    noteTints();
}

bool ComfortVeilController::tints() const
{
    const QList<DisplayId> displays = m_windowsByDisplayID.displayIDs();
    return std::any_of(displays.cbegin(), displays.cend(), [this](DisplayId display) {
        const Panel *panel = m_windowsByDisplayID.panel(display);
        return panel && panel->isVisible();
    });
}

void ComfortVeilController::noteTints()
{
    if (tints() == m_tints)
        return;
    m_tints = !m_tints;
    emit tintsChanged();
}

Panel *ComfortVeilController::window(DisplayId display) const
{
    return m_windowsByDisplayID.panel(display);
}

QList<DisplayId> ComfortVeilController::windowDisplayIDs() const
{
    return m_windowsByDisplayID.displayIDs();
}

// ---- platform ----

QList<std::pair<ScreenInfo, DisplayId>> ComfortVeilController::screensByDisplayID()
{
    QList<std::pair<ScreenInfo, DisplayId>> out;
    Screens *screens = platform().screens;
    if (!screens)
        return out;
    for (const ScreenInfo &screen : screens->screens())
        if (screen.displayNumber)
            out.append({screen, *screen.displayNumber});
    return out;
}

bool ComfortVeilController::isScreenshotApplication(const RunningApplication &application)
{
    const QString bundle = application.bundleIdentifier.value_or(QString());
    const QString name = application.localizedName.value_or(QString()).toLower();
    return bundle.startsWith(QLatin1String("com.apple.screenshot"))
        || bundle.toLower().contains(QLatin1String("screencapture")) || name.contains(QLatin1String("screenshot"))
        || name.contains(QLatin1String("screen capture"));
}

bool ComfortVeilController::isScreenshotSessionRunning()
{
    Workspace *workspace = platform().workspace;
    if (!workspace)
        return false;
    for (const RunningApplication &app : workspace->runningApplications())
        if (app.isActive && isScreenshotApplication(app))
            return true;
    return false;
}

// ---- notifications ----

void ComfortVeilController::handleApplicationReady()
{
    m_applicationReady = true;
    updateVeil();
}

void ComfortVeilController::handleDisplayConfigurationChanged()
{
    if (!m_latestState) {
        removeAllWindows();
        return;
    }
    // Each change re-fits on its own, 0.35 s later, with the state current by then: a
    // veil switched off in the meantime stays off.
    scheduler().after(kRefitDelayMs, this, [this] {
        if (m_latestState)
            applyState(*m_latestState);
        else
            removeAllWindows();
    });
}

void ComfortVeilController::handleWorkspaceApplicationActivated(const std::optional<RunningApplication> &application)
{
    if (!application || !isScreenshotApplication(*application))
        return;
    m_screenshotSessionActive = true;
    hideAllWindows();
}

void ComfortVeilController::handleWorkspaceApplicationDeactivated(
    const std::optional<RunningApplication> &application)
{
    if (!application || !isScreenshotApplication(*application))
        return;
    scheduler().after(kRefitDelayMs, this, [this] {
        if (isScreenshotSessionRunning()) {
            hideAllWindows();
            return;
        }
        m_screenshotSessionActive = false;
        if (m_latestState)
            applyState(*m_latestState);
    });
}

} // namespace qv
