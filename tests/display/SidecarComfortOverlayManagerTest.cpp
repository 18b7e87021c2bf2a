#include "display/DisplayIdentity.h"
#include "display/SidecarComfortOverlayManager.h"
#include "display/SidecarComfortOverlayView.h"
#include "platform/sim/SimPanels.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qv {
namespace {

class SidecarComfortOverlayManagerTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        mac->workspace().setApplicationRunning(true);
    }

    void addSidecar(DisplayId id, const QString &name)
    {
        SimDisplay ipad;
        ipad.id = id;
        ipad.name = name;
        ipad.isVirtual = true;
        ipad.pixelsWide = 2388;
        ipad.pixelsHigh = 1668;
        ipad.frame = QRectF(3648 + 1200 * (id - 7), 0, 1194, 834);
        mac->addDisplay(ipad);
        DisplayIdentityProvider::shared().identities(true);
    }

    SidecarComfortOverlayState dim{true, 0.5, 0.2, 0, 0, 0};

    QList<SimPanel *> panels() { return mac->panels().panels(); }
    int visibleCount() { return int(mac->panels().visiblePanels().size()); }
    SidecarComfortOverlayView *view(SidecarComfortOverlayManager &manager, DisplayId id)
    {
        Panel *panel = manager.panel(id);
        return panel ? qobject_cast<SidecarComfortOverlayView *>(panel->contentView()) : nullptr;
    }
    // What display tuning does after each apply.
    void handOver(SidecarComfortOverlayManager &manager, std::optional<SidecarComfortOverlayState> state)
    {
        manager.setLatestState(state);
        if (state)
            manager.apply(*state);
        else
            manager.hideAll();
    }
};

TEST_F(SidecarComfortOverlayManagerTest, EverySidecarScreenShowsTheSameState)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    addSidecar(8, QStringLiteral("Studio iPad"));
    EXPECT_EQ(SidecarComfortOverlayManager::sidecarDisplayIDs(), (QList<DisplayId>{7, 8}));

    SidecarComfortOverlayManager manager;
    EXPECT_TRUE(manager.applicationReady());
    manager.apply(dim);
    EXPECT_EQ(manager.panelStates().keys(), (QList<DisplayId>{7, 8}));
    EXPECT_EQ(manager.panelStates().value(8), dim);
    EXPECT_FALSE(manager.latestState()); // apply() leaves it alone

    // A display that left is dropped at the next apply.
    manager.setLatestState(dim); // (without one a screen change releases every panel)
    mac->removeDisplay(8);
    DisplayIdentityProvider::shared().identities(true);
    manager.apply(dim);
    EXPECT_EQ(manager.panelStates().keys(), QList<DisplayId>{7});
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "Created Sidecar overlay for display 7"), 1);

    // A disabled state releases every panel.
    SidecarComfortOverlayState off = dim;
    off.enabled = false;
    manager.apply(off);
    EXPECT_TRUE(manager.panelStates().isEmpty());
}

TEST_F(SidecarComfortOverlayManagerTest, NoSidecarScreenShowsNothing)
{
    SidecarComfortOverlayManager manager;
    manager.apply(dim);
    EXPECT_TRUE(manager.panelStates().isEmpty());
    EXPECT_TRUE(logs->messages("SidecarComfortOverlay").isEmpty());
}

TEST_F(SidecarComfortOverlayManagerTest, StateHandedOverBeforeLaunchIsShownOnceReady)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    mac->workspace().setApplicationRunning(false);
    SidecarComfortOverlayManager manager;
    EXPECT_FALSE(manager.applicationReady());
    manager.setLatestState(dim);
    EXPECT_TRUE(manager.panelStates().isEmpty());
    mac->workspace().finishLaunching();
    EXPECT_TRUE(manager.applicationReady());
    EXPECT_EQ(manager.panelStates().value(7), dim);
}

