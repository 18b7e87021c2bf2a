#include "platform/host/HostIdle.h"

#include "platform/host/MutterIdle.h"
#include "platform/host/ScreenSaverIdle.h"
#include "platform/host/wayland/WaylandIdle.h"
#include "platform/x11/XConnection.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <utility>

namespace qv {

HostIdle::HostIdle(const QString &display, const QDBusConnection &bus, bool waylandSession, host::WaylandIdle *wayland,
                   QObject *parent)
    : HostIdle(nullptr, display, bus, waylandSession, wayland, parent)
{
}

HostIdle::HostIdle(x11::XConnection &x, const QDBusConnection &bus, bool waylandSession, host::WaylandIdle *wayland,
                   QObject *parent)
    : HostIdle(&x, QString(), bus, waylandSession, wayland, parent)
{
}

HostIdle::HostIdle(x11::XConnection *x, const QString &display, const QDBusConnection &bus, bool waylandSession,
                   host::WaylandIdle *wayland, QObject *parent)
    : Idle(parent)
{
    connectX(x, display);
    choose(bus, waylandSession, wayland);
}

HostIdle::~HostIdle()
{
    // The back-ends of our own go before the X connection they ask.
    if (m_backEnd && m_backEnd->parent() == this)
        delete std::exchange(m_backEnd, nullptr);
}

HostIdle::Source HostIdle::chooseSource(bool waylandSession, bool monitorOnBus, bool waylandNotifications,
                                        bool xScreenSaver, bool bus)
{
    if (monitorOnBus)
        return Source::idleMonitor;
    if (waylandSession ? waylandNotifications : xScreenSaver)
        return waylandSession ? Source::wayland : Source::xScreenSaver;
    return bus ? Source::idleMonitor : Source::none;
}

void HostIdle::choose(const QDBusConnection &bus, bool waylandSession, host::WaylandIdle *wayland)
{
    const bool busConnected = bus.isConnected() && bus.interface();
    // Asked of the bus daemon, which answers at once.
    const bool monitorOnBus =
        busConnected && bus.interface()->isServiceRegistered(QString::fromLatin1(kIdleMonitorService)).value();
    m_source = chooseSource(waylandSession, monitorOnBus, wayland && wayland->isAvailable(), m_x != nullptr,
                            busConnected);
    switch (m_source) {
    case Source::idleMonitor:
        m_log.info(monitorOnBus ? "The idle time comes from the compositor's idle monitor on the session bus"
                                : "The idle time comes from the compositor's idle monitor once it starts on the "
                                  "session bus");
        use(new host::MutterIdle(bus, this));
        break;
    case Source::wayland:
        m_log.info("The idle time comes from the compositor's %s",
                   wayland->protocol() == host::WaylandIdle::Protocol::extIdleNotify
                       ? "idle notifications (ext-idle-notify)"
                       : "idle timeouts (org_kde_kwin_idle)");
        use(wayland);
        break;
    case Source::xScreenSaver: {
        m_log.info("The idle time comes from the X server's screen-saver extension");
        auto *screenSaver = new host::ScreenSaverIdle(*m_x, host::ScreenSaverIdle::kIdleAfterMs, this);
        connect(screenSaver, &host::ScreenSaverIdle::gone, this, &HostIdle::dropX);
        use(screenSaver);
        break;
    }
    case Source::none:
        m_log.error("No idle time on this desktop (no idle monitor, no idle notifications of the compositor, no "
                    "X screen-saver extension); the user counts as present");
        break;
    }
    // The compositor's idle monitor comes first wherever it runs: one that starts after us
    // (GNOME Shell started later) is taken once it is on the bus.
    if (busConnected && m_source != Source::idleMonitor && m_source != Source::none) {
        m_monitorWatch = new QDBusServiceWatcher(QString::fromLatin1(kIdleMonitorService), bus,
                                                 QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_monitorWatch, &QDBusServiceWatcher::serviceRegistered, this,
                [this, bus] { takeIdleMonitor(bus); });
        // One that registered while the watch was being set up is taken too.
        if (bus.interface()->isServiceRegistered(QString::fromLatin1(kIdleMonitorService)).value())
            QMetaObject::invokeMethod(this, [this, bus] { takeIdleMonitor(bus); }, Qt::QueuedConnection);
    }
}

void HostIdle::takeIdleMonitor(const QDBusConnection &bus)
{
    // Called from the watch's own signal: it goes once that is over.
    if (QDBusServiceWatcher *watch = std::exchange(m_monitorWatch, nullptr))
        watch->deleteLater();
    if (m_source == Source::idleMonitor)
        return;
    m_log.info("The compositor's idle monitor started on the session bus; the idle time comes from it from now on");
    // The source before it says nothing more; a user it held idle counts as present until
    // the monitor answers.
    const bool wasIdle = m_backEnd && m_backEnd->secondsSinceLastInputEvent() > 0.0;
    if (host::IdleBackEnd *before = std::exchange(m_backEnd, nullptr)) {
        before->disconnect(this);
        if (before->parent() == this)
            delete before;
    }
    m_source = Source::idleMonitor;
    use(new host::MutterIdle(bus, this));
    if (wasIdle)
        emit resumed();
}

void HostIdle::use(host::IdleBackEnd *backEnd)
{
    m_backEnd = backEnd;
    connect(backEnd, &Idle::idleStarted, this, &Idle::idleStarted);
    connect(backEnd, &Idle::resumed, this, &Idle::resumed);
    connect(backEnd, &QObject::destroyed, this, [this] { m_backEnd = nullptr; });
}

double HostIdle::secondsSinceLastInputEvent() const
{
    return m_backEnd ? m_backEnd->secondsSinceLastInputEvent() : 0.0;
}

bool HostIdle::connectX(x11::XConnection *x, const QString &display)
{
    m_x = x11::XConnection::sharedOrOwn(x, display, m_log, this);
    const xcb_query_extension_reply_t *extension =
        m_x->isConnected() ? xcb_get_extension_data(m_x->get(), &xcb_screensaver_id) : nullptr;
    if (!extension || !extension->present) {
        std::exchange(m_x, nullptr)->leave(this);
        return false;
    }
    watchScreenSaver();
    return true;
}

void HostIdle::watchScreenSaver()
{
    const quint8 notify = xcb_get_extension_data(m_x->get(), &xcb_screensaver_id)->first_event + XCB_SCREENSAVER_NOTIFY;
    m_x->onEvent(notify, this, [this](const xcb_generic_event_t &event) {
        screenSaverChanged(reinterpret_cast<const xcb_screensaver_notify_event_t &>(event).state
                           == XCB_SCREENSAVER_STATE_ON);
    });
    xcb_screensaver_select_input(m_x->get(), m_x->root(), XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
    const auto info = m_x->reply(xcb_screensaver_query_info_reply, xcb_screensaver_query_info(m_x->get(), m_x->root()),
                                 "asking for the screen saver's state");
    screenSaverChanged(info && info->state == XCB_SCREENSAVER_STATE_ON);
}

void HostIdle::screenSaverChanged(bool saverOn)
{
    bool blanked = saverOn;
    if (!blanked && m_x) {
        // DPMS blanks the monitors as the screen saver's timer runs out, or when told to.
        const xcb_query_extension_reply_t *dpms = xcb_get_extension_data(m_x->get(), &xcb_dpms_id);
        if (dpms && dpms->present)
            if (const auto info = m_x->reply(xcb_dpms_info_reply, xcb_dpms_info(m_x->get()), "asking for DPMS's state"))
                blanked = info->state && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    }
    if (blanked == m_screenBlanked)
        return;
    m_screenBlanked = blanked;
    emit screenBlankedChanged(blanked);
}

void HostIdle::dropX()
{
    if (!m_x)
        return;
    m_log.error("The X server no longer answers for the idle time; the user counts as present");
    // The screen saver's back-end goes first: it asks this connection.
    if (m_backEnd && m_backEnd->parent() == this && m_source == Source::xScreenSaver)
        m_backEnd->deleteLater();
    std::exchange(m_x, nullptr)->leave(this);
    screenSaverChanged(false);
}

} // namespace qv
