#include "platform/host/HostScreens.h"

#include <gtest/gtest.h>

using namespace qv;
using Shape = HostScreens::Shape;

// Screens find their displays by output name; under XWayland (screens named XWAYLAND0..,
// displays by the compositor) by place and size, in points or pixels, else by place; a
// last pair left over goes together, and no display serves two screens.
TEST(HostScreensTest, ScreensMatchDisplaysByNameElseByGeometry)
{
    // X11: the names agree, whatever the order.
    EXPECT_EQ(HostScreens::match({{"DP-1", {1920, 0, 1280, 1024}}, {"eDP-1", {0, 0, 1920, 1200}}},
                                 {{"eDP-1", {0, 0, 1920, 1200}}, {"DP-1", {1920, 0, 1280, 1024}}}),
              (QList<int>{1, 0}));
    // XWayland beside sway's outputs, listed in another order; one output scaled by 2
    // (logical 960x600 at 1920,0), one whose size XWayland reports differently.
    const QList<Shape> displays{{"HEADLESS-1", {0, 0, 1920, 1080}},
                                {"HEADLESS-2", {1920, 0, 1920, 1200}},
                                {"HEADLESS-3", {2880, 0, 800, 600}}};
    EXPECT_EQ(HostScreens::match({{"XWAYLAND2", {2880, 0, 640, 480}},
                                  {"XWAYLAND1", {1920, 0, 960, 600}, 2.0},
                                  {"XWAYLAND0", {0, 0, 1920, 1080}}},
                                 displays),
              (QList<int>{2, 1, 0}));
    // A screen renamed and moved while its display is the only one left: still that display.
    EXPECT_EQ(HostScreens::match({{"XWAYLAND7", {10, 10, 1920, 1080}}}, {{"HEADLESS-1", {0, 0, 1920, 1080}}}),
              (QList<int>{0}));
    // Two unknown screens and two displays elsewhere: nothing guessed; and a display no
    // screen shows (an XWayland that has not listed it yet) stays without one.
    EXPECT_EQ(HostScreens::match({{"A", {5000, 0, 10, 10}}, {"B", {6000, 0, 10, 10}}},
                                 {{"X", {0, 0, 10, 10}}, {"Y", {100, 0, 10, 10}}}),
              (QList<int>{-1, -1}));
    EXPECT_EQ(HostScreens::match({{"XWAYLAND0", {0, 0, 1920, 1080}}}, displays), (QList<int>{0}));
    // Two screens at one place (mirrored): the display goes to the first.
    EXPECT_EQ(HostScreens::match({{"S1", {0, 0, 1920, 1080}}, {"S2", {0, 0, 1920, 1080}}},
                                 {{"HEADLESS-1", {0, 0, 1920, 1080}}}),
              (QList<int>{0, -1}));
    EXPECT_TRUE(HostScreens::match({}, displays).isEmpty());
}
