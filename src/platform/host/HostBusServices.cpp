#include "platform/host/HostBusServices.h"

#include "platform/Workspace.h"
#include "platform/host/HostAmbientLight.h"
#include "platform/host/HostPower.h"
#include "platform/host/PortalAppearance.h"
#include "platform/host/SessionWatcher.h"

namespace qv {

HostBusServices::HostBusServices() : HostBusServices(QDBusConnection::systemBus(), QDBusConnection::sessionBus()) {}

HostBusServices::HostBusServices(const QDBusConnection &systemBus, const QDBusConnection &sessionBus)
    : m_power(std::make_unique<HostPower>(systemBus)),
      m_ambientLight(std::make_unique<HostAmbientLight>(systemBus)),
      m_appearance(std::make_unique<PortalAppearance>(sessionBus)),
      m_session(std::make_unique<SessionWatcher>(systemBus))
{
}

HostBusServices::~HostBusServices()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_forwarding))
        QObject::disconnect(connection);
}

PlatformServices HostBusServices::over(PlatformServices services)
{
    services.power = m_power.get();
    services.ambientLight = m_ambientLight.get();
    services.appearance = m_appearance.get();
    for (const QMetaObject::Connection &connection : std::as_const(m_forwarding))
        QObject::disconnect(connection);
    m_forwarding.clear();
    if (Workspace *workspace = services.workspace) {
        m_forwarding << QObject::connect(m_session.get(), &SessionWatcher::screensDidWake, workspace,
                                         &Workspace::screensDidWake);
        m_forwarding << QObject::connect(m_session.get(), &SessionWatcher::timeZoneChanged, workspace,
                                         &Workspace::timeZoneChanged);
    }
    return services;
}

} // namespace qv
