#include "platform/desktop/QtPanels.h"

#include "runtime/Logging.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <utility>

namespace qv {

namespace {

const Logger &logger()
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
}

QtPanel::~QtPanel()
{
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
    if (m_clickThrough && !m_compositing()) {
        static bool told = false;
        if (!std::exchange(told, true))
            logger().error("No compositing manager runs: overlays stay hidden, as they would show black");
        return;
    }
    // Shown without activation: the window never accepts the focus.
    m_window->show();
    m_window->raise();
}

void QtPanel::orderOut()
{
    m_window->hide();
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
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        // A compositing manager owns the selection of the screen it composites. The
        // monitors of a desktop are one X screen, the first.
        xcb_connection_t *connection = x11->connection();
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

QtPanels::QtPanels(CompositingCheck compositing) : m_compositing(std::move(compositing)) {}

std::unique_ptr<Panel> QtPanels::createPanel(const PanelConfiguration &configuration, const ScreenInfo &,
                                             QObject *contentView)
{
    // The simulated screens lie over the real ones, so the configured frame is where the
    // window goes.
    return std::make_unique<QtPanel>(configuration, contentView, m_compositing);
}

} // namespace qv
