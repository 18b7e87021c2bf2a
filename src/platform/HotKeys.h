#pragma once

#include "platform/Types.h"

#include <QtGlobal>

#include <functional>

namespace qv {

// Modifier bits of a hot key, as the platform numbers them.
inline constexpr quint32 kHotKeyCommand = 0x100;
inline constexpr quint32 kHotKeyShift = 0x200;
inline constexpr quint32 kHotKeyOption = 0x800;
inline constexpr quint32 kHotKeyControl = 0x1000;

// Result codes of a hot-key registration (0 is success).
inline constexpr ResultCode kHotKeyExists = -9878;  // another program holds the combination
inline constexpr ResultCode kHotKeyInvalid = -9879; // the key or the modifiers cannot be used
// Codes of our own for a registered key that cannot be pressed now, or a refused one.
inline constexpr ResultCode kHotKeyNoSuchKey = -9870; // the keyboard's map has no key for it
inline constexpr ResultCode kHotKeyNoWay = -9871;     // the desktop passes no hot keys to applications
inline constexpr ResultCode kHotKeyPending = -9872;   // not known yet: the desktop is being asked

// How the presses of the hot keys reach the application on this desktop.
enum class HotKeyWay {
    pending,          // the desktop is being asked
    systemWide,       // the system's own hot keys (the simulated Mac)
    portal,           // the desktop portal's global shortcuts
    keyGrabs,         // key grabs of the X server, whichever window has the keyboard
    xwaylandKeyGrabs, // key grabs of XWayland: only while an X11 window has the keyboard
    none,             // none at all
};

// Identifies a registered hot key in the presses it reports.
struct HotKeyID {
    quint32 signature = 0;
    quint32 id = 0;
    bool operator==(const HotKeyID &) const = default;
};

// System-wide hot keys: a key combination that reaches this application whichever
// application is in front. Main thread only; presses are reported on the main thread.
class HotKeys {
public:
    // Names a registration; 0 is none.
    using HotKeyRef = quint64;
    using PressHandler = std::function<void(HotKeyID)>;

    virtual ~HotKeys() = default;
    // Installs the application's press handler (a later one replaces it). Returns 0 or an
    // error code.
    virtual ResultCode installPressHandler(PressHandler handler) = 0;
    // Registers a key (a virtual key code) with modifiers. Returns 0 and fills ref, or an
    // error code and leaves ref alone.
    virtual ResultCode registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref) = 0;
    // Gives a registration up; an unknown ref or 0 does nothing.
    virtual void unregisterHotKey(HotKeyRef ref) = 0;

    virtual HotKeyWay way() const { return HotKeyWay::systemWide; }
    // Whether a registered key can be pressed now: 0, or why not (kHotKeyNoSuchKey while the
    // keyboard lacks it, kHotKeyNoWay, kHotKeyPending, or the code of a refusal).
    virtual ResultCode keyStatus(HotKeyRef ref) const
    {
        Q_UNUSED(ref)
        return 0;
    }
    // Told (on the main thread) when way() or a keyStatus() may have changed, or a key
    // refused before may be registered now (the keyboard's map changed).
    virtual void setChangeHandler(std::function<void()> handler) { Q_UNUSED(handler) }
};

} // namespace qv
