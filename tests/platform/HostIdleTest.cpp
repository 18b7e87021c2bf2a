#include "platform/host/HostIdle.h"
#include "platform/host/ScreenSaverIdle.h"
#include "platform/x11/XConnection.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/XServer.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace qv;
using qv::test::XServer;

namespace {

// The X server counts the idle time from the last input of any device: the user turns
// idle once it reaches the back-end's length, counted from that input, and present again
// at a pointer move, each told as it happens. Once the server has ended the user counts
// as present.
TEST(HostIdleTest, TheScreenSaverExtensionCountsFromTheLastInput)
{
    XServer server(false);
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    test::LogCapture logs;
    x11::XConnection x(server.display(), Logger("X11"));
    host::ScreenSaverIdle idle(x, 300);
    // The server may have been up for longer than that: then the first idle time was told
    // while the idle time was made, before anyone listened.
    const bool idleAtStart = idle.lastInputMs().has_value();
    QSignalSpy started(&idle, &Idle::idleStarted);
    QSignalSpy resumed(&idle, &Idle::resumed);
    QSignalSpy gone(&idle, &host::ScreenSaverIdle::gone);
    for (int x : {200, 201}) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() >= 0.3; }, 5000));
        ASSERT_EQ(server.runClient(QStringLiteral("xdotool"), {"mousemove", QString::number(x), "200"}), 0);
        ASSERT_TRUE(resumed.wait(3000));
        EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    }
    EXPECT_EQ(started.size(), idleAtStart ? 1 : 2);
    EXPECT_TRUE(logs.messages("Idle").isEmpty());

    server.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !gone.isEmpty(); }, 3000));
    EXPECT_FALSE(idle.isAvailable());
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
}

// One source per session, as the session offers them.
TEST(HostIdleTest, TheSessionChoosesTheSource)
{
    using S = HostIdle::Source;
    // waylandSession, monitorOnBus, waylandNotifications, xScreenSaver, bus
    EXPECT_EQ(HostIdle::chooseSource(false, true, false, true, true), S::idleMonitor) << "GNOME on X11";
    EXPECT_EQ(HostIdle::chooseSource(true, true, true, true, true), S::idleMonitor) << "GNOME on Wayland";
    EXPECT_EQ(HostIdle::chooseSource(true, false, true, true, true), S::wayland) << "sway, KDE Plasma";
    EXPECT_EQ(HostIdle::chooseSource(false, false, true, true, true), S::xScreenSaver) << "X11";
    EXPECT_EQ(HostIdle::chooseSource(true, false, false, true, true), S::idleMonitor)
        << "XWayland sees only X11 windows' input: the monitor, should it start";
    EXPECT_EQ(HostIdle::chooseSource(true, false, false, true, false), S::none);
    EXPECT_EQ(HostIdle::chooseSource(false, false, false, false, true), S::idleMonitor);
    EXPECT_EQ(HostIdle::chooseSource(false, false, false, false, false), S::none);
}

// The screen saver running blanks the screen; input brings it back. Each is told as it
// happens. (Xvfb has no DPMS, as a server without it: the screen saver alone tells.)
TEST(HostIdleTest, TheScreenSaverBlanksTheScreen)
{
    XServer server(false);
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    HostIdle idle(server.display(), QDBusConnection(QString()));
    ASSERT_FALSE(idle.screenBlanked());
    QSignalSpy changes(&idle, &HostIdle::screenBlankedChanged);
    for (int x : {300, 301}) {
        ASSERT_EQ(server.runClient(QStringLiteral("xset"), {"s", "activate"}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return idle.screenBlanked(); }, 5000));
        ASSERT_EQ(server.runClient(QStringLiteral("xdotool"), {"mousemove", QString::number(x), "300"}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !idle.screenBlanked(); }, 5000));
    }
    EXPECT_EQ(changes.size(), 4);
}

} // namespace
