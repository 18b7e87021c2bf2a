#include "platform/KeyCodes.h"
#include "platform/desktop/DesktopHotKeys.h"
#include "platform/sim/SimHotKeys.h"
#include "support/MissingTool.h"

#include <QtGui/qtguiglobal.h>

#include <gtest/gtest.h>

using namespace qv;

namespace {

TEST(HotKeysTest, ModifiersMapOntoTheServersMasks)
{
    constexpr quint16 super = 1 << 6, alt = 1 << 3;
    const struct {
        quint32 modifiers;
        quint16 x11;
    } table[] = {
        {0, 0},
        {kHotKeyCommand, super},
        {kHotKeyCommand | kHotKeyShift, super | 1},
        {kHotKeyOption | kHotKeyControl, alt | 4},
        {kHotKeyCommand | kHotKeyShift | kHotKeyOption | kHotKeyControl, super | alt | 1 | 4},
    };
    for (const auto &row : table)
        EXPECT_EQ(DesktopHotKeys::x11Modifiers(row.modifiers, super, alt), row.x11) << row.modifiers;
    // Super elsewhere (Mod3) follows the server.
    EXPECT_EQ(DesktopHotKeys::x11Modifiers(kHotKeyCommand, 1 << 5, alt), 1 << 5);
    EXPECT_EQ(DesktopHotKeys::lockVariants(1 << 4), (QList<quint16>{0, 2, 16, 18}));
}

TEST(HotKeysTest, KeyCodesAndCharactersRoundTrip)
{
    for (QChar c : QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")) {
        const int code = keyCodeForCharacter(c);
        ASSERT_GE(code, 0) << c.toLatin1();
        EXPECT_EQ(characterForKeyCode(code), c);
        EXPECT_EQ(keyCodeForCharacter(c.toLower()), code);
    }
    EXPECT_EQ(keyCodeForCharacter(QLatin1Char('-')), -1);
    EXPECT_TRUE(characterForKeyCode(53).isNull()) << "Escape has no character";
    EXPECT_TRUE(characterForKeyCode(-1).isNull());
}

TEST(HotKeysTest, TheSimulatedSystemRefusesTakenAndDoubleCombinations)
{
    SimHotKeys keys;
    HotKeys::HotKeyRef ref = 0;
    EXPECT_EQ(keys.registerHotKey(11, kHotKeyCommand, {1, 1}, &ref), 0);
    EXPECT_NE(ref, 0u);
    HotKeys::HotKeyRef second = 0;
    EXPECT_EQ(keys.registerHotKey(11, kHotKeyCommand, {1, 2}, &second), kHotKeyExists);
    EXPECT_EQ(second, 0u);
    keys.takeByOtherProgram(12, kHotKeyCommand);
    EXPECT_EQ(keys.registerHotKey(12, kHotKeyCommand, {1, 3}, &second), kHotKeyExists);
    EXPECT_EQ(keys.registerHotKey(200, kHotKeyCommand, {1, 4}, &second), kHotKeyInvalid);

    QList<quint32> pressed;
    keys.installPressHandler([&](HotKeyID id) { pressed << id.id; });
    EXPECT_TRUE(keys.press(11, kHotKeyCommand));
    keys.unregisterHotKey(ref);
    keys.unregisterHotKey(ref);
    EXPECT_FALSE(keys.press(11, kHotKeyCommand));
    EXPECT_EQ(pressed, QList<quint32>{1});
}

} // namespace

#if QT_CONFIG(xcb)
#include "platform/desktop/X11Keyboard.h"

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>

