#include "runtime/Scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace qv {

void TaskHandle::cancel()
{
    if (!m_state)
        return;
    m_state->cancelled = true;
    if (m_state->onCancel) {
        auto onCancel = std::move(m_state->onCancel);
        m_state->onCancel = nullptr;
        onCancel();
    }
}

bool TaskHandle::isActive() const
{
    return m_state && m_state->live();
}

namespace {
Scheduler *g_installedScheduler = nullptr;

RealScheduler &realScheduler()
{
    static RealScheduler instance;
    return instance;
}

std::shared_ptr<detail::TaskState> makeState(QObject *owner, std::function<void()> fn, bool repeating,
                                             qint64 interval)
{
    auto state = std::make_shared<detail::TaskState>();
    state->fn = std::move(fn);
    state->owner = owner;
    state->hasOwner = owner != nullptr;
    state->repeating = repeating;
    state->intervalMs = interval;
    return state;
}

// Runs a task once if it is still live; a one-shot is finished afterwards.
void fire(const std::shared_ptr<detail::TaskState> &state)
{
    if (!state->live())
        return;
    if (!state->repeating)
        state->finished = true;
    auto fn = state->fn; // the task may cancel itself while running
    fn();
}
} // namespace

Scheduler &Scheduler::current()
{
    return g_installedScheduler ? *g_installedScheduler : realScheduler();
}

void Scheduler::setCurrent(Scheduler *scheduler)
{
    g_installedScheduler = scheduler;
}

TaskHandle Scheduler::steps(int count, qint64 gapMs, QObject *owner, std::function<void(int)> step,
                            std::function<void()> finished, qint64 firstDelayMs)
{
    // The handle's state is a parent that is never run itself; each step is a one-shot
    // chained from it, so cancelling the parent stops whichever step is pending.
    auto parent = makeState(owner, [] {}, false, gapMs);
    if (count <= 0) {
        parent->finished = true;
        if (finished)
            finished();
        return TaskHandle(parent);
    }
    // Each pending step holds the step function strongly; the function refers to itself
    // weakly, so it is freed once no step is pending.
    using StepFn = std::function<void(int)>;
    auto runStep = std::make_shared<StepFn>();
    std::weak_ptr<StepFn> weakRun = runStep;
    *runStep = [this, p = parent, weakRun, owner, count, gapMs, step, finished](int index) {
        if (!p->live())
            return;
        step(index);
        if (!p->live())
            return;
        if (index >= count) {
            p->finished = true;
            if (finished)
                finished();
            return;
        }
        if (auto self = weakRun.lock())
            after(gapMs, owner, [self, index] { (*self)(index + 1); });
    };
    const qint64 first = firstDelayMs < 0 ? gapMs : firstDelayMs;
    after(first, owner, [runStep] { (*runStep)(1); });
    return TaskHandle(parent);
}

void postToMainThread(std::function<void()> fn)
{
    QObject *app = QCoreApplication::instance();
    if (!app) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool isMainThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app ? QThread::currentThread() == app->thread() : true;
}

// ---- RealScheduler ----

QDateTime RealScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}

qint64 RealScheduler::monotonicMs() const
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

namespace {
TaskHandle startTimer(std::shared_ptr<detail::TaskState> state, qint64 ms)
{
    // A timer goes with its owner, so that one still waiting when the owner is destroyed
    // (a midnight timer at quit) is not left behind. An owner on another thread cannot
    // be a parent; that timer frees itself when it fires.
    QObject *owner = state->owner.data();
    auto *timer = new QTimer(owner && owner->thread() == QThread::currentThread() ? owner : nullptr);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!state->repeating);
    timer->setInterval(int(std::clamp<qint64>(ms, 0, INT_MAX)));
    std::weak_ptr<detail::TaskState> weak = state;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, weak] {
        auto s = weak.lock();
        if (s && s->live())
            fire(s);
        if (!s || !s->live()) {
            // Freed here, as Qt frees its own single-shot timers inside their event: a
            // deferred delete would wake the event loop once more for every timer.
            timer->stop();
            delete timer;
        }
    });
    // The state keeps its timer alive; cancelling stops and frees it.
    QPointer<QTimer> guard(timer);
    state->onCancel = [guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    };
    timer->start();
    // The timer holds the state strongly through this connection until it fires.
    QObject::connect(timer, &QObject::destroyed, [state] { (void)state; });
    return TaskHandle(state);
}
} // namespace

TaskHandle RealScheduler::after(qint64 delayMs, QObject *owner, std::function<void()> fn)
{
    return startTimer(makeState(owner, std::move(fn), false, delayMs), delayMs);
}

TaskHandle RealScheduler::every(qint64 intervalMs, QObject *owner, std::function<void()> fn)
{
    return startTimer(makeState(owner, std::move(fn), true, intervalMs), intervalMs);
}

// ---- VirtualScheduler ----

VirtualScheduler::VirtualScheduler(QDateTime start) : m_start(std::move(start)) {}

VirtualScheduler::~VirtualScheduler()
{
    if (g_installedScheduler == this)
        g_installedScheduler = nullptr;
}

void VirtualScheduler::schedule(qint64 due, std::shared_ptr<detail::TaskState> state)
{
    m_queue.push_back({due, m_seq++, std::move(state)});
}

TaskHandle VirtualScheduler::after(qint64 delayMs, QObject *owner, std::function<void()> fn)
{
    auto state = makeState(owner, std::move(fn), false, delayMs);
    schedule(m_elapsed + std::max<qint64>(0, delayMs), state);
    return TaskHandle(state);
}

TaskHandle VirtualScheduler::every(qint64 intervalMs, QObject *owner, std::function<void()> fn)
{
    auto state = makeState(owner, std::move(fn), true, std::max<qint64>(1, intervalMs));
    schedule(m_elapsed + state->intervalMs, state);
    return TaskHandle(state);
}

void VirtualScheduler::advance(qint64 ms)
{
    const qint64 target = m_elapsed + std::max<qint64>(0, ms);
    for (;;) {
        // Drop what can no longer run.
        std::erase_if(m_queue, [](const Entry &e) { return !e.state->live(); });
        auto it = std::min_element(m_queue.begin(), m_queue.end(), [](const Entry &a, const Entry &b) {
            return a.due != b.due ? a.due < b.due : a.seq < b.seq;
        });
        if (it == m_queue.end() || it->due > target)
            break;
        Entry entry = *it;
        m_queue.erase(it);
        m_elapsed = std::max(m_elapsed, entry.due);
        fire(entry.state);
        if (entry.state->repeating && entry.state->live())
            schedule(entry.due + entry.state->intervalMs, entry.state);
    }
    m_elapsed = target;
}

void VirtualScheduler::setNow(const QDateTime &now)
{
    m_start = now.addMSecs(-m_elapsed);
}

int VirtualScheduler::pendingCount() const
{
    return int(std::count_if(m_queue.begin(), m_queue.end(), [](const Entry &e) { return e.state->live(); }));
}

} // namespace qv
