#pragma once

#include "platform/Workspace.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "runtime/Logging.h"

#include <QHash>
#include <QList>

#include <memory>

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace qv {

class DesktopEntries;

namespace host {

// The workspace of a Wayland session whose compositor lists every client's windows
// (wlroots' foreign-toplevel management): the activated window gives the front
// application, the open windows the running ones. A window's application is its app_id
// matched against the installed desktop entries as a window class is on X11, else the
// app_id itself; a window without a usable app_id gives an application without an
// identifier. The compositor does not tell process ids (0). A window's changes count once
// the compositor marks them done; an application launches with its first window and
// terminates with its last, and the notifications come in the order the X11 workspace
// gives them. The application's own windows are left out: while one of them is activated
// the application in front stays the one before.
class WaylandWorkspace final : public Workspace {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 255;

    // On a connection whose globals are known (ready).
    WaylandWorkspace(WaylandConnection &connection, std::shared_ptr<DesktopEntries> entries,
                     QObject *parent = nullptr);
    ~WaylandWorkspace() override;

    // Whether the compositor lists windows (else this workspace never has applications).
    bool isAvailable() const { return m_manager != nullptr; }

    std::optional<RunningApplication> frontmostApplication() override;
    QList<RunningApplication> runningApplications() override;

    // The protocol's events (public for its listeners).
    void toplevelOpened(zwlr_foreign_toplevel_handle_v1 *handle);
    void toplevelAppId(zwlr_foreign_toplevel_handle_v1 *handle, const char *appId);
    void toplevelState(zwlr_foreign_toplevel_handle_v1 *handle, bool activated);
    void toplevelDone(zwlr_foreign_toplevel_handle_v1 *handle);
    void toplevelClosed(zwlr_foreign_toplevel_handle_v1 *handle);
    void managerFinished();

private:
    struct Toplevel {
        int serial = 0;        // opening order
        QString pendingAppId;  // as sent since the last done
        bool pendingActivated = false;
        bool done = false;     // described at least once
        QString appId;
        bool activated = false;
    };
    // The application a window belongs to: its key and what the workspace lists.
    std::pair<QString, RunningApplication> describe(const Toplevel &toplevel) const;
    void update();
    void release();

    std::shared_ptr<DesktopEntries> m_entries;
    zwlr_foreign_toplevel_manager_v1 *m_manager = nullptr;
    QHash<zwlr_foreign_toplevel_handle_v1 *, Toplevel> m_toplevels;
    int m_serial = 0;
    int m_activatedSerial = 0; // the window activated last (several may say so for a moment)
    QList<QString> m_order;
    QHash<QString, RunningApplication> m_running;
    QString m_activeKey;
    QString m_lastOtherKey; // the application in front before one of our own windows took the focus
    std::optional<RunningApplication> m_active;
    Logger m_log{"Workspace"};
};

} // namespace host
} // namespace qv
