#pragma once

#include "platform/Appearance.h"

namespace qv {

class SimulatedMac;

class SimAppearance final : public Appearance {
    Q_OBJECT
public:
    explicit SimAppearance(SimulatedMac &mac) : m_mac(mac) {}
    QString systemAppearanceName() override;

private:
    SimulatedMac &m_mac;
};

} // namespace qv
