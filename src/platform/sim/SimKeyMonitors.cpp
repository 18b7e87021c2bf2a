#include "platform/sim/SimKeyMonitors.h"

namespace qv {

KeyMonitors::MonitorToken SimKeyMonitors::addLocalKeyDownMonitor(LocalHandler handler)
{
    if (m_refusesLocal || !handler)
        return 0;
    const MonitorToken token = m_next++;
    m_local.insert(token, std::move(handler));
    return token;
}

KeyMonitors::MonitorToken SimKeyMonitors::addGlobalKeyDownMonitor(GlobalHandler handler)
{
    if (m_refusesGlobal || !handler)
        return 0;
    const MonitorToken token = m_next++;
    m_global.insert(token, std::move(handler));
    return token;
}

void SimKeyMonitors::removeMonitor(MonitorToken token)
{
    m_local.remove(token);
    m_global.remove(token);
}

bool SimKeyMonitors::pressKey(int keyCode, Target target)
{
    // A handler may remove monitors: go through a copy, skipping the ones removed.
    if (target == Target::otherApplication) {
        const auto monitors = m_global;
        for (auto it = monitors.begin(); it != monitors.end(); ++it)
            if (m_global.contains(it.key()))
                it.value()(keyCode);
        return false;
    }
    const auto monitors = m_local;
    for (auto it = monitors.begin(); it != monitors.end(); ++it)
        if (m_local.contains(it.key()) && it.value()(keyCode))
            return true;
    return false;
}

} // namespace qv
