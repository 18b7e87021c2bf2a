// Click-through panels as layer surfaces against a real Wayland compositor (the small test
// one, which serves the layer shell and shared-memory buffers).

#include "platform/host/wayland/LayerShellPanels.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "platform/sim/SimPanels.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/WaylandTestCompositor.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

using host::LayerOutput;
using host::LayerShellPanel;
using host::LayerShellPanels;
using host::WaylandConnection;

// A view of one colour.
class PlainView final : public PaintedPanelView {
public:
    QColor colour = QColor(200, 100, 0, 128);
    void paint(QPainter &painter, const QRectF &bounds) override { painter.fillRect(bounds, colour); }
};

// Premultiplied ARGB pixels a rounding apart.
bool near(quint32 a, quint32 b)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 1)
            return false;
    return true;
}

struct ShownLayer {
    QString output;
    int width = 0, height = 0, layer = 0, anchor = 0, zone = 0, keyboard = 0;
    bool inputEmpty = false, shown = false;
    int buffers = 0;
    quint32 pixel = 0;
};

class LayerShellPanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositor.isRunning())
            QV_SKIP_WITHOUT("the test compositor did not start");
        compositor.addOutput(QStringLiteral("DP-1"), 256);
        compositor.addOutput(QStringLiteral("HDMI-A-1"), 256);
        connection = std::make_unique<WaylandConnection>(compositor.socketPath(), Logger("Wayland"));
        ASSERT_TRUE(connection->roundtrip());
        ASSERT_TRUE(LayerShellPanels::isOffered(*connection));
        panels = std::make_unique<LayerShellPanels>(*connection, &windows,
                                                    [](const ScreenInfo &screen) { return screen.localizedName; });
    }

    std::unique_ptr<Panel> veil(const QString &screen, PlainView **view = nullptr, QPointF at = {})
    {
        PanelConfiguration configuration;
        configuration.contentRect = QRectF(at, QSizeF(1920, 1080));
        auto *content = new PlainView;
        if (view)
            *view = content;
        return panels->createPanel(configuration, ScreenInfo{std::nullopt, screen, configuration.contentRect, {}, 1.0},
                                   content);
    }

    QList<ShownLayer> layers()
    {
        QList<ShownLayer> list;
        const QStringList words = compositor.command(QStringLiteral("layers")).split(QLatin1Char(' '));
        for (const QString &word : words.mid(2)) {
            const QStringList f = word.split(QLatin1Char(','));
            if (f.size() != 11)
                continue;
            list << ShownLayer{f[0],          f[1].toInt(),         f[2].toInt(),      f[3].toInt(),
                               f[4].toInt(),  f[5].toInt(),         f[6].toInt(),      f[7] == QLatin1String("empty"),
                               f[8] == QLatin1String("1"), f[9].toInt(), f[10].toUInt(nullptr, 16)};
        }
        return list;
    }

    // Runs the client's events until the compositor shows what the condition wants.
    bool waitFor(const std::function<bool(const QList<ShownLayer> &)> &condition)
    {
        QDeadlineTimer deadline(5000);
        while (!condition(layers())) {
            if (deadline.hasExpired())
                return false;
            connection->flush();
            QSignalSpy events(connection.get(), &WaylandConnection::dispatched);
            events.wait(50);
        }
        return true;
    }
    static auto shownOn(QStringList outputs)
    {
        return [outputs](const QList<ShownLayer> &list) {
            QStringList shown;
            for (const ShownLayer &l : list)
                if (l.shown)
                    shown << l.output;
            shown.sort();
            return shown == outputs && list.size() == outputs.size();
        };
    }

    test::WaylandTestCompositor compositor;
    test::LogCapture log;
    std::unique_ptr<WaylandConnection> connection;
    SimPanels windows;
    std::unique_ptr<LayerShellPanels> panels;
};

TEST_F(LayerShellPanelsTest, VeilCoversItsOutputOnTheOverlayLayerWithoutTakingInputAndGoesWithOrderOut)
{
    PlainView *view = nullptr;
    auto panel = veil(QStringLiteral("HDMI-A-1"), &view);
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->isVisible());
    panel->orderFrontRegardless();
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("HDMI-A-1")})));
    const ShownLayer shown = layers().value(0);
    EXPECT_EQ(shown.width, 1920);
    EXPECT_EQ(shown.height, 1080);
    EXPECT_EQ(shown.layer, 3);   // overlay
    EXPECT_EQ(shown.anchor, 15); // all four edges
    EXPECT_EQ(shown.zone, -1);
    EXPECT_EQ(shown.keyboard, 0);
    EXPECT_TRUE(shown.inputEmpty);
    EXPECT_TRUE(near(shown.pixel, qPremultiply(QColor(200, 100, 0, 128).rgba()))) << std::hex << shown.pixel;

    // A change is drawn again; ordered out, the surface goes; the panel's end takes the rest.
    view->colour = QColor(0, 0, 255, 255);
    emit view->needsDisplay();
    ASSERT_TRUE(waitFor([](const QList<ShownLayer> &l) { return l.size() == 1 && l[0].pixel == 0xff0000ffu; }));
    panel->orderOut();
    EXPECT_FALSE(panel->isVisible());
    ASSERT_TRUE(waitFor(shownOn({})));
    panel->orderFrontRegardless();
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("HDMI-A-1")})));
    panel.reset();
    ASSERT_TRUE(waitFor(shownOn({})));
}

