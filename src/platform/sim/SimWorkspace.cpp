#include "platform/sim/SimWorkspace.h"

namespace qv {

std::optional<RunningApplication> SimWorkspace::frontmostApplication()
{
    for (const RunningApplication &app : m_applications)
        if (app.isActive)
            return app;
    return std::nullopt;
}

QList<RunningApplication> SimWorkspace::runningApplications()
{
    return m_applications;
}

RunningApplication *SimWorkspace::find(qint64 pid)
{
    for (RunningApplication &app : m_applications)
        if (app.processIdentifier == pid)
            return &app;
    return nullptr;
}

std::optional<RunningApplication> SimWorkspace::application(qint64 pid) const
{
    for (const RunningApplication &app : m_applications)
        if (app.processIdentifier == pid)
            return app;
    return std::nullopt;
}

qint64 SimWorkspace::launch(const std::optional<QString> &bundleIdentifier,
                            const std::optional<QString> &localizedName, bool activateIt)
{
    RunningApplication app;
    app.bundleIdentifier = bundleIdentifier;
    app.localizedName = localizedName;
    app.processIdentifier = m_nextPid++;
    m_applications << app;
    emit applicationLaunched(app);
    if (activateIt)
        activate(app.processIdentifier);
    return app.processIdentifier;
}

void SimWorkspace::activate(qint64 pid)
{
    RunningApplication *target = find(pid);
    if (!target || target->isActive)
        return;
    for (RunningApplication &app : m_applications) {
        if (app.isActive) {
            app.isActive = false;
            const RunningApplication previous = app;
            emit applicationDeactivated(previous);
            break;
        }
    }
    target = find(pid); // a handler may have changed the list
    if (!target)
        return;
    target->isActive = true;
    const RunningApplication now = *target;
    emit applicationActivated(now);
}

void SimWorkspace::deactivate(qint64 pid)
{
    RunningApplication *app = find(pid);
    if (!app || !app->isActive)
        return;
    app->isActive = false;
    const RunningApplication copy = *app;
    emit applicationDeactivated(copy);
}

void SimWorkspace::terminate(qint64 pid)
{
    deactivate(pid);
    const auto app = application(pid);
    if (!app)
        return;
    m_applications.removeIf([pid](const RunningApplication &a) { return a.processIdentifier == pid; });
    emit applicationTerminated(app);
}

void SimWorkspace::postNotificationWithoutApplication()
{
    emit applicationLaunched(std::nullopt);
    emit applicationActivated(std::nullopt);
    emit applicationDeactivated(std::nullopt);
    emit applicationTerminated(std::nullopt);
}

} // namespace qv
