#include "platform/desktop/QtPanels.h"

#include "platform/desktop/X11Keyboard.h"
#include "platform/desktop/X11SelectionWatch.h"
#include "platform/desktop/WindowPlatform.h"
#include "runtime/Logging.h"

#include <QAbstractNativeEventFilter>
#include <QBackingStore>
#include <QGuiApplication>
#include <QSet>
#include <QTimer>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <utility>

namespace qv {

namespace {

const Logger &qtPanelsLog()
{
    static const Logger log("Panels");
    return log;
}

// The pixels a frame in points covers: the panels lie on whole pixels of the screen.
QRect windowGeometry(const QRectF &frame)
{
    return frame.toAlignedRect();
}

// The screen that holds the middle of the frame, or the primary one for a frame beside
// every screen.
QScreen *screenFor(const QRectF &frame)
{
    if (QScreen *screen = QGuiApplication::screenAt(frame.center().toPoint()))
        return screen;
    return QGuiApplication::primaryScreen();
}

// Translucent windows need an alpha channel in their surface: without it the parts the
// content leaves clear show black.
void requestAlpha(QWindow &window)
{
    QSurfaceFormat format = window.requestedFormat();
    format.setAlphaBufferSize(8);
    window.setFormat(format);
}

// The panels that exist, the last ordered front last: that is their order on the screen.
QList<QtPanel *> &livePanels()
{
    static QList<QtPanel *> panels;
    return panels;
}

#if QT_CONFIG(xcb)
// Reply of an xcb request, freed on leaving the scope.
template <typename Reply>
struct XReply {
    Reply *reply;
    explicit XReply(Reply *r) : reply(r) {}
    ~XReply() { std::free(reply); }
    XReply(const XReply &) = delete;
    XReply &operator=(const XReply &) = delete;
    Reply *operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

// What the panels follow on an X server: the owner of the compositing-manager selection
// of the first screen (through XFixes selection events) and the stacking of the top-level
// windows (through the root window's structure events). Lives as long as the application.
class X11DesktopWatch final : public QObject, public QAbstractNativeEventFilter {
public:
    static void ensure()
    {
        static QPointer<X11DesktopWatch> watch;
        if (watch || !qGuiApp)
            return;
        xcb_connection_t *connection = x11::connection();
        if (!connection)
            return;
        watch = new X11DesktopWatch(connection);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY || type == XCB_CIRCULATE_NOTIFY) {
            // The three share the layout of their first fields: the window whose children
            // changed comes right after the sequence number.
            const auto *notify = reinterpret_cast<const xcb_map_notify_event_t *>(event);
            if (notify->event == m_root && notify->window != m_root) {
                restackSoon();
                // Qt did not ask for these, and takes a configure event reported to the
                // root for a change of the screens.
                return m_ownSubstructureEvents;
            }
        }
        return false; // Qt goes on with every other event
    }

private:
    explicit X11DesktopWatch(xcb_connection_t *connection)
        : QObject(qGuiApp), m_connection(connection),
          m_root(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root),
          m_compositor(new X11SelectionWatch("_NET_WM_CM_S0", this))
    {
        if (!m_compositor->isWatching())
            qtPanelsLog().error("The X server cannot report its compositing manager (no XFixes): overlays follow the "
                           "one found at start");
        connect(m_compositor, &X11SelectionWatch::ownerChanged, this,
                [this](quint32 owner) { compositorChanged(owner != 0); });
        // The structure events of the root's children, besides the events Qt chose.
        XReply attributes(xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, m_root),
                                                          nullptr));
        const uint32_t chosen = attributes ? attributes->your_event_mask : 0;
        m_ownSubstructureEvents = !(chosen & XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        const uint32_t mask = chosen | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        m_compositing = m_compositor->owner() != 0;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    void compositorChanged(bool running)
    {
        if (running == m_compositing)
            return;
        m_compositing = running;
        qtPanelsLog().info(running ? "A compositing manager started: overlays show again"
                              : "The compositing manager stopped: click-through overlays are hidden");
        const QList<QtPanel *> panels = livePanels();
        for (QtPanel *panel : panels)
            panel->compositingChanged();
    }

    void restackSoon()
    {
        if (m_restackPending)
            return;
        m_restackPending = true;
        QTimer::singleShot(0, this, [this] {
            m_restackPending = false;
            restack();
        });
    }

    // The window at the top of the tree that holds window (its frame under a window
    // manager that reparents).
    xcb_window_t topLevelOf(xcb_window_t window) const
    {
        for (int depth = 0; depth < 8; ++depth) {
            XReply tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
            if (!tree || tree->parent == m_root || tree->parent == XCB_NONE)
                return window;
            window = tree->parent;
        }
        return window;
    }

    // Puts the panels back on top when a window that is neither a panel, nor one of our
    // own windows kept on top (the pop-over), nor a menu or tooltip (override-redirect)
    // lies above one of them.
    void restack()
    {
        QList<xcb_window_t> panels;
        QSet<QWindow *> panelWindows;
        for (QtPanel *panel : livePanels()) {
            panelWindows.insert(panel->window());
            if (panel->window()->isVisible())
                panels << xcb_window_t(panel->window()->winId());
        }
        if (panels.isEmpty())
            return;
        QSet<xcb_window_t> ownOnTop;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (window->isVisible() && !panelWindows.contains(window)
                && window->flags().testFlag(Qt::WindowStaysOnTopHint))
                ownOnTop.insert(topLevelOf(xcb_window_t(window->winId())));

        XReply tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree.reply); // bottom to top
        const int count = xcb_query_tree_children_length(tree.reply);
        int lowest = count;
        for (int i = 0; i < count; ++i)
            if (panels.contains(children[i])) {
                lowest = i;
                break;
            }
        bool covered = false;
        QList<xcb_window_t> keptAbove; // our windows on top, above the panels, bottom to top
        for (int i = lowest + 1; i < count; ++i) {
            if (panels.contains(children[i]))
                continue;
            if (ownOnTop.contains(children[i])) {
                keptAbove << children[i];
                continue;
            }
            if (covered)
                continue;
            XReply attributes(xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr));
            covered = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && !attributes->override_redirect;
        }
        if (!covered)
            return;
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        for (xcb_window_t window : panels + keptAbove)
            xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(m_connection);
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    X11SelectionWatch *m_compositor;
    bool m_compositing = false;
    bool m_restackPending = false;
    bool m_ownSubstructureEvents = false;
};
#endif

} // namespace

