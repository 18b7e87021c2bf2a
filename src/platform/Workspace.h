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
    virtual bool isApplicationRunning() = 0;

signals:
    void applicationLaunched(const std::optional<qv::RunningApplication> &application);
    void applicationActivated(const std::optional<qv::RunningApplication> &application);
    void applicationDeactivated(const std::optional<qv::RunningApplication> &application);
    void applicationTerminated(const std::optional<qv::RunningApplication> &application);
    void screensDidWake();
    void timeZoneChanged();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
};

} // namespace qv
