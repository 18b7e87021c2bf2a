#include "platform/Platform.h"
#include "platform/desktop/DesktopKeyMonitors.h"
#include "platform/sim/SimKeyMonitors.h"
#include "platform/sim/SimulatedMac.h"
#include "support/LogCapture.h"
#include "support/MissingTool.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QWindow>

#include <gtest/gtest.h>

using namespace qv;

namespace {
using Target = SimKeyMonitors::Target;

// Counts the key presses that reach it.
class CountingWindow : public QWindow {
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};
} // namespace

TEST(SimKeyMonitors, LocalMonitorConsumesOnlyWhatItChooses)
{
    auto mac = SimulatedMac::empty();
    installSimulatedMac(mac.get());
    QList<int> seen;
    const auto token = platform().keyMonitors->addLocalKeyDownMonitor([&](int key) {
        seen << key;
        return key == kKeyCodeEscape;
    });
    ASSERT_NE(token, 0u);
    SimKeyMonitors &keys = mac->keyMonitors();
    EXPECT_TRUE(keys.pressKey(kKeyCodeEscape, Target::application));
    EXPECT_FALSE(keys.pressKey(kKeyCodeA, Target::application));
    // A key meant for another application never reaches a local monitor.
    EXPECT_FALSE(keys.pressKey(kKeyCodeEscape, Target::otherApplication));
    EXPECT_EQ(seen, (QList<int>{kKeyCodeEscape, kKeyCodeA}));

    platform().keyMonitors->removeMonitor(token);
    EXPECT_FALSE(keys.pressKey(kKeyCodeEscape, Target::application));
    EXPECT_EQ(seen.size(), 2);
    installSimulatedMac(nullptr);
}

TEST(SimKeyMonitors, GlobalMonitorSeesOtherApplicationsKeysAndIsRemovedByToken)
{
    SimKeyMonitors keys;
    QList<int> seen;
    const auto first = keys.addGlobalKeyDownMonitor([&](int key) { seen << key; });
    const auto second = keys.addGlobalKeyDownMonitor([&](int key) { seen << -key; });
    EXPECT_NE(first, second);
    EXPECT_FALSE(keys.pressKey(kKeyCodeEscape, Target::otherApplication));
    EXPECT_FALSE(keys.pressKey(kKeyCodeEscape, Target::application));
    EXPECT_EQ(seen, (QList<int>{kKeyCodeEscape, -kKeyCodeEscape}));
    keys.removeMonitor(first);
    keys.removeMonitor(0);
    keys.removeMonitor(999);
    EXPECT_EQ(keys.globalMonitorCount(), 1);
}

TEST(SimKeyMonitors, HandlerRemovingAnotherMonitorStopsItAtOnce)
{
    SimKeyMonitors keys;
    int later = 0;
    KeyMonitors::MonitorToken second = 0;
    keys.addLocalKeyDownMonitor([&](int) {
        keys.removeMonitor(second);
        return false;
    });
    second = keys.addLocalKeyDownMonitor([&](int) { return ++later > 0; });
    EXPECT_FALSE(keys.pressKey(kKeyCodeA, Target::application));
    EXPECT_EQ(later, 0);
}

TEST(SimKeyMonitors, RefusedMonitorsGiveNoToken)
{
    SimKeyMonitors keys;
    keys.setRefusesGlobalMonitors(true);
    EXPECT_EQ(keys.addGlobalKeyDownMonitor([](int) {}), 0u);
    EXPECT_NE(keys.addLocalKeyDownMonitor([](int) { return false; }), 0u);
    keys.setRefusesLocalMonitors(true);
    EXPECT_EQ(keys.addLocalKeyDownMonitor([](int) { return false; }), 0u);
}

TEST(DesktopKeyMonitors, KeyCodesOfQtKeys)
{
    const QList<std::pair<int, int>> cases{{Qt::Key_Escape, 53}, {Qt::Key_Return, 36}, {Qt::Key_Enter, 36},
                                           {Qt::Key_Space, 49},  {Qt::Key_A, 0},        {Qt::Key_T, 17},
                                           {Qt::Key_M, 46},      {Qt::Key_F13, -1}};
    for (const auto &[qtKey, code] : cases)
        EXPECT_EQ(DesktopKeyMonitors::keyCodeForQtKey(qtKey), code) << qtKey;
}