TEST_F(LayerShellPanelsTest, NoMoreThanTwoBuffersAndNoneDrawnWhileTheCompositorHoldsThem)
{
    PlainView *view = nullptr;
    auto panel = veil(QStringLiteral("DP-1"), &view);
    auto *layer = dynamic_cast<LayerShellPanel *>(panel.get());
    ASSERT_TRUE(layer);
    compositor.command(QStringLiteral("hold on"));
    panel->orderFrontRegardless();
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("DP-1")})));
    for (int change = 0; change < 5; ++change) {
        view->colour = QColor(change * 40, 0, 0, 255);
        emit view->needsDisplay();
        QCoreApplication::processEvents();
        ASSERT_TRUE(connection->roundtrip());
    }
    EXPECT_EQ(layer->bufferCount(), 2);
    EXPECT_EQ(layers().value(0).buffers, 2);
    EXPECT_EQ(layer->drawCount(), 2); // both buffers are held: the last change waits
    compositor.command(QStringLiteral("hold off"));
    ASSERT_TRUE(waitFor([](const QList<ShownLayer> &l) { return l.value(0).pixel == 0xffa00000u; }));
    EXPECT_EQ(layer->drawCount(), 3);
    EXPECT_LE(layer->bufferCount(), 2);
}

TEST_F(LayerShellPanelsTest, ClosedSurfacesAndOutputsThatGoLeaveNothingAndComeBackWithTheOutput)
{
    // The test compositor lays every output at 0,0: HDMI's screen lies beside it, so that only
    // its name finds its output.
    auto hdmi = veil(QStringLiteral("HDMI-A-1"), nullptr, QPointF(1920, 0));
    auto dp = veil(QStringLiteral("DP-1"));
    hdmi->orderFrontRegardless();
    dp->orderFrontRegardless();
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("DP-1"), QStringLiteral("HDMI-A-1")})));

    // Closed by the compositor: gone, said once, not asked for again by the next changes,
    // back when the overlay is turned off and on.
    compositor.command(QStringLiteral("close-layers DP-1"));
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("HDMI-A-1")})));
    connection->roundtrip();
    EXPECT_FALSE(dp->isVisible());
    dp->orderFrontRegardless();
    connection->roundtrip();
    EXPECT_EQ(layers().size(), 1);
    dp->orderOut();
    EXPECT_TRUE(log.containsPart(QStringLiteral("Panels"), QStringLiteral("closed an overlay's layer surface")));
    dp->orderFrontRegardless();
    ASSERT_TRUE(waitFor([](const QList<ShownLayer> &l) { return l.size() == 2; }));

    // The output goes: its panel shows nothing until an output of its name comes.
    compositor.removeOutput(QStringLiteral("HDMI-A-1"));
    ASSERT_TRUE(waitFor(shownOn({QStringLiteral("DP-1")})));
    connection->roundtrip();
    EXPECT_FALSE(hdmi->isVisible());
    compositor.addOutput(QStringLiteral("HDMI-A-1"), 256);
    ASSERT_TRUE(waitFor([](const QList<ShownLayer> &l) {
        return l.size() == 2 && std::all_of(l.begin(), l.end(), [](const ShownLayer &s) { return s.shown; });
    }));
    EXPECT_TRUE(hdmi->isVisible());

    // A screen of no output is said once and shows nothing; the connection's end takes
    // every surface without a fault.
    auto none = veil(QStringLiteral("eDP-9"), nullptr, QPointF(5000, 0));
    none->orderFrontRegardless();
    EXPECT_FALSE(none->isVisible());
    EXPECT_TRUE(log.containsPart(QStringLiteral("Panels"), QStringLiteral("No output of the compositor is the screen eDP-9")));
    compositor.kill();
    QSignalSpy closed(connection.get(), &WaylandConnection::closed);
    ASSERT_TRUE(closed.wait(5000));
    EXPECT_FALSE(hdmi->isVisible());
    EXPECT_FALSE(dp->isVisible());
}

TEST(LayerOutputMatch, ScreensFindTheirOutputByNameElseByPlace)
{
    const QList<LayerOutput> outputs = {{1, QStringLiteral("DP-1"), QRect(0, 0, 1920, 1080)},
                                        {2, QStringLiteral("HDMI-A-1"), QRect(1920, 0, 1280, 1024)},
                                        {3, QString(), QRect(3200, 0, 800, 600)}};
    EXPECT_EQ(host::outputForScreen(QStringLiteral("HDMI-A-1"), QRectF(0, 0, 1920, 1080), outputs), 2u);
    EXPECT_EQ(host::outputForScreen(QStringLiteral("XWAYLAND0"), QRectF(1920, 0, 1280, 1024), outputs), 2u);
    EXPECT_EQ(host::outputForScreen(QString(), QRectF(3200, 0, 800, 600), outputs), 3u);
    EXPECT_FALSE(host::outputForScreen(QStringLiteral("eDP-1"), QRectF(5000, 0, 800, 600), outputs));
}

} // namespace
} // namespace qv
