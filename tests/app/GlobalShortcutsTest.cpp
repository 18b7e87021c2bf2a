#include "app/GlobalShortcuts.h"
#include "app/QuellvistaApp.h"

#include "comfort/PresetManager.h"
#include "platform/HotKeyAvailability.h"
#include "platform/KeyCodes.h"
#include "platform/Platform.h"
#include "platform/host/SystemHost.h"
#include "platform/sim/SimHotKeys.h"
#include "wellness/BreakReminder.h"
#include "support/TestEnvironment.h"

using namespace qv;

namespace {

constexpr quint32 kCmdShift = kHotKeyCommand | kHotKeyShift;

class GlobalShortcutsTest : public test::QvTest {
protected:
    // Records what the callbacks receive: "break" or the preset's raw value.
    QStringList calls;
    void hookUp(GlobalShortcuts &shortcuts)
    {
        shortcuts.onTakeBreak = [this] { calls << QStringLiteral("break"); };
        shortcuts.onTogglePreset = [this](ComfortPreset preset) { calls << rawValue(preset); };
    }
};

TEST_F(GlobalShortcutsTest, EachKeyReachesItsActionOnALaterTurn)
{
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    hookUp(shortcuts);
    shortcuts.registerHotKeys();
    EXPECT_EQ(shortcuts.hotKeyRefs().size(), 6);
    EXPECT_TRUE(logs->contains(QStringLiteral("Shortcuts"), QStringLiteral("Global shortcuts registered")));

    const struct {
        int keyCode;
        const char *action;
    } table[] = {{11, "break"},   {45, "Evening"}, {15, "Reading"},
                 {35, "PWM-safe"}, {2, "Focus"},    {29, "Neutral"}};
    for (const auto &row : table) {
        calls.clear();
        EXPECT_TRUE(mac->hotKeys().press(row.keyCode, kCmdShift)) << row.action;
        EXPECT_TRUE(calls.isEmpty()) << "the action waits for the handler to return";
        runPending();
        EXPECT_EQ(calls, QStringList{QString::fromUtf8(row.action)});
    }

    // Other modifiers or keys are not ours.
    EXPECT_FALSE(mac->hotKeys().press(11, kHotKeyCommand));
    EXPECT_FALSE(mac->hotKeys().press(11, kCmdShift | kHotKeyOption));
    EXPECT_FALSE(mac->hotKeys().press(12, kCmdShift));
}

TEST_F(GlobalShortcutsTest, ATakenCombinationIsLoggedAndTheOthersStillWork)
{
    mac->hotKeys().takeByOtherProgram(15, kCmdShift); // R, id 3
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    hookUp(shortcuts);
    shortcuts.registerHotKeys();

    EXPECT_EQ(shortcuts.hotKeyRefs().size(), 5);
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")),
              QStringList{QStringLiteral("1 of the 6 hot keys are not available: \u2318\u21E7R (another program holds the "
                                         "combination)")});
    EXPECT_EQ(GlobalShortcuts::hint(ComfortPreset::reading), QStringLiteral("\u2318\u21E7R not available"));
    EXPECT_TRUE(mac->hotKeys().press(45, kCmdShift));
    runPending();
    EXPECT_EQ(calls, QStringList{QStringLiteral("Evening")});
}

// A keyboard map without the keys at start: one line says which keys cannot be pressed and
// why, never that they were registered, and the hints say so; once the map has the keys
// they are registered, said once, and work.
TEST_F(GlobalShortcutsTest, KeysTheKeyboardLacksAreRegisteredOnceItHasThem)
{
    mac->hotKeys().setMissingKeys({11, 45, 15, 35, 2, 29});
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    hookUp(shortcuts);
    shortcuts.registerHotKeys();
    EXPECT_TRUE(shortcuts.hotKeyRefs().isEmpty());
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")),
              QStringList{QStringLiteral("6 of the 6 hot keys are not available: \u2318\u21E7B, \u2318\u21E7N, "
                                         "\u2318\u21E7R, \u2318\u21E7P, \u2318\u21E7D, \u2318\u21E70 (the "
                                         "keyboard's map has no such key)")});
    EXPECT_EQ(GlobalShortcuts::hint(ComfortPreset::evening), QStringLiteral("\u2318\u21E7N not available"));
    mac->hotKeys().setMissingKeys({11, 45, 15, 35, 2, 29}); // another map, as poor: nothing more is said
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")).size(), 1);

    mac->hotKeys().setMissingKeys({});
    EXPECT_EQ(shortcuts.hotKeyRefs().size(), 6);
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")).last(), QStringLiteral("Global shortcuts registered"));
    EXPECT_EQ(GlobalShortcuts::hint(ComfortPreset::evening), QStringLiteral("\u2318\u21E7N"));
    EXPECT_TRUE(mac->hotKeys().press(45, kCmdShift));
    runPending();
    EXPECT_EQ(calls, QStringList{QStringLiteral("Evening")});

    // A key the map loses again cannot be pressed, and is shown so.
    mac->hotKeys().setMissingKeys({2});
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")).last(),
              QStringLiteral("1 of the 6 hot keys are not available: \u2318\u21E7D (the keyboard's map has no such key)"));
    EXPECT_EQ(HotKeyAvailability::shared().unavailable().keys(), QList<int>{2});
}

