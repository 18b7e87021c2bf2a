#include "platform/Displays.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

namespace {

// The transfer formulas the simulated displays keep: what tests and display tuning read.
TEST(SimulatedMacFormulaTest, KeepsFailsAndRestoresFormulas)
{
    auto mac = qv::SimulatedMac::standard();
    qv::Displays &displays = *mac->services().displays;
    qv::TransferFormula dim;
    dim.redMax = dim.greenMax = dim.blueMax = 0.5f;

    EXPECT_FALSE(mac->formula(1));
    EXPECT_TRUE(displays.setTransferFormula(1, dim).ok());
    EXPECT_TRUE(displays.setTransferFormula(2, qv::TransferFormula::identity()).ok());
    EXPECT_EQ(mac->formula(1), dim);
    EXPECT_EQ(mac->formula(2), qv::TransferFormula::identity());

    mac->failFormula(2, 1004);
    EXPECT_EQ(displays.setTransferFormula(2, dim).coreGraphicsCode, 1004);
    EXPECT_EQ(mac->formula(2), qv::TransferFormula::identity()); // unchanged by the failed call
    mac->failFormula(2, 0);
    EXPECT_TRUE(displays.setTransferFormula(2, dim).ok());
    EXPECT_FALSE(displays.setTransferFormula(99, dim).ok()); // no such display
    EXPECT_EQ(mac->formulaCallCount(), 5);

    displays.restoreColorSyncSettings();
    EXPECT_EQ(mac->restoreCallCount(), 1);
    EXPECT_FALSE(mac->formula(1));
    EXPECT_FALSE(mac->formula(2));
}

} // namespace
