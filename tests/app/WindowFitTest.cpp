#include "app/WindowFit.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

// A window that lies within the screens' work areas stays where the user or the window
// manager put it, across two monitors too; one reaching beyond them (its monitor was
// switched off, the screen shrank) comes inside its own screen's work area.
TEST(WindowFitTest, OnlyAWindowBeyondTheScreensIsCorrected)
{
    const QRect left(0, 0, 2048, 1536), right(2048, 0, 1920, 1080);
    const QRegion both = QRegion(left) + right;
    struct Case {
        const char *what;
        QRect frame, area;
        QRegion desktop;
        QRect expected;
    } cases[] = {
        {"inside its screen", {100, 100, 1100, 760}, left, both, {100, 100, 1100, 760}},
        {"across both monitors", {1500, 100, 1100, 760}, right, both, {1500, 100, 1100, 760}},
        {"wider than its screen, within both", {0, 0, 3968, 1000}, left, both, {0, 0, 3968, 1000}},
        {"its monitor switched off", {2300, 100, 1100, 760}, left, QRegion(left), {948, 100, 1100, 760}},
        {"below the shorter monitor", {2300, 500, 1100, 760}, right, both, {2300, 320, 1100, 760}},
        {"larger than the work area left", {400, 200, 1100, 760}, {0, 0, 1366, 740}, QRegion(0, 0, 1366, 740),
         {266, 0, 1100, 740}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WindowFit::corrected(c.frame, c.area, c.desktop), c.expected) << c.what;
}

} // namespace
