#include "platform/sim/SimIdle.h"

#include "platform/sim/SimulatedMac.h"

namespace qv {

double SimIdle::secondsSinceLastInputEvent()
{
    return m_mac.idleSeconds();
}

} // namespace qv
