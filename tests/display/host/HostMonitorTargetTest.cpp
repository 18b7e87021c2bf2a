// Per-monitor tuning on a real multi-output X server: a targeted monitor switched off and
// on stays the target with its own formula, and monitors that swap ports take their own
// values with them.

#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "display/ProtectionSettings.h"
#include "display/host/HostDisplayTest.h"
#include "platform/host/GammaRamp.h"
#include "support/DummyXorg.h"
#include "support/MissingTool.h"
#include "support/RandrClient.h"
#include "support/RealEdids.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

using namespace qv;
using namespace qv::test;

namespace {

class HostMonitorTargetTest : public HostDisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        if (!server.isRunning())
            QV_SKIP_WITHOUT(qPrintable(server.failure()));
        ASSERT_TRUE(server.enable("DUMMY1", "1920x1080", QPoint(2048, 0)));
        ASSERT_EQ(server.xrandr({}), 0); // probed, as a desktop does at login
        client = std::make_unique<RandrClient>(server.display());
        ASSERT_TRUE(client->publishEdid("DUMMY0", kDesktopMonitor));
        ASSERT_TRUE(client->publishEdid("DUMMY1", kOlderMonitor));
        // The server's own ramp, the same on both, under every formula.
        original = client->ramp("DUMMY0").value_or(GammaRamp{});
        ASSERT_EQ(client->ramp("DUMMY1"), original);
        openDisplays(server.display());
        runPending();
        ASSERT_EQ(randr->activeDisplays().size(), 2);
    }
    // Lets the server's events arrive until `count` displays are active, then lets the
    // reconfiguration re-apply run.
    bool settle(int count)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && randr->activeDisplays().size() != count)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        deliverQueued();
        advance(ScreenDetector::kDebounceMs);
        runPending();
        return randr->activeDisplays().size() == count;
    }
    // The ramp the display's own value set gives over the server's own.
    GammaRamp expectedRamp(DisplayId id, const TuningValues &values)
    {
        DisplayTuning &tuning = DisplayTuning::shared();
        return gammaRampOverOriginal(tuningFormula::formula(values, 0, false, tuning.isMiniLEDDisplay(id)), original);
    }
    std::optional<GammaRamp> rampOf(const QString &output) { return client->ramp(output); }

    DummyXorg server;
    std::unique_ptr<RandrClient> client;
    GammaRamp original;
};

TEST_F(HostMonitorTargetTest, ATargetedMonitorSwitchedOffAndOnKeepsItsOwnFormula)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setEnabled(true);
    tuning.setWarmth(0.3);
    const DisplayId target = *randr->displayForOutputName("DUMMY1");
    tuning.selectTarget(QString::number(target));
    tuning.setBrightness(0.5);
    const TuningValues own = tuning.displayValues().value(target);
    ASSERT_EQ(rampOf("DUMMY1"), expectedRamp(target, own));

    ASSERT_TRUE(server.disable("DUMMY1"));
    ASSERT_TRUE(settle(1));
    ASSERT_TRUE(server.enable("DUMMY1", "1920x1080", QPoint(2048, 0)));
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(randr->displayForOutputName("DUMMY1"), target);
    EXPECT_EQ(tuning.selectedDisplayID(), std::optional<DisplayId>(target));
    EXPECT_EQ(rampOf("DUMMY1"), expectedRamp(target, own));
    const DisplayId other = *randr->displayForOutputName("DUMMY0");
    EXPECT_EQ(rampOf("DUMMY0"), expectedRamp(other, tuning.globalValues()));
}

TEST_F(HostMonitorTargetTest, MonitorsThatSwapPortsTakeTheirValuesAlong)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setEnabled(true);
    const DisplayId dell = *randr->displayForOutputName("DUMMY0");
    const DisplayId aoc = *randr->displayForOutputName("DUMMY1");
    tuning.selectTarget(QString::number(dell));
    tuning.setBrightness(0.4);
    tuning.selectTarget(QString::number(aoc));
    tuning.setWarmth(0.9);

    // Both unplugged, each plugged into the other's port.
    ASSERT_TRUE(server.disable("DUMMY1"));
    ASSERT_TRUE(client->publishEdid("DUMMY0", kOlderMonitor));
    ASSERT_TRUE(client->publishEdid("DUMMY1", kDesktopMonitor));
    ASSERT_TRUE(server.enable("DUMMY1", "1920x1080", QPoint(2048, 0)));
    ASSERT_TRUE(server.disable("DUMMY0"));
    ASSERT_TRUE(settle(1));
    ASSERT_TRUE(server.enable("DUMMY0", "2048x1536", QPoint(0, 0)));
    ASSERT_TRUE(settle(2));

    EXPECT_EQ(randr->displayForOutputName("DUMMY0"), aoc);
    EXPECT_EQ(randr->displayForOutputName("DUMMY1"), dell);
    EXPECT_EQ(rampOf("DUMMY1"), expectedRamp(dell, tuning.displayValues().value(dell)));
    EXPECT_EQ(rampOf("DUMMY0"), expectedRamp(aoc, tuning.displayValues().value(aoc)));
    EXPECT_EQ(tuning.selectedDisplayID(), std::optional<DisplayId>(aoc));
}

// Neutral while a display is targeted: tuning off everywhere and PWM-safe dimming on at
// full brightness, which the re-apply after a reconfiguration turns into the neutral
// formula on the target; that is the monitor's own ramp, not a linear one.
TEST_F(HostMonitorTargetTest, TheNeutralFormulaLeavesATargetedMonitorItsOwnRamp)
{
    const GammaRamp own = startingRamp(2, 256);
    ASSERT_TRUE(client->setRamp("DUMMY1", own));
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setEnabled(true);
    const DisplayId target = *randr->displayForOutputName("DUMMY1");
    tuning.selectTarget(QString::number(target));
    tuning.setWarmth(0.8);
    ASSERT_NE(rampOf("DUMMY1"), own);

    // Neutral's values, as the preset sets them.
    tuning.setWarmth(0);
    defaults->setBool(protection::kPwmAvoidanceEnabled, true);
    defaults->setDouble(protection::kPwmThreshold, 1.0);
    tuning.switchOffAllDisplays();
    ASSERT_EQ(rampOf("DUMMY1"), own);
    detector->reapplyAllSettings();
    runPending();
    EXPECT_EQ(rampOf("DUMMY1"), own);
}

} // namespace
