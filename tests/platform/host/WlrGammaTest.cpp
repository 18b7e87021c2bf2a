// The wlroots gamma control against a real Wayland compositor (the small test one).

#include "platform/host/wayland/WlrGamma.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/WaylandTestCompositor.h"
#include "support/wayland/WlrTestFormula.h"

#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

using host::GammaMethod;
using host::WaylandConnection;
using host::WlrGamma;

struct Client {
    explicit Client(const QString &socket) : connection(socket, Logger("HostDisplays")), gamma(&connection) {}

    // Runs the events until the layout fulfils the condition.
    bool waitFor(const std::function<bool(const GammaMethod::Layout &)> &condition)
    {
        QSignalSpy changes(&gamma, &GammaMethod::layoutChanged);
        while (!(gamma.isReady() && condition(gamma.layout()))) {
            if (!changes.wait(5000))
                return false;
        }
        return true;
    }
    const GammaMethod::Output *output(const QString &name) const
    {
        m_layout = gamma.layout();
        for (const auto &o : m_layout.outputs) {
            if (o.name == name)
                return &o;
        }
        return nullptr;
    }
    quint32 crtc(const QString &name) const { return output(name) ? output(name)->crtc : 0; }

    WaylandConnection connection;
    WlrGamma gamma;

private:
    mutable GammaMethod::Layout m_layout;
};

auto outputs(qsizetype count)
{
    return [count](const GammaMethod::Layout &layout) { return layout.outputs.size() == count; };
}

class WlrGammaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositor.isRunning())
            QV_SKIP_WITHOUT("the test compositor did not start");
        compositor.addOutput(QStringLiteral("DP-1"), 256, QStringLiteral("DEL"), QStringLiteral("DELL_U2415"),
                             QStringLiteral("7MT0167B2YNL"));
        compositor.addOutput(QStringLiteral("HDMI-A-1"), 1024);
    }

    test::WaylandTestCompositor compositor;
    test::LogCapture log;
};

TEST_F(WlrGammaTest, OutputsOfDifferentSizesGetTheirRampsBitExact)
{
    Client client(compositor.socketPath());
    ASSERT_TRUE(client.waitFor(outputs(2)));
    EXPECT_TRUE(client.gamma.unavailableReason().isEmpty());
    EXPECT_TRUE(client.gamma.compositorRestores());
    for (const auto &[name, size] : {std::pair{"DP-1", 256}, std::pair{"HDMI-A-1", 1024}}) {
        SCOPED_TRACE(name);
        const quint32 crtc = client.crtc(QLatin1String(name));
        ASSERT_NE(crtc, 0u);
        EXPECT_EQ(client.gamma.layout().gammaSizes.value(crtc), size);
        EXPECT_FALSE(client.gamma.currentRamp(crtc)); // the compositor keeps the original
        const GammaRamp ramp = gammaRampForFormula(test::kWarmFormula, size);
        EXPECT_TRUE(client.gamma.writeRamp(crtc, ramp).ok());
        EXPECT_EQ(compositor.shown(QLatin1String(name)).ramp, ramp);
        // A ramp of another output's size goes nowhere.
        EXPECT_EQ(client.gamma.writeRamp(crtc, gammaRampForFormula(test::kWarmFormula, 512)).status,
                  GammaMethod::Status::wrongSize);
        EXPECT_EQ(compositor.shown(QLatin1String(name)).writes, 1);
    }
    // The head's make, model and serial tell the monitor; without them, the output's name does.
    const EdidInfo dell = client.output(QStringLiteral("DP-1"))->edid;
    EXPECT_TRUE(dell.valid);
    EXPECT_EQ(dell.manufacturer, QStringLiteral("DEL"));
    EXPECT_EQ(dell.vendor, 0x10acu); // "DEL" packed as an EDID has it
    EXPECT_EQ(dell.name, QStringLiteral("DELL_U2415"));
    EXPECT_FALSE(client.output(QStringLiteral("HDMI-A-1"))->edid.valid);
    EXPECT_TRUE(log.messages(QStringLiteral("HostDisplays")).isEmpty());
}

