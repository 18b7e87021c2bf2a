#include "display/IntegerScalingController.h"

#include "support/TestEnvironment.h"

using namespace qv;
using namespace qv::test;

namespace {

DisplayMode mode(int width, int height, int scale = 2, double hz = 120, quint32 ioFlags = 0)
{
    return DisplayMode{width, height, width * scale, height * scale, hz, ioFlags};
}

QStringList sizes(const QList<ResolutionOption> &options)
{
    QStringList out;
    for (const ResolutionOption &o : options)
        out << QStringLiteral("%1x%2-%3x%4").arg(o.width).arg(o.height).arg(o.pixelWidth).arg(o.pixelHeight);
    return out;
}

class IntegerScalingTest : public QvTest {
protected:
    // Makes a display of W x H with these modes (current: the index, -1 for none) the only one.
    void useMainDisplay(int w, int h, const QList<DisplayMode> &modes, int current)
    {
        useMachine(SimulatedMac::empty());
        SimDisplay d;
        d.id = 7;
        d.name = "Panel";
        d.pixelsWide = w;
        d.pixelsHigh = h;
        d.modes = modes;
        d.currentMode = current;
        mac->addDisplay(d);
        mac->setMainDisplay(7);
    }
};

} // namespace

TEST(IntegerScaling, WholeFactorWithinOneHundredthInBothDirections)
{
    struct Case {
        int w, h, width, height;
        bool integer;
    };
    const Case cases[] = {
        {1512, 982, 1512, 982, true},   // 1 and 1
        {1512, 982, 756, 491, true},    // 2 and 2
        {1512, 982, 1024, 640, false},  // 1.477 and 1.534 round to 1 and 2
        {1512, 982, 1800, 1169, false}, // 0.84 rounds to 1 but is off by more than 0.01
        {1512, 982, 1520, 985, true},   // larger than the display, within 0.01 of 1
        {1512, 982, 3024, 1964, false}, // 0.5 rounds to 1 (halves away from zero) but is off
        {1512, 982, 4000, 3000, false}, // rounds to 0
        {3456, 2234, 864, 558, true},   // 4 and 4.0036
        {3456, 2234, 1728, 745, false}, // 2 and 3
        {1512, 982, 0, 982, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isIntegerScaledMode(c.w, c.h, c.width, c.height), c.integer)
            << c.w << "x" << c.h << " / " << c.width << "x" << c.height;
}

TEST_F(IntegerScalingTest, CurrentFirstThenWiderAndOneOptionPerSize)
{
    // 1512, 756 and 1008 are not all whole factors of one size; a 3024 x 1964 display is
    // 2x of 1512, 4x of 756 and 3x of 1008 (1964 / 655 = 2.998).
    useMainDisplay(3024, 1964,
                   {mode(756, 491), mode(1512, 982), mode(1512, 982, 2, 60, 0x1), mode(1024, 640), mode(1008, 655),
                    mode(1512, 982, 1), mode(0, 982)},
                   4);
    IntegerScalingController controller;
    EXPECT_TRUE(controller.options().isEmpty());
    controller.refresh();
    EXPECT_EQ(sizes(controller.options()),
              (QStringList{"1008x655-2016x1310", "1512x982-3024x1964", "1512x982-1512x982", "756x491-1512x982"}));
    ASSERT_TRUE(controller.currentOption());
    EXPECT_EQ(controller.currentOption()->width, 1008);
    // The first of two modes of one size wins: the 120 Hz one, whose flags lack the default bit.
    EXPECT_EQ(controller.options()[1].mode.refreshRate, 120);
    EXPECT_FALSE(controller.options()[1].isDefault);
    EXPECT_TRUE(logs->contains("IntegerScaling", "Found 5 total modes, 4 shown"));

    controller.setShowAllResolutions(true);
    controller.refresh();
    EXPECT_EQ(sizes(controller.options()), (QStringList{"1008x655-2016x1310", "1512x982-3024x1964", "1512x982-1512x982",
                                                        "1024x640-2048x1280", "756x491-1512x982"}));
    EXPECT_FALSE(controller.options()[3].isIntegerScaled);
}

TEST_F(IntegerScalingTest, EachRefreshMakesNewOptions)
{
    useMainDisplay(1512, 982, {mode(1512, 982, 2, 120, 0x5), mode(756, 491)}, 0);
    IntegerScalingController controller;
    controller.refresh();
    const QList<ResolutionOption> first = controller.options();
    ASSERT_EQ(sizes(first), (QStringList{"1512x982-3024x1964", "756x491-1512x982"}));
    EXPECT_TRUE(first[0].isDefault);
    EXPECT_TRUE(first[0].isCurrent);
    controller.refresh();
    EXPECT_NE(controller.options()[0], first[0]);
    EXPECT_EQ(controller.options()[0].width, first[0].width);
}

TEST_F(IntegerScalingTest, ACurrentModeThatIsNotIntegerScaledIsNotCurrentOption)
{
    useMainDisplay(1512, 982, {mode(1512, 982), mode(1024, 640), mode(756, 491)}, 1);
    IntegerScalingController controller;
    controller.refresh();
    EXPECT_EQ(controller.options().size(), 2);
    EXPECT_FALSE(controller.currentOption());
    EXPECT_TRUE(logs->contains("IntegerScaling", "Found 3 total modes, 2 shown"));

    // Without a mode list the lists empty and nothing is logged.
    useMainDisplay(1512, 982, {}, -1);
    logs->clear();
    controller.refresh();
    EXPECT_TRUE(controller.options().isEmpty());
    EXPECT_FALSE(controller.currentOption());
    EXPECT_TRUE(logs->messages("IntegerScaling").isEmpty());
}

TEST_F(IntegerScalingTest, TheStandardBuiltInDisplayListsItsWholeFactorModes)
{
    IntegerScalingController controller;
    controller.refresh();
    // The display's size is its current mode's points, 1728 x 1117: that mode and its
    // low-resolution twin once, 864 x 558 twice; the 3456 x 2234 points mode is half.
    EXPECT_EQ(sizes(controller.options()),
              (QStringList{"1728x1117-3456x2234", "1728x1117-1728x1117", "864x558-1728x1116"}));
    ASSERT_TRUE(controller.currentOption());
    EXPECT_TRUE(controller.currentOption()->isDefault);
}
