#include "platform/sim/SimIdle.h"

#include "platform/sim/SimulatedMac.h"

namespace qv {

double SimIdle::secondsSinceLastInputEvent() const
{
    return m_mac.idleSeconds();
}

void SimIdle::changed(double before, double now)
{
    if (now == before)
        return;
    if (now > 0)
        emit idleStarted();
    else
        emit resumed();
}

} // namespace qv
