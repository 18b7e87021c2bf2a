#include "platform/host/DesktopEntries.h"
#include "platform/host/HostIdle.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "platform/host/wayland/WaylandIdle.h"
#include "platform/host/wayland/WaylandWorkspace.h"
#include "support/HeadlessSway.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"
#include "support/TestEnvironment.h"
#include "support/WaylandTestCompositor.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace qv;
using host::WaylandConnection;
using host::WaylandIdle;
using host::WaylandWorkspace;

namespace {

class WaylandSessionTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        sway = std::make_unique<test::HeadlessSway>();
        if (sway->socket().isEmpty())
            QV_SKIP_WITHOUT("headless sway (run as root with sway and setpriv installed)");
        connection = std::make_unique<WaylandConnection>(sway->socket(), Logger("Wayland"));
        ASSERT_TRUE(connection->roundtrip());
    }
    void TearDown() override
    {
        connection.reset();
        sway.reset();
        QvTest::TearDown();
    }
    std::unique_ptr<test::HeadlessSway> sway;
    std::unique_ptr<WaylandConnection> connection;
};

} // namespace

// sway offers KDE's idle protocol: present until the seat has had no input for the
// timeout, then idle counted from the last input, present again after a pointer move.
// HostIdle answers from it where no idle monitor runs.
TEST_F(WaylandSessionTest, IdleTimeFollowsTheSeat)
{
    WaylandIdle idle(*connection);
    ASSERT_EQ(idle.protocol(), WaylandIdle::Protocol::kdeIdle);
    HostIdle hostIdle(QStringLiteral(":none"), QDBusConnection(QString()), true, &idle);
    EXPECT_EQ(hostIdle.source(), HostIdle::Source::wayland);
    EXPECT_EQ(hostIdle.secondsSinceLastInputEvent(), 0.0);
    QSignalSpy started(&hostIdle, &Idle::idleStarted);
    QSignalSpy resumed(&hostIdle, &Idle::resumed);

    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInput() > 0.0; }, 15000));
    advance(60'000);
    EXPECT_DOUBLE_EQ(hostIdle.secondsSinceLastInputEvent(), 65.0);

    ASSERT_TRUE(sway->message({QStringLiteral("seat"), QStringLiteral("-"), QStringLiteral("cursor"),
                               QStringLiteral("move"), QStringLiteral("1"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInput() == 0.0; }, 5000));
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(resumed.size(), 1);
}

// Activating windows of two applications moves the front application, with the app_id
// matched to its desktop entry; a closed window's application terminates.
TEST_F(WaylandSessionTest, FrontApplicationFollowsTheActivatedWindow)
{
    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("applications"));
    QFile entry(data.filePath(QStringLiteral("applications/code.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Visual Studio Code\nExec=code\n");
    entry.close();
    auto entries = std::make_shared<DesktopEntries>(QStringList{data.path()});

    ASSERT_TRUE(sway->openWindow(QStringLiteral("code")));
    WaylandWorkspace workspace(*connection, entries);
    ASSERT_TRUE(workspace.isAvailable());
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostApplication().has_value(); }, 5000));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, QStringLiteral("Visual Studio Code"));

    QSignalSpy activated(&workspace, &Workspace::applicationActivated);
    QSignalSpy deactivated(&workspace, &Workspace::applicationDeactivated);
    QSignalSpy terminated(&workspace, &Workspace::applicationTerminated);
    ASSERT_TRUE(sway->openWindow(QStringLiteral("org.example.Reader")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 1; }, 5000));
    ASSERT_TRUE(workspace.frontmostApplication());
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, QStringLiteral("org.example.Reader"));
    EXPECT_EQ(deactivated.size(), 1);
    EXPECT_EQ(workspace.runningApplications().size(), 2);

    ASSERT_TRUE(sway->message({QStringLiteral("[app_id=\"^code$\"] focus")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 2; }, 5000));
    ASSERT_TRUE(workspace.frontmostApplication());
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, QStringLiteral("code"));

    ASSERT_TRUE(sway->message({QStringLiteral("[app_id=\"^code$\"] kill")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return terminated.size() == 1; }, 5000));
    const auto gone = terminated.first().first().value<std::optional<RunningApplication>>();
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->bundleIdentifier, QStringLiteral("code"));
}

