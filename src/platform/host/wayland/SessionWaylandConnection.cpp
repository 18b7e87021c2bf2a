#include "platform/host/wayland/SessionWaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::host {

const wl_registry_listener SessionWaylandConnection::kRegistryListener = {&global, &globalRemove};

SessionWaylandConnection::SessionWaylandConnection(const QString &socket, QObject *parent)
    : WaylandGlobals(parent)
{
    const QByteArray name = socket.toLocal8Bit();
    m_display = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (!m_display) {
        m_log.info("No Wayland compositor to connect to (%s)", std::strerror(errno));
        return;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    if (!roundtrip())
        return;
    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionWaylandConnection::readable);
    // Requests go out before the loop waits, and on each pass of a loop that does not wait.
    if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &SessionWaylandConnection::flush);
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, &SessionWaylandConnection::flush);
    }
}

SessionWaylandConnection::~SessionWaylandConnection()
{
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

void SessionWaylandConnection::global(void *data, wl_registry *, quint32 name, const char *interface, quint32 version)
{
    static_cast<SessionWaylandConnection *>(data)->m_globals.append({name, QByteArray(interface), version});
}

void SessionWaylandConnection::globalRemove(void *data, wl_registry *, quint32 name)
{
    auto *self = static_cast<SessionWaylandConnection *>(data);
    const auto it = std::find_if(self->m_globals.begin(), self->m_globals.end(),
                                 [name](const Global &global) { return global.name == name; });
    if (it == self->m_globals.end())
        return;
    const QByteArray interface = it->interface;
    self->m_globals.erase(it);
    emit self->globalRemoved(interface);
}

quint32 SessionWaylandConnection::offeredVersion(const char *interface) const
{
    for (const Global &global : m_globals)
        if (global.interface == interface)
            return global.version;
    return 0;
}

void *SessionWaylandConnection::bind(const wl_interface *interface, quint32 version)
{
    if (!m_display || m_failed)
        return nullptr;
    for (const Global &global : std::as_const(m_globals))
        if (global.interface == interface->name)
            return wl_registry_bind(m_registry, global.name, interface, std::min(version, global.version));
    return nullptr;
}

bool SessionWaylandConnection::roundtrip()
{
    if (!m_display)
        return false;
    if (wl_display_roundtrip(m_display) < 0) {
        fail("waiting for the compositor");
        return false;
    }
    return true;
}

void SessionWaylandConnection::readable()
{
    if (m_display && !m_failed && wl_display_dispatch(m_display) < 0)
        fail("reading its events");
}

void SessionWaylandConnection::flush()
{
    if (!m_display || m_failed)
        return;
    // Events read along with another read (a roundtrip) are handled before the loop waits.
    if (wl_display_dispatch_pending(m_display) < 0 || (wl_display_flush(m_display) < 0 && errno != EAGAIN))
        fail("sending requests");
}

void SessionWaylandConnection::fail(const char *what)
{
    if (m_failed)
        return;
    m_failed = true;
    const int error = wl_display_get_error(m_display);
    m_log.error("The Wayland connection ended while %s (%s): the compositor's idle time and windows are no longer "
                "followed",
                what, std::strerror(error ? error : errno));
    delete m_notifier;
    m_notifier = nullptr;
    // The proxies stay valid memory until their owners destroy them; the display goes with
    // this object.
    m_globals.clear();
    emit closed();
}

} // namespace qv::host
