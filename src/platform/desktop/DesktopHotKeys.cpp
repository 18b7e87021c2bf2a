#include "platform/desktop/DesktopHotKeys.h"

#include "platform/KeyCodes.h"

#include <QGuiApplication>

#include "platform/desktop/X11Keyboard.h"
#include "runtime/Scheduler.h"

#include <cstdlib>

namespace qv {

namespace {
constexpr quint16 kShiftMask = 1 << 0;
using x11::kLockMask;
constexpr quint16 kControlMask = 1 << 2;
constexpr quint16 kMod1Mask = 1 << 3;
using x11::kMod2Mask;
constexpr quint16 kMod4Mask = 1 << 6;
constexpr quint16 kAllModifiers = 0xff;
constexpr quint8 kBadAccess = 10;
constexpr quint8 kMappingNotify = 34;
constexpr quint8 kXkbNewKeyboardNotify = 0;
constexpr quint8 kXkbMapNotify = 1;

using x11::kNumLockKeysym;
constexpr quint32 kSuperLeftKeysym = 0xffeb;
constexpr quint32 kAltLeftKeysym = 0xffe9;
} // namespace

std::unique_ptr<DesktopHotKeys> DesktopHotKeys::create()
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection)
        return nullptr;
    std::unique_ptr<DesktopHotKeys> keys(new DesktopHotKeys());
    keys->readModifierMasks();
    // Qt's keyboard asks for XKB's map notifications on this connection; they come with
    // the extension's event code.
    const char name[] = "XKEYBOARD";
    if (xcb_query_extension_reply_t *xkb = xcb_query_extension_reply(
            connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr)) {
        if (xkb->present)
            keys->m_xkbEvent = xkb->first_event;
        std::free(xkb);
    }
    return keys;
#else
    return nullptr;
#endif
}

void DesktopHotKeys::readModifierMasks()
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection)
        return;
    // Where the server keeps these keys; the usual places when it does not say.
    m_superMask = x11::modifierMaskFor(connection, kSuperLeftKeysym);
    if (!m_superMask)
        m_superMask = kMod4Mask;
    m_altMask = x11::modifierMaskFor(connection, kAltLeftKeysym);
    if (!m_altMask)
        m_altMask = kMod1Mask;
    m_numLockMask = x11::modifierMaskFor(connection, kNumLockKeysym);
    if (!m_numLockMask)
        m_numLockMask = kMod2Mask;
#endif
}

DesktopHotKeys::~DesktopHotKeys()
{
    for (const Grab &grab : std::as_const(m_grabs))
        if (grab.keycode)
            ungrab(grab);
    if (m_filtering && qApp)
        qApp->removeNativeEventFilter(this);
}

quint16 DesktopHotKeys::x11Modifiers(quint32 modifiers, quint16 superMask, quint16 altMask)
{
    quint16 mask = 0;
    if (modifiers & kHotKeyCommand)
        mask |= superMask;
    if (modifiers & kHotKeyShift)
        mask |= kShiftMask;
    if (modifiers & kHotKeyOption)
        mask |= altMask;
    if (modifiers & kHotKeyControl)
        mask |= kControlMask;
    return mask;
}

QList<quint16> DesktopHotKeys::lockVariants(quint16 numLockMask)
{
    return {0, kLockMask, numLockMask, quint16(kLockMask | numLockMask)};
}

ResultCode DesktopHotKeys::installPressHandler(PressHandler handler)
{
    m_handler = std::move(handler);
    if (!m_filtering && qApp) {
        qApp->installNativeEventFilter(this);
        m_filtering = true;
    }
    return 0;
}

ResultCode DesktopHotKeys::registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref)
{
    Grab made{keyCode, modifiers, 0, 0, id};
    if (const ResultCode result = grab(made))
        return result;
    const HotKeyRef madeRef = m_next++;
    m_grabs.insert(madeRef, made);
    if (ref)
        *ref = madeRef;
    return 0;
}

