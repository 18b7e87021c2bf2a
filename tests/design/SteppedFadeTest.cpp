#include "design/DesignItems.h"
#include "design/FrameTicker.h"
#include "design/SteppedFade.h"
#include "support/TestEnvironment.h"

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

using namespace qv;

namespace {

// Where the ticker wakes for a delay asked at nowMs, the tick having taken driftMs.
qint64 tickerWakes(qint64 nowMs, qint64 delayMs, qint64 driftMs)
{
    const qint64 at = nowMs + driftMs;
    const qint64 delay = std::clamp<qint64>(delayMs, 1, FrameTicker::kMaxSleepMs);
    return (at + delay + FrameTicker::kGridMs - 1) / FrameTicker::kGridMs * FrameTicker::kGridMs;
}

TEST(SteppedFade, WakesOnTheSharedStepsEvenAfterASlowTick)
{
    constexpr qint64 step = SteppedFadeItem::kStepMs;
    struct Case {
        qint64 now, delay, wakes;
    };
    for (const Case &c : {Case{0, 1, 48}, Case{48, 1, 96}, Case{50, 42, 96}, Case{47, 0, 96}, Case{1000, 300, 1344},
                          Case{5, 5000, 1008}}) {
        SCOPED_TRACE(testing::Message() << c.now << " + " << c.delay);
        for (qint64 drift : {0, 1, 3, 7})
            EXPECT_EQ(tickerWakes(c.now, SteppedFadeItem::onStepGrid(c.now, c.delay), drift), c.wakes);
        EXPECT_EQ(c.wakes % step, 0);
    }
}

class SteppedFadeTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
};

// The countdown's ease: 0.35 to 1 over 0.3 s, ease-out cubic, changed only on the shared
// steps and with the breathing mark's wake-ups, which fall on them too.
TEST_F(SteppedFadeTest, EasesOnTheSharedStepsAndHoldsItsEndUntilStarted)
{
    QQuickWindow window;
    window.resize(200, 200);
    auto *fade = new SteppedFadeItem(window.contentItem());
    fade->setProperty("from", 0.35);
    fade->setProperty("duration", 300);
    auto *mark = new BreathingMarkItem(window.contentItem());
    mark->setSize(170);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    advance(2000); // mid-breath, where the mark moves fastest
    window.grabWindow();
    EXPECT_EQ(fade->value(), 1);

    advance(17); // off the steps, as a new second of the countdown comes
    const qint64 started = clock->monotonicMs();
    fade->start();
    EXPECT_DOUBLE_EQ(fade->value(), 0.35);
    QList<qint64> changes;
    QObject::connect(fade, &SteppedFadeItem::valueChanged, [&] {
        const qint64 now = clock->monotonicMs();
        changes << now;
        EXPECT_EQ(now % SteppedFadeItem::kStepMs, 0);
        const qreal t = std::min<qreal>(1, qreal(now - started) / 300);
        const qreal curve = 0.35 + 0.65 * SteppedFadeItem::eased(SteppedFadeItem::OutCubic, t);
        // On the curve, or at the end once the curve is within a couple of levels of it.
        if (fade->value() == 1)
            EXPECT_LE(1 - curve, SteppedFadeItem::kEndLevels / 255.0);
        else
            EXPECT_NEAR(fade->value(), curve, 1e-9);
    });
    QList<qint64> offTheSteps;
    int markPaints = 0;
    QObject::connect(mark, &BreathingMarkItem::painted, [&] {
        ++markPaints;
        if (clock->monotonicMs() % SteppedFadeItem::kStepMs != 0)
            offTheSteps << clock->monotonicMs();
    });
    for (int ms = 0; ms < 2000; ++ms) {
        advance(1);
        window.grabWindow(); // draws what was asked for at this moment
    }
    EXPECT_EQ(fade->value(), 1);
    EXPECT_GE(changes.size(), 5);
    EXPECT_LE(changes.size(), 300 / SteppedFadeItem::kStepMs + 1);
    EXPECT_GT(markPaints, 10);
    EXPECT_TRUE(offTheSteps.isEmpty()) << offTheSteps.size() << " of " << markPaints << ", first at "
                                       << offTheSteps.value(0);
}

} // namespace
