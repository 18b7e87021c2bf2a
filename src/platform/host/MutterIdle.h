#pragma once

#include "platform/host/BusValues.h"
#include "platform/host/IdleBackEnd.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>

#include <functional>

class QDBusServiceWatcher;

namespace qv::host {

// The user's idle time from the compositor's idle monitor on the session bus
// (org.gnome.Mutter.IdleMonitor). It is asked for the idle time once as it is set up,
// and again whenever its idle watch fires; the user is idle since now less its answer.
// Its watches tell the rest: one fires after kIdleWatchMs without input (at once for a
// user already idle that long), one at the next input. A monitor that starts later,
// restarts or answers nonsense is followed; while it is away the idle time last known
// goes on counting.
class MutterIdle final : public IdleBackEnd {
    Q_OBJECT
public:
    static constexpr qint64 kIdleWatchMs = 5'000;
    static constexpr int kCallTimeoutMs = 5'000;
    static constexpr const char *kService = "org.gnome.Mutter.IdleMonitor";
    static constexpr const char *kPath = "/org/gnome/Mutter/IdleMonitor/Core";

    explicit MutterIdle(const QDBusConnection &bus, QObject *parent = nullptr);
    ~MutterIdle() override;

    // The idle time known and both watches in place.
    bool isSetUp() const { return m_ready; }

private slots:
    void watchFired(const QDBusMessage &message);

private:
    // Asks the monitor for the idle time and sets up both watches, without waiting.
    void setUpMonitor();
    void askIdleTime();
    void idleTimeAnswered(quint64 idleMs, int inputsWhenAsked);
    void addActiveWatch();
    void idleWatchFired();
    void activeWatchFired();
    // A call to the monitor; done gets the reply when it is an answer of this monitor.
    void callMonitor(const QString &method, const QVariantList &arguments,
                     std::function<void(const QDBusMessage &)> done);
    // The monitor failed; one that let a call go unanswered is set up again after
    // bus::kRetryMs, as one that comes back is.
    void monitorFailed(const QString &reason, bool retry = false);
    void monitorGone();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    int m_generation = 0;          // answers of a monitor that has gone since are dropped
    bool m_ready = false;
    int m_setUpSteps = 0;          // answers still awaited while setting up
    quint32 m_idleWatch = 0;
    quint32 m_activeWatch = 0;
    bool m_askingActive = false;   // a user-active watch is being added
    QList<quint32> m_firedEarly;   // watches that fired before their ids were known
    QList<quint32> m_staleWatches; // of a round that failed: removed when set up again
    int m_inputs = 0;              // user-active watches fired: an answer asked before one is stale
    TaskHandle m_retry;
    bus::Note m_note;
    Logger m_log{"Idle"};
};

} // namespace qv::host