ResultCode DesktopHotKeys::grab(Grab &grab)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    const QChar character = characterForKeyCode(grab.keyCode);
    grab.keycode = 0;
    if (!connection || character.isNull())
        return grab.status = kHotKeyInvalid;
    // Letters and digits are their own (lower-case) keysyms.
    grab.keycode = x11::keycodeFor(connection, character.toLower().unicode());
    if (grab.keycode == 0)
        return grab.status = kHotKeyNoSuchKey;
    grab.modifiers = x11Modifiers(grab.hotKeyModifiers, m_superMask, m_altMask);
    const xcb_window_t root = x11::rootWindow(connection);

    // Ask for every variant first, then collect the answers.
    QList<xcb_void_cookie_t> cookies;
    for (quint16 lock : lockVariants(m_numLockMask))
        cookies << xcb_grab_key_checked(connection, 0, root, grab.modifiers | lock, grab.keycode, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC);
    ResultCode result = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            // BadAccess: another client holds the combination.
            if (result == 0)
                result = error->error_code == kBadAccess ? kHotKeyExists : kHotKeyInvalid;
            std::free(error);
        }
    }
    if (result != 0) {
        ungrab(grab); // the variants that did go through
        grab.keycode = 0;
    }
    return grab.status = result;
#else
    return grab.status = kHotKeyInvalid;
#endif
}

ResultCode DesktopHotKeys::keyStatus(HotKeyRef ref) const
{
    const auto it = m_grabs.constFind(ref);
    return it == m_grabs.constEnd() ? kHotKeyInvalid : it->status;
}

void DesktopHotKeys::setChangeHandler(std::function<void()> handler)
{
    m_changeHandler = std::move(handler);
    // The map's notifications are read by the same filter as the presses.
    if (!m_filtering && qApp) {
        qApp->installNativeEventFilter(this);
        m_filtering = true;
    }
}

void DesktopHotKeys::keymapChanged()
{
    m_regrabQueued = false;
    for (const Grab &grab : std::as_const(m_grabs))
        if (grab.keycode)
            ungrab(grab);
    // The modifiers may have moved with the keys.
    readModifierMasks();
    for (Grab &grab : m_grabs)
        this->grab(grab);
    if (m_changeHandler) {
        const std::function<void()> handler = m_changeHandler;
        handler();
    }
}

bool DesktopHotKeys::isKeymapEvent(const void *message) const
{
    const auto *bytes = static_cast<const quint8 *>(message);
    const quint8 type = bytes[0] & 0x7f;
    if (type == kMappingNotify)
        return true;
    return m_xkbEvent && type == m_xkbEvent && (bytes[1] == kXkbNewKeyboardNotify || bytes[1] == kXkbMapNotify);
}

void DesktopHotKeys::unregisterHotKey(HotKeyRef ref)
{
    const auto it = m_grabs.constFind(ref);
    if (it == m_grabs.constEnd())
        return;
    if (it->keycode)
        ungrab(*it);
    m_grabs.erase(it);
}

void DesktopHotKeys::ungrab(const Grab &grab)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection)
        return;
    const xcb_window_t root = x11::rootWindow(connection);
    for (quint16 lock : lockVariants(m_numLockMask))
        xcb_ungrab_key(connection, grab.keycode, root, grab.modifiers | lock);
    xcb_flush(connection);
#else
    Q_UNUSED(grab)
#endif
}

bool DesktopHotKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (eventType != "xcb_generic_event_t")
        return false;
    if (isKeymapEvent(message)) {
        // Qt reads the map on this turn too; the keys are grabbed again on the next, once
        // for a burst of notifications.
        if (!m_regrabQueued) {
            m_regrabQueued = true;
            scheduler().post(&m_context, [this] { keymapChanged(); });
        }
        return false;
    }
    if (m_grabs.isEmpty())
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
    const quint16 state = key->state & kAllModifiers & ~(kLockMask | m_numLockMask);
    for (const Grab &grab : std::as_const(m_grabs)) {
        if (!grab.keycode || grab.keycode != key->detail || grab.modifiers != state)
            continue;
        // The release of a grabbed press belongs to it too.
        if (type == XCB_KEY_PRESS && m_handler) {
            const PressHandler handler = m_handler;
            handler(grab.id);
        }
        return true;
    }
    return false;
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    return false;
#endif
}

} // namespace qv
