#include "runtime/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using qv::VirtualScheduler;

TEST(VirtualScheduler, RunsOneShotsInDueOrderAndTiesInScheduleOrder)
{
    VirtualScheduler clock;
    QObject owner;
    QStringList order;
    clock.after(30, &owner, [&] { order << "c"; });
    clock.after(10, &owner, [&] { order << "a"; });
    clock.after(10, &owner, [&] { order << "b"; });
    clock.advance(9);
    EXPECT_TRUE(order.isEmpty());
    clock.advance(1);
    EXPECT_EQ(order, (QStringList{"a", "b"}));
    clock.advance(100);
    EXPECT_EQ(order, (QStringList{"a", "b", "c"}));
    EXPECT_EQ(clock.monotonicMs(), 110);
}

TEST(VirtualScheduler, RepeatingTimerHoldsItsOwnerWeakly)
{
    VirtualScheduler clock;
    auto owner = std::make_unique<QObject>();
    int ticks = 0;
    auto handle = clock.every(1000, owner.get(), [&] { ++ticks; });
    clock.advance(3500);
    EXPECT_EQ(ticks, 3);
    owner.reset();
    clock.advance(5000);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(handle.isActive());
}

TEST(VirtualScheduler, CancelStopsDelayAndRepeatingTimer)
{
    VirtualScheduler clock;
    QObject owner;
    int delayed = 0, ticks = 0;
    auto d = clock.after(100, &owner, [&] { ++delayed; });
    qv::TaskHandle t;
    t = clock.every(10, &owner, [&] {
        if (++ticks == 2)
            t.cancel(); // a timer may stop itself
    });
    d.cancel();
    clock.advance(1000);
    EXPECT_EQ(delayed, 0);
    EXPECT_EQ(ticks, 2);
}

TEST(VirtualScheduler, TasksScheduledWhileRunningRunWhenDue)
{
    VirtualScheduler clock;
    QObject owner;
    QList<qint64> at;
    clock.after(5, &owner, [&] {
        at << clock.monotonicMs();
        clock.after(5, &owner, [&] { at << clock.monotonicMs(); });
        clock.post(&owner, [&] { at << clock.monotonicMs(); });
    });
    clock.advance(20);
    EXPECT_EQ(at, (QList<qint64>{5, 5, 10}));
}

TEST(VirtualScheduler, StepsRunAtTheirGapsAndFinish)
{
    VirtualScheduler clock;
    QObject owner;
    QList<QPair<int, qint64>> seen;
    bool finished = false;
    clock.steps(4, 18, &owner, [&](int i) { seen << qMakePair(i, clock.monotonicMs()); }, [&] { finished = true; });
    clock.advance(18 * 4);
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen.first(), qMakePair(1, qint64(18)));
    EXPECT_EQ(seen.last(), qMakePair(4, qint64(72)));
    EXPECT_TRUE(finished);
}

TEST(VirtualScheduler, CancelledStepsStopAndDoNotFinish)
{
    VirtualScheduler clock;
    QObject owner;
    int steps = 0;
    bool finished = false;
    auto handle = clock.steps(10, 18, &owner, [&](int) { ++steps; }, [&] { finished = true; });
    clock.advance(18 * 3);
    handle.cancel();
    clock.advance(1000);
    EXPECT_EQ(steps, 3);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(handle.isActive());
}

TEST(VirtualScheduler, StepsKeepRunningWhenTheHandleIsDropped)
{
    VirtualScheduler clock;
    QObject owner;
    int steps = 0;
    clock.steps(3, 10, &owner, [&](int) { ++steps; });
    clock.advance(100);
    EXPECT_EQ(steps, 3);
}

TEST(VirtualScheduler, WallClockFollowsVirtualTime)
{
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
    VirtualScheduler clock(start);
    clock.advance(90 * 1000);
    EXPECT_EQ(clock.now(), start.addSecs(90));
    clock.setNow(start.addDays(1));
    EXPECT_EQ(clock.now(), start.addDays(1));
    EXPECT_EQ(clock.monotonicMs(), 90 * 1000);
}

// A real timer still waiting when its owner goes is destroyed with it, not left behind
// until it would have fired (a timer for midnight at quit).
TEST(RealScheduler, AWaitingTimerGoesWithItsOwner)
{
    qv::RealScheduler scheduler;
    auto owner = std::make_unique<QObject>();
    bool ran = false;
    const qv::TaskHandle task = scheduler.after(3'600'000, owner.get(), [&ran] { ran = true; });
    const QList<QTimer *> timers = owner->findChildren<QTimer *>();
    ASSERT_EQ(timers.size(), 1);
    QPointer<QTimer> timer = timers.first();
    owner.reset();
    EXPECT_TRUE(timer.isNull());
    EXPECT_FALSE(task.isActive());
    EXPECT_FALSE(ran);
}
