#pragma once

#include "platform/Workspace.h"

namespace qv {

// The simulated workspace: a list of running applications, at most one of them active.
// Tests drive it; each change posts the notifications the system would.
class SimWorkspace final : public Workspace {
    Q_OBJECT
public:
    using Workspace::Workspace;

    std::optional<RunningApplication> frontmostApplication() override;
    QList<RunningApplication> runningApplications() override;

    // ---- driven by tests ----
    // Launches an application (notified), and activates it when asked. Returns its pid.
    qint64 launch(const std::optional<QString> &bundleIdentifier, const std::optional<QString> &localizedName,
                  bool activate = true);
    // Makes the application active: the previous one is deactivated first (both notified).
    void activate(qint64 pid);
    // Deactivates the active application, leaving none active.
    void deactivate(qint64 pid);
    // Quits an application (deactivated first when active).
    void terminate(qint64 pid);
    std::optional<RunningApplication> application(qint64 pid) const;
    // Posts a notification that carries no application.
    void postNotificationWithoutApplication();

private:
    RunningApplication *find(qint64 pid);

    QList<RunningApplication> m_applications;
    qint64 m_nextPid = 500;
};

} // namespace qv
