#include "platform/Idle.h"
#include "platform/Platform.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

TEST(SimIdle, AnswersTheIdleTimeTheMachineHolds)
{
    auto mac = qv::SimulatedMac::empty();
    qv::installSimulatedMac(mac.get());
    qv::Idle *idle = qv::platform().idle;
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->secondsSinceLastInputEvent(), 0.0);
    mac->setIdleSeconds(130.5);
    EXPECT_EQ(idle->secondsSinceLastInputEvent(), 130.5);
    qv::installSimulatedMac(nullptr);
}
