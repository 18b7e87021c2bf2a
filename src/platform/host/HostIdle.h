#pragma once

#include "platform/Idle.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

class QDBusServiceWatcher;

namespace qv::host {
class IdleBackEnd;
class WaylandIdle;
} // namespace qv::host
namespace qv::x11 {
class XConnection;
}

namespace qv {

// The user's idle time on the desktop session, from one source the session gets (chosen
// once, and said once in the log): the compositor's idle monitor on the session bus where
// it runs (GNOME), else in a Wayland session the compositor's idle notifications, else
// the X server's screen-saver extension. An idle monitor that starts on the bus later
// (GNOME Shell started after us) replaces the other source, said once in the log. Each tells when the user goes idle and comes
// back; the idle time is answered from that. Where none answers, the user counts as
// present. Also says whether the X server has blanked the screen.
class HostIdle final : public Idle {
    Q_OBJECT
public:
    enum class Source { none, xScreenSaver, idleMonitor, wayland };

    // A session whose X server is display (empty: $DISPLAY); bus is the session bus.
    HostIdle(const QString &display, const QDBusConnection &bus, bool waylandSession = false,
             host::WaylandIdle *wayland = nullptr, QObject *parent = nullptr);
    // On the process's X connection. In a Wayland session, wayland is the compositor's
    // idle notifications where it has them (not owned; it outlives this).
    HostIdle(x11::XConnection &x, const QDBusConnection &bus, bool waylandSession = false,
             host::WaylandIdle *wayland = nullptr, QObject *parent = nullptr);
    ~HostIdle() override;
    HostIdle(const HostIdle &) = delete;
    HostIdle &operator=(const HostIdle &) = delete;

    // Which source a session gets: the idle monitor where it is on the bus; else in a
    // Wayland session the compositor's notifications (XWayland's screen saver sees only
    // the input to X11 windows: never taken there), in an X11 session the screen saver;
    // else the idle monitor where there is a bus (it may start later); else none.
    static Source chooseSource(bool waylandSession, bool monitorOnBus, bool waylandNotifications,
                               bool xScreenSaver, bool bus);

    double secondsSinceLastInputEvent() const override;
    Source source() const { return m_source; }
    // The chosen source's back-end; none without one.
    host::IdleBackEnd *backEnd() const { return m_backEnd; }

    // Whether the screen is blanked: the screen saver runs (the X screen-saver
    // extension's notify events tell), or DPMS has the monitors off, suspended or in
    // standby (read as the screen saver comes and goes, which DPMS follows).
    bool screenBlanked() const { return m_screenBlanked; }

    static constexpr const char *kIdleMonitorService = "org.gnome.Mutter.IdleMonitor";
    static constexpr const char *kIdleMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";

signals:
    void screenBlankedChanged(bool blanked);

private:
    HostIdle(x11::XConnection *x, const QString &display, const QDBusConnection &bus, bool waylandSession,
             host::WaylandIdle *wayland, QObject *parent);
    bool connectX(x11::XConnection *x, const QString &display);
    void choose(const QDBusConnection &bus, bool waylandSession, host::WaylandIdle *wayland);
    void use(host::IdleBackEnd *backEnd);
    // The idle monitor started on the bus: it is the source from now on.
    void takeIdleMonitor(const QDBusConnection &bus);
    // Selects the screen saver's notify events and reads the state as it stands.
    void watchScreenSaver();
    void screenSaverChanged(bool saverOn);
    // The X server no longer answers: the rest of the run does without it.
    void dropX();

    x11::XConnection *m_x = nullptr; // with the screen-saver extension
    bool m_screenBlanked = false;
    Source m_source = Source::none;
    host::IdleBackEnd *m_backEnd = nullptr; // a child, or the caller's Wayland notifications
    QDBusServiceWatcher *m_monitorWatch = nullptr; // for an idle monitor that starts later
    Logger m_log{"Idle"};
};

} // namespace qv