TEST(SidecarComfortOverlayView, FillAlphasAndCaps)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char *what;
        SidecarComfortOverlayState state;
        QList<double> black, warm, red; // each empty when that fill is not drawn
    } cases[] = {
        {"neutral draws nothing", {true, 1, 0, 0, 0, 0}, {}, {}, {}},
        {"disabled draws nothing", {false, 0.1, 1, 1, 1, 1}, {}, {}, {}},
        {"darkest", {true, 0.1, 0, 0, 0, 0}, {0.666}, {}, {}},
        {"no blue", {true, 1, 0, 0, 0, 1}, {0.08}, {0.2}, {0.3}},
        {"darkening capped", {true, 0.1, 0, 0, 1, 1}, {0.74}, {0.2}, {0.3}},
        {"warming capped", {true, 1, 1.4, 1, 0, 1}, {0.08}, {0.46}, {0.3}},
        {"inputs clamped", {true, -3, 9, 9, 9, 9}, {0.74}, {0.46}, {0.3}},
        {"not a number reads as the low end", {true, nan, nan, 0, 0, 0}, {0.666}, {}, {}},
        {"alpha 0.001 is not drawn", {true, 1, 0, 0.0125, 0, 0}, {}, {}, {}},
        {"just above 0.001 is", {true, 1, 0, 0.0126, 0, 0}, {}, {0.001008}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QList<veil::Wash> fills = SidecarComfortOverlayView::fills(c.state);
        QList<double> black, warm, red;
        for (const veil::Wash &f : fills) {
            if (f.color == QColor(Qt::black))
                black << f.alpha;
            else if (qRound(f.color.greenF() * 100) == 62)
                warm << f.alpha;
            else
                red << f.alpha;
        }
        ASSERT_EQ(black.size(), c.black.size());
        ASSERT_EQ(warm.size(), c.warm.size());
        ASSERT_EQ(red.size(), c.red.size());
        for (qsizetype i = 0; i < black.size(); ++i)
            EXPECT_NEAR(black[i], c.black[i], 1e-12);
        for (qsizetype i = 0; i < warm.size(); ++i)
            EXPECT_NEAR(warm[i], c.warm[i], 1e-12);
        for (qsizetype i = 0; i < red.size(); ++i)
            EXPECT_NEAR(red[i], c.red[i], 1e-12);
        if (fills.size() == 3) {
            EXPECT_EQ(fills[0].color, QColor(Qt::black)) << "darkening, warming, red";
            EXPECT_NEAR(fills[2].color.greenF(), 0.18, 1e-4);
        }
    }

    // The fills reach the pixels as one black wash of 0.666.
    SidecarComfortOverlayView view(QRectF(0, 0, 10, 10));
    view.setState({true, 0.1, 0, 0, 0, 0});
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    view.paint(painter, QRectF(0, 0, 10, 10));
    painter.end();
    EXPECT_EQ(image.pixel(5, 5), qRgba(0, 0, 0, qRound(0.666 * 255)));
}

TEST_F(SidecarComfortOverlayManagerTest, PanelsAreMadeShownAndReleased)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    SidecarComfortOverlayManager manager;
    handOver(manager, dim);
    ASSERT_EQ(panels().size(), 1);
    SimPanel *panel = panels().first();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->configuration(), PanelConfiguration{.contentRect = QRectF(3648, 0, 1194, 834)});
    EXPECT_EQ(panel->frame(), QRectF(3648, 0, 1194, 834));
    ASSERT_TRUE(view(manager, 7));
    EXPECT_EQ(view(manager, 7)->frame(), QRectF(0, 0, 1194, 834));
    EXPECT_EQ(view(manager, 7)->state(), dim);
    EXPECT_EQ(view(manager, 7)->displayRequestCount(), 1);

    // The same state again only re-frames: nothing is redrawn.
    const int frames = panel->frameChangeCount();
    manager.apply(dim);
    EXPECT_EQ(panel->frameChangeCount(), frames + 1);
    EXPECT_EQ(view(manager, 7)->displayRequestCount(), 1);
    SidecarComfortOverlayState warmer = dim;
    warmer.warmth = 0.9;
    manager.apply(warmer);
    EXPECT_EQ(view(manager, 7)->displayRequestCount(), 2);

    // Switched off and on: released, then made afresh (and logged again).
    SidecarComfortOverlayState off = dim;
    off.enabled = false;
    handOver(manager, off);
    EXPECT_TRUE(panels().isEmpty());
    handOver(manager, dim);
    EXPECT_EQ(panels().size(), 1);
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "Created Sidecar overlay for display 7"), 2);
    handOver(manager, std::nullopt);
    EXPECT_TRUE(panels().isEmpty());
}

