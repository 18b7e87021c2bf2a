#include "platform/host/HostBusServices.h"

#include "platform/Workspace.h"
#include "platform/host/HostAmbientLight.h"
#include "platform/host/HostPower.h"
#include "platform/host/PortalAppearance.h"
#include "platform/host/SessionWatcher.h"

#include "runtime/Logging.h"

#include <QDBusMessage>
#include <QObject>

namespace qv {

// Says once that a bus has gone (its daemon stopped or the connection broke): the
// services on it then answer nothing more, and each keeps what it knew last.
class BusLossNote : public QObject {
    Q_OBJECT
public:
    BusLossNote(QDBusConnection bus, const char *name) : m_name(name)
    {
        if (bus.isConnected())
            bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                        QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                        SLOT(gone()));
    }

private slots:
    void gone()
    {
        m_log.error("The %s bus has gone: the services on it answer no more until the program starts again; "
                    "what they told last is kept",
                    m_name);
    }

private:
    const char *m_name;
    Logger m_log{"Bus"};
};

HostBusServices::HostBusServices() : HostBusServices(QDBusConnection::systemBus(), QDBusConnection::sessionBus()) {}

HostBusServices::HostBusServices(const QDBusConnection &systemBus, const QDBusConnection &sessionBus)
    : m_systemBusLoss(std::make_unique<BusLossNote>(systemBus, "system")),
      m_sessionBusLoss(std::make_unique<BusLossNote>(sessionBus, "session")),
      m_power(std::make_unique<HostPower>(systemBus)),
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

#include "HostBusServices.moc"
