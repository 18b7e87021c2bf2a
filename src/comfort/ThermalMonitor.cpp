#include "comfort/ThermalMonitor.h"

#include "platform/Platform.h"
#include "runtime/Scheduler.h"

namespace qv {

ThermalMonitor::ThermalMonitor(QObject *parent)
    : ThermalMonitor(platform().power, parent)
{
}

ThermalMonitor::ThermalMonitor(Power *power, QObject *parent)
    : QObject(parent), m_power(power)
{
    if (!m_power)
        return;
    m_state = m_power->thermalState();
    refresh();
    // The change may be reported on any thread: the connection brings it to this object's
    // (main) thread, and the state is read again on a later turn.
    m_observer = connect(m_power, &Power::thermalStateChanged, this, [this] {
        scheduler().post(this, [this] { refresh(); });
    });
}

ThermalMonitor::~ThermalMonitor()
{
    disconnect(m_observer);
}

void ThermalMonitor::refresh()
{
    if (!m_power)
        return;
    const ThermalState state = m_power->thermalState();
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

} // namespace qv
