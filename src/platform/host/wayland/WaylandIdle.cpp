#include "platform/host/wayland/WaylandIdle.h"

#include "runtime/Scheduler.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "org-kde-kwin-idle-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace qv::host {

namespace {
const ext_idle_notification_v1_listener kNotificationListener = {
    [](void *data, ext_idle_notification_v1 *) { static_cast<WaylandIdle *>(data)->seatIdled(); },
    [](void *data, ext_idle_notification_v1 *) { static_cast<WaylandIdle *>(data)->seatResumed(); },
};
const org_kde_kwin_idle_timeout_listener kKdeTimeoutListener = {
    [](void *data, org_kde_kwin_idle_timeout *) { static_cast<WaylandIdle *>(data)->seatIdled(); },
    [](void *data, org_kde_kwin_idle_timeout *) { static_cast<WaylandIdle *>(data)->seatResumed(); },
};
} // namespace

WaylandIdle::WaylandIdle(WaylandConnection &connection, QObject *parent) : IdleBackEnd(parent)
{
    const auto ext = connection.global(ext_idle_notifier_v1_interface.name);
    const auto kde = connection.global(org_kde_kwin_idle_interface.name);
    if (!ext && !kde)
        return;
    const auto seat = connection.global(wl_seat_interface.name);
    if (seat)
        m_seat = connection.bind<wl_seat>(*seat, &wl_seat_interface, 1);
    if (!m_seat) {
        m_log.info("The compositor has no seat: its idle time is not known");
        return;
    }
    if (ext) {
        m_notifier = connection.bind<ext_idle_notifier_v1>(*ext, &ext_idle_notifier_v1_interface, 1);
        m_notification = ext_idle_notifier_v1_get_idle_notification(m_notifier, quint32(kTimeoutMs), m_seat);
        ext_idle_notification_v1_add_listener(m_notification, &kNotificationListener, this);
        m_protocol = Protocol::extIdleNotify;
    } else {
        m_kdeIdle = connection.bind<org_kde_kwin_idle>(*kde, &org_kde_kwin_idle_interface, 1);
        m_kdeTimeout = org_kde_kwin_idle_get_idle_timeout(m_kdeIdle, m_seat, quint32(kTimeoutMs));
        org_kde_kwin_idle_timeout_add_listener(m_kdeTimeout, &kKdeTimeoutListener, this);
        m_protocol = Protocol::kdeIdle;
    }
    connection.flush();
    connect(&connection, &WaylandConnection::globalRemoved, this, &WaylandIdle::withdrawn);
    connect(&connection, &WaylandConnection::closed, this, [this] {
        // Every proxy died with the connection; destroying them now is still allowed.
        release();
    });
}

WaylandIdle::~WaylandIdle()
{
    release();
}

std::optional<double> WaylandIdle::secondsSinceLastInput() const
{
    if (m_protocol == Protocol::none)
        return std::nullopt;
    return secondsSinceLastInputEvent();
}

void WaylandIdle::seatIdled()
{
    // Idle for the timeout: the last input was that long ago.
    m_log.debug("The seat is idle");
    idleSince(scheduler().monotonicMs() - kTimeoutMs);
}

void WaylandIdle::seatResumed()
{
    m_log.debug("The seat is in use again");
    present();
}

void WaylandIdle::withdrawn(const WaylandConnection::Global &global)
{
    const char *ours = m_protocol == Protocol::extIdleNotify ? ext_idle_notifier_v1_interface.name
                                                             : org_kde_kwin_idle_interface.name;
    if (global.interface != ours && global.interface != wl_seat_interface.name)
        return;
    m_log.error("The compositor withdrew %s: its idle time is no longer known", global.interface.constData());
    release();
}

void WaylandIdle::release()
{
    if (m_notification)
        ext_idle_notification_v1_destroy(m_notification);
    if (m_notifier)
        ext_idle_notifier_v1_destroy(m_notifier);
    if (m_kdeTimeout)
        org_kde_kwin_idle_timeout_release(m_kdeTimeout);
    if (m_kdeIdle)
        org_kde_kwin_idle_destroy(m_kdeIdle);
    if (m_seat)
        wl_seat_destroy(m_seat);
    m_notification = nullptr;
    m_notifier = nullptr;
    m_kdeTimeout = nullptr;
    m_kdeIdle = nullptr;
    m_seat = nullptr;
    m_protocol = Protocol::none;
    present();
}

} // namespace qv::host
