#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace qv::test {

// A headless sway compositor for one test: no input devices, one virtual output, no
// XWayland. sway refuses to run as root, so it runs as the user nobody in a runtime
// folder of its own; a client of the test (root) reaches its socket by path.
// socket() is empty when it could not be started (sway or setpriv missing, not root).
class HeadlessSway {
public:
    HeadlessSway();
    ~HeadlessSway();

    // The compositor's socket, as a path (for WAYLAND_DISPLAY or wl_display_connect).
    const QString &socket() const { return m_socket; }
    // Runs swaymsg with the arguments; true when it succeeds.
    bool message(const QStringList &arguments) const;
    // Starts foot with the app_id (a window of that application), owned by this object.
    bool openWindow(const QString &appId);
    // Whether a window with the app_id is mapped and has the focus.
    bool isFocused(const QString &appId) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QList<QProcess *> m_windows;
    QString m_socket, m_ipc;
};

} // namespace qv::test
