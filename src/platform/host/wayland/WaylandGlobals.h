#pragma once

#include <QByteArray>
#include <QObject>

struct wl_display;
struct wl_interface;

namespace qv::host {

// What a Wayland protocol client needs of the connection it runs on: the display, the
// compositor's globals by interface name (the version offered, a bind), and word when a
// global goes or the connection ends. The connection reads and dispatches the events and
// sends what the clients ask for before the event loop waits.
class WaylandGlobals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual wl_display *display() const = 0;
    // The version of interface the compositor offers; 0 when it offers none.
    virtual quint32 offeredVersion(const char *interface) const = 0;
    // Binds the compositor's (first) global of interface at the lower of version and the
    // version offered; nullptr when it offers none. The caller owns the proxy.
    virtual void *bind(const wl_interface *interface, quint32 version) = 0;

signals:
    // A global of this interface was withdrawn (an output unplugged, a seat gone).
    void globalRemoved(const QByteArray &interface);
    // The connection ended: every proxy bound on it is dead and is not to be used.
    void closed();
};

} // namespace qv::host
