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
};

} // namespace qv
