#pragma once

#include "platform/Idle.h"
#include "platform/host/BusValues.h"
#include "runtime/Scheduler.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace qv::host {
class WaylandIdle;
}
namespace qv::x11 {
class XConnection;
}

namespace qv {

// The user's idle time on the desktop session. Where the compositor's idle monitor runs
// on the session bus, its watches tell it: one fires when the user has been idle for
// kIdleWatchMs, one when the user is active again; the idle time is counted from there,
// so nothing is asked while nothing happens. Elsewhere, and while the monitor is away,
// the X server's screen-saver extension answers (milliseconds since the last input of
// any device); without either, the idle time last known goes on counting, and before any
// is known the user counts as present (0 s). A monitor that starts, restarts or answers
// nonsense is followed: it is set up again whenever it comes back. In a Wayland session the
// compositor's idle notifications (given with setWaylandIdle) answer while the idle monitor
// does not, before the X server (whose XWayland sees only the input to X clients).
class HostIdle final : public QObject, public Idle {
    Q_OBJECT
public:
    enum class Source { none, xScreenSaver, idleMonitor, wayland };
    static constexpr qint64 kIdleWatchMs = 5'000;
    static constexpr int kCallTimeoutMs = 5'000;

    // display names the X server (empty: $DISPLAY); bus is the session bus.
    HostIdle(const QString &display, const QDBusConnection &bus, QObject *parent = nullptr);
    // On the process's X connection.
    HostIdle(x11::XConnection &x, const QDBusConnection &bus, QObject *parent = nullptr);
    ~HostIdle() override;
    HostIdle(const HostIdle &) = delete;
    HostIdle &operator=(const HostIdle &) = delete;

    // The Wayland compositor's idle notifications, when the session has them (kept by the caller).
    void setWaylandIdle(host::WaylandIdle *idle) { m_wayland = idle; }

    double secondsSinceLastInputEvent() override;
    // Where the idle time comes from now.
    Source source() const;

    // Whether the screen is blanked: the screen saver runs (the X screen-saver
    // extension's notify events tell), or DPMS has the monitors off, suspended or in
    // standby (read as the screen saver comes and goes, which DPMS follows).
    bool screenBlanked() const { return m_screenBlanked; }

    static constexpr const char *kIdleMonitorService = "org.gnome.Mutter.IdleMonitor";
    static constexpr const char *kIdleMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";

signals:
    void screenBlankedChanged(bool blanked);

private slots:
    void watchFired(const QDBusMessage &message);

private:
    HostIdle(x11::XConnection *x, const QString &display, const QDBusConnection &bus, QObject *parent);
    bool connectX(x11::XConnection *x, const QString &display);
    std::optional<double> queryX();
    // Selects the screen saver's notify events and reads the state as it stands.
    void watchScreenSaver();
    void screenSaverChanged(bool saverOn);
    // The X server no longer answers: the rest of the run does without it.
    void dropX();
    // Asks the monitor for the idle time and sets up both watches, without waiting.
    void setUpMonitor();
    void addActiveWatch();
    // A call to the monitor; done gets the reply when it is an answer of this monitor.
    void callMonitor(const QString &method, const QVariantList &arguments,
                     std::function<void(const QDBusMessage &)> done);
    // The monitor failed; one that let a call go unanswered is set up again after
    // bus::kRetryMs, as one that comes back is.
    void monitorFailed(const QString &reason, bool retry = false);
    void monitorGone();
    qint64 nowMs() const;

    x11::XConnection *m_x = nullptr; // with the screen-saver extension
    bool m_screenBlanked = false;
    host::WaylandIdle *m_wayland = nullptr;

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;

    // The idle monitor's state: its watches, and when the last input was.
    int m_generation = 0;             // answers of a monitor that has gone since are dropped
    bool m_monitorReady = false;      // idle time known and both watches in place
    int m_setUpSteps = 0;             // answers still awaited while setting up
    quint32 m_idleWatch = 0;
    quint32 m_activeWatch = 0;
    QList<quint32> m_staleWatches;    // of a round that failed: removed when set up again
    TaskHandle m_retry;
    bool m_active = false;            // input since the idle watch last fired
    bool m_idleTimeAsked = false;     // the idle time is the monitor's answer, no watch has fired since
    std::optional<qint64> m_lastInputMs;
    bus::Note m_note;
    Logger m_log{"Idle"};
};

} // namespace qv
