#include "app/BreakPanelPresenter.h"

#include "app/AppEngine.h"
#include "app/BreakOverlayModel.h"
#include "display/OverlayPanels.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "runtime/Scheduler.h"
#include "wellness/BreakReminder.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QWindow>

#include <algorithm>

namespace qv {

namespace {
const QUrl kViewUrl(QStringLiteral("qrc:/Quellvista/App/qml/BreakOverlayView.qml"));

// Where the keyboard goes back after a break: the window that had it, else (it closed, as
// the pop-over does when it loses the keyboard) the application's main window if it shows.
QWindow *keyboardReturnWindow(QWindow *had)
{
    if (had && had->isVisible())
        return had;
    const QList<QWindow *> windows = QGuiApplication::topLevelWindows();
    const auto main = std::find_if(windows.begin(), windows.end(), [](QWindow *window) {
        return window->isVisible() && window->type() == Qt::Window && !(window->windowStates() & Qt::WindowMinimized);
    });
    return main == windows.end() ? nullptr : *main;
}
} // namespace

BreakPanelPresenter::BreakPanelPresenter(QObject *parent) : QObject(parent)
{
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &BreakPanelPresenter::focusMoved);
}

BreakPanelPresenter::~BreakPanelPresenter()
{
    // The panels and their views go before the engine that made them.
    for (auto &[id, open] : m_panels)
        removeEscMonitors(id);
    m_panels.clear();
    for (LeavingPanel &leaving : m_leaving)
        disconnect(leaving.focusWatch);
    m_leaving.clear();
    m_released.clear();
}

QString BreakPanelPresenter::notificationBody(int lookAwayDistanceFeet, int breakDurationSeconds)
{
    return QStringLiteral("Look at something %1 feet away for %2 seconds.").arg(lookAwayDistanceFeet).arg(breakDurationSeconds);
}

PanelConfiguration BreakPanelPresenter::panelConfiguration(const ScreenInfo &screen)
{
    PanelConfiguration configuration;
    configuration.contentRect = screen.frame;
    configuration.ignoresMouseEvents = false;
    configuration.excludedFromWindowsMenu = false;
    configuration.sharingType = 1; // read only: the panel may be captured
    configuration.collectionBehavior = 337; // all spaces, stationary, ignores cycle, full-screen auxiliary
    return configuration;
}

void BreakPanelPresenter::requestNotificationAuthorization()
{
    if (Notifications *notifications = platform().notifications)
        notifications->requestAuthorization([](bool) {});
}

void BreakPanelPresenter::sendBreakNotification(BreakReminder &reminder)
{
    Notifications *notifications = platform().notifications;
    if (!notifications)
        return;
    notifications->post(QString::fromLatin1(kNotificationIdentifier), notificationTitle(),
                        notificationBody(reminder.lookAwayDistanceFeet(), reminder.breakDurationSeconds()));
}

