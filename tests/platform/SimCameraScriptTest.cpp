#include "platform/sim/SimCamera.h"
#include "platform/sim/SimCameraScript.h"
#include "platform/sim/SimFaceLandmarks.h"
#include "platform/sim/SimulatedMac.h"
#include "support/TestEnvironment.h"

using namespace qv;

namespace {

class SimCameraScriptTest : public test::QvTest {};

TEST_F(SimCameraScriptTest, ADescriptionThatAsksForTheBlinkerFeedsRunningSessionsOnly)
{
    auto machine = SimulatedMac::fromDescription(R"json({"displays": [], "camera": {"script": "blinking"}})json", nullptr);
    ASSERT_TRUE(machine);
    int frames = 0;
    auto session = machine->camera().makeSession();
    ASSERT_TRUE(session->addInput(*machine->camera().defaultDevice(), nullptr));
    ASSERT_TRUE(session->addOutput([&](const QImage &) { ++frames; }));
    advance(1000);
    EXPECT_EQ(frames, 0);
    session->startRunning();
    advance(SimCameraScript::kFrameIntervalMs * 10);
    EXPECT_EQ(frames, 10);
    const FaceDetectionResult result = machine->faceLandmarks().detect(SimCamera::blankFrame());
    EXPECT_EQ(result.observations.size(), 1);
    EXPECT_TRUE(machine->playsScriptedCamera());
    EXPECT_FALSE(SimulatedMac::fromDescription(R"json({"displays": []})json", nullptr)->playsScriptedCamera());
}

TEST_F(SimCameraScriptTest, TheScriptedFaceBlinksAboutSeventeenTimesAMinute)
{
    int closures = 0;
    bool closed = false;
    for (int ms = 0; ms < 60'000; ms += 10) {
        const bool now = SimCameraScript::ratioAt(ms / 1000.0) > 4.14;
        closures += now && !closed;
        closed = now;
    }
    EXPECT_GE(closures, 15);
    EXPECT_LE(closures, 20);
    EXPECT_NEAR(SimCameraScript::ratioAt(1.0), 3.0, 0.06);
}

} // namespace