// While the desktop is still asked how its hot keys work nothing is said; its answer is.
TEST_F(GlobalShortcutsTest, NothingIsSaidBeforeTheDesktopAnswers)
{
    mac->hotKeys().setWay(HotKeyWay::pending);
    GlobalShortcuts::shared().registerHotKeys();
    EXPECT_TRUE(logs->messages(QStringLiteral("Shortcuts")).isEmpty());
    EXPECT_EQ(HotKeyAvailability::shared().way(), HotKeyWay::pending);
    mac->hotKeys().setWay(HotKeyWay::xwaylandKeyGrabs);
    EXPECT_EQ(logs->messages(QStringLiteral("Shortcuts")), QStringList{QStringLiteral("Global shortcuts registered")});
    EXPECT_EQ(HotKeyAvailability::shared().way(), HotKeyWay::xwaylandKeyGrabs);
}

TEST_F(GlobalShortcutsTest, UnsetCallbacksUnknownIdsAndAFailedHandlerDoNothing)
{
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    shortcuts.registerHotKeys();
    EXPECT_TRUE(mac->hotKeys().press(11, kCmdShift));
    runPending(); // no callback set: nothing to run, nothing breaks

    hookUp(shortcuts);
    for (quint32 id : {0u, 7u, 0xffffffffu})
        shortcuts.dispatch(id);
    EXPECT_TRUE(calls.isEmpty());

}

TEST_F(GlobalShortcutsTest, KeysRegisteredWithoutAHandlerDoNothing)
{
    mac->hotKeys().setInstallFails(-50);
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    hookUp(shortcuts);
    shortcuts.registerHotKeys();
    EXPECT_EQ(shortcuts.hotKeyRefs().size(), 6);
    EXPECT_TRUE(mac->hotKeys().press(45, kCmdShift));
    runPending();
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(GlobalShortcutsTest, HintsKeepTheMacSigns)
{
    const struct {
        ComfortPreset preset;
        const char *hint;
    } table[] = {{ComfortPreset::neutral, "⌘⇧0"}, {ComfortPreset::reading, "⌘⇧R"},
                 {ComfortPreset::focus, "⌘⇧D"},   {ComfortPreset::evening, "⌘⇧N"},
                 {ComfortPreset::lowStimulus, ""}, {ComfortPreset::colorWork, ""},
                 {ComfortPreset::pwmSafe, "⌘⇧P"}};
    for (const auto &row : table)
        EXPECT_EQ(GlobalShortcuts::hint(row.preset), QString::fromUtf8(row.hint)) << qPrintable(rawValue(row.preset));
    EXPECT_EQ(GlobalShortcuts::breakHint(), QStringLiteral("\u2318\u21E7B"));
}

// On the host the command modifier is the Super key, and the hints say so in the
// desktop's words.
TEST_F(GlobalShortcutsTest, HintsOnTheHostNameTheDesktopsKeys)
{
    PlatformServices services = mac->services();
    HostMachineWords hostWords;
    services.words = &hostWords;
    installPlatform(services);
    EXPECT_EQ(GlobalShortcuts::hint(ComfortPreset::focus), "Super+Shift+D");
    EXPECT_EQ(GlobalShortcuts::breakHint(), "Super+Shift+B");
    EXPECT_EQ(GlobalShortcuts::hint(ComfortPreset::lowStimulus), "");
    EXPECT_EQ(hotKeyText(kHotKeyControl | kHotKeyOption, u'0'), "Ctrl+Alt+0");
    services.words = mac->services().words;
    installPlatform(services);
    EXPECT_EQ(hotKeyText(kHotKeyControl | kHotKeyOption, u'0'), QStringLiteral("\u2325\u23030"));
    // --help lists the six keys in the desktop's words, wherever it is asked.
    const QStringList help = GlobalShortcuts::commandLineHelp().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(help.size(), 7);
    EXPECT_EQ(help[1], "  Super+Shift+B    Take a break now");
    EXPECT_EQ(help[4], "  Super+Shift+P    PWM-Safe profile (again: back to Neutral)");
    EXPECT_EQ(help[6], "  Super+Shift+0    Back to Neutral");
}

// Through the launch setup: the break key starts a break with reminders off, a preset key
// pressed twice returns to Neutral, and the Neutral key over Neutral stays there.
TEST_F(GlobalShortcutsTest, TheLaunchSetupWiresTheKeysToTheModels)
{
    defaults->setBool(QStringLiteral("breakReminderEnabled"), false);
    QuellvistaApp app;
    app.performLaunchSetup();
    runPending();

    EXPECT_TRUE(mac->hotKeys().press(11, kCmdShift));
    advance(100);
    EXPECT_TRUE(app.breakReminder().isOnBreak());
    app.breakReminder().skipBreak();
    advance(100);

    mac->hotKeys().press(45, kCmdShift);
    advance(100);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::evening);
    mac->hotKeys().press(45, kCmdShift);
    advance(100);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::neutral);
    mac->hotKeys().press(29, kCmdShift);
    advance(100);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::neutral);
}

} // namespace
