#include "platform/host/MutterIdle.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <algorithm>
#include <utility>

namespace qv::host {

namespace {
const QString kIdleMonitor = QString::fromLatin1(MutterIdle::kService);
const QString kIdleMonitorPath = QString::fromLatin1(MutterIdle::kPath);

// Whether a reply holds one value of this type.
bool single(const QDBusMessage &reply, int type)
{
    return reply.arguments().size() == 1 && reply.arguments().first().typeId() == type;
}
} // namespace

MutterIdle::MutterIdle(const QDBusConnection &bus, QObject *parent) : IdleBackEnd(parent), m_bus(bus)
{
    // The watch signal first, then the monitor as it stands.
    m_bus.connect(kIdleMonitor, kIdleMonitorPath, kIdleMonitor, QStringLiteral("WatchFired"), this,
                  SLOT(watchFired(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(kIdleMonitor, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                monitorGone();
                if (!newOwner.isEmpty())
                    setUpMonitor();
            });
    setUpMonitor();
}

MutterIdle::~MutterIdle()
{
    m_retry.cancel();
}

void MutterIdle::callMonitor(const QString &method, const QVariantList &arguments,
                             std::function<void(const QDBusMessage &)> done)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kIdleMonitor, kIdleMonitorPath, kIdleMonitor, method);
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

void MutterIdle::setUpMonitor()
{
    m_retry.cancel();
    // Watches of a round that failed would fire beside the new ones.
    for (const quint32 watch : std::as_const(m_staleWatches)) {
        QDBusMessage remove =
            QDBusMessage::createMethodCall(kIdleMonitor, kIdleMonitorPath, kIdleMonitor, QStringLiteral("RemoveWatch"));
        remove << watch;
        m_bus.send(remove);
    }
    m_staleWatches.clear();
    m_firedEarly.clear();
    ++m_generation;
    m_setUpSteps = 3;
    const auto stepDone = [this] {
        if (--m_setUpSteps > 0)
            return;
        m_ready = true;
        m_firedEarly.clear();
        m_note(m_log, QString());
    };
    // Each answer is checked for its type: the idle time in milliseconds as a 64-bit
    // number, the watches' ids as 32-bit ones.
    const int inputs = m_inputs;
    callMonitor(QStringLiteral("GetIdletime"), {}, [=, this](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::ULongLong))
            return monitorFailed(QStringLiteral("GetIdletime answers \"%1\"").arg(reply.signature()));
        idleTimeAnswered(reply.arguments().first().toULongLong(), inputs);
        stepDone();
    });
    callMonitor(QStringLiteral("AddIdleWatch"), {quint64(kIdleWatchMs)}, [=, this](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::UInt))
            return monitorFailed(QStringLiteral("AddIdleWatch answers \"%1\"").arg(reply.signature()));
        m_idleWatch = reply.arguments().first().toUInt();
        // A monitor may tell that a watch fired before it answers with its id.
        if (m_idleWatch != 0 && m_firedEarly.removeAll(m_idleWatch) > 0)
            idleWatchFired();
        stepDone();
    });
    m_askingActive = true;
    callMonitor(QStringLiteral("AddUserActiveWatch"), {}, [=, this](const QDBusMessage &reply) {
        m_askingActive = false;
        if (!single(reply, QMetaType::UInt))
            return monitorFailed(QStringLiteral("AddUserActiveWatch answers \"%1\"").arg(reply.signature()));
        m_activeWatch = reply.arguments().first().toUInt();
        if (m_activeWatch != 0 && m_firedEarly.removeAll(m_activeWatch) > 0)
            activeWatchFired();
        stepDone();
    });
}

void MutterIdle::askIdleTime()
{
    const int inputs = m_inputs;
    callMonitor(QStringLiteral("GetIdletime"), {}, [this, inputs](const QDBusMessage &reply) {
        if (!single(reply, QMetaType::ULongLong))
            return monitorFailed(QStringLiteral("GetIdletime answers \"%1\"").arg(reply.signature()));
        idleTimeAnswered(reply.arguments().first().toULongLong(), inputs);
    });
}

