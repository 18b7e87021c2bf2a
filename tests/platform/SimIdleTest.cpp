#include "platform/Idle.h"
#include "platform/Platform.h"
#include "platform/sim/SimulatedMac.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(SimIdle, AnswersTheIdleTimeTheMachineHolds)
{
    auto mac = qv::SimulatedMac::empty();
    qv::installSimulatedMac(mac.get());
    qv::Idle *idle = qv::platform().idle;
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->secondsSinceLastInputEvent(), 0.0);
    QSignalSpy started(idle, &qv::Idle::idleStarted);
    QSignalSpy resumed(idle, &qv::Idle::resumed);
    mac->setIdleSeconds(130.5);
    EXPECT_EQ(idle->secondsSinceLastInputEvent(), 130.5);
    mac->setIdleSeconds(130.5);
    mac->setIdleSeconds(200);
    EXPECT_EQ(started.size(), 2) << "each new idle time is told";
    mac->setIdleSeconds(0);
    EXPECT_EQ(resumed.size(), 1);
    qv::installSimulatedMac(nullptr);
}
