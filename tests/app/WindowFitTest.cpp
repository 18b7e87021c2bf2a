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

// A window larger than every screen, above the top edge, whose middle lies on neither
// monitor: Qt gives it to whichever it overlaps, so each answer to a correction reports
// the other screen, and reads the frame 20 px higher until the window manager has placed
// it. It is corrected once for each desktop, however the reports alternate.
TEST(WindowFitTest, AWindowLargerThanEveryScreenIsCorrectedOnceForEachDesktop)
{
    const QRect left(0, 0, 2048, 1536), right(2048, 0, 1920, 1080);
    const QMargins frame(1, 20, 1, 5);
    WindowFit fit;
    QRect window(99, -720, 3802, 1175);
    const auto corrections = [&](const WindowFit::Desktop &desktop, int reports) {
        int made = 0;
        for (int report = 0; report < reports; ++report) {
            const QRect &area = desktop.workAreas.size() == 1 || report % 2 ? desktop.workAreas.first() : right;
            if (const auto placed = fit.correction(desktop, area, window); placed && ++made)
                window = placed->translated(0, -20);
        }
        return made;
    };
    EXPECT_EQ(corrections({{left, right}, frame}, 40), 1);
    EXPECT_EQ(corrections({{left}, frame}, 40), 1) << "the right-hand monitor switched off";
}

} // namespace
