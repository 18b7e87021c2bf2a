#pragma once

#include "runtime/Scheduler.h"

#include <QObject>

#include <functional>

namespace qv {

// The one transition of the tuning editor's values. A preset's transition and the circadian
// one move the same values, so one runs at a time: run() ends the running one first (it
// stops where it stands). A transition is a number of eased steps stepMs apart, the first
// on the next turn, then its final values one pause after the last step.
class TuningAnimator : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 stepMs = 18;

    // Where step k of count stands between start and end: k / count, eased in and out.
    static double eased(int step, int count);

    // Runs step(eased(k, count)) for k = 1 ... count, then finish(). ended() runs when the
    // transition is ended before it finishes. owner names who started it; the transition
    // ends when the owner is destroyed.
    void run(const QObject *owner, int count, std::function<void(double)> step, std::function<void()> finish,
             std::function<void()> ended = {});
    // Ends the running transition where it stands: no further step runs and it does not finish.
    void end();
    // Ends the running transition with its final values, at once.
    void finishNow();
    bool isRunning() const { return m_task.isActive(); }
    bool isRunning(const QObject *owner) const { return isRunning() && m_owner == owner; }

private:
    TaskHandle m_task;
    const QObject *m_owner = nullptr;
    QMetaObject::Connection m_ownerGone;
    std::function<void()> m_finish;
    std::function<void()> m_ended;
};

} // namespace qv
