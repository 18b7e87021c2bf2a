#include "platform/sim/SimAppearance.h"

#include "platform/sim/SimulatedMac.h"

namespace qv {

QString SimAppearance::systemAppearanceName()
{
    return m_mac.systemAppearance();
}

// ---- the machine's side ----

QString SimulatedMac::systemAppearance() const
{
    QMutexLocker lock(&m_mutex);
    return m_systemAppearance;
}

void SimulatedMac::setSystemAppearance(const QString &name)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_systemAppearance == name)
            return;
        m_systemAppearance = name;
    }
    emit m_appearance->systemAppearanceChanged();
}

} // namespace qv