namespace {

// A combination another client holds is refused as taken; the others are grabbed, and a
// press with Caps Lock or Num Lock on still reaches the handler.
TEST(DesktopHotKeys, AKeyAnotherClientGrabbedIsRefusedAndTheOthersWork)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X11 server");
    std::unique_ptr<DesktopHotKeys> keys = DesktopHotKeys::create();
    ASSERT_TRUE(keys);
    xcb_connection_t *ours = x11::connection();
    quint16 super = x11::modifierMaskFor(ours, 0xffeb);
    if (!super)
        super = 1 << 6;
    quint16 numLock = x11::modifierMaskFor(ours, 0xff7f);
    if (!numLock)
        numLock = 1 << 4;
    const quint8 r = x11::keycodeFor(ours, 'r');
    const quint8 n = x11::keycodeFor(ours, 'n');
    ASSERT_NE(r, 0);

    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_void_cookie_t cookie = xcb_grab_key_checked(other, 0, x11::rootWindow(other), super | 1, r,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    ASSERT_EQ(xcb_request_check(other, cookie), nullptr);

    HotKeys::HotKeyRef ref = 0;
    EXPECT_EQ(keys->registerHotKey(15, kHotKeyCommand | kHotKeyShift, {1, 3}, &ref), kHotKeyExists);
    EXPECT_EQ(ref, 0u);
    EXPECT_EQ(keys->registerHotKey(45, kHotKeyCommand | kHotKeyShift, {1, 2}, &ref), 0);
    EXPECT_NE(ref, 0u);
    EXPECT_EQ(keys->registerHotKey(53, kHotKeyCommand, {1, 9}, &ref), kHotKeyInvalid) << "Escape has no character";

    QList<quint32> pressed;
    keys->installPressHandler([&](HotKeyID id) { pressed << id.id; });
    QAbstractNativeEventFilter &filter = *keys;
    const auto press = [&](quint8 keycode, quint16 state) {
        xcb_key_press_event_t event{};
        event.response_type = XCB_KEY_PRESS;
        event.detail = keycode;
        event.state = state;
        event.event = x11::rootWindow(ours);
        return filter.nativeEventFilter("xcb_generic_event_t", &event, nullptr);
    };
    EXPECT_TRUE(press(n, super | 1));
    EXPECT_TRUE(press(n, super | 1 | 2 | numLock)) << "Caps Lock and Num Lock on";
    EXPECT_FALSE(press(n, super)) << "without Shift";
    EXPECT_FALSE(press(r, super | 1)) << "not ours";
    EXPECT_EQ(pressed, (QList<quint32>{2, 2}));
    xcb_disconnect(other);
}

// A key the keyboard's map lacks is refused as such; once another client gives the map the
// key, the change handler is told and the key can be grabbed, and a grab made before
// follows its key to its new keycode.
TEST(DesktopHotKeys, AKeyTheMapLacksIsGrabbedOnceTheMapHasIt)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QV_SKIP_WITHOUT("needs an X11 server");
    std::unique_ptr<DesktopHotKeys> keys = DesktopHotKeys::create();
    ASSERT_TRUE(keys);
    int changes = 0;
    keys->setChangeHandler([&] { ++changes; });
    xcb_connection_t *ours = x11::connection();
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    // Moves a keysym to keycode `to` (its old one emptied); 0 only empties.
    const auto move = [&](quint32 keysym, quint8 to) {
        const quint8 from = x11::keycodeFor(other, keysym);
        const xcb_keysym_t none[2] = {0, 0}, syms[2] = {keysym, keysym};
        if (from)
            xcb_change_keyboard_mapping(other, 1, from, 2, none);
        if (to)
            xcb_change_keyboard_mapping(other, 1, to, 2, syms);
        free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // done by now
    };
    const quint8 n = x11::keycodeFor(ours, 'n'), r = x11::keycodeFor(ours, 'r');
    ASSERT_NE(n, 0);
    move('n', 0);
    HotKeys::HotKeyRef ref = 0;
    EXPECT_EQ(keys->registerHotKey(45, kHotKeyCommand | kHotKeyShift, {1, 2}, &ref), kHotKeyNoSuchKey);
    ASSERT_EQ(keys->registerHotKey(15, kHotKeyCommand | kHotKeyShift, {1, 3}, &ref), 0);
    move('n', n);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 5000));
    HotKeys::HotKeyRef evening = 0;
    EXPECT_EQ(keys->registerHotKey(45, kHotKeyCommand | kHotKeyShift, {1, 2}, &evening), 0);

    // R moves to a spare keycode: its grab goes with it.
    const quint8 spare = 255;
    move('r', spare);
    const auto grabbedThere = [&] {
        xcb_generic_error_t *taken = xcb_request_check(
            other, xcb_grab_key_checked(other, 0, x11::rootWindow(other), XCB_MOD_MASK_4 | 1, spare,
                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (!taken) // let go at once, before ours try
            free(xcb_request_check(other, xcb_ungrab_key_checked(other, spare, x11::rootWindow(other), XCB_MOD_MASK_4 | 1)));
        free(taken);
        return taken != nullptr;
    };
    EXPECT_TRUE(QTest::qWaitFor(grabbedThere, 5000)) << "the moved key is grabbed on its new keycode";
    EXPECT_EQ(keys->keyStatus(ref), 0);
    move('r', r);
    xcb_disconnect(other);
}

} // namespace
#endif
