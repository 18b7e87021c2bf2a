#include "app/AppScenes.h"

#include "app/BreakPanelPresenter.h"
#include "app/MenuBarExtra.h"
#include "app/QuellvistaApp.h"
#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "platform/desktop/X11WindowLoss.h"
#include "runtime/Scheduler.h"
#include "wellness/BreakReminder.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>

namespace qv {

namespace {
constexpr int kGap = 4;

// The desktop's own controls (the gear menu, tooltips) in the application's appearance.
void applyWidgetPalette()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const Theme &theme = Theme::shared();
    QPalette palette;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::ToolTipBase})
        palette.setColor(role, theme.surfaceRaised());
    palette.setColor(QPalette::AlternateBase, theme.surface());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        palette.setColor(role, theme.textPrimary());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, theme.textTertiary());
    palette.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent); // no etched text
    palette.setColor(QPalette::Highlight, theme.accent());
    palette.setColor(QPalette::HighlightedText, theme.surfaceRaised());
    palette.setColor(QPalette::Mid, theme.divider());
    QApplication::setPalette(palette);
}
} // namespace

AppScenes::AppScenes(QuellvistaApp &app, QQmlEngine &engine, QObject *parent)
    : QObject(parent), m_app(app), m_engine(engine)
{
    givePageServices(app, engine);
    connect(&app, &QuellvistaApp::mainWindowRequested, this, &AppScenes::showMainWindow);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &applyWidgetPalette);
    applyWidgetPalette();
}

void AppScenes::givePageServices(QuellvistaApp &app, QQmlEngine &engine)
{
    PageServices &services = PageServices::of(engine);
    services.breakReminder = &app.breakReminder();
    services.history = &SessionHistory::shared();
    services.updater = &app.appUpdater();
}

AppScenes::~AppScenes()
{
    delete m_popover.data();
    delete m_main.data();
}

QQuickWindow *AppScenes::create(const char *url)
{
    QQmlComponent component(&m_engine, QUrl(QString::fromLatin1(url)));
    QObject *object = component.create();
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        qWarning("%s", qUtf8Printable(component.errorString()));
        delete object;
        return nullptr;
    }
    return window;
}

bool AppScenes::load(bool withTray)
{
    m_main = create("qrc:/Quellvista/App/qml/Main.qml");
    m_popover = create("qrc:/Quellvista/App/qml/MenuBarPopoverWindow.qml");
    if (!m_main || !m_popover)
        return false;
    connect(m_main, &QWindow::visibleChanged, this, &AppScenes::mainWindowVisibilityChanged);
    // The pop-over's width is fixed, and says so to the window manager: a tiling Wayland
    // compositor (sway) then floats it, as it floats the X11 tool window, where it would
    // otherwise tile it beside the user's windows.
    m_popover->setMinimumSize(QSize(m_popover->width(), 1));
    m_popover->setMaximumWidth(m_popover->width());
    // The pop-over goes when the user turns to something else.
    // A menu of its own (the gear menu) takes the focus while it is open: that is no leave;
    // nor is a break panel taking the keyboard from it, to give it back after the break.
    const auto leave = [this] {
        if (QApplication::activePopupWidget())
            return;
        m_popoverLeftToBreak = false;
        if (!m_popover || !m_popover->isVisible() || m_popover->isActive())
            return;
        if (m_app.breakPresenter().keepsKeyboardFor(m_popover)) {
            m_popoverLeftToBreak = true;
            return;
        }
        closePopover();
        m_closedOnLeaveMs = scheduler().monotonicMs();
    };
    connect(m_popover, &QWindow::activeChanged, this, leave);
    // Where the keyboard goes from the break panel, if not back to the pop-over.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this, leave] {
        if (m_popoverLeftToBreak)
            leave();
    });
    // Content that changed while the pop-over was hidden, or changes while it is open,
    // gives it another height: it stays by the icon and inside the screen.
    connect(m_popover, &QWindow::heightChanged, this, [this] {
        if (m_popover && m_popover->isVisible())
            placePopover();
    });
    // Ctrl+Q and the pop-over's Escape, in whichever window of the application has the keyboard.
    qApp->installEventFilter(this);
    // Qt takes a window whose native window was destroyed from outside for still shown:
    // let it go, so that showing it again makes a new one.
    m_windowLoss = new X11WindowLoss(this);
    m_windowLoss->watch(m_main);
    m_windowLoss->watch(m_popover);
    connect(m_windowLoss, &X11WindowLoss::lost, this, [](QWindow *window) { window->destroy(); });
    mainWindowVisibilityChanged(m_main->isVisible());
    if (withTray) {
        m_extra = std::make_unique<MenuBarExtra>(m_app);
        connect(m_extra.get(), &MenuBarExtra::popoverRequested, this, &AppScenes::togglePopover);
    }
    return true;
}

