#include "platform/host/HostIdle.h"

#include "platform/x11/XConnection.h"
#include "platform/host/wayland/WaylandIdle.h"
#include "runtime/Scheduler.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <utility>

namespace qv {

namespace {
const QString kMonitor = QString::fromLatin1(HostIdle::kIdleMonitorService);
const QString kMonitorPath = QString::fromLatin1(HostIdle::kIdleMonitorPath);
} // namespace

HostIdle::HostIdle(const QString &display, const QDBusConnection &bus, QObject *parent)
    : HostIdle(nullptr, display, bus, parent)
{
}

HostIdle::HostIdle(x11::XConnection &x, const QDBusConnection &bus, QObject *parent)
    : HostIdle(&x, QString(), bus, parent)
{
}

HostIdle::HostIdle(x11::XConnection *x, const QString &display, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    connectX(x, display);
    if (!m_bus.isConnected()) {
        if (!m_x)
            m_log.error("No idle time on this desktop (no X screen-saver extension, no session bus); "
                        "the user counts as present");
        return;
    }
    // The watch signal first, then the monitor as it stands.
    m_bus.connect(kMonitor, kMonitorPath, kMonitor, QStringLiteral("WatchFired"), this, SLOT(watchFired(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(kMonitor, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                monitorGone();
                if (!newOwner.isEmpty())
                    setUpMonitor();
            });
    setUpMonitor();
}

HostIdle::~HostIdle()
{
    m_retry.cancel();
}

qint64 HostIdle::nowMs() const
{
    return scheduler().monotonicMs();
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
    m_log.error("The X server no longer answers for the idle time; %s",
                m_bus.isConnected() ? "the idle monitor answers once it runs" : "the user counts as present");
    std::exchange(m_x, nullptr)->leave(this);
    screenSaverChanged(false);
}

HostIdle::Source HostIdle::source() const
{
    if (m_monitorReady)
        return Source::idleMonitor;
    if (m_wayland && m_wayland->isAvailable())
        return Source::wayland;
    return m_x ? Source::xScreenSaver : Source::none;
}

double HostIdle::secondsSinceLastInputEvent()
{
    if (!m_monitorReady && m_wayland)
        if (const std::optional<double> seconds = m_wayland->secondsSinceLastInput())
            return *seconds;
    if (!m_monitorReady && m_x)
        if (const std::optional<double> seconds = queryX())
            return *seconds;
    // The monitor's count, or the last one known while it is away.
    if (m_active || !m_lastInputMs)
        return 0.0;
    return std::max<qint64>(0, nowMs() - *m_lastInputMs) / 1000.0;
}

std::optional<double> HostIdle::queryX()
{
    const auto reply = m_x->reply(xcb_screensaver_query_info_reply,
                                  xcb_screensaver_query_info(m_x->get(), m_x->root()), "asking for the idle time");
    if (!reply) {
        dropX();
        return std::nullopt;
    }
    return reply->ms_since_user_input / 1000.0;
}

void HostIdle::callMonitor(const QString &method, const QVariantList &arguments,
                           std::function<void(const QDBusMessage &)> done)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kMonitor, kMonitorPath, kMonitor, method);
    message.setArguments(arguments);
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    const int generation = m_generation;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, method, done = std::move(done)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (generation != m_generation)
                    return;
                const QDBusMessage reply = finished->reply();
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    monitorFailed(QStringLiteral("%1: %2").arg(method, reply.errorName()),
                                  bus::timedOut(reply.errorName()));
                    return;
                }
                done(reply);
            });
}

