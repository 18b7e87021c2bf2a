#include "platform/desktop/WindowOcclusion.h"
#include "support/MissingTool.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QRasterWindow>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

// A window of ours that another window covers whole is known as covered, and as
// uncovered once that window goes. The X server says so; elsewhere nothing is covered.
TEST(WindowOcclusion, AWindowCoveredWholeIsKnownAsCovered)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X server");
    WindowOcclusion &occlusion = WindowOcclusion::shared();
    occlusion.setEnabled(true);
    // Out of the way of the other test programs' windows on the same X server.
    const QRect place(1700, 1000, 120, 120);
    QRasterWindow ours;
    ours.setFlags(Qt::FramelessWindowHint);
    ours.setGeometry(place);
    ours.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));
    EXPECT_FALSE(occlusion.isFullyObscured(&ours));

    QRasterWindow cover;
    cover.setFlags(Qt::FramelessWindowHint);
    cover.setGeometry(place.adjusted(-10, -10, 10, 10));
    cover.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return occlusion.isFullyObscured(&ours); }, 5000));

    cover.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !occlusion.isFullyObscured(&ours); }, 5000));

    // Switched off, nothing counts as covered.
    cover.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return occlusion.isFullyObscured(&ours); }, 5000));
    occlusion.setEnabled(false);
    EXPECT_FALSE(occlusion.isFullyObscured(&ours));
}

// What lies above a window covers it only where opaque, mapped windows leave none of it
// in sight, together.
TEST(WindowOcclusion, OnlyMappedOpaqueWindowsCoverAndTogether)
{
    using Above = WindowOcclusion::Above;
    const QRect ours(100, 100, 200, 100);
    const QRegion whole(0, 0, 1920, 1200);
    QRegion holed = whole;
    holed -= QRect(150, 150, 1, 1);
    const struct {
        const char *what;
        QList<Above> above;
        bool covered;
    } cases[] = {
        {"nothing above", {}, false},
        {"a full-screen window", {{whole}}, true},
        {"a translucent full-screen window", {{whole, true, false}}, false},
        {"an unmapped full-screen window", {{whole, false, true}}, false},
        {"a shape with a one-pixel hole over ours", {{holed}}, false},
        {"the hole filled by a second window", {{holed}, {QRect(140, 140, 20, 20)}}, true},
        {"the hole filled by a translucent one", {{holed}, {QRect(140, 140, 20, 20), true, false}}, false},
        {"two halves edge to edge", {{QRect(100, 100, 100, 100)}, {QRect(200, 100, 100, 100)}}, true},
        {"two halves a pixel apart", {{QRect(100, 100, 100, 100)}, {QRect(201, 100, 99, 100)}}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WindowOcclusion::coveredBy(ours, c.above), c.covered) << c.what;
    // A window of no size is never taken as covered.
    EXPECT_FALSE(WindowOcclusion::coveredBy(QRect(), {{whole}}));
}

// A blanked screen hides every window followed, and says so for each; they come back
// with the screen.
TEST(WindowOcclusion, ABlankedScreenHidesEveryWindow)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X server");
    WindowOcclusion &occlusion = WindowOcclusion::shared();
    occlusion.setEnabled(true);
    QRasterWindow ours;
    ours.setFlags(Qt::FramelessWindowHint);
    ours.setGeometry(1700, 1000, 60, 60);
    ours.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));
    EXPECT_FALSE(occlusion.isFullyObscured(&ours));
    QSignalSpy changes(&occlusion, &WindowOcclusion::outOfSightChanged);
    occlusion.setScreenBlanked(true);
    EXPECT_TRUE(occlusion.isFullyObscured(&ours));
    EXPECT_EQ(changes.size(), 1);
    occlusion.setScreenBlanked(false);
    EXPECT_FALSE(occlusion.isFullyObscured(&ours));
    EXPECT_EQ(changes.size(), 2);
    occlusion.setEnabled(false);
}

} // namespace
