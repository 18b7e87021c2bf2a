#include "platform/host/HostServices.h"

#include "platform/host/DesktopEntries.h"
#include "platform/host/GsettingsFontSmoothing.h"
#include "platform/host/HostBusServices.h"
#include "platform/Workspace.h"
#include "platform/host/HostIdle.h"
#include "platform/host/HostProcesses.h"
#include "platform/host/HostRegistry.h"
#include "platform/host/HostScreens.h"
#include "platform/host/HostWorkspace.h"
#include "platform/host/HostDisplays.h"
#include "platform/host/ManagerWatch.h"
#include "platform/host/SystemHost.h"
#include "platform/x11/XConnection.h"
#include "platform/host/wayland/LayerShellPanels.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "platform/host/wayland/WaylandIdle.h"
#include "platform/host/wayland/WaylandWorkspace.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace qv {

HostServices::HostServices()
{
    // The session decides how the screens' gamma is set (and says so once in the log).
    HostDisplays::Session session = HostDisplays::Session::current();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        session.sessionType = QStringLiteral("wayland");
    // By the session, not by the platform the windows go through (XWayland in a Wayland session).
    const bool waylandSession = session.sessionType == QLatin1String("wayland") || !session.waylandDisplay.isEmpty();
    m_x = std::make_unique<x11::XConnection>(session.xDisplay, Logger("X11"));
    session.x = m_x.get();
    // One connection to the compositor for the gamma control, the idle time and the window
    // list, its globals known before they start.
    if (waylandSession) {
        m_wayland = std::make_unique<host::WaylandConnection>(session.waylandDisplay, Logger("Wayland"));
        m_wayland->roundtrip();
        session.wayland = m_wayland.get();
    }
    m_displays = HostDisplays::forSession(session);
    // A window manager that takes over may reset the ramps of an X11 session's screens.
    if (!waylandSession && m_x->isConnected()) {
        m_managers = std::make_unique<host::ManagerWatch>(*m_x);
        QObject::connect(m_managers.get(), &host::ManagerWatch::managerChanged, m_displays.get(),
                         &HostDisplays::managersChanged);
    }
    // Why there is no connection, said once: with the displays' reason where they wanted it.
    if (m_wayland && !m_wayland->isConnected() && !m_displays->limitationText().contains(m_wayland->problem()))
        Logger("Wayland").info("%s: the compositor's idle time and windows are not followed",
                               qUtf8Printable(m_wayland->problem()));
    m_screens = std::make_unique<HostScreens>(m_displays.get());
    m_host = std::make_unique<SystemHost>();
    m_registry = std::make_unique<HostRegistry>(m_displays.get());
    // The user's idle time from the one source the session gets (HostIdle chooses and says
    // which), the front application from the window manager, in a Wayland session from the
    // compositor where it offers its list of windows.
    if (m_wayland && m_wayland->isConnected())
        m_waylandIdle = std::make_unique<host::WaylandIdle>(*m_wayland);
    m_idle = std::make_unique<HostIdle>(*m_x, QDBusConnection::sessionBus(), waylandSession, m_waylandIdle.get());
    m_entries = std::make_shared<DesktopEntries>();
    if (m_wayland && m_wayland->isConnected()) {
        auto workspace = std::make_unique<host::WaylandWorkspace>(*m_wayland, m_entries);
        if (workspace->isAvailable())
            m_workspace = std::move(workspace);
    }
    if (!m_workspace)
        m_workspace = std::make_unique<HostWorkspace>(*m_x, m_entries);
    m_bus = std::make_unique<HostBusServices>();
    // The desktop's font setting, put back first where a killed run left it switched.
    m_fontSmoothing = std::make_unique<GsettingsFontSmoothing>();
}

HostServices::~HostServices()
{
    m_displays->restoreColorSyncSettings();
}

void HostServices::putBackWhatARunLeft()
{
    // Each puts back what it finds kept as it starts (a method that reads ahead, once it
    // has read the layout: waited for a moment); the font setting at the latest as it goes.
    const std::unique_ptr<HostDisplays> displays = HostDisplays::forSession(HostDisplays::Session::current());
    if (!displays->hasLookedAtWhatARunLeft()) {
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        QObject::connect(displays.get(), &HostDisplays::transferFormulaNoteChanged, &loop, [&] {
            if (displays->hasLookedAtWhatARunLeft())
                loop.quit();
        });
        loop.exec();
    }
    GsettingsFontSmoothing fontSmoothing;
}

bool HostServices::sessionIsDesktop()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

PlatformServices HostServices::over(PlatformServices services) const
{
    services.displays = m_displays.get();
    services.screens = m_screens.get();
    services.host = m_host.get();
    services.registry = m_registry.get();
    services.idle = m_idle.get();
    services.workspace = m_workspace.get();
    if (!m_processes)
        m_processes = std::make_unique<HostProcesses>();
    services.processes = m_processes.get();
    services.displayProfiler = nullptr; // none here: the screens tell what this computer knows
    if (!m_bundle)
        m_bundle = std::make_unique<HostBundle>(services.bundle, *m_host);
    services.bundle = m_bundle.get();
    services.fontSmoothing = m_fontSmoothing.get();
    static HostMachineWords words;
    services.words = &words;
    // Where the compositor offers the layer shell, the veil and the Sidecar overlay are layer
    // surfaces of our own connection whatever Qt's platform: above every window, native or
    // XWayland, and letting the pointer through to all of them.
    if (!m_layerPanels && m_wayland && host::LayerShellPanels::isOffered(*m_wayland)) {
        // Qt and XWayland name their screens after the compositor's outputs.
        const auto screenName = [](const ScreenInfo &screen) {
            for (const QScreen *qscreen : QGuiApplication::screens())
                if (QRectF(qscreen->geometry()) == screen.frame)
                    return qscreen->name();
            return QString();
        };
        m_layerPanels = std::make_unique<host::LayerShellPanels>(*m_wayland, services.panels, screenName);
        m_toldOverlays = true;
    }
    if (m_layerPanels)
        services.panels = m_layerPanels.get();
    else if (m_wayland && !std::exchange(m_toldOverlays, true))
        Logger("Panels").info(QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
                                  ? "Overlays: the compositor offers no layer shell, and Qt's Wayland windows cannot "
                                    "lie above the others: they are not shown"
                                  : "Overlays: X11 windows through XWayland (the compositor offers no layer shell); "
                                    "a click on them reaches the X11 windows below, and a Wayland window below only "
                                    "where the compositor took their X11 input shape (GNOME's does not always)");
    // Last, so that the session's wake-ups and zone changes reach the workspace in place.
    services = m_bus->over(services);
    // Sleep may have reset the CRTCs: the formulas are written again.
    if (services.workspace)
        QObject::connect(services.workspace, &Workspace::screensDidWake, m_displays.get(),
                         &HostDisplays::screensDidWake, Qt::UniqueConnection);
    return services;
}

} // namespace qv
