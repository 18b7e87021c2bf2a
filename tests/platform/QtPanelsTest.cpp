#include "platform/desktop/QtPanels.h"
#include "support/MissingTool.h"
#include "support/X11SelectionOwner.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>

// The real panels open real windows: under the tests' X server these are X11 windows,
// on the offscreen platform (no display) windows of that platform.

namespace qv {
namespace {

// The tests' X server has no compositing manager: the panels are told there is one.
bool composited()
{
    return true;
}

class CountingView final : public PaintedPanelView {
public:
    void paint(QPainter &painter, const QRectF &bounds) override
    {
        ++paints;
        lastBounds = bounds;
        lastPixelRatio = painter.device()->devicePixelRatioF();
        painter.fillRect(bounds, QColor(20, 40, 60, 128));
    }
    int paints = 0;
    QRectF lastBounds;
    qreal lastPixelRatio = 0;
};

// A frame on the primary screen, off its whole pixels.
QRectF frameOnScreen(qreal dx = 100, qreal dy = 60, qreal width = 320.5, qreal height = 200)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QRectF(screen.x() + dx, screen.y() + dy, width, height);
}

// Qt Quick on the offscreen platform (no OpenGL here) draws with its software renderer.
void useSoftwareQuickWithoutDisplay()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

struct Shown {
    std::unique_ptr<Panel> panel;
    CountingView *view;
    PaintedPanelWindow *window;
};

// A painted panel on the screen, painted once.
Shown showPaintedPanel(const QRectF &frame)
{
    PanelConfiguration configuration;
    configuration.contentRect = frame;
    auto *view = new CountingView;
    QtPanels panels(composited);
    auto panel = panels.createPanel(configuration, ScreenInfo{}, view);
    auto *window = qobject_cast<PaintedPanelWindow *>(static_cast<QtPanel *>(panel.get())->window());
    panel->orderFrontRegardless();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(QTest::qWaitFor([view] { return view->paints > 0; }));
    return {std::move(panel), view, window};
}

TEST(QtPanels, WindowFlagsFollowTheConfiguration)
{
    const struct {
        bool ignoresMouseEvents;
        bool transparentForInput;
    } cases[] = {{true, true}, {false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ignoresMouseEvents);
        PanelConfiguration configuration;
        configuration.contentRect = frameOnScreen();
        configuration.ignoresMouseEvents = c.ignoresMouseEvents;
        QtPanels panels(composited);
        auto panel = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
        QWindow *window = static_cast<QtPanel *>(panel.get())->window();
        const Qt::WindowFlags flags = window->flags();
        EXPECT_EQ(flags.testFlag(Qt::WindowTransparentForInput), c.transparentForInput);
        EXPECT_EQ(window->type(), Qt::Tool);
        for (Qt::WindowType flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint, Qt::WindowDoesNotAcceptFocus,
                                    Qt::X11BypassWindowManagerHint})
            EXPECT_TRUE(flags.testFlag(flag)) << flag;
        EXPECT_EQ(window->title(), QStringLiteral("Quellvista overlay"));
        EXPECT_EQ(window->requestedFormat().alphaBufferSize(), 8);
        EXPECT_FALSE(panel->isVisible()) << "a new panel starts off the screen";
    }
}

TEST(QtPanels, SitsAtItsFrameAndMovesWithIt)
{
    const QRectF frame = frameOnScreen();
    PanelConfiguration configuration;
    configuration.contentRect = frame;
    QtPanels panels(composited);
    auto panel = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
    QWindow *window = static_cast<QtPanel *>(panel.get())->window();
    EXPECT_EQ(panel->frame(), frame);
    EXPECT_EQ(window->geometry(), frame.toAlignedRect());
    EXPECT_EQ(window->screen(), QGuiApplication::primaryScreen());

    const QRectF moved = frameOnScreen(10, 20, 150, 90.5);
    panel->setFrame(moved, false);
    EXPECT_EQ(panel->frame(), moved);
    EXPECT_EQ(window->geometry(), moved.toAlignedRect());
}