TEST_F(WlrGammaTest, AMonitorKeepsItsIdentityOnAnotherOutputAndOutputsComeAndGo)
{
    Client client(compositor.socketPath());
    ASSERT_TRUE(client.waitFor(outputs(2)));
    const auto dp1 = *client.output(QStringLiteral("DP-1"));
    const quint32 id = monitorDisplayId(dp1.edid, dp1.name);

    compositor.addOutput(QStringLiteral("DP-2"), 4096, QStringLiteral("DEL"), QStringLiteral("DELL_U2415"),
                         QStringLiteral("7MT0167B2YNL"));
    compositor.removeOutput(QStringLiteral("DP-1"));
    ASSERT_TRUE(client.waitFor([](const auto &layout) {
        return layout.outputs.size() == 2 && layout.outputs.last().name == QLatin1String("DP-2");
    }));
    const auto dp2 = *client.output(QStringLiteral("DP-2"));
    EXPECT_EQ(monitorDisplayId(dp2.edid, dp2.name), id);
    EXPECT_EQ(client.gamma.layout().gammaSizes.value(dp2.crtc), 4096);
    EXPECT_TRUE(client.gamma.writeRamp(dp2.crtc, gammaRampForFormula(test::kWarmFormula, 4096)).ok());
    EXPECT_EQ(client.gamma.writeRamp(dp1.crtc, gammaRampForFormula(test::kWarmFormula, 256)).status,
              GammaMethod::Status::unknownCrtc);

    // An output that goes while its ramp is on the way is forgotten, and nothing is reported.
    QSignalSpy failures(&client.gamma, &GammaMethod::writeFailed);
    const quint32 hdmi = client.crtc(QStringLiteral("HDMI-A-1"));
    EXPECT_TRUE(client.gamma.writeRamp(hdmi, gammaRampForFormula(test::kWarmFormula, 1024)).ok());
    compositor.removeOutput(QStringLiteral("HDMI-A-1"));
    ASSERT_TRUE(client.waitFor(outputs(1)));
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_TRUE(log.messages(QStringLiteral("HostDisplays")).isEmpty());
}

TEST_F(WlrGammaTest, AFailedControlIsReportedOnceAndTheOtherOutputKeepsWorking)
{
    Client client(compositor.socketPath());
    ASSERT_TRUE(client.waitFor(outputs(2)));
    QSignalSpy failures(&client.gamma, &GammaMethod::writeFailed);
    const quint32 dp1 = client.crtc(QStringLiteral("DP-1"));
    const quint32 hdmi = client.crtc(QStringLiteral("HDMI-A-1"));
    compositor.failControl(QStringLiteral("DP-1"));
    ASSERT_TRUE(client.waitFor([dp1](const auto &layout) { return !layout.gammaSizes.contains(dp1); }));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].toUInt(), dp1);
    EXPECT_TRUE(failures[0][1].toString().contains(QLatin1String("DP-1")));
    EXPECT_EQ(client.gamma.writeRamp(dp1, gammaRampForFormula(test::kWarmFormula, 256)).status,
              GammaMethod::Status::refused);
    const GammaRamp ramp = gammaRampForFormula(test::kWarmFormula, 1024);
    EXPECT_TRUE(client.gamma.writeRamp(hdmi, ramp).ok());
    EXPECT_EQ(compositor.shown(QStringLiteral("HDMI-A-1")).ramp, ramp);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).size(), 1);

    // A second program finds both outputs held: the compositor fails its controls at once.
    Client second(compositor.socketPath());
    QSignalSpy secondFailures(&second.gamma, &GammaMethod::writeFailed);
    ASSERT_TRUE(second.waitFor(outputs(2)));
    // HDMI-A-1 is held; DP-1, whose control went, is free again.
    EXPECT_EQ(second.gamma.layout().gammaSizes.keys(), QList<quint32>{second.crtc(QStringLiteral("DP-1"))});
    ASSERT_EQ(secondFailures.size(), 1);
    EXPECT_EQ(secondFailures[0][0].toUInt(), second.crtc(QStringLiteral("HDMI-A-1")));
    EXPECT_EQ(compositor.shown(QStringLiteral("HDMI-A-1")).ramp, ramp);
}

TEST_F(WlrGammaTest, WhileTheCompositorReadsNothingOnlyTheLastRampWaits)
{
    Client client(compositor.socketPath());
    ASSERT_TRUE(client.waitFor(outputs(2)));
    const quint32 crtc = client.crtc(QStringLiteral("DP-1"));
    compositor.freeze(true);
    QSignalSpy drained(&client.connection, &WaylandConnection::drained);
    GammaRamp last;
    for (int i = 0; i < 20000 && !client.connection.isBackedUp(); ++i)
        ASSERT_TRUE(client.gamma.writeRamp(crtc, last = gammaRampForFormula(test::kWarmFormula, 256)).ok());
    ASSERT_TRUE(client.connection.isBackedUp());
    for (int i = 0; i < 200; ++i) {
        TransferFormula f = test::kWarmFormula;
        f.blueMax = 0.3f + 0.001f * float(i);
        ASSERT_TRUE(client.gamma.writeRamp(crtc, last = gammaRampForFormula(f, 256)).ok());
    }
    compositor.freeze(false);
    while (client.connection.isBackedUp())
        ASSERT_TRUE(drained.wait(5000));
    EXPECT_TRUE(client.connection.isConnected());
    EXPECT_EQ(compositor.shown(QStringLiteral("DP-1")).ramp, last);
}

