#pragma once

#include "platform/Idle.h"
#include "runtime/Logging.h"

#include <QDBusConnection>
#include <QString>

#include <optional>

struct xcb_connection_t;

namespace qv {

// The user's idle time on the desktop session: the X server's screen-saver extension
// (milliseconds since the last input of any device), else the session's screen-saver
// service over D-Bus where it tells the idle time (the compositor's idle monitor, then
// the freedesktop screen saver). Where none answers the user counts as present (0 s),
// said once in the log. Every answer is read when asked: nothing polls.
class HostIdle final : public Idle {
public:
    enum class Source { none, xScreenSaver, idleMonitor, screenSaver };

    // display names the X server (empty: $DISPLAY); bus is the session bus.
    HostIdle(const QString &display, const QDBusConnection &bus);
    ~HostIdle() override;
    HostIdle(const HostIdle &) = delete;
    HostIdle &operator=(const HostIdle &) = delete;

    double secondsSinceLastInputEvent() override;
    // Where the idle time comes from now; a service that stops answering passes it on.
    Source source() const { return m_source; }

    static constexpr const char *kIdleMonitorService = "org.gnome.Mutter.IdleMonitor";
    static constexpr const char *kIdleMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
    static constexpr const char *kScreenSaverService = "org.freedesktop.ScreenSaver";
    static constexpr const char *kScreenSaverPath = "/org/freedesktop/ScreenSaver";

private:
    bool connectX(const QString &display);
    std::optional<double> queryX();
    std::optional<double> queryBus(Source source);
    // Gives up the current source for the next one that may answer; said in the log when
    // it was a fault of the source, or when no source is left.
    void dropSource(const QString &reason, bool fault);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    QDBusConnection m_bus;
    Source m_source = Source::none;
    Logger m_log{"Idle"};
};

} // namespace qv
