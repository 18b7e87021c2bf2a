// The display back-end over the wlroots gamma control, against the small test compositor.

#include "platform/host/HostDisplays.h"
#include "platform/host/HostScreens.h"
#include "platform/host/wayland/WlrGamma.h"
#include "runtime/Scheduler.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/WaylandTestCompositor.h"
#include "support/wayland/WlrTestFormula.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace qv {
namespace {

class HostDisplaysWlrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositor.isRunning())
            QV_SKIP_WITHOUT("the test compositor did not start");
        compositor.addOutput(QStringLiteral("DP-1"), 256, QStringLiteral("DEL"), QStringLiteral("DELL_U2415"),
                             QStringLiteral("7MT0167B2YNL"));
        compositor.addOutput(QStringLiteral("HDMI-A-1"), 1024);
    }
    // The back-end as a wlroots session gets it, once both outputs are known.
    std::unique_ptr<HostDisplays> open(test::WaylandTestCompositor &on, int displays = 2)
    {
        HostDisplays::Session session{QStringLiteral("wayland"), on.socketPath(), QStringLiteral(":4242"),
                                      QDBusConnection(QString())};
        auto host = HostDisplays::forSession(session);
        EXPECT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == displays; }, 5'000));
        return host;
    }
    bool shows(const QString &output, const TransferFormula &formula)
    {
        return QTest::qWaitFor([&] {
            const GammaRamp ramp = compositor.shown(output).ramp;
            return ramp == gammaRampForFormula(formula, ramp.size());
        }, 5'000);
    }

    test::WaylandTestCompositor compositor;
    test::LogCapture log;
};

// Outputs of different ramp sizes each get their formula; nothing is kept on disk (the
// compositor restores); a control the compositor fails is the page's reason, logged once,
// while the other output keeps working; turning the formulas off leaves neutral ramps.
TEST_F(HostDisplaysWlrTest, EachOutputGetsItsFormulaAndAFailedOneShowsItsReason)
{
    auto host = open(compositor);
    EXPECT_EQ(host->method().methodName(), QStringLiteral("wlroots gamma control"));
    EXPECT_TRUE(host->restoreFile().path().isEmpty());
    EXPECT_TRUE(host->transferFormulasReachScreens());
    for (const DisplayId id : host->activeDisplays())
        EXPECT_TRUE(host->setTransferFormula(id, test::kWarmFormula).ok());
    EXPECT_TRUE(shows(QStringLiteral("DP-1"), test::kWarmFormula));
    EXPECT_TRUE(shows(QStringLiteral("HDMI-A-1"), test::kWarmFormula));

    QSignalSpy noteChanged(host.get(), &HostDisplays::transferFormulaNoteChanged);
    compositor.failControl(QStringLiteral("DP-1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->transferFormulaNote().contains(QLatin1String("DP-1")); }, 5'000));
    EXPECT_FALSE(noteChanged.isEmpty());
    const DisplayId dp = *host->displayForOutputName(QStringLiteral("DP-1"));
    const DisplayId hdmi = *host->displayForOutputName(QStringLiteral("HDMI-A-1"));
    TransferFormula dim = TransferFormula::identity();
    dim.redMax = dim.greenMax = dim.blueMax = 0.5f;
    for (int step = 0; step < 5; ++step)
        EXPECT_FALSE(host->setTransferFormula(dp, dim).ok());
    EXPECT_TRUE(host->setTransferFormula(hdmi, dim).ok());
    EXPECT_TRUE(shows(QStringLiteral("HDMI-A-1"), dim));
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("refuses")).size(), 1)
        << log.messages(QStringLiteral("HostDisplays")).join(u'\n').toStdString();

    host->restoreColorSyncSettings();
    EXPECT_TRUE(shows(QStringLiteral("HDMI-A-1"), TransferFormula::identity()));
    host.reset();
    EXPECT_FALSE(compositor.shown(QStringLiteral("HDMI-A-1")).held);
}

