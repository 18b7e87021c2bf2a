#pragma once

#include "platform/host/wayland/WaylandGlobals.h"
#include "runtime/Logging.h"

#include <QList>
#include <QString>

class QSocketNotifier;
struct wl_registry;
struct wl_registry_listener;

namespace qv::host {

// A connection of our own to the session's Wayland compositor (apart from Qt's): the
// globals listed once at the start and kept current, the events read when the socket has
// some and dispatched, the requests flushed before the event loop waits. A connection
// that fails or is closed by the compositor says so once (closed) and does nothing more.
class SessionWaylandConnection final : public WaylandGlobals {
    Q_OBJECT
public:
    // socket: the compositor's socket name or path (empty: $WAYLAND_DISPLAY).
    explicit SessionWaylandConnection(const QString &socket = QString(), QObject *parent = nullptr);
    ~SessionWaylandConnection() override;

    bool isConnected() const { return m_display && !m_failed; }

    wl_display *display() const override { return m_display; }
    quint32 offeredVersion(const char *interface) const override;
    void *bind(const wl_interface *interface, quint32 version) override;

    // Sends the requests made and waits for the compositor to have handled them and sent
    // their events, which are dispatched. For the start and for tests; false on failure.
    bool roundtrip();

private:
    struct Global {
        quint32 name;
        QByteArray interface;
        quint32 version;
    };
    static const struct wl_registry_listener kRegistryListener;
    static void global(void *data, wl_registry *registry, quint32 name, const char *interface, quint32 version);
    static void globalRemove(void *data, wl_registry *registry, quint32 name);
    void readable();
    void flush();
    void fail(const char *what);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    bool m_failed = false;
    QList<Global> m_globals;
    Logger m_log{"Wayland"};
};

} // namespace qv::host
