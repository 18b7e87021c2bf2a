#pragma once

#include <QObject>

namespace qv {

namespace x11 {
class XConnection;
}

namespace host {

// Follows the owners of the window manager's and the compositing manager's selections
// (WM_S<n>, _NET_WM_CM_S<n>) of the connection's screen through XFixes, without polling.
// A manager that takes over (one started with --replace, or again after a crash) may reset
// every CRTC's gamma ramp. Watches nothing without XFixes; the connection must be one that
// delivers its own events (not one borrowed from Qt).
class ManagerWatch final : public QObject {
    Q_OBJECT
public:
    explicit ManagerWatch(x11::XConnection &x, QObject *parent = nullptr);

    bool isWatching() const { return m_watching; }

signals:
    // Either selection got another owner (none included).
    void managerChanged();

private:
    bool m_watching = false;
};

} // namespace host
} // namespace qv