// Another program holds the outputs' gamma controls: refused, said once per output; a fade's
// frames ask again once, not at every frame. When it lets go nothing asks by itself (no
// timer); the user's next change asks again and the formula gets through, and outputs that
// come or go ask again for every refused one.
TEST_F(HostDisplaysWlrTest, ARefusedControlIsAskedAgainAtTheNextChangeAndWhenOutputsChange)
{
    VirtualScheduler clock;
    Scheduler::setCurrent(&clock);
    const auto realClock = qScopeGuard([] { Scheduler::setCurrent(nullptr); });
    auto other = open(compositor);
    auto host = open(compositor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->transferFormulaNote().contains(QLatin1String("HDMI-A-1")); }, 5'000));
    const DisplayId dp = *host->displayForOutputName(QStringLiteral("DP-1"));
    const DisplayId hdmi = *host->displayForOutputName(QStringLiteral("HDMI-A-1"));
    const int asked = compositor.controlRequests(QStringLiteral("DP-1"));
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_FALSE(host->setTransferFormula(dp, test::kWarmFormula).ok());
        clock.advance(18);
        QTest::qWait(20);
    }
    EXPECT_EQ(compositor.controlRequests(QStringLiteral("DP-1")), asked + 1) << "one request for the fade";
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("refuses the gamma control of DP-1")).size(),
              1);
    EXPECT_FALSE(host->takesTransferFormula(dp)) << "every output refused: no screen takes a formula";
    EXPECT_FALSE(host->takesTransferFormula(hdmi));

    other.reset();
    QTest::qWait(200);
    EXPECT_FALSE(compositor.shown(QStringLiteral("DP-1")).held) << "nothing asks without a change";
    clock.advance(1'000);
    EXPECT_FALSE(host->setTransferFormula(dp, test::kWarmFormula).ok()) << "asked again; the answer comes later";
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->gammaRampSize(dp) == 256; }, 5'000));
    EXPECT_TRUE(host->setTransferFormula(dp, test::kWarmFormula).ok());
    EXPECT_TRUE(shows(QStringLiteral("DP-1"), test::kWarmFormula));
    EXPECT_TRUE(host->takesTransferFormula(dp));
    EXPECT_EQ(host->gammaRampSize(hdmi), 0);

    compositor.addOutput(QStringLiteral("DP-2"), 256);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->gammaRampSize(hdmi) == 1024; }, 5'000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host->transferFormulaNote().isEmpty(); }, 5'000));
}

// The compositor gone while running: the displays go with it, the page says why, nothing
// is written and nothing crashes.
TEST_F(HostDisplaysWlrTest, ACompositorThatGoesTakesItsDisplaysAlong)
{
    auto host = open(compositor);
    const DisplayId dp = *host->displayForOutputName(QStringLiteral("DP-1"));
    EXPECT_TRUE(host->setTransferFormula(dp, test::kWarmFormula).ok());
    compositor.kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host->transferFormulasReachScreens(); }, 5'000));
    EXPECT_FALSE(host->transferFormulaNote().isEmpty());
    EXPECT_FALSE(host->setTransferFormula(dp, TransferFormula::identity()).ok());
    host->restoreColorSyncSettings();
}

