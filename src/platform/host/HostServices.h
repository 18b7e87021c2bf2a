#pragma once

#include "platform/Platform.h"

#include <memory>

namespace qv {

class DesktopEntries;
class HostBundle;
class GsettingsFontSmoothing;
class HostBusServices;
class HostIdle;
class HostProcesses;
class HostRegistry;
class HostScreens;
class HostWorkspace;
class HostDisplays;
class SystemHost;
class Workspace;
namespace host {
class LayerShellPanels;
class ManagerWatch;
class WaylandConnection;
class WaylandIdle;
} // namespace host
namespace x11 {
class XConnection;
}

// The back-ends of the Linux computer itself for the services that have one: the
// displays and their transfer formulas on the X server's RandR, the screens numbered
// with those displays, the processor and computer names, a registry without
// framebuffer properties, the user's idle time, the front and running applications from
// the window manager (on Wayland from the compositor, where it tells them), the computer's own programs and system version, and what the system and session buses
// tell (battery, thermal state, ambient light, appearance, wake-ups, time zone). Keep it
// alive while the services are installed; it puts back the gamma ramps and the font
// setting it changed when it goes.
class HostServices {
public:
    HostServices();
    ~HostServices();

    // Whether this session is a desktop the host back-ends serve (an X11 or Wayland
    // display of the session's own, not an off-screen platform).
    static bool sessionIsDesktop();

    // Puts back what a run that ended without doing so left changed on the desktop (the
    // gamma ramps, the font setting), as a start does, and nothing else.
    static void putBackWhatARunLeft();

    // services with the host's back-ends in place of the ones it has.
    PlatformServices over(PlatformServices services) const;

    // The idle back-end, which also says when the X server has blanked the screen.
    HostIdle &idle() const { return *m_idle; }
    HostDisplays &displays() const { return *m_displays; }

private:
    // In a Wayland session, shared by the displays, the idle time and the window list
    // (which go before it).
    std::unique_ptr<host::WaylandConnection> m_wayland;
    // The one X connection of the RandR, screen-saver and window-manager back-ends; it
    // goes after them.
    std::unique_ptr<x11::XConnection> m_x;
    std::unique_ptr<HostDisplays> m_displays;
    std::unique_ptr<host::ManagerWatch> m_managers; // X11: a window manager taking over
    std::unique_ptr<HostScreens> m_screens;
    std::unique_ptr<SystemHost> m_host;
    std::unique_ptr<HostRegistry> m_registry;
    std::unique_ptr<host::WaylandIdle> m_waylandIdle;
    std::unique_ptr<HostIdle> m_idle;
    std::shared_ptr<DesktopEntries> m_entries;
    std::unique_ptr<Workspace> m_workspace;
    mutable std::unique_ptr<HostProcesses> m_processes; // made with the services it stands on
    mutable std::unique_ptr<HostBundle> m_bundle;       // likewise
    // Click-through panels as layer surfaces, over the panels given (before the connection goes).
    mutable std::unique_ptr<host::LayerShellPanels> m_layerPanels;
    mutable bool m_toldOverlays = false;
    std::unique_ptr<HostBusServices> m_bus;
    std::unique_ptr<GsettingsFontSmoothing> m_fontSmoothing;
};

} // namespace qv
