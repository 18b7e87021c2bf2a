#pragma once

#include "runtime/Logging.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;
struct wl_callback;
struct wl_display;
struct wl_interface;
struct wl_registry;

namespace qv::host {

// A Wayland connection of the host back-ends' own, beside Qt's: the compositor's globals by
// interface name, binding them, and the events read through one socket notifier on the
// thread that made it (prepare-read, read, dispatch; requests are flushed after every
// batch). The clients (gamma control, idle notification, window lists) share one
// connection: each binds what it needs, sends its first requests with flush() and listens
// to globalAdded/globalRemoved and closed.
class WaylandConnection final : public QObject {
    Q_OBJECT
public:
    struct Global {
        quint32 name = 0;     // the registry's name (id) of the global
        QByteArray interface; // "wl_output"
        quint32 version = 0;
    };

    // Connects to the compositor's socket (empty: $WAYLAND_DISPLAY, as libwayland takes it).
    // Nothing blocks: the globals arrive with the events, and ready() says when the first
    // list of them is complete. A failed connection is not logged: problem() says why, for
    // whoever made it to tell once. A connection that breaks later is logged once to log.
    WaylandConnection(const QString &socket, const Logger &log, QObject *parent = nullptr);
    ~WaylandConnection() override;

    bool isConnected() const { return m_display != nullptr && !m_closed; }
    // Why there is no connection (any more), as a sentence; empty while connected.
    QString problem() const { return m_problem; }
    // Whether the globals the compositor had when we connected are all known.
    bool isReady() const { return m_ready; }
    wl_display *display() const { return m_display; }

    QList<Global> globals() const { return m_globals; }
    // The first global of an interface; nothing without one.
    std::optional<Global> global(const QByteArray &interface) const;
    // Binds a global at its version or maxVersion, whichever is lower; null when it is gone
    // or the connection is closed. The caller owns (and destroys) the proxy.
    void *bind(const Global &global, const wl_interface *interface, quint32 maxVersion);
    template <typename T>
    T *bind(const Global &global, const wl_interface *interface, quint32 maxVersion)
    {
        return static_cast<T *>(bind(global, interface, maxVersion));
    }

    // Sends the requests made so far (done after every dispatch anyway). Returns false when
    // the connection is closed.
    bool flush();
    // Sends the requests made so far and waits until the compositor has answered them, its
    // events dispatched: at the start, the globals are then known (ready() has been said).
    // For a start that needs them at once; false when the connection is closed.
    bool roundtrip();
    // Whether the socket is full: the compositor has not read what we sent. The rest goes
    // when it drains (drained()); meanwhile a client should queue no more than it must, or
    // libwayland's buffer overflows and ends the connection.
    bool isBackedUp() const;

signals:
    // The first list of globals is complete (once per connection): take them from globals().
    void ready();
    // Globals that come or go after ready().
    void globalAdded(const qv::host::WaylandConnection::Global &global);
    void globalRemoved(const qv::host::WaylandConnection::Global &global);
    // A batch of events was dispatched: the listeners have run. Clients that gather
    // changes in their listeners say what changed here.
    void dispatched();
    // The socket took everything again after it was full.
    void drained();
    // The compositor closed the connection or it broke; said once, with the reason.
    void closed(const QString &reason);

private:
    static void registryGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
                               uint32_t version);
    static void registryGlobalRemove(void *data, wl_registry *registry, uint32_t name);
    static void syncDone(void *data, wl_callback *callback, uint32_t serial);
    void readEvents();
    void afterDispatch();
    void close(const QString &reason);

    Logger m_log;
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_callback *m_initialSync = nullptr;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QList<Global> m_globals;
    QString m_problem;
    bool m_ready = false;
    bool m_closed = false;
};

} // namespace qv::host
