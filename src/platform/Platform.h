#pragma once

namespace qv {

class WindowSight;
class Registry;
class Displays;
class Screens;
class Host;
class Processes;
class DisplayProfiler;
class Workspace;
class Panels;
class Idle;
class Appearance;
class AmbientLight;
class KeyMonitors;
class Notifications;
class Power;
class LoginItem;
class HotKeys;
class Bundle;
class Updater;
class Camera;
class FaceLandmarks;
class FontSmoothing;
class MachineWords;
class SimulatedMac;

// The platform services the models use, from one place tests can replace.
struct PlatformServices {
    Registry *registry = nullptr;
    Displays *displays = nullptr;
    Screens *screens = nullptr;
    Host *host = nullptr;
    Processes *processes = nullptr;
    // None: the computer has no display profiler.
    DisplayProfiler *displayProfiler = nullptr;
    Workspace *workspace = nullptr;
    Panels *panels = nullptr;
    Idle *idle = nullptr;
    Appearance *appearance = nullptr;
    KeyMonitors *keyMonitors = nullptr;
    Notifications *notifications = nullptr;
    Power *power = nullptr;
    LoginItem *loginItem = nullptr;
    HotKeys *hotKeys = nullptr;
    Bundle *bundle = nullptr;
    Updater *updater = nullptr;
    Camera *camera = nullptr;
    FaceLandmarks *faceLandmarks = nullptr;
    FontSmoothing *fontSmoothing = nullptr;
    // How the texts name the machine and its keys.
    MachineWords *words = nullptr;
    // An ambient-light sensor outside the registry; none: the registry's sensor services.
    AmbientLight *ambientLight = nullptr;
    // Whether windows are out of sight beyond their exposure; none: an exposed window is seen.
    WindowSight *windowSight = nullptr;
};

// The services in use. Asking before any are installed is a fault of the program: it
// ends with a message, unless the program chose a stand-in below.
const PlatformServices &platform();
// From now on, asking with nothing installed installs a simulated Mac built from the
// built-in machine description (test and benchmark programs).
void useSimulatedMacWhenNoneInstalled();
void installPlatform(const PlatformServices &services);

// The simulated Mac behind the installed services, when there is one.
SimulatedMac *simulatedMac();
// Installs a simulated Mac's services (not owned). nullptr removes it.
void installSimulatedMac(SimulatedMac *mac);

} // namespace qv
