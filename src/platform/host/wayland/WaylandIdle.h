#pragma once

#include "platform/host/IdleBackEnd.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "runtime/Logging.h"

#include <optional>

struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
struct wl_seat;

namespace qv::host {

// The user's idle time as a Wayland compositor tells it: one notification on the seat
// that fires after kTimeoutMs without input (ext-idle-notify-v1, else KDE's
// org_kde_kwin_idle) and again when input comes. The idle time is counted from the
// notification's start (the protocols tell no more), so nothing is asked while nothing
// happens; until it first fires the user counts as present. A compositor that withdraws
// the seat or the protocol, or a connection that ends, leaves the user present, said once.
class WaylandIdle final : public IdleBackEnd {
    Q_OBJECT
public:
    enum class Protocol { none, extIdleNotify, kdeIdle };
    static constexpr qint64 kTimeoutMs = 5'000;

    // On a connection whose globals are known (ready).
    explicit WaylandIdle(WaylandConnection &connection, QObject *parent = nullptr);
    ~WaylandIdle() override;
    WaylandIdle(const WaylandIdle &) = delete;
    WaylandIdle &operator=(const WaylandIdle &) = delete;

    Protocol protocol() const { return m_protocol; }
    bool isAvailable() const { return m_protocol != Protocol::none; }
    // Seconds since the last input on the seat; nothing when the compositor does not tell.
    std::optional<double> secondsSinceLastInput() const;

    // The notification's events (public for the protocol's listeners).
    void seatIdled();
    void seatResumed();

private:
    void release();
    void withdrawn(const WaylandConnection::Global &global);

    Protocol m_protocol = Protocol::none;
    wl_seat *m_seat = nullptr;
    ext_idle_notifier_v1 *m_notifier = nullptr;
    ext_idle_notification_v1 *m_notification = nullptr;
    org_kde_kwin_idle *m_kdeIdle = nullptr;
    org_kde_kwin_idle_timeout *m_kdeTimeout = nullptr;
    Logger m_log{"Idle"};
};

} // namespace qv::host