void MutterIdle::idleTimeAnswered(quint64 idleMs, int inputsWhenAsked)
{
    // An answer asked for before the user came back tells nothing of now.
    if (inputsWhenAsked != m_inputs)
        return;
    // The monitor's word stands: idle since now less its answer. Below the idle watch's
    // length the user counts as present; the watch tells when that ends.
    idleMs = std::min<quint64>(idleMs, quint64(1) << 50);
    if (qint64(idleMs) >= kIdleWatchMs)
        idleSince(scheduler().monotonicMs() - qint64(idleMs));
    else
        present();
}

void MutterIdle::addActiveWatch()
{
    if (m_activeWatch != 0 || m_askingActive)
        return;
    m_askingActive = true;
    callMonitor(QStringLiteral("AddUserActiveWatch"), {}, [this](const QDBusMessage &reply) {
        m_askingActive = false;
        if (!single(reply, QMetaType::UInt))
            return monitorFailed(QStringLiteral("AddUserActiveWatch answers \"%1\"").arg(reply.signature()));
        m_activeWatch = reply.arguments().first().toUInt();
        if (m_activeWatch != 0 && m_firedEarly.removeAll(m_activeWatch) > 0)
            activeWatchFired();
    });
}

void MutterIdle::watchFired(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 1 || arguments.first().typeId() != QMetaType::UInt)
        return;
    const quint32 id = arguments.first().toUInt();
    if (id == 0)
        return;
    if (id == m_idleWatch)
        idleWatchFired();
    else if (id == m_activeWatch)
        activeWatchFired();
    else if (m_setUpSteps > 0 || m_askingActive)
        m_firedEarly << id; // perhaps a watch whose id is on its way
}

void MutterIdle::idleWatchFired()
{
    // Idle for at least the watch's length. A user already idle longer, as the monitor
    // said, keeps that idle time (the watch fires at once for such a user); else it is
    // counted from the watch's start until the monitor says how long exactly.
    const qint64 watchStart = scheduler().monotonicMs() - kIdleWatchMs;
    if (!lastInputMs() || *lastInputMs() > watchStart)
        idleSince(watchStart);
    askIdleTime();
    // The next input is watched (a user-active watch fires once).
    addActiveWatch();
}

void MutterIdle::activeWatchFired()
{
    m_activeWatch = 0;
    ++m_inputs;
    present();
}

void MutterIdle::monitorFailed(const QString &reason, bool retry)
{
    if (reason.contains(QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        || reason.contains(QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))) {
        // No idle monitor yet: no fault.
        m_note(m_log, QStringLiteral("No idle monitor on the session bus; the idle time is counted once the idle monitor starts"));
    } else {
        m_note(m_log, QStringLiteral("The idle monitor gives no idle time (%1); the idle time last known goes on "
                                     "until it %2")
                          .arg(reason.left(200),
                               retry ? QStringLiteral("answers again") : QStringLiteral("starts again")));
    }
    ++m_generation; // the other answers of this round are of no use
    m_ready = false;
    m_setUpSteps = 0;
    m_askingActive = false;
    m_firedEarly.clear();
    for (const quint32 watch : {m_idleWatch, m_activeWatch})
        if (watch)
            m_staleWatches << watch;
    m_idleWatch = m_activeWatch = 0;
    if (retry) {
        m_retry.cancel();
        m_retry = scheduler().after(bus::kRetryMs, this, [this] { setUpMonitor(); });
    }
}

void MutterIdle::monitorGone()
{
    // The idle time last known goes on counting until the monitor is back.
    m_retry.cancel();
    m_staleWatches.clear(); // they went with the monitor
    m_firedEarly.clear();
    ++m_generation;
    m_ready = false;
    m_setUpSteps = 0;
    m_askingActive = false;
    m_idleWatch = m_activeWatch = 0;
}

} // namespace qv::host
