#pragma once

#include "platform/Platform.h"

#include <QDBusConnection>
#include <QMetaObject>

#include <memory>

namespace qv {

class BusLossNote;
class HostAmbientLight;
class HostPower;
class PortalAppearance;
class SessionWatcher;

// The services this computer's system and session buses answer: the battery and thermal
// state, the ambient-light sensor, the desktop's appearance, and the session's wake-ups
// and time-zone changes. A service that cannot be reached falls back (see each one) and
// logs one line, as does a bus that goes away. Keep it alive while the services are
// installed.
class HostBusServices {
public:
    HostBusServices();
    // On the given buses (tests use private ones).
    HostBusServices(const QDBusConnection &systemBus, const QDBusConnection &sessionBus);
    ~HostBusServices();

    // services with these back-ends in place; the session's wake-ups and time-zone
    // changes are announced by the workspace in services (the last one given).
    PlatformServices over(PlatformServices services);

private:
    std::unique_ptr<BusLossNote> m_systemBusLoss;
    std::unique_ptr<BusLossNote> m_sessionBusLoss;
    std::unique_ptr<HostPower> m_power;
    std::unique_ptr<HostAmbientLight> m_ambientLight;
    std::unique_ptr<PortalAppearance> m_appearance;
    std::unique_ptr<SessionWatcher> m_session;
    QList<QMetaObject::Connection> m_forwarding;
};

} // namespace qv