TEST_F(SidecarComfortOverlayManagerTest, ScreenChangeReappliesTheCurrentState)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    addSidecar(8, QStringLiteral("Studio iPad"));
    SidecarComfortOverlayManager manager;
    handOver(manager, dim);
    ASSERT_EQ(visibleCount(), 2);

    // A Sidecar display leaves while its panel shows: dropped 0.35 s after the change.
    mac->removeDisplay(8);
    DisplayIdentityProvider::shared().identities(true);
    advance(349);
    EXPECT_EQ(panels().size(), 2);
    advance(1);
    EXPECT_EQ(manager.panelDisplayIDs(), QList<DisplayId>{7});
    EXPECT_EQ(panels().size(), 1);
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "Removed the Sidecar overlay of display 8: its screen is gone"), 1);

    // Tuning switched off between the change and its re-apply: the panels stay gone.
    mac->notifyScreenParametersChanged();
    handOver(manager, std::nullopt);
    advance(350);
    EXPECT_TRUE(panels().isEmpty());

    // A new state handed over in between is the one shown.
    handOver(manager, dim);
    mac->notifyScreenParametersChanged();
    SidecarComfortOverlayState warmer = dim;
    warmer.warmth = 1.0;
    manager.setLatestState(warmer);
    advance(350);
    EXPECT_EQ(view(manager, 7)->state(), warmer);

    // A change with no state hides everything at once.
    manager.setLatestState(std::nullopt);
    mac->notifyScreenParametersChanged();
    EXPECT_TRUE(panels().isEmpty());
    EXPECT_EQ(clock->pendingCount(), 0);
}

TEST_F(SidecarComfortOverlayManagerTest, ScreenWithoutAreaGetsNoPanel)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    SidecarComfortOverlayManager manager;
    handOver(manager, dim);
    ASSERT_EQ(panels().size(), 1);

    SimDisplay flat = *mac->display(7);
    mac->removeDisplay(7);
    flat.frame.setSize(QSizeF(0, 0));
    mac->addDisplay(flat);
    DisplayIdentityProvider::shared().identities(true);
    manager.apply(dim);
    manager.apply(dim);
    EXPECT_TRUE(panels().isEmpty());
    EXPECT_EQ(logs->count("SidecarComfortOverlay", "No Sidecar overlay for display 7: its screen has no area (0 x 0)"),
              1);

    flat.frame.setSize(QSizeF(1194, 834));
    mac->removeDisplay(7);
    mac->addDisplay(flat);
    DisplayIdentityProvider::shared().identities(true);
    manager.apply(dim);
    EXPECT_EQ(visibleCount(), 1);
}

TEST_F(SidecarComfortOverlayManagerTest, ScreenshotToolHidesPanelsUntilItLeaves)
{
    addSidecar(7, QStringLiteral("Sidecar Display"));
    SidecarComfortOverlayManager manager;
    handOver(manager, dim);
    const qint64 tool = mac->workspace().launch(QStringLiteral("com.apple.screenshot.launcher"), QStringLiteral("Shot"));
    EXPECT_TRUE(manager.isScreenshotSessionActive());
    EXPECT_EQ(panels().size(), 1) << "kept";
    EXPECT_EQ(visibleCount(), 0);

    // A state handed over during the session waits; the panel stays hidden.
    SidecarComfortOverlayState warmer = dim;
    warmer.warmth = 1.0;
    handOver(manager, warmer);
    EXPECT_EQ(visibleCount(), 0);

    mac->workspace().terminate(tool);
    advance(349);
    EXPECT_EQ(visibleCount(), 0);
    advance(1);
    EXPECT_FALSE(manager.isScreenshotSessionActive());
    EXPECT_EQ(visibleCount(), 1);
    EXPECT_EQ(view(manager, 7)->state(), warmer);
    EXPECT_EQ(mac->panels().createdCount(), 1) << "the hidden panel was reused";
}

} // namespace
} // namespace qv