// ---- painted window ----

PaintedPanelWindow::PaintedPanelWindow(PaintedPanelView *view, const QColor &background)
    : m_view(view), m_background(background)
{
    setSurfaceType(QSurface::RasterSurface);
    requestAlpha(*this);
    m_store = std::make_unique<QBackingStore>(this);
    if (view)
        connect(view, &PaintedPanelView::needsDisplay, this, &QWindow::requestUpdate);
}

PaintedPanelWindow::~PaintedPanelWindow() = default;

bool PaintedPanelWindow::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        paintNow();
        return true;
    }
    return QWindow::event(event);
}

void PaintedPanelWindow::exposeEvent(QExposeEvent *)
{
    paintNow();
}

void PaintedPanelWindow::resizeEvent(QResizeEvent *)
{
    m_store->resize(size());
}

void PaintedPanelWindow::paintNow()
{
    if (!isExposed())
        return;
    const QRect area(QPoint(), size());
    if (m_store->size() != size())
        m_store->resize(size());
    m_store->beginPaint(area);
    {
        // The device has the screen's pixels; the painter works in points.
        QPainter painter(m_store->paintDevice());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, m_background);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (m_view)
            m_view->paint(painter, QRectF(area));
    }
    m_store->endPaint();
    m_store->flush(area);
    ++m_paints;
}

// ---- panel ----

QtPanel::QtPanel(const PanelConfiguration &configuration, QObject *contentView, CompositingCheck compositing)
    : m_frame(configuration.contentRect), m_clickThrough(configuration.ignoresMouseEvents),
      m_compositing(std::move(compositing)), m_content(contentView)
{
    if (auto *item = qobject_cast<QQuickItem *>(contentView)) {
        auto window = std::make_unique<QQuickWindow>();
        window->setColor(configuration.backgroundColor);
        requestAlpha(*window);
        // The item fills the window, as the window's size changes too.
        item->setParentItem(window->contentItem());
        item->setPosition(QPointF(0, 0));
        QQuickWindow *host = window.get();
        QObject::connect(host, &QWindow::widthChanged, item, [item](int width) { item->setWidth(width); });
        QObject::connect(host, &QWindow::heightChanged, item, [item](int height) { item->setHeight(height); });
        m_window = std::move(window);
    } else {
        m_window = std::make_unique<PaintedPanelWindow>(qobject_cast<PaintedPanelView *>(contentView),
                                                        configuration.backgroundColor);
    }
    m_window->setFlags(windowFlags(configuration));
    m_window->setTitle(windowTitle());
    m_window->setScreen(screenFor(m_frame));
    m_window->setGeometry(windowGeometry(m_frame));
    if (auto *item = qobject_cast<QQuickItem *>(contentView))
        item->setSize(m_window->size());
#if QT_CONFIG(xcb)
    X11DesktopWatch::ensure();
#endif
    livePanels() << this;
}

