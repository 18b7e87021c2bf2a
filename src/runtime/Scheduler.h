#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace qv {

namespace detail {
struct TaskState;
}

// A scheduled piece of work: cancel() stops it before its next run.
class TaskHandle {
public:
    TaskHandle() = default;
    explicit TaskHandle(std::shared_ptr<detail::TaskState> state) : m_state(std::move(state)) {}

    void cancel();
    // True while the task may still run (not cancelled, not finished, owner alive).
    bool isActive() const;
    explicit operator bool() const { return isActive(); }

private:
    std::shared_ptr<detail::TaskState> m_state;
};

// The one source of time for models: "now", one-shot delays, repeating timers and
// stepped animations. The application runs on RealScheduler (QTimer); tests install a
// VirtualScheduler and move time by hand. Every task holds its owner weakly: once the
// owner is destroyed, a pending run does nothing.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    virtual QDateTime now() const = 0;
    // Milliseconds on a monotonic clock, for measuring intervals.
    virtual qint64 monotonicMs() const = 0;

    virtual TaskHandle after(qint64 delayMs, QObject *owner, std::function<void()> fn) = 0;
    virtual TaskHandle every(qint64 intervalMs, QObject *owner, std::function<void()> fn) = 0;

    // Runs fn on a later turn of the main loop.
    TaskHandle post(QObject *owner, std::function<void()> fn) { return after(0, owner, std::move(fn)); }

    // Runs step(1) .. step(count), the first after firstDelayMs and the others gapMs
    // apart, then finished(). Cancelling the handle stops the remaining steps and
    // finished() is not called.
    TaskHandle steps(int count, qint64 gapMs, QObject *owner, std::function<void(int)> step,
                     std::function<void()> finished = {}, qint64 firstDelayMs = -1);

    // The scheduler in use; RealScheduler unless a test installed another.
    static Scheduler &current();
    // Installs a scheduler (nullptr returns to the real one). Not owned.
    static void setCurrent(Scheduler *scheduler);
};

inline Scheduler &scheduler() { return Scheduler::current(); }

// Forwards fn to the main thread from any thread (a queued call on the application
// object). On the main thread it still runs on a later turn.
void postToMainThread(std::function<void()> fn);
bool isMainThread();

namespace detail {
struct TaskState {
    std::function<void()> fn;
    QPointer<QObject> owner;
    bool hasOwner = false;
    bool cancelled = false;
    bool finished = false;
    bool repeating = false;
    qint64 intervalMs = 0;
    std::function<void()> onCancel;

    bool ownerGone() const { return hasOwner && owner.isNull(); }
    bool live() const { return !cancelled && !finished && !ownerGone(); }
};
} // namespace detail

class RealScheduler final : public Scheduler {
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    TaskHandle after(qint64 delayMs, QObject *owner, std::function<void()> fn) override;
    TaskHandle every(qint64 intervalMs, QObject *owner, std::function<void()> fn) override;
};

// Virtual time for tests: nothing runs until advance() moves the clock past a task's
// due time; tasks due at the same time run in the order they were scheduled.
class VirtualScheduler final : public Scheduler {
public:
    explicit VirtualScheduler(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC));
    ~VirtualScheduler() override;

    QDateTime now() const override { return m_start.addMSecs(m_elapsed); }
    qint64 monotonicMs() const override { return m_elapsed; }
    TaskHandle after(qint64 delayMs, QObject *owner, std::function<void()> fn) override;
    TaskHandle every(qint64 intervalMs, QObject *owner, std::function<void()> fn) override;

    // Moves time forward by ms, running every task that falls due on the way.
    void advance(qint64 ms);
    // Runs what is due now (zero-delay posts included).
    void runPending() { advance(0); }
    // Sets the wall clock without running anything (e.g. jump to a new day).
    void setNow(const QDateTime &now);
    int pendingCount() const;

private:
    struct Entry {
        qint64 due;
        quint64 seq;
        std::shared_ptr<detail::TaskState> state;
    };
    void schedule(qint64 due, std::shared_ptr<detail::TaskState> state);

    QDateTime m_start;
    qint64 m_elapsed = 0;
    quint64 m_seq = 0;
    std::vector<Entry> m_queue;
};

} // namespace qv
