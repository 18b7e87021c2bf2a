#include "platform/host/wayland/WaylandConnection.h"

#include <QDir>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::host {

namespace {
// Where libwayland looks for the socket: an absolute name as it is, else in the runtime folder.
QString socketPath(const QString &socket)
{
    const QString name = socket.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"))
                                          : socket;
    if (QDir::isAbsolutePath(name))
        return name;
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(name);
}
} // namespace

WaylandConnection::WaylandConnection(const QString &socket, const Logger &log, QObject *parent)
    : QObject(parent), m_log(log)
{
    m_display = wl_display_connect(socket.isEmpty() ? nullptr : socket.toLocal8Bit().constData());
    if (!m_display) {
        m_problem = QStringLiteral("No Wayland compositor answers at %1 (%2)")
                        .arg(socketPath(socket), QString::fromLocal8Bit(std::strerror(errno)));
        m_closed = true;
        return;
    }
    static const wl_registry_listener registryListener = {&WaylandConnection::registryGlobal,
                                                          &WaylandConnection::registryGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    // The compositor answers the sync after it has announced every global it has.
    static const wl_callback_listener syncListener = {&WaylandConnection::syncDone};
    m_initialSync = wl_display_sync(m_display);
    wl_callback_add_listener(m_initialSync, &syncListener, this);

    const int fd = wl_display_get_fd(m_display);
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // A full socket takes the rest of the requests once it drains.
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &WaylandConnection::flush);
    flush();
}

WaylandConnection::~WaylandConnection()
{
    // Whoever shares the connection drops its objects before the display goes.
    if (!m_closed) {
        m_closed = true;
        emit closed(QStringLiteral("The Wayland connection was shut"));
    }
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_initialSync)
        wl_callback_destroy(m_initialSync);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

std::optional<WaylandConnection::Global> WaylandConnection::global(const QByteArray &interface) const
{
    const auto it = std::find_if(m_globals.cbegin(), m_globals.cend(),
                                 [&](const Global &g) { return g.interface == interface; });
    if (it == m_globals.cend())
        return std::nullopt;
    return *it;
}

void *WaylandConnection::bind(const Global &global, const wl_interface *interface, quint32 maxVersion)
{
    if (!isConnected() || !m_registry)
        return nullptr;
    return wl_registry_bind(m_registry, global.name, interface, std::min(global.version, maxVersion));
}

bool WaylandConnection::flush()
{
    if (!isConnected())
        return false;
    if (wl_display_flush(m_display) < 0) {
        if (errno == EAGAIN) {
            m_writeNotifier->setEnabled(true);
            return true;
        }
        close(QStringLiteral("The Wayland connection broke while sending (%1)")
                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    if (m_writeNotifier->isEnabled()) {
        m_writeNotifier->setEnabled(false);
        emit drained();
    }
    return true;
}

bool WaylandConnection::roundtrip()
{
    if (!isConnected())
        return false;
    // A failed roundtrip leaves the display's error set, which afterDispatch() reports.
    wl_display_roundtrip(m_display);
    afterDispatch();
    return isConnected();
}

bool WaylandConnection::isBackedUp() const
{
    return m_writeNotifier && m_writeNotifier->isEnabled();
}

void WaylandConnection::registryGlobal(void *data, wl_registry *, uint32_t name, const char *interface,
                                       uint32_t version)
{
    auto *self = static_cast<WaylandConnection *>(data);
    const Global global{name, QByteArray(interface), version};
    self->m_globals.append(global);
    if (self->m_ready)
        emit self->globalAdded(global);
}

void WaylandConnection::registryGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *self = static_cast<WaylandConnection *>(data);
    const auto it = std::find_if(self->m_globals.begin(), self->m_globals.end(),
                                 [&](const Global &g) { return g.name == name; });
    if (it == self->m_globals.end())
        return;
    const Global global = *it;
    self->m_globals.erase(it);
    if (self->m_ready)
        emit self->globalRemoved(global);
}

void WaylandConnection::syncDone(void *data, wl_callback *callback, uint32_t)
{
    auto *self = static_cast<WaylandConnection *>(data);
    wl_callback_destroy(callback);
    self->m_initialSync = nullptr;
    self->m_ready = true;
    emit self->ready();
}

void WaylandConnection::readEvents()
{
    if (!isConnected())
        return;
    // Events another read left in the queue go first; then what the socket holds. A broken
    // connection ends the loop with the display's error set, which afterDispatch() reports.
    bool prepared = true;
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            prepared = false;
            break;
        }
    }
    if (prepared && wl_display_read_events(m_display) == 0)
        wl_display_dispatch_pending(m_display);
    afterDispatch();
}

void WaylandConnection::afterDispatch()
{
    if (m_closed)
        return;
    if (const int error = wl_display_get_error(m_display)) {
        quint32 code = 0;
        const wl_interface *interface = nullptr;
        quint32 id = 0;
        if (error == EPROTO)
            code = wl_display_get_protocol_error(m_display, &interface, &id);
        close(error == EPROTO ? QStringLiteral("The Wayland compositor ended the connection for a protocol error "
                                               "(%1 %2, code %3)")
                                    .arg(QLatin1String(interface ? interface->name : "unknown"))
                                    .arg(id)
                                    .arg(code)
                              : QStringLiteral("The Wayland compositor closed the connection"));
        return;
    }
    emit dispatched();
    flush();
}

void WaylandConnection::close(const QString &reason)
{
    if (m_closed)
        return;
    m_closed = true;
    m_problem = reason;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_log.error("%s", qUtf8Printable(reason));
    emit closed(reason);
}

} // namespace qv::host
