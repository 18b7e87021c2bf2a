#include "platform/host/IdleBackEnd.h"

#include "runtime/Scheduler.h"

#include <algorithm>

namespace qv::host {

double IdleBackEnd::secondsSinceLastInputEvent() const
{
    if (!m_lastInputMs)
        return 0.0;
    return std::max<qint64>(0, scheduler().monotonicMs() - *m_lastInputMs) / 1000.0;
}

void IdleBackEnd::idleSince(qint64 lastInputMs)
{
    if (m_lastInputMs == lastInputMs)
        return;
    m_lastInputMs = lastInputMs;
    emit idleStarted();
}

void IdleBackEnd::present()
{
    if (!m_lastInputMs)
        return;
    m_lastInputMs.reset();
    emit resumed();
}

} // namespace qv::host
