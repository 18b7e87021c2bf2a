#pragma once

#include "platform/sim/SimCamera.h"
#include "platform/sim/SimFaceLandmarks.h"
#include "support/TestEnvironment.h"
#include "wellness/BlinkDetector.h"

#include <memory>

namespace qv::test {

// A detector on virtual time. Times are given in seconds after the fixture's start.
class BlinkTest : public QvTest {
protected:
    static constexpr double kOpen = 3.0; // an open eye's ratio; closed above 4.14

    void SetUp() override
    {
        QvTest::SetUp();
        base = BlinkDetector::nowTime();
    }
    void TearDown() override
    {
        detector.reset();
        QvTest::TearDown();
    }

    BlinkDetector &make()
    {
        detector = std::make_unique<BlinkDetector>();
        return *detector;
    }
    BlinkTime t(double s) const { return base + BlinkDetector::seconds(s); }
    // Moves the virtual clock to s (whole milliseconds), running what falls due.
    BlinkTime clockTo(double s)
    {
        const qint64 target = qint64(s * 1000.0 + 0.5);
        const qint64 now = (BlinkDetector::nowTime() - base) / 1000;
        if (target > now)
            advance(target - now);
        return t(s);
    }
    // An attentive frame with a ratio at s.
    void frame(double s, double ratio)
    {
        detector->handleFaceSeen(t(s), true);
        detector->processEyeRatio(ratio, t(s));
    }
    // Recalibrates at 0 and feeds open-eye frames every 0.1 s up to and including 8.0 s,
    // which locks the baseline at kOpen.
    void warmUp()
    {
        detector->recalibrate();
        for (int i = 0; i <= 80; ++i)
            frame(i * 0.1, kOpen);
    }
    // A full blink whose closure runs from s - 0.12 to s (reopened at s).
    void blinkAt(double s)
    {
        frame(s - 0.12, 4.5);
        frame(s - 0.04, 4.5);
        frame(s, kOpen);
    }
    // Switches detection on through the simulated camera and lets the start finish.
    void enable()
    {
        detector->setUserEnabled(true);
        runPending();
    }

    SimCamera &camera() { return mac->camera(); }
    SimFaceLandmarks &landmarks() { return mac->faceLandmarks(); }

    BlinkTime base = 0;
    std::unique_ptr<BlinkDetector> detector;
};

} // namespace qv::test