void AppScenes::mainWindowVisibilityChanged(bool visible)
{
    if (!visible)
        return;
    // The content has appeared: the launch setup (once per process) runs on the next
    // turn, after the first frame's bindings; the appearance is applied every time.
    scheduler().post(&m_app, [app = &m_app] { app->performLaunchSetup(); });
    m_app.applyAppAppearance();
}

void AppScenes::showMainWindow()
{
    if (!m_main)
        return;
    closePopover();
    // During a break the window manager is asked not to give the window the keyboard as
    // it maps it (the panel takes it back if it does).
    const bool duringBreak = m_app.breakReminder().isOnBreak();
    m_main->setProperty("_q_showWithoutActivating", duringBreak);
    m_main->show();
    m_main->raise();
    m_main->setProperty("_q_showWithoutActivating", QVariant());
    // During a break the window comes up under the panel, which takes the keyboard: no key
    // acts on the window behind it, and it has the keyboard once the break is over.
    if (!m_app.breakPresenter().takeKeyboard(m_main))
        m_main->requestActivate();
}

QPoint AppScenes::popoverPosition(const QRect &icon, const QSize &size, const QRect &screen, const QPoint &cursor)
{
    QPoint position;
    if (icon.isValid() && !icon.isEmpty()) {
        position.setX(icon.x() + icon.width() / 2 - size.width() / 2);
        const bool upperHalf = icon.y() + icon.height() / 2 < screen.y() + screen.height() / 2;
        position.setY(upperHalf ? icon.bottom() + 1 + kGap : icon.top() - kGap - size.height());
    } else {
        position = QPoint(cursor.x() - size.width() / 2, cursor.y() + kGap);
        if (position.y() + size.height() > screen.bottom() + 1)
            position.setY(cursor.y() - kGap - size.height());
    }
    position.setX(std::clamp(position.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    position.setY(std::clamp(position.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return position;
}

void AppScenes::togglePopover(const QRect &iconGeometry)
{
    if (!m_popover)
        return;
    if (m_popover->isVisible()) {
        closePopover();
        return;
    }
    // The click on the icon that took the focus away has closed it already.
    if (m_closedOnLeaveMs >= 0 && scheduler().monotonicMs() - m_closedOnLeaveMs < 300)
        return;
    m_popoverIcon = iconGeometry;
    m_popoverCursor = QCursor::pos();
    placePopover();
    m_popover->show();
    m_popover->raise();
    m_popover->requestActivate();
}

void AppScenes::placePopover()
{
    const QRect &icon = m_popoverIcon;
    QScreen *screen = QGuiApplication::screenAt(icon.isValid() ? icon.center() : m_popoverCursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QPoint position = popoverPosition(icon, m_popover->size(), area, m_popoverCursor);
    if (m_popover->position() != position)
        m_popover->setPosition(position);
}

bool AppScenes::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: a window sends events on its way out too, when it is no longer a
    // Qt Quick window. A key press reaches its window before the window's items.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType())
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Ctrl+Q quits as "Quit Quellvista" does from any of the application's windows: the
    // main window whatever holds its focus, the pop-over and the break panel while the
    // main window is closed, the gear menu.
    if (key->matches(QKeySequence::Quit)) {
        if (!key->isAutoRepeat())
            m_app.quit();
        return true;
    }
    if (key->key() == Qt::Key_Escape && watched == m_popover) {
        closePopover();
        return true;
    }
    return false;
}

void AppScenes::closePopover()
{
    if (m_popover && m_popover->isVisible())
        m_popover->hide();
}

} // namespace qv