TEST_F(WlrGammaTest, UnusableGammaSizesAreLoggedOnceAndLeaveTheOutputWithoutRamp)
{
    compositor.addOutput(QStringLiteral("DP-3"), 0);
    compositor.addOutput(QStringLiteral("DP-4"), 65536);
    Client client(compositor.socketPath());
    QSignalSpy failures(&client.gamma, &GammaMethod::writeFailed);
    ASSERT_TRUE(client.waitFor(outputs(4)));
    const auto layout = client.gamma.layout();
    EXPECT_EQ(layout.gammaSizes.size(), 2);
    for (const auto &[name, size] : {std::pair{"DP-3", "0"}, std::pair{"DP-4", "65536"}}) {
        SCOPED_TRACE(name);
        const quint32 crtc = client.crtc(QLatin1String(name));
        EXPECT_FALSE(layout.gammaSizes.contains(crtc));
        EXPECT_EQ(client.gamma.writeRamp(crtc, gammaRampForFormula(test::kWarmFormula, 256)).status,
                  GammaMethod::Status::refused);
        EXPECT_TRUE(log.containsPart(QStringLiteral("HostDisplays"), QLatin1String(size)));
        EXPECT_FALSE(compositor.shown(QLatin1String(name)).held); // left for other programs
    }
    EXPECT_EQ(failures.size(), 2);
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).size(), 2);
}

TEST_F(WlrGammaTest, AClosedSocketOrNoCompositorIsOneLogLine)
{
    Client client(compositor.socketPath());
    ASSERT_TRUE(client.waitFor(outputs(2)));
    QSignalSpy changes(&client.gamma, &GammaMethod::layoutChanged);
    compositor.kill();
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_TRUE(client.gamma.layout().outputs.isEmpty());
    EXPECT_FALSE(client.gamma.unavailableReason().isEmpty());
    EXPECT_EQ(client.gamma.writeRamp(1, gammaRampForFormula(test::kWarmFormula, 256)).status,
              GammaMethod::Status::gone);
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).size(), 1);

    log.clear();
    Client nowhere(compositor.runtimeDir() + QStringLiteral("/wayland-nowhere"));
    EXPECT_FALSE(nowhere.connection.isConnected());
    EXPECT_TRUE(nowhere.gamma.unavailableReason().contains(QLatin1String("wayland-nowhere")));
    EXPECT_TRUE(nowhere.gamma.layout().outputs.isEmpty());
    EXPECT_EQ(nowhere.gamma.writeRamp(1, gammaRampForFormula(test::kWarmFormula, 256)).status,
              GammaMethod::Status::gone);
    // Said once, by the displays with their reason.
    EXPECT_TRUE(log.messages(QStringLiteral("HostDisplays")).isEmpty());
}

TEST_F(WlrGammaTest, AKilledClientLeavesEveryOutputAtItsOriginal)
{
    const auto original = compositor.shown(QStringLiteral("DP-1")).ramp;
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), compositor.socketPath());
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral(QV_WLR_GAMMA_CLIENT), {});
    while (!client.readAll().contains("written 2")) // a line per layout
        ASSERT_TRUE(client.waitForReadyRead(5000));
    EXPECT_EQ(compositor.shown(QStringLiteral("DP-1")).ramp, gammaRampForFormula(test::kWarmFormula, 256));
    EXPECT_TRUE(compositor.shown(QStringLiteral("HDMI-A-1")).held);

    client.kill();
    client.waitForFinished(5000);
    for (const char *name : {"DP-1", "HDMI-A-1"}) {
        SCOPED_TRACE(name);
        const auto shown = compositor.shown(QLatin1String(name));
        EXPECT_FALSE(shown.held);
        EXPECT_EQ(shown.writes, 1);
        EXPECT_EQ(shown.ramp.size(), name == std::string("DP-1") ? 256 : 1024);
    }
    EXPECT_EQ(compositor.shown(QStringLiteral("DP-1")).ramp, original);
}

TEST(WlrGammaCompositors, WithoutGammaControlOrOutputNamesTheOutputsAreStillKnown)
{
    const struct {
        const char *what;
        QStringList options;
        bool gamma;
    } cases[] = {
        {"no gamma control", {QStringLiteral("--no-gamma")}, false},
        {"wl_output 3, without names", {QStringLiteral("--output-version"), QStringLiteral("3")}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::WaylandTestCompositor compositor(c.options);
        if (!compositor.isRunning())
            QV_SKIP_WITHOUT("the test compositor did not start");
        compositor.addOutput(QStringLiteral("DP-1"), 256, QStringLiteral("DEL"), QStringLiteral("DELL_U2415"),
                             QStringLiteral("7MT0167B2YNL"));
        test::LogCapture log;
        Client client(compositor.socketPath());
        ASSERT_TRUE(client.waitFor(outputs(1)));
        // The name comes from the head whose make and model the output's geometry has.
        const auto *output = client.output(QStringLiteral("DP-1"));
        ASSERT_TRUE(output);
        EXPECT_TRUE(output->edid.valid);
        EXPECT_EQ(client.gamma.layout().gammaSizes.value(output->crtc), c.gamma ? 256 : 0);
        EXPECT_EQ(client.gamma.unavailableReason().isEmpty(), c.gamma);
        EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).size(), c.gamma ? 0 : 1);
    }
}

} // namespace
} // namespace qv