TEST(DesktopKeyMonitors, LocalMonitorFiltersKeyPressesOfTheApplicationsWindows)
{
    DesktopKeyMonitors monitors;
    CountingWindow window;
    QList<int> seen;
    const auto token = monitors.addLocalKeyDownMonitor([&](int key) {
        seen << key;
        return key == kKeyCodeEscape;
    });
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QObject item; // not a window: the same press delivered on to an item is not seen twice
    QKeyEvent escapeForItem(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &escape);
    QCoreApplication::sendEvent(&window, &letter);
    QCoreApplication::sendEvent(&window, &release);
    QCoreApplication::sendEvent(&item, &escapeForItem);
    EXPECT_EQ(seen, (QList<int>{kKeyCodeEscape, kKeyCodeA}));
    // Consumed: Esc never reached the window; the letter did.
    EXPECT_EQ(window.presses, 1);

    monitors.removeMonitor(token);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &again);
    EXPECT_EQ(seen.size(), 2);
}

TEST(DesktopKeyMonitors, GlobalMonitorWithoutAnX11ServerIsNotInstalled)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // On an X11 server, this test runs again in a process of its own without one.
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QByteArray output = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << output.constData();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
        return;
    }
    test::LogCapture logs;
    DesktopKeyMonitors monitors;
    EXPECT_EQ(monitors.addGlobalKeyDownMonitor([](int) {}), 0u);
    EXPECT_TRUE(logs.containsPart("KeyMonitors", "Global key monitors are not available"));
}

TEST(DesktopKeyMonitors, GlobalMonitorOnAnX11ServerGrabsUntilRemoved)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X11 server");
    DesktopKeyMonitors monitors;
    const auto first = monitors.addGlobalKeyDownMonitor([](int) {});
    const auto second = monitors.addGlobalKeyDownMonitor([](int) {});
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    monitors.removeMonitor(first);
    monitors.removeMonitor(second);
    // Grabbing again after the last one went works: the grab was released.
    EXPECT_NE(monitors.addGlobalKeyDownMonitor([](int) {}), 0u);
}

#if QT_CONFIG(xcb)
#include "platform/desktop/X11Keyboard.h"

// Escape is grabbed alone and with the lock modifiers only: a window manager that binds
// another Escape combination (openbox binds Alt+Escape) does not stop the monitor, one
// that takes plain Escape does, and nothing stays grabbed after a refusal.
TEST(DesktopKeyMonitors, GlobalMonitorGrabsEscapeWithTheLockModifiersOnly)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X11 server");
    xcb_connection_t *ours = x11::connection();
    const quint8 escape = x11::keycodeFor(ours, 0xff1b);
    ASSERT_NE(escape, 0);
    const quint16 alt = 1 << 3, caps = 1 << 1, shift = 1 << 0;
    const struct {
        quint16 otherHolds;
        bool installed;
    } cases[] = {{alt, true}, {quint16(shift | caps), true}, {caps, true}, {0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.otherHolds);
        xcb_connection_t *other = xcb_connect(nullptr, nullptr);
        ASSERT_FALSE(xcb_connection_has_error(other));
        const xcb_window_t root = x11::rootWindow(other);
        ASSERT_EQ(xcb_request_check(other, xcb_grab_key_checked(other, 1, root, c.otherHolds, escape,
                                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
                  nullptr);
        {
            test::LogCapture logs;
            DesktopKeyMonitors monitors;
            const auto token = monitors.addGlobalKeyDownMonitor([](int) {});
            EXPECT_EQ(token != 0, c.installed);
            EXPECT_EQ(logs.containsPart("KeyMonitors", "cannot be watched"), c.otherHolds == caps || !c.installed);
        }
        xcb_disconnect(other);
        // What the monitor grabbed went with it: another client can hold the lock variants.
        xcb_connection_t *after = xcb_connect(nullptr, nullptr);
        for (quint16 modifiers : {quint16(0), caps}) {
            xcb_generic_error_t *error = xcb_request_check(
                after, xcb_grab_key_checked(after, 1, x11::rootWindow(after), modifiers, escape,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            EXPECT_EQ(error, nullptr) << "modifiers " << modifiers;
            free(error);
        }
        xcb_disconnect(after);
    }
}
#endif