TEST(QtPanels, ShowsWithoutTakingTheFocusAndHidesKeepingItsContent)
{
    Shown shown = showPaintedPanel(frameOnScreen());
    QPointer<QObject> content = shown.view;
    EXPECT_TRUE(shown.panel->isVisible());
    EXPECT_TRUE(shown.window->isVisible());
    if (QtPanels::isAvailable()) { // the offscreen platform activates every window it shows
        EXPECT_NE(QGuiApplication::focusWindow(), shown.window);
        EXPECT_FALSE(shown.window->isActive());
    }

    shown.panel->orderOut();
    EXPECT_FALSE(shown.panel->isVisible());
    EXPECT_FALSE(shown.window->isVisible());
    EXPECT_FALSE(content.isNull());
    EXPECT_EQ(shown.panel->contentView(), content.data());

    shown.panel->orderFrontRegardless();
    EXPECT_TRUE(shown.panel->isVisible());
}

TEST(QtPanels, DisplayRequestsBeforeTheNextFrameGiveOnePaint)
{
    Shown shown = showPaintedPanel(frameOnScreen());
    const int before = shown.view->paints;
    for (int i = 0; i < 5; ++i)
        emit shown.view->needsDisplay();
    EXPECT_EQ(shown.view->paints, before) << "requests wait for the next frame";
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.view->paints > before; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.view->paints, before + 1);
}

TEST(QtPanels, PaintsInPointsAtTheScreensPixelRatio)
{
    Shown shown = showPaintedPanel(frameOnScreen());
    const int before = shown.view->paints;
    const QRectF moved = frameOnScreen(40, 30, 260, 140);
    shown.panel->setFrame(moved, true);
    EXPECT_EQ(shown.view->paints, before + 1) << "display = true paints at once";
    EXPECT_EQ(shown.view->lastBounds, QRectF(0, 0, 260, 140));
    EXPECT_EQ(shown.view->lastPixelRatio, shown.window->devicePixelRatio());

    // Without display the picture waits for the window system.
    shown.panel->setFrame(frameOnScreen(40, 30, 200, 100), false);
    EXPECT_EQ(shown.view->paints, before + 1);
}

TEST(QtPanels, HostsAQuickItemFillingATransparentWindow)
{
    PanelConfiguration configuration;
    configuration.contentRect = frameOnScreen(0, 0, 400, 300);
    configuration.ignoresMouseEvents = false;
    useSoftwareQuickWithoutDisplay();
    auto *item = new QQuickItem;
    QtPanels panels(composited);
    auto panel = panels.createPanel(configuration, ScreenInfo{}, item);
    auto *window = qobject_cast<QQuickWindow *>(static_cast<QtPanel *>(panel.get())->window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->color(), QColor(Qt::transparent));
    EXPECT_EQ(item->parentItem(), window->contentItem());
    EXPECT_EQ(item->size(), QSizeF(400, 300));

    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    panel->setFrame(frameOnScreen(0, 0, 500, 250), true);
    EXPECT_TRUE(QTest::qWaitFor([item] { return item->size() == QSizeF(500, 250); }));
}

TEST(QtPanels, ReleasingThePanelClosesItsWindowAndDeletesItsContent)
{
    for (bool quick : {false, true}) {
        SCOPED_TRACE(quick);
        useSoftwareQuickWithoutDisplay();
        PanelConfiguration configuration;
        configuration.contentRect = frameOnScreen();
        QObject *view = quick ? static_cast<QObject *>(new QQuickItem) : new CountingView;
        QPointer<QObject> content = view;
        QtPanels panels(composited);
        auto panel = panels.createPanel(configuration, ScreenInfo{}, view);
        QWindow *window = static_cast<QtPanel *>(panel.get())->window();
        panel->orderFrontRegardless();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        panel.reset();
        EXPECT_TRUE(content.isNull());
        EXPECT_FALSE(QGuiApplication::topLevelWindows().contains(window));
    }
}