quint64 BreakPanelPresenter::showBreakOverlay(BreakReminder &reminder)
{
    const PlatformServices &services = platform();
    // The main screen comes first among the screens.
    const QList<ScreenInfo> screens = services.screens ? services.screens->screens() : QList<ScreenInfo>();
    if (!services.panels) {
        m_logger.error("No panels service: the break runs without its panel");
        return 0;
    }
    if (screens.isEmpty()) {
        m_logger.info("No main screen: the break runs without its panel");
        return 0;
    }
    const ScreenInfo &screen = screens.constFirst();
    if (!OverlayPanels::hasArea(screen.frame)) {
        m_logger.info("The main screen has no area (%g x %g): the break runs without its panel",
                       screen.frame.width(), screen.frame.height());
        return 0;
    }

    BreakOverlayModel *model = nullptr;
    QQuickItem *content = createContent(reminder, model);
    if (!content)
        return 0;
    content->setSize(screen.frame.size());

    std::unique_ptr<Panel> panel = services.panels->createPanel(panelConfiguration(screen), screen, content);
    if (!panel) {
        m_logger.error("The break panel could not be made: the break runs without it");
        return 0;
    }
    const quint64 id = m_nextId++;
    OpenPanel &open = m_panels[id];
    open.content = content;
    open.model = model;
    open.panel = std::move(panel);
    // The window with the keyboard before the panel comes: none while another application
    // is in front; the panel of a break this one replaces hands on the window it came from.
    QPointer<QWindow> keyed = QGuiApplication::focusWindow();
    bool ownKeyboard = keyed != nullptr;
    for (auto &[other, previous] : m_panels)
        if (other != id && previous.tookKeyboard) {
            ownKeyboard = ownKeyboard || previous.panel->isKey();
            keyed = previous.keyboardReturn;
        }
    open.panel->orderFrontRegardless();
    if (ownKeyboard)
        giveKeyboard(open, keyed);
    QAccessibleEvent shown(content, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    installEscMonitors(id, open, reminder);
    return id;
}

bool BreakPanelPresenter::takeKeyboard(QWindow *returnTo)
{
    for (auto &[id, open] : m_panels)
        if (open.monitorsOn) { // the panel of the running break, not one on its way out
            giveKeyboard(open, returnTo);
            return true;
        }
    return false;
}

bool BreakPanelPresenter::keepsKeyboardFor(const QWindow *window) const
{
    return std::any_of(m_panels.begin(), m_panels.end(),
                       [window](const auto &entry) {
                           return entry.second.keyboardReturn == window && entry.second.panel->isKey();
                       })
        || std::any_of(m_leaving.begin(), m_leaving.end(), [window](const LeavingPanel &leaving) {
               return leaving.returnTo == window && leaving.panel->isKey();
           });
}

// A window of ours under the panel of the running break was given the keyboard (a window
// manager gives it to the window it maps): the panel takes it back, and hands it to that
// window when the break ends. Windows kept above the panel (the pop-over, menus) keep it.
void BreakPanelPresenter::focusMoved(QWindow *window)
{
    if (!window || window->flags().testFlag(Qt::WindowStaysOnTopHint) || window->type() == Qt::Popup
        || window->type() == Qt::ToolTip)
        return;
    for (auto &[id, open] : m_panels) {
        if (!open.monitorsOn || !open.content || window == open.content->window() || open.panel->isKey())
            continue;
        // A window manager that gives the keyboard back at once each time is not fought.
        constexpr int kMostTakenBack = 8;
        if (open.takenBack == kMostTakenBack)
            m_logger.info("The window manager keeps giving the keyboard to a window under the break panel: it is left "
                          "there");
        if (open.takenBack++ >= kMostTakenBack)
            return;
        if (open.panel->makeKey()) {
            open.tookKeyboard = true;
            open.keyboardReturn = window;
        }
        return;
    }
}

void BreakPanelPresenter::giveKeyboard(OpenPanel &open, QWindow *returnTo)
{
    open.keyboardReturn = returnTo;
    open.tookKeyboard = open.panel->makeKey();
    if (!open.tookKeyboard)
        m_logger.info("The break panel cannot take the keyboard: keys go on to the window that has it");
}

QQuickItem *BreakPanelPresenter::createContent(BreakReminder &reminder, BreakOverlayModel *&model)
{
    if (!m_engine) {
        m_engine = std::make_unique<QQmlEngine>();
        prepareAppEngine(*m_engine);
    }
    model = new BreakOverlayModel(&reminder);
    QQmlComponent component(m_engine.get(), kViewUrl);
    QObject *object = component.createWithInitialProperties({{QStringLiteral("model"), QVariant::fromValue(model)}});
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        m_logger.error("The break panel's view could not be made: %s", qUtf8Printable(component.errorString()));
        delete object;
        delete model;
        return nullptr;
    }
    model->setParent(item);
    return item;
}

void BreakPanelPresenter::installEscMonitors(quint64 id, OpenPanel &open, BreakReminder &reminder)
{
    KeyMonitors *keys = platform().keyMonitors;
    open.keys = keys;
    open.monitorsOn = true;
    if (!keys) {
        m_logger.info("No key monitors: Esc does not end the break; \"Skip Break\" does");
        return;
    }
    QPointer<BreakReminder> weak(&reminder);
    // Esc in this application ends the break and goes no further; other keys pass on.
    open.escMonitor = keys->addLocalKeyDownMonitor([weak](int keyCode) {
        if (keyCode != kKeyCodeEscape)
            return false;
        if (weak)
            weak->endBreak(false);
        return true;
    });
    // Esc in another application ends the break too, once the key has been handled; that
    // application still receives it. The end is for this panel's break only.
    open.globalEscMonitor = keys->addGlobalKeyDownMonitor([this, weak, id](int keyCode) {
        if (keyCode != kKeyCodeEscape)
            return;
        scheduler().post(this, [this, weak, id] {
            const auto it = m_panels.find(id);
            if (weak && it != m_panels.end() && it->second.monitorsOn)
                weak->endBreak(false);
        });
    });
    if (!open.escMonitor || !open.globalEscMonitor)
        m_logger.info("An Esc monitor was not installed: Esc %s", open.escMonitor || open.globalEscMonitor
                                                                     ? "ends the break only in some applications"
                                                                     : "does not end the break; \"Skip Break\" does");
}

