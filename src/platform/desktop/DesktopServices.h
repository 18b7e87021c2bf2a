#pragma once

#include "platform/Platform.h"

#include <memory>

namespace qv {

class DesktopHotKeys;
class DesktopKeyMonitors;
class DesktopNotifications;
class DlibFaceLandmarks;
class HotKeys;
class QtCamera;
class QtPanels;
class XdgAutostartLoginItem;

// The back-ends of the desktop session for the services that have one here: overlay
// panels as real windows and key-down monitors when a display server runs, hot keys on
// an X11 server (in a Wayland session through the desktop portal where it offers global
// shortcuts, else the X server's key grabs where the application runs on XWayland), notifications through the session bus (or the log without one), the
// computer's camera and face landmarks from dlib, and the login item as an XDG autostart
// entry. Keep it alive while the services are installed.
class DesktopServices {
public:
    DesktopServices();
    ~DesktopServices();

    // services with the desktop's back-ends in place of the ones it has.
    PlatformServices over(PlatformServices services) const;

private:
    std::unique_ptr<DesktopKeyMonitors> m_keyMonitors;
    std::unique_ptr<HotKeys> m_hotKeys;
    std::unique_ptr<DesktopNotifications> m_notifications;
    std::unique_ptr<QtPanels> m_panels;
    std::unique_ptr<XdgAutostartLoginItem> m_loginItem;
    std::unique_ptr<QtCamera> m_camera;
    std::unique_ptr<DlibFaceLandmarks> m_faceLandmarks;
};

} // namespace qv
