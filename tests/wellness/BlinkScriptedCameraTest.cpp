#include "BlinkTestSupport.h"
#include "platform/sim/SimCameraScript.h"

#include <random>

using namespace qv;
using namespace qv::test;

namespace {

// The detector in front of the simulated camera's blinking person.
class BlinkScriptedCameraTest : public BlinkTest {
protected:
    static constexpr double kClosedAbove = 4.14;

    // Closures of the script that begin at or after from and end before to (seconds).
    static int scriptedBlinks(double from, double to)
    {
        int blinks = 0;
        bool closed = false;
        double start = 0;
        for (int ms = 0; ms <= int(to * 1000); ++ms) {
            const double s = ms / 1000.0;
            const bool now = SimCameraScript::ratioAt(s) > kClosedAbove;
            if (now && !closed)
                start = s;
            if (!now && closed && start >= from)
                ++blinks;
            closed = now;
        }
        return blinks;
    }
};

TEST_F(BlinkScriptedCameraTest, TheDescriptionsScriptIsCountedBlinkForBlinkAfterTheWarmUp)
{
    useMachine(SimulatedMac::fromDescription(R"json({"displays": [], "camera": {"script": "blinking"}})json", nullptr));
    ASSERT_TRUE(mac->playsScriptedCamera());
    BlinkDetector &d = make();
    enable();
    advance(180'000);
    // The script started with the machine, the detector with it; blinks of the 8 s
    // warm-up are not counted.
    EXPECT_EQ(d.sessionBlinkCount(), scriptedBlinks(8.1, 180.0));
    EXPECT_EQ(d.partialBlinkCandidateCount(), 0);
    // Once the warm-up has left the minute, the rate is the script's own.
    const double scripted = scriptedBlinks(120.0, 180.0);
    EXPECT_NEAR(d.blinksPerMinute(), scripted, 1.0);
    EXPECT_FALSE(d.lowBlinkAlert());
}

// Timers of a busy main loop fire late and keep their phase, so a late frame is followed
// by an early one, which the frame throttle drops. Every closure must still be seen by
// enough analysed frames to be confirmed.
TEST_F(BlinkScriptedCameraTest, EveryScriptedBlinkIsCountedWhenFramesComeLate)
{
    const struct {
        const char *name;
        int maxLateMs;
    } cases[] = {{"on time", 0}, {"up to 5 ms late", 5}, {"up to 10 ms late", 10}, {"up to 20 ms late", 20}};
    constexpr double kSeconds = 300;
    for (const auto &c : cases) {
        useMachine(SimulatedMac::fromDescription(R"json({"displays": []})json", nullptr));
        const qint64 start = scheduler().monotonicMs();
        landmarks().setResultFunction([start](const QImage &) {
            const double s = double(scheduler().monotonicMs() - start) / 1000.0;
            return SimFaceLandmarks::faces({SimFaceLandmarks::face(SimCameraScript::ratioAt(s))});
        });
        BlinkDetector &d = make();
        enable();
        std::minstd_rand late(11);
        qint64 elapsed = 0;
        for (qint64 k = 1; k * SimCameraScript::kFrameIntervalMs < qint64(kSeconds * 1000); ++k) {
            const qint64 due = k * SimCameraScript::kFrameIntervalMs + qint64(late() % (c.maxLateMs + 1));
            advance(due - elapsed);
            elapsed = due;
            camera().deliverFrame(SimCamera::blankFrame());
            runPending();
        }
        EXPECT_EQ(d.sessionBlinkCount(), scriptedBlinks(8.1, kSeconds - 0.1)) << c.name;
        detector.reset();
    }
}

} // namespace
