#pragma once

#include "platform/Idle.h"

namespace qv {

class SimulatedMac;

// Answers with the idle time the simulated Mac holds (SimulatedMac::setIdleSeconds).
class SimIdle final : public Idle {
public:
    explicit SimIdle(SimulatedMac &mac) : m_mac(mac) {}
    double secondsSinceLastInputEvent() override;

private:
    SimulatedMac &m_mac;
};

} // namespace qv
