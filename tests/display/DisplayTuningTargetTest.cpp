#include "display/DisplayTuning.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(DisplayTuningTargetTest, ParsesTargetIds)
{
    struct Case {
        const char *id;
        std::optional<DisplayId> expected;
    };
    const Case cases[] = {
        {"all", std::nullopt},       {"2", 2u},
        {"+2", 2u},                  {"-0", 0u},
        {"-2", std::nullopt},        {"", std::nullopt},
        {"+", std::nullopt},         {"4294967295", 4294967295u},
        {"4294967296", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"2a", std::nullopt},        {" 2", std::nullopt},
        {"０", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DisplayTuningTarget::parseTargetId(QString::fromUtf8(c.id)), c.expected) << c.id;
}

TEST(DisplayTuningTargetTest, EntryForAnIdentity)
{
    DisplayIdentity identity;
    identity.cgDisplayID = 2;
    identity.name = QStringLiteral("DELL U2723QE");
    identity.kind = DisplayIdentity::Kind::external;
    identity.connection = QStringLiteral("DisplayPort");
    identity.resolution = QStringLiteral("1920 x 1080");
    identity.refreshRate = QStringLiteral("60 Hz");
    const auto target = DisplayTuningTarget::fromIdentity(identity);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->id, "2");
    EXPECT_EQ(target->displayID, std::optional<DisplayId>(2));
    EXPECT_EQ(target->subtitle, "External monitor - DisplayPort - 1920 x 1080 @ 60 Hz");
    EXPECT_EQ(target->iconName, "display");

    identity.resolution = QStringLiteral("3840 x 2160 @ 60.00Hz");
    identity.connection.reset();
    EXPECT_EQ(DisplayTuningTarget::fromIdentity(identity)->subtitle, "External monitor - 3840 x 2160 @ 60.00Hz");
    identity.resolution.reset();
    EXPECT_EQ(DisplayTuningTarget::fromIdentity(identity)->subtitle, "External monitor");

    identity.cgDisplayID.reset();
    EXPECT_FALSE(DisplayTuningTarget::fromIdentity(identity));
}

class DisplayTuningTargetsTest : public test::QvTest {};

TEST_F(DisplayTuningTargetsTest, ListHoldsAllDisplaysThenEveryIdentity)
{
    const QList<DisplayTuningTarget> targets = DisplayTuning::shared().availableTargets();
    ASSERT_EQ(targets.size(), 3);
    EXPECT_EQ(targets[0], DisplayTuningTarget::all());
    EXPECT_EQ(targets[0].name, "All displays");
    EXPECT_EQ(targets[0].subtitle, "Use one comfort setting everywhere");
    EXPECT_EQ(targets[0].iconName, "rectangle.stack");
    EXPECT_EQ(targets[1].name, "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(targets[1].iconName, "laptopcomputer");
    EXPECT_EQ(targets[2].name, "DELL U2723QE");

    DisplayTuning::shared().selectTarget("1");
    EXPECT_EQ(DisplayTuning::shared().selectedTargetName(), "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(DisplayTuning::shared().selectedTargetId(), "1");
}

TEST_F(DisplayTuningTargetsTest, NoIdentitiesLeaveOnlyAllDisplays)
{
    useMachine(SimulatedMac::empty());
    const QList<DisplayTuningTarget> targets = DisplayTuning::shared().availableTargets();
    ASSERT_EQ(targets.size(), 1);
    EXPECT_EQ(targets[0].id, "all");
}

} // namespace
} // namespace qv
