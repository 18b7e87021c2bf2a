#pragma once

#include <QtGlobal>

#include <functional>

namespace qv {

// Virtual key codes of the keyboard, as the platform numbers them.
inline constexpr int kKeyCodeEscape = 53;
inline constexpr int kKeyCodeReturn = 36;
inline constexpr int kKeyCodeTab = 48;
inline constexpr int kKeyCodeSpace = 49;
inline constexpr int kKeyCodeDelete = 51;
inline constexpr int kKeyCodeA = 0;

// Key-down monitors. A local monitor sees the key presses meant for this application's
// own windows and may consume one (the key then reaches no window); a global monitor sees
// key presses meant for other applications and cannot change them. Main thread only.
class KeyMonitors {
public:
    // Identifies an installed monitor; 0 is none.
    using MonitorToken = quint64;
    // Returns true to consume the key press.
    using LocalHandler = std::function<bool(int keyCode)>;
    using GlobalHandler = std::function<void(int keyCode)>;

    virtual ~KeyMonitors() = default;
    // Installs a monitor; returns 0 when the system installs none.
    virtual MonitorToken addLocalKeyDownMonitor(LocalHandler handler) = 0;
    virtual MonitorToken addGlobalKeyDownMonitor(GlobalHandler handler) = 0;
    // Removes a monitor; an unknown token or 0 does nothing.
    virtual void removeMonitor(MonitorToken token) = 0;
};

} // namespace qv
