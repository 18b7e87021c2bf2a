#include "platform/desktop/WindowOcclusion.h"
#include "support/MissingTool.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QRasterWindow>
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

} // namespace
