#pragma once

#include "platform/Idle.h"

namespace qv {

class SimulatedMac;

// Answers with the idle time the simulated Mac holds (SimulatedMac::setIdleSeconds), which
// stays as it is set; a new idle time above 0 is told as idleStarted, 0 as resumed.
class SimIdle final : public Idle {
    Q_OBJECT
public:
    explicit SimIdle(SimulatedMac &mac) : m_mac(mac) {}
    double secondsSinceLastInputEvent() const override;

    // The machine's idle time went from before to now (any thread).
    void changed(double before, double now);

private:
    SimulatedMac &m_mac;
};

} // namespace qv
