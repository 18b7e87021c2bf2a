#include "platform/desktop/DesktopServices.h"

#include "platform/desktop/WindowOcclusion.h"

#include "platform/desktop/DesktopHotKeys.h"
#include "platform/desktop/DesktopKeyMonitors.h"
#include "platform/desktop/DesktopNotifications.h"
#include "platform/desktop/DlibFaceLandmarks.h"
#include "platform/desktop/PortalHotKeys.h"
#include "platform/desktop/QtCamera.h"
#include "platform/desktop/QtPanels.h"
#include "platform/desktop/XdgAutostartLoginItem.h"

#include <QGuiApplication>

namespace qv {

DesktopServices::DesktopServices()
{
    const QString platform = QGuiApplication::platformName();
    // Without a display server no key is ever pressed: the simulated monitors stay.
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        m_keyMonitors = std::make_unique<DesktopKeyMonitors>();
    // System-wide hot keys are key grabs of the X server; in a Wayland session the desktop
    // portal's global shortcuts where it has them; elsewhere the simulated ones stay.
    const bool wayland = platform.startsWith(QLatin1String("wayland"))
                         || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
                         || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        m_hotKeys = std::make_unique<PortalHotKeys>(QDBusConnection::sessionBus(), DesktopHotKeys::create());
    else
        m_hotKeys = DesktopHotKeys::create();
    m_notifications = std::make_unique<DesktopNotifications>(QDBusConnection::sessionBus());
    if (QtPanels::isAvailable())
        m_panels = std::make_unique<QtPanels>();
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_camera = std::make_unique<QtCamera>();
    m_faceLandmarks = std::make_unique<DlibFaceLandmarks>();
}

DesktopServices::~DesktopServices() = default;

PlatformServices DesktopServices::over(PlatformServices services) const
{
    if (m_keyMonitors)
        services.keyMonitors = m_keyMonitors.get();
    if (m_hotKeys)
        services.hotKeys = m_hotKeys.get();
    if (m_notifications)
        services.notifications = m_notifications.get();
    if (m_panels)
        services.panels = m_panels.get();
    services.loginItem = m_loginItem.get();
    services.camera = m_camera.get();
    services.faceLandmarks = m_faceLandmarks.get();
    services.windowSight = &WindowOcclusion::shared();
    return services;
}

} // namespace qv
