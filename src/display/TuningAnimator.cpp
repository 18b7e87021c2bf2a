#include "display/TuningAnimator.h"

#include <algorithm>
#include <utility>

namespace qv {

double TuningAnimator::eased(int step, int count)
{
    const double t = std::min(double(step) / count, 1.0);
    return t * t * (3 - 2 * t);
}

void TuningAnimator::run(const QObject *owner, int count, std::function<void(double)> step,
                         std::function<void()> finish, std::function<void()> ended)
{
    end();
    disconnect(m_ownerGone);
    m_owner = owner;
    m_ownerGone = connect(owner, &QObject::destroyed, this, [this] {
        m_task.cancel();
        m_ended = {};
    });
    m_finish = std::move(finish);
    m_ended = std::move(ended);
    m_task = scheduler().steps(
        count + 1, stepMs, this,
        [this, count, step = std::move(step)](int k) {
            if (k <= count)
                step(eased(k, count));
            else if (const auto finish = m_finish)
                finish();
        },
        {}, 0);
}

void TuningAnimator::end()
{
    // Ending takes effect at once: the ended transition runs no further step and does not
    // finish, so it can never touch a transition that replaces it.
    if (!m_task.isActive())
        return;
    m_task.cancel();
    if (const auto ended = std::exchange(m_ended, {}))
        ended();
}

void TuningAnimator::finishNow()
{
    if (!m_task.isActive())
        return;
    m_task.cancel();
    m_ended = {};
    if (const auto finish = m_finish)
        finish();
}

} // namespace qv
