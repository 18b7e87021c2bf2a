#include "support/TestEnvironment.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"

#include <cmath>
#include <numbers>

using namespace qv;
using namespace qv::test;

namespace {
class MenuBarBlinkerTest : public QvTest {
protected:
    void ticks(int n) { advance(n * MenuBarBlinker::kTickMs); }
};
} // namespace

TEST_F(MenuBarBlinkerTest, OpacityFollowsARaisedCosineWithATwoSecondPeriod)
{
    MenuBarBlinker blinker;
    EXPECT_EQ(blinker.opacity(), 1.0);
    blinker.setActive(true);
    blinker.startBlink();
    EXPECT_EQ(blinker.opacity(), 1.0); // unchanged until the first tick

    ticks(1);
    const double first = 0.45 + 0.55 * (std::sin(0.05 * std::numbers::pi - std::numbers::pi / 2) + 1) / 2;
    EXPECT_NEAR(blinker.opacity(), first, 1e-12);
    EXPECT_GT(blinker.opacity(), 0.45);
    EXPECT_LT(blinker.opacity(), 0.46);

    struct Point {
        int ticks;
        double opacity;
    };
    // phase 0.5 s: 0.725; 1 s: 1.0; 1.5 s: 0.725; 2 s: 0.45 again.
    const QList<Point> curve{{10, 0.725}, {20, 1.0}, {30, 0.725}, {40, 0.45}, {60, 1.0}};
    int done = 1;
    for (const Point &p : curve) {
        ticks(p.ticks - done);
        done = p.ticks;
        EXPECT_NEAR(blinker.phase(), p.ticks * 0.05, 1e-9) << p.ticks;
        EXPECT_NEAR(blinker.opacity(), p.opacity, 1e-9) << p.ticks;
    }
}

TEST_F(MenuBarBlinkerTest, StartAndStop)
{
    MenuBarBlinker blinker;
    // Stopping with no pulse only shows the eye fully.
    blinker.stopBlink();
    EXPECT_EQ(blinker.opacity(), 1.0);
    EXPECT_FALSE(blinker.isPulsing());

    blinker.setActive(true);
    blinker.startBlink();
    ticks(10);
    EXPECT_LT(blinker.opacity(), 0.8);
    blinker.stopBlink();
    EXPECT_EQ(blinker.opacity(), 1.0);
    EXPECT_FALSE(blinker.isPulsing());
    ticks(10);
    EXPECT_EQ(blinker.opacity(), 1.0);

    // A second start restarts at phase 0.
    blinker.startBlink();
    ticks(7);
    blinker.startBlink();
    EXPECT_EQ(blinker.phase(), 0.0);
    ticks(1);
    EXPECT_NEAR(blinker.phase(), 0.05, 1e-12);

    // While inactive a running timer changes nothing.
    blinker.setActive(false);
    const double held = blinker.opacity();
    ticks(20);
    EXPECT_EQ(blinker.opacity(), held);
    EXPECT_NEAR(blinker.phase(), 0.05, 1e-12);
}

TEST_F(MenuBarBlinkerTest, PulsesInTheLastMinuteBeforeABreakWhileRemindersAreOn)
{
    struct Case {
        bool enabled, onBreak;
        int seconds;
        bool blink;
    };
    const QList<Case> cases{{true, false, 60, true}, {true, false, 1, true}, {true, false, 61, false},
                            {true, false, 0, false}, {true, true, 30, false}, {false, false, 30, false}};
    for (const Case &c : cases)
        EXPECT_EQ(MenuBarBlinker::shouldBlink(c.enabled, c.onBreak, c.seconds), c.blink)
            << c.enabled << c.onBreak << c.seconds;

    BreakReminder reminder;
    reminder.setReminderMode(ReminderMode::menuBarOnly);
    MenuBarBlinker blinker;
    blinker.follow(&reminder);
    EXPECT_FALSE(blinker.active());

    reminder.setIsEnabled(true);
    advance(1139'000);
    EXPECT_FALSE(blinker.active());
    EXPECT_EQ(blinker.opacity(), 1.0);
    advance(1000); // 60 s left
    EXPECT_TRUE(blinker.active());
    EXPECT_TRUE(blinker.isPulsing());
    advance(30'000);
    EXPECT_LT(blinker.opacity(), 1.0);

    advance(30'000); // the break begins
    EXPECT_TRUE(reminder.isOnBreak());
    EXPECT_FALSE(blinker.active());
    EXPECT_FALSE(blinker.isPulsing());
    EXPECT_EQ(blinker.opacity(), 1.0);

    // Snoozing out of the last minute stops the pulse as well.
    advance(20'000 + 1140'000);
    EXPECT_TRUE(blinker.active());
    reminder.snooze();
    EXPECT_FALSE(blinker.active());
    EXPECT_EQ(blinker.opacity(), 1.0);
}
