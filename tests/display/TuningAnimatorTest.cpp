#include "display/TuningAnimator.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv {
namespace {

class TuningAnimatorTest : public test::QvTest {
protected:
    TuningAnimator animator;
    QList<double> steps;
    int finished = 0, ended = 0;

    void start(const QObject *owner)
    {
        animator.run(
            owner, 4, [this](double e) { steps << e; }, [this] { ++finished; }, [this] { ++ended; });
    }
};

TEST_F(TuningAnimatorTest, EasedStepsThenTheFinalValuesOnePauseAfterTheLast)
{
    QObject owner;
    start(&owner);
    EXPECT_TRUE(animator.isRunning(&owner));
    runPending();
    EXPECT_EQ(steps, QList<double>{TuningAnimator::eased(1, 4)}) << "the first step on the next turn";
    advance(3 * TuningAnimator::stepMs);
    EXPECT_EQ(steps.size(), 4);
    EXPECT_EQ(steps.last(), 1.0);
    EXPECT_EQ(finished, 0);
    advance(TuningAnimator::stepMs);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(ended, 0);
}

TEST_F(TuningAnimatorTest, ANewRunEndsTheRunningOneWhereItStands)
{
    QObject first, second;
    start(&first);
    runPending();
    start(&second);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(animator.isRunning(&second));
    EXPECT_FALSE(animator.isRunning(&first));
    advance(10 * TuningAnimator::stepMs);
    EXPECT_EQ(steps.size(), 5); // one of the first, four of the second
    EXPECT_EQ(finished, 1);
}

TEST_F(TuningAnimatorTest, FinishNowAndAGoneOwnerEndTheTransition)
{
    QObject owner;
    start(&owner);
    animator.finishNow();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(animator.isRunning());

    auto doomed = std::make_unique<QObject>();
    start(doomed.get());
    doomed.reset();
    advance(10 * TuningAnimator::stepMs);
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(animator.isRunning());
}

} // namespace
} // namespace qv