QtPanel::~QtPanel()
{
    livePanels().removeAll(this);
    // The content goes first: an item leaves its window before the window closes.
    delete m_content.data();
    m_window.reset();
}

QString QtPanel::windowTitle()
{
    return QStringLiteral("Quellvista overlay");
}

Qt::WindowFlags QtPanel::windowFlags(const PanelConfiguration &configuration)
{
    // On X11 the window manager leaves the window alone (override-redirect): no frame, no
    // entry in task bars or switchers, on every desktop, never given the focus, stacked
    // above managed windows. On Wayland the other hints ask the compositor for the same.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
        | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint;
    if (configuration.ignoresMouseEvents)
        flags |= Qt::WindowTransparentForInput;
    return flags;
}

void QtPanel::setFrame(const QRectF &frame, bool display)
{
    m_frame = frame;
    const QRect geometry = windowGeometry(frame);
    if (QScreen *screen = screenFor(frame); screen != m_window->screen())
        m_window->setScreen(screen);
    if (m_window->geometry() != geometry)
        m_window->setGeometry(geometry);
    if (!display)
        return;
    if (auto *painted = qobject_cast<PaintedPanelWindow *>(m_window.get()))
        painted->paintNow();
    else
        m_window->requestUpdate();
}

bool QtPanel::isVisible() const
{
    return m_window->isVisible();
}

void QtPanel::orderFrontRegardless()
{
    m_orderedFront = true;
    livePanels().removeAll(this);
    livePanels() << this;
    if (m_clickThrough && WindowPlatform::nativeWayland()) {
        static bool told = false;
        if (!std::exchange(told, true))
            qtPanelsLog().error("Qt's Wayland platform cannot keep a window above the others without taking the "
                                "focus: overlays are not shown (under XWayland they are)");
        return;
    }
    if (m_clickThrough && !m_compositing()) {
        static bool told = false;
        if (!std::exchange(told, true))
            qtPanelsLog().error("No compositing manager runs: overlays stay hidden until one starts, as they would "
                           "show black");
        return;
    }
    show();
}

void QtPanel::show()
{
    // Where the compositor places windows itself, a panel that takes the mouse covers its
    // screen as a full-screen window.
    if (!m_clickThrough && WindowPlatform::nativeWayland()) {
        m_window->showFullScreen();
        return;
    }
    // Shown without activation: the window never accepts the focus.
    m_window->show();
    m_window->raise();
}

bool QtPanel::makeKey()
{
    if (!m_orderedFront || m_clickThrough || !m_window->isVisible())
        return false;
    m_window->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    m_window->requestActivate();
    return true;
}

void QtPanel::orderOut()
{
    m_orderedFront = false;
    m_window->hide();
}

void QtPanel::compositingChanged()
{
    if (!m_clickThrough || !m_orderedFront)
        return;
    if (!m_compositing())
        m_window->hide();
    else if (!m_window->isVisible())
        show();
}

// ---- service ----

bool QtPanels::isAvailable()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("xcb") || name.startsWith(QLatin1String("wayland"));
}

bool QtPanels::compositingManagerRunning()
{
#if QT_CONFIG(xcb)
    if (xcb_connection_t *connection = x11::connection()) {
        // A compositing manager owns the selection of the screen it composites. The
        // monitors of a desktop are one X screen, the first.
        static const char name[] = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
        if (!atom)
            return false;
        xcb_get_selection_owner_reply_t *owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        const bool running = atom->atom != XCB_NONE && owner && owner->owner != XCB_NONE;
        std::free(owner);
        std::free(atom);
        return running;
    }
#endif
    // Wayland compositors always composite.
    return true;
}

QString QtPanels::overlayLimitation() const
{
    return WindowPlatform::nativeWayland() ? QStringLiteral("This desktop does not let it draw over other windows")
                                           : QString();
}

QtPanels::QtPanels(CompositingCheck compositing) : m_compositing(std::move(compositing)) {}

std::unique_ptr<Panel> QtPanels::createPanel(const PanelConfiguration &configuration, const ScreenInfo &,
                                             QObject *contentView)
{
    // The simulated screens lie over the real ones, so the configured frame is where the
    // window goes.
    return std::make_unique<QtPanel>(configuration, contentView, m_compositing);
}

} // namespace qv
