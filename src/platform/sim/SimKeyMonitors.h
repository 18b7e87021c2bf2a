#pragma once

#include "platform/KeyMonitors.h"

#include <QMap>

namespace qv {

// The simulated key-down monitors: tests press keys and see whether a local monitor
// consumed them.
class SimKeyMonitors final : public KeyMonitors {
public:
    enum class Target {
        application, // a key meant for one of our windows: local monitors see it
        otherApplication, // a key meant for another application: global monitors see it
    };

    MonitorToken addLocalKeyDownMonitor(LocalHandler handler) override;
    MonitorToken addGlobalKeyDownMonitor(GlobalHandler handler) override;
    void removeMonitor(MonitorToken token) override;

    // Presses a key. Returns true when a local monitor consumed it (the key then reaches
    // no window); a key for another application is never consumed.
    bool pressKey(int keyCode, Target target);

    int localMonitorCount() const { return int(m_local.size()); }
    int globalMonitorCount() const { return int(m_global.size()); }
    // The system installs no monitor of that kind (the add returns 0).
    void setRefusesLocalMonitors(bool refuses) { m_refusesLocal = refuses; }
    void setRefusesGlobalMonitors(bool refuses) { m_refusesGlobal = refuses; }

private:
    QMap<MonitorToken, LocalHandler> m_local;
    QMap<MonitorToken, GlobalHandler> m_global;
    MonitorToken m_next = 1;
    bool m_refusesLocal = false;
    bool m_refusesGlobal = false;
};

} // namespace qv