// A monitor keeps its display id on another output (its head's make, model and serial):
// the callbacks hear one go and one come, and the formula for the id reaches the new output.
TEST_F(HostDisplaysWlrTest, ADisplayIdFollowsTheMonitorToAnotherOutput)
{
    auto host = open(compositor);
    const DisplayId dell = *host->displayForOutputName(QStringLiteral("DP-1"));
    QList<QPair<DisplayId, quint32>> changes;
    host->registerReconfigurationCallback([&](DisplayId id, quint32 flags) { changes << qMakePair(id, flags); });
    compositor.removeOutput(QStringLiteral("DP-1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == 1; }, 5'000));
    compositor.addOutput(QStringLiteral("DP-2"), 4096, QStringLiteral("DEL"), QStringLiteral("DELL_U2415"),
                         QStringLiteral("7MT0167B2YNL"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->gammaRampSize(dell) == 4096; }, 5'000));
    EXPECT_EQ(host->displayForOutputName(QStringLiteral("DP-2")), dell);
    // (HDMI-A-1 becomes the main display meanwhile.)
    changes.removeIf([&](const auto &change) { return change.first != dell; });
    ASSERT_GE(changes.size(), 2);
    EXPECT_TRUE(changes[0].second & kDisplayRemoveFlag);
    EXPECT_TRUE(changes[1].second & kDisplayAddFlag);
    EXPECT_TRUE(host->setTransferFormula(dell, test::kWarmFormula).ok());
    EXPECT_TRUE(shows(QStringLiteral("DP-2"), test::kWarmFormula));
}

// A compositor without the gamma control (KDE, ...) and a socket that leads nowhere: the
// page and one log line say why, and nothing is written.
TEST(HostDisplaysWlrCompositors, WithoutGammaControlThePageSaysWhy)
{
    test::WaylandTestCompositor plain({QStringLiteral("--no-gamma")});
    if (!plain.isRunning())
        QV_SKIP_WITHOUT("the test compositor did not start");
    plain.addOutput(QStringLiteral("DP-1"), 256);
    test::LogCapture log;
    HostDisplays::Session session{QStringLiteral("wayland"), plain.socketPath(), QStringLiteral(":4242"),
                                  QDBusConnection(QString())};
    auto host = HostDisplays::forSession(session);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->activeDisplays().size() == 1; }, 5'000));
    EXPECT_FALSE(host->transferFormulasReachScreens());
    EXPECT_TRUE(host->transferFormulaNote().startsWith(
        QLatin1String("This desktop does not let applications set the screens' gamma")));
    EXPECT_FALSE(host->setTransferFormula(host->mainDisplay(), test::kWarmFormula).ok());
    EXPECT_EQ(plain.shown(QStringLiteral("DP-1")).writes, 0);

    session.waylandDisplay = plain.runtimeDir() + QStringLiteral("/nothing-here");
    auto nowhere = HostDisplays::forSession(session);
    EXPECT_FALSE(nowhere->transferFormulasReachScreens());
    EXPECT_TRUE(nowhere->transferFormulaNote().contains(QLatin1String("nothing-here")));
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("Displays: ")).size(), 2);
    EXPECT_EQ(log.messages(QStringLiteral("HostDisplays")).filter(QStringLiteral("nothing-here")).size(), 1);
}

// The toolkit's screen, named otherwise (as XWayland's are), finds its display by its place;
// the display no screen shows is logged once, however often the screens are listed; an
// output the compositor adds later is a change of the screens (an XWayland whose screens
// or whose displays come late).
TEST_F(HostDisplaysWlrTest, ScreensFindTheirDisplaysByPlaceAndFollowLateOutputs)
{
    auto host = open(compositor);
    HostScreens screens(host.get());
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().topLeft(), QPoint(0, 0));
    const QList<ScreenInfo> listed = screens.screens();
    ASSERT_EQ(listed.size(), 1);
    ASSERT_TRUE(listed.first().displayNumber.has_value());
    const QString shown = host->outputName(*listed.first().displayNumber);
    const QString bare = shown == QLatin1String("DP-1") ? QStringLiteral("HDMI-A-1") : QStringLiteral("DP-1");
    screens.screens();
    const QStringList told = log.messages(QStringLiteral("Screens"));
    ASSERT_EQ(told.size(), 1) << told.join(u'\n').toStdString();
    EXPECT_TRUE(told.first().contains(bare)) << told.first().toStdString();

    QSignalSpy changed(&screens, &Screens::parametersChanged);
    compositor.addOutput(QStringLiteral("DP-2"), 256);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !changed.isEmpty(); }, 5'000));
    EXPECT_EQ(host->activeDisplays().size(), 3);
}

} // namespace
} // namespace qv