void BreakPanelPresenter::removeEscMonitors(quint64 panel)
{
    const auto it = m_panels.find(panel);
    if (it == m_panels.end())
        return;
    OpenPanel &open = it->second;
    if (KeyMonitors *keys = open.keys) {
        if (open.escMonitor)
            keys->removeMonitor(open.escMonitor);
        if (open.globalEscMonitor)
            keys->removeMonitor(open.globalEscMonitor);
    }
    open.escMonitor = 0;
    open.globalEscMonitor = 0;
    open.monitorsOn = false;
}

void BreakPanelPresenter::closeBreakOverlay(quint64 panel)
{
    const auto it = m_panels.find(panel);
    if (it == m_panels.end())
        return;
    removeEscMonitors(panel);
    OpenPanel &open = it->second;
    // The keyboard goes back to the window it came from, unless the user turned elsewhere
    // meanwhile or the panel of a new break has it.
    const bool handBack = open.tookKeyboard && open.panel->isKey();
    const QPointer<QWindow> returnTo = open.keyboardReturn;
    std::unique_ptr<Panel> leaving = std::move(open.panel);
    QQuickItem *content = open.content;
    m_panels.erase(it);
    const bool newPanelHasIt =
        std::any_of(m_panels.begin(), m_panels.end(), [](const auto &entry) { return entry.second.tookKeyboard; });
    QWindow *window = handBack && !newPanelHasIt ? keyboardReturnWindow(returnTo) : nullptr;
    if (!window) {
        release(std::move(leaving));
        return;
    }
    // The panel stays until the window has the keyboard: a key pressed in between (Ctrl+Q
    // right after Esc) reaches a window of ours, where a panel already gone would leave it
    // to none. Its controls no longer act; a window manager that never hands the keyboard
    // on has a second.
    content->setEnabled(false);
    window->requestActivate();
    const bool handedOver = !leaving->isKey();
    LeavingPanel &entry = m_leaving.emplace_back();
    entry.id = panel;
    entry.panel = std::move(leaving);
    entry.returnTo = window;
    if (handedOver) {
        finishLeaving(panel);
        return;
    }
    Panel *raw = entry.panel.get();
    entry.focusWatch = connect(qApp, &QGuiApplication::focusWindowChanged, this, [this, raw, panel] {
        if (!raw->isKey())
            finishLeaving(panel);
    });
    entry.fallback = scheduler().after(1000, this, [this, panel] { finishLeaving(panel); });
}

// The hand-over has ended: the watch and the fallback go with it, and the panel leaves the
// screen (it may end inside the signal that tells of the keyboard's move).
void BreakPanelPresenter::finishLeaving(quint64 id)
{
    const auto found = std::find_if(m_leaving.begin(), m_leaving.end(), [id](const LeavingPanel &leaving) { return leaving.id == id; });
    if (found == m_leaving.end())
        return;
    disconnect(found->focusWatch);
    found->fallback.cancel();
    std::unique_ptr<Panel> panel = std::move(found->panel);
    m_leaving.erase(found);
    release(std::move(panel));
}

void BreakPanelPresenter::release(std::unique_ptr<Panel> panel)
{
    panel->orderOut();
    m_released.push_back(std::move(panel));
    if (!m_freeReleased)
        m_freeReleased = scheduler().post(this, [this] { m_released.clear(); });
}

QQuickItem *BreakPanelPresenter::content(quint64 panel) const
{
    const auto it = m_panels.find(panel);
    return it == m_panels.end() ? nullptr : it->second.content;
}

BreakOverlayModel *BreakPanelPresenter::model(quint64 panel) const
{
    const auto it = m_panels.find(panel);
    return it == m_panels.end() ? nullptr : it->second.model;
}

} // namespace qv
