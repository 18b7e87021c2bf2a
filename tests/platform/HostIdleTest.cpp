#include "platform/host/HostIdle.h"
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

// The X server counts the idle time from the last input of any device: it grows while
// nothing happens and starts again at a pointer move. Once the server has ended the user
// counts as present, said once.
TEST(HostIdleTest, TheScreenSaverExtensionCountsFromTheLastInput)
{
    XServer server(false);
    if (!server.isRunning())
        QV_SKIP_WITHOUT(qPrintable(server.failure()));
    test::LogCapture logs;
    HostIdle idle(server.display(), QDBusConnection(QString()));
    ASSERT_EQ(idle.source(), HostIdle::Source::xScreenSaver);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInputEvent() >= 1.0; }, 10000));
    ASSERT_EQ(server.runClient(QStringLiteral("xdotool"), {"mousemove", "200", "200"}), 0);
    EXPECT_LT(idle.secondsSinceLastInputEvent(), 1.0);
    EXPECT_TRUE(logs.messages("Idle").isEmpty());

    server.stop();
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    EXPECT_EQ(idle.source(), HostIdle::Source::none);
    EXPECT_EQ(idle.secondsSinceLastInputEvent(), 0.0);
    EXPECT_EQ(logs.messages("Idle").size(), 1);
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
