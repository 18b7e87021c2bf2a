#include "platform/desktop/QtPanels.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

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

} // namespace
} // namespace qv
