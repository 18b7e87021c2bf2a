#include "platform/desktop/WindowPlatform.h"
#include "support/WaylandTestCompositor.h"
#include "support/MissingTool.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {
WindowPlatform::Environment waylandSession()
{
    WindowPlatform::Environment environment;
    environment.sessionType = QStringLiteral("wayland");
    environment.waylandDisplay = QStringLiteral("wayland-1");
    environment.xDisplay = QStringLiteral(":1");
    return environment;
}
} // namespace

// A Wayland session with XWayland gives the windows to XWayland unless the user chose a
// platform; an XWayland that does not answer, or none, leaves Qt's Wayland platform, where
// a compositor without a seat gets no input method (Qt's client crashes there otherwise).
TEST(WindowPlatformTest, XWaylandUnlessChosenAndNoInputMethodWithoutASeat)
{
    int xAsked = 0, seatAsked = 0;
    const auto x = [&](bool answer) { return [&xAsked, answer] { ++xAsked; return answer; }; };
    const auto seat = [&](std::optional<bool> answer) {
        return [&seatAsked, answer] { ++seatAsked; return answer; };
    };

    WindowPlatform::Choice choice = WindowPlatform::choose(waylandSession(), x(true), seat(false));
    EXPECT_EQ(choice.platform, "xcb");
    EXPECT_FALSE(choice.noInputMethod);
    EXPECT_TRUE(choice.note.contains(QStringLiteral("QT_QPA_PLATFORM=wayland")));
    EXPECT_EQ(seatAsked, 0);

    for (const char *chosen : {"wayland", "xcb"}) {
        WindowPlatform::Environment environment = waylandSession();
        environment.qpaPlatform = QString::fromLatin1(chosen);
        choice = WindowPlatform::choose(environment, x(true), seat(true));
        EXPECT_TRUE(choice.platform.isEmpty()) << chosen;
        EXPECT_TRUE(choice.note.isEmpty()) << chosen;
        environment.qpaPlatform.clear();
        environment.platformArgument = QString::fromLatin1(chosen);
        EXPECT_TRUE(WindowPlatform::choose(environment, x(true), seat(true)).platform.isEmpty()) << chosen;
    }
    EXPECT_EQ(xAsked, 1) << "a platform the user chose is not second-guessed";

    // XWayland set but gone, on a headless compositor: the Wayland platform without text input.
    choice = WindowPlatform::choose(waylandSession(), x(false), seat(false));
    EXPECT_TRUE(choice.platform.isEmpty());
    EXPECT_TRUE(choice.noInputMethod);
    EXPECT_TRUE(choice.note.contains(QStringLiteral("does not answer")));
    EXPECT_TRUE(choice.note.contains(QStringLiteral("no seat")));
    // The compositor, not XDG_SESSION_TYPE (unset, or "tty" from a console), tells Qt's platform.
    for (const char *session : {"", "tty"}) {
        WindowPlatform::Environment console = waylandSession();
        console.sessionType = QString::fromLatin1(session);
        console.xDisplay.clear();
        EXPECT_TRUE(WindowPlatform::choose(console, x(false), seat(false)).noInputMethod) << session;
    }
    // No XWayland (an empty DISPLAY too), a seat, an unreachable compositor, an input method
    // the user chose: nothing to change.
    WindowPlatform::Environment native = waylandSession();
    native.xDisplay = QStringLiteral(" ");
    EXPECT_FALSE(WindowPlatform::choose(native, x(true), seat(true)).noInputMethod);
    EXPECT_FALSE(WindowPlatform::choose(native, x(true), seat(std::nullopt)).noInputMethod);
    native.imModuleSet = true;
    seatAsked = 0;
    EXPECT_FALSE(WindowPlatform::choose(native, x(true), seat(false)).noInputMethod);
    EXPECT_EQ(seatAsked, 0);
    // An X11 session is left to Qt.
    WindowPlatform::Environment x11;
    x11.sessionType = QStringLiteral("x11");
    x11.xDisplay = QStringLiteral(":0");
    choice = WindowPlatform::choose(x11, x(true), seat(false));
    EXPECT_TRUE(choice.platform.isEmpty());
    EXPECT_FALSE(choice.noInputMethod);
}

// The probes against real servers: a compositor with a seat (the test compositor; headless
// weston, without one, is the live check's) and places where nothing answers.
TEST(WindowPlatformTest, ProbesAskTheServers)
{
    EXPECT_FALSE(WindowPlatform::xServerReachable(QStringLiteral(":4077")));
    EXPECT_FALSE(WindowPlatform::xServerReachable(QString()));
    EXPECT_FALSE(WindowPlatform::compositorHasSeat(QStringLiteral("/nonexistent/wayland-9")).has_value());
    test::WaylandTestCompositor compositor;
    if (!compositor.isRunning())
        QV_SKIP_WITHOUT("the test compositor did not start");
    EXPECT_EQ(WindowPlatform::compositorHasSeat(compositor.socketPath()), std::optional<bool>(true));
}
