#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// One running application as the workspace lists it.
struct RunningApplication {
    std::optional<QString> bundleIdentifier; // may be missing
    std::optional<QString> localizedName;    // may be missing
    bool isActive = false;
    qint64 processIdentifier = 0;

    bool operator==(const RunningApplication &) const = default;
};

// The shared workspace and the application's own life cycle: the front and running
// applications with their launch, activation, deactivation and termination
// notifications, the screens waking, a time-zone change, and the application's
// did-finish-launching and will-terminate notifications. Notifications arrive on the
// main thread. A notification's application may be missing.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // In the system's order.
    virtual QList<RunningApplication> runningApplications() = 0;
    // Whether the application has finished launching and runs its event loop.
    bool isApplicationRunning() const { return m_applicationRunning; }
    void setApplicationRunning(bool running) { m_applicationRunning = running; }

public slots:
    // The application's own life cycle, posted by the application shell: it finished
    // launching (running from now on, and notified) and it is about to terminate.
    void finishLaunching()
    {
        m_applicationRunning = true;
        emit applicationDidFinishLaunching();
    }
    void postWillTerminate() { emit applicationWillTerminate(); }
    // The session's own notices, posted by whatever watches the session (the simulated
    // machine, or the host's login and time services).
    void postScreensDidWake() { emit screensDidWake(); }
    void postTimeZoneChanged() { emit timeZoneChanged(); }

signals:
    void applicationLaunched(const std::optional<qv::RunningApplication> &application);
    void applicationActivated(const std::optional<qv::RunningApplication> &application);
    void applicationDeactivated(const std::optional<qv::RunningApplication> &application);
    void applicationTerminated(const std::optional<qv::RunningApplication> &application);
    void screensDidWake();
    void timeZoneChanged();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

private:
    bool m_applicationRunning = false;
};

} // namespace qv