void HostIdle::setUpMonitor()
{
    m_retry.cancel();
    // Watches of a round that failed would fire beside the new ones.
    for (const quint32 watch : std::as_const(m_staleWatches)) {
        QDBusMessage remove = QDBusMessage::createMethodCall(kMonitor, kMonitorPath, kMonitor, QStringLiteral("RemoveWatch"));
        remove << watch;
        m_bus.send(remove);
    }
    m_staleWatches.clear();
    ++m_generation;
    m_setUpSteps = 3;
    const auto stepDone = [this] {
        if (--m_setUpSteps > 0)
            return;
        m_monitorReady = true;
        m_note(m_log, QString());
    };
    // Each answer is checked for its type: the idle time in milliseconds as a 64-bit
    // number, the watches' ids as 32-bit ones.
    const auto single = [](const QDBusMessage &reply, int type) {
        return reply.arguments().size() == 1 && reply.arguments().first().typeId() == type;
    };
    callMonitor(QStringLiteral("GetIdletime"), {}, [=, this](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::ULongLong))
            return monitorFailed(QStringLiteral("GetIdletime answers \"%1\"").arg(reply.signature()));
        const quint64 idleMs = std::min<quint64>(reply.arguments().first().toULongLong(), quint64(1) << 50);
        m_lastInputMs = nowMs() - qint64(idleMs);
        m_active = false;
        m_idleTimeAsked = true;
        stepDone();
    });
    callMonitor(QStringLiteral("AddIdleWatch"), {quint64(kIdleWatchMs)}, [=, this](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::UInt))
            return monitorFailed(QStringLiteral("AddIdleWatch answers \"%1\"").arg(reply.signature()));
        m_idleWatch = reply.arguments().first().toUInt();
        stepDone();
    });
    callMonitor(QStringLiteral("AddUserActiveWatch"), {}, [=, this](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::UInt))
            return monitorFailed(QStringLiteral("AddUserActiveWatch answers \"%1\"").arg(reply.signature()));
        m_activeWatch = reply.arguments().first().toUInt();
        stepDone();
    });
}

void HostIdle::addActiveWatch()
{
    m_activeWatch = 0;
    callMonitor(QStringLiteral("AddUserActiveWatch"), {}, [this](const QDBusMessage &reply) {
        if (reply.arguments().size() != 1 || reply.arguments().first().typeId() != QMetaType::UInt)
            return monitorFailed(QStringLiteral("AddUserActiveWatch answers \"%1\"").arg(reply.signature()));
        m_activeWatch = reply.arguments().first().toUInt();
    });
}

void HostIdle::watchFired(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (!m_monitorReady || arguments.size() != 1 || arguments.first().typeId() != QMetaType::UInt)
        return;
    const quint32 id = arguments.first().toUInt();
    if (id == 0)
        return;
    if (id == m_idleWatch) {
        // Idle for the watch's length: counted from its start; the next input is watched.
        // A user idle for longer already when the monitor was set up sees the new watch
        // fire at once: without input since, the idle time asked for stands.
        const qint64 watchStart = nowMs() - kIdleWatchMs;
        const bool idleSinceAsked = m_idleTimeAsked && !m_active && m_lastInputMs;
        m_lastInputMs = idleSinceAsked ? std::min(*m_lastInputMs, watchStart) : watchStart;
        m_active = false;
        m_idleTimeAsked = false;
        addActiveWatch();
    } else if (id == m_activeWatch) {
        // A user-active watch fires once.
        m_active = true;
        m_idleTimeAsked = false;
        m_activeWatch = 0;
    }
}

void HostIdle::monitorFailed(const QString &reason, bool retry)
{
    if (reason.contains(QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        || reason.contains(QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))) {
        // No idle monitor on this desktop: no fault. Said only when nothing else answers.
        if (!m_x && !(m_wayland && m_wayland->isAvailable()))
            m_note(m_log, QStringLiteral("No idle monitor on the session bus and no X screen-saver extension; the "
                                         "idle time is counted once the idle monitor starts"));
    } else {
        m_note(m_log, QStringLiteral("The idle monitor gives no idle time (%1); %2 until it %3")
                          .arg(reason.left(200),
                               m_x ? QStringLiteral("the X screen-saver extension answers")
                                   : QStringLiteral("the idle time last known goes on"),
                               retry ? QStringLiteral("answers again") : QStringLiteral("starts again")));
    }
    ++m_generation; // the other answers of this round are of no use
    m_monitorReady = false;
    for (const quint32 watch : {m_idleWatch, m_activeWatch})
        if (watch)
            m_staleWatches << watch;
    m_idleWatch = m_activeWatch = 0;
    if (retry) {
        m_retry.cancel();
        m_retry = scheduler().after(bus::kRetryMs, this, [this] { setUpMonitor(); });
    }
}

void HostIdle::monitorGone()
{
    m_retry.cancel();
    m_staleWatches.clear(); // they went with the monitor
    ++m_generation;
    m_monitorReady = false;
    m_idleWatch = m_activeWatch = 0;
}

} // namespace qv