// The application's own windows (by app_id) are neither listed nor in front: while one has
// the focus the application before it stays in front. The reader's window opened after it
// is heard after everything before it: the application it takes the front from is code.
TEST_F(WaylandSessionTest, OwnWindowsAreNeverTheFrontApplication)
{
    const QString before = QGuiApplication::desktopFileName();
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tebrix.Quellvista.desktop"));
    ASSERT_TRUE(sway->openWindow(QStringLiteral("code")));
    WaylandWorkspace workspace(*connection, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostApplication().has_value(); }, 5000));
    QStringList notices;
    const auto record = [&](const char *what) {
        return [&notices, what](const std::optional<RunningApplication> &app) {
            notices << QStringLiteral("%1 %2").arg(QLatin1String(what), app ? app->bundleIdentifier.value_or("-") : "none");
        };
    };
    QObject::connect(&workspace, &Workspace::applicationActivated, record("activated"));
    QObject::connect(&workspace, &Workspace::applicationDeactivated, record("deactivated"));
    ASSERT_TRUE(sway->openWindow(QStringLiteral("com.tebrix.Quellvista")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sway->isFocused(QStringLiteral("com.tebrix.Quellvista")); }, 5000));
    ASSERT_TRUE(sway->openWindow(QStringLiteral("org.example.Reader")));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto front = workspace.frontmostApplication();
        return front && front->bundleIdentifier == QStringLiteral("org.example.Reader");
    }, 5000));
    // The compositor may take the focus from code before it gives it to the own window:
    // code is then deactivated and activated again, and nothing else.
    ASSERT_GE(notices.size(), 2);
    EXPECT_EQ(notices.mid(notices.size() - 2), (QStringList{"deactivated code", "activated org.example.Reader"}))
        << qPrintable(notices.join(QLatin1Char('\n')));
    for (const QString &notice : notices.mid(0, notices.size() - 2))
        EXPECT_TRUE(notice.endsWith(QStringLiteral(" code"))) << qPrintable(notice);
    ASSERT_EQ(workspace.runningApplications().size(), 2);
    QGuiApplication::setDesktopFileName(before);
}

// The compositor going away ends the connection once: no idle time from it, the
// applications as last seen, no crash when the clients go after it.
TEST_F(WaylandSessionTest, ACompositorThatEndsLeavesTheLastState)
{
    WaylandIdle idle(*connection);
    auto workspace = std::make_unique<WaylandWorkspace>(*connection, nullptr);
    QSignalSpy closed(connection.get(), &WaylandConnection::closed);
    sway.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.size() == 1; }, 10000));
    EXPECT_FALSE(idle.isAvailable());
    EXPECT_FALSE(idle.secondsSinceLastInput().has_value());
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Wayland"), QStringLiteral("closed the connection")));
    workspace.reset();
}

// Where the compositor offers ext-idle-notify it is taken before KDE's protocol: one
// notification of the idle timeout, idle counted from its start, present again on resume;
// a notifier the compositor withdraws leaves no idle time here (one line).
class WaylandIdleNotifyTest : public test::QvTest {};

TEST_F(WaylandIdleNotifyTest, FollowsTheNotificationUntilItIsWithdrawn)
{
    test::WaylandTestCompositor compositor;
    if (!compositor.isRunning())
        QV_SKIP_WITHOUT("the test compositor did not start");
    WaylandConnection connection(compositor.socketPath(), Logger("Wayland"));
    ASSERT_TRUE(connection.roundtrip());
    WaylandIdle idle(connection);
    ASSERT_EQ(idle.protocol(), WaylandIdle::Protocol::extIdleNotify);
    EXPECT_EQ(compositor.idleTimeouts(), QList<quint32>{quint32(WaylandIdle::kTimeoutMs)});

    compositor.setIdle(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInput() > 0.0; }));
    advance(10'000);
    EXPECT_DOUBLE_EQ(*idle.secondsSinceLastInput(), 15.0);
    compositor.setIdle(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle.secondsSinceLastInput() == 0.0; }));

    compositor.withdrawIdleNotifier();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !idle.isAvailable(); }));
    EXPECT_TRUE(logs->containsPart(QStringLiteral("Idle"), QStringLiteral("withdrew ext_idle_notifier_v1")));
}