TEST(QtPanels, WithoutCompositingOnlyPanelsThatTakeTheMouseShow)
{
    // Clear parts show black then: a click-through panel would hide the screen.
    for (bool ignoresMouseEvents : {true, false}) {
        SCOPED_TRACE(ignoresMouseEvents);
        PanelConfiguration configuration;
        configuration.contentRect = frameOnScreen();
        configuration.ignoresMouseEvents = ignoresMouseEvents;
        QtPanels panels([] { return false; });
        auto panel = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
        panel->orderFrontRegardless();
        EXPECT_EQ(panel->isVisible(), !ignoresMouseEvents);
    }
}

// ---- on the X server: the compositing manager and the stacking of windows ----

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The place of a top-level window among the root's children, counted from the bottom.
int stackIndex(const QWindow &window)
{
    xcb_connection_t *connection = x11Connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    int index = -1;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        if (children[i] == xcb_window_t(window.winId()))
            index = i;
    std::free(tree);
    return index;
}

TEST(QtPanels, ClickThroughPanelsFollowTheCompositingManagerAsItComesAndGoes)
{
    if (!x11Connection())
        QV_SKIP_WITHOUT("needs an X server");
    if (QtPanels::compositingManagerRunning())
        GTEST_SKIP() << "a compositing manager runs on this X server";
    PanelConfiguration configuration;
    configuration.contentRect = frameOnScreen();
    QtPanels panels; // asks the X server
    auto clickThrough = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
    configuration.ignoresMouseEvents = false;
    auto takesTheMouse = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
    clickThrough->orderFrontRegardless();
    takesTheMouse->orderFrontRegardless();
    EXPECT_FALSE(clickThrough->isVisible()) << "it would show black";
    EXPECT_TRUE(takesTheMouse->isVisible());

    {
        test::X11SelectionOwner compositor("_NET_WM_CM_S0");
        compositor.own();
        EXPECT_TRUE(QTest::qWaitFor([&] { return clickThrough->isVisible(); })) << "the compositor started";
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !clickThrough->isVisible(); })) << "the compositor left";
    EXPECT_TRUE(takesTheMouse->isVisible());

    // A panel ordered out while none ran stays out when one comes; one ordered front
    // comes back.
    clickThrough->orderOut();
    configuration.ignoresMouseEvents = true;
    auto another = panels.createPanel(configuration, ScreenInfo{}, new CountingView);
    another->orderFrontRegardless();
    test::X11SelectionOwner compositor("_NET_WM_CM_S0");
    compositor.own();
    EXPECT_TRUE(QTest::qWaitFor([&] { return another->isVisible(); }));
    EXPECT_FALSE(clickThrough->isVisible());
}

TEST(QtPanels, StaysAboveOrdinaryWindowsOpenedOrRaisedAfterIt)
{
    if (!x11Connection())
        QV_SKIP_WITHOUT("needs an X server");
    Shown shown = showPaintedPanel(frameOnScreen());
    QWindow later;
    later.setGeometry(frameOnScreen(50, 50, 200, 150).toRect());
    later.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&later));
    EXPECT_TRUE(QTest::qWaitFor([&] { return stackIndex(*shown.window) > stackIndex(later); }))
        << "a window opened after the panel";

    // A window of ours kept on top (the pop-over) is left above it; an ordinary window
    // raised later goes below it again.
    QWindow onTop;
    onTop.setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    onTop.setGeometry(frameOnScreen(80, 80, 100, 100).toRect());
    onTop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&onTop));
    later.raise();
    EXPECT_TRUE(QTest::qWaitFor([&] { return stackIndex(*shown.window) > stackIndex(later); }))
        << "a window raised after the panel";
    EXPECT_GT(stackIndex(onTop), stackIndex(*shown.window));
}

} // namespace
} // namespace qv
