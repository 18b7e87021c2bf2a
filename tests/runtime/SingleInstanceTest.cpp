#include "runtime/SingleInstance.h"

#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

TEST(SingleInstance, SecondLaunchAsksTheFirstToShowItself)
{
    const QString name = "qv-test-" + QUuid::createUuid().toString(QUuid::Id128);
    qv::SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &qv::SingleInstance::activationRequested);
    qv::SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(spy.wait(5000));
}

TEST(SingleInstance, StaleSocketFromACrashedCopyIsTakenOver)
{
    const QString name = "qv-test-" + QUuid::createUuid().toString(QUuid::Id128);
    {
        qv::SingleInstance crashed(name);
        ASSERT_TRUE(crashed.claim());
    }
    qv::SingleInstance next(name);
    EXPECT_TRUE(next.claim());
}
