#include "platform/host/wayland/WaylandWorkspace.h"

#include "platform/host/DesktopEntries.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstring>

namespace qv::host {

namespace {
using Handle = zwlr_foreign_toplevel_handle_v1;
WaylandWorkspace *workspaceOf(void *data)
{
    return static_cast<WaylandWorkspace *>(data);
}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    [](void *, Handle *, const char *) {}, // title
    [](void *data, Handle *handle, const char *appId) { workspaceOf(data)->toplevelAppId(handle, appId); },
    [](void *, Handle *, wl_output *) {}, // output_enter
    [](void *, Handle *, wl_output *) {}, // output_leave
    [](void *data, Handle *handle, wl_array *states) {
        bool activated = false;
        const auto *values = static_cast<const quint32 *>(states->data);
        for (size_t i = 0; i < states->size / sizeof(quint32); ++i)
            activated = activated || values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        workspaceOf(data)->toplevelState(handle, activated);
    },
    [](void *data, Handle *handle) { workspaceOf(data)->toplevelDone(handle); },
    [](void *data, Handle *handle) { workspaceOf(data)->toplevelClosed(handle); },
    [](void *, Handle *, Handle *) {}, // parent
};

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
    [](void *data, zwlr_foreign_toplevel_manager_v1 *, Handle *handle) { workspaceOf(data)->toplevelOpened(handle); },
    [](void *data, zwlr_foreign_toplevel_manager_v1 *) { workspaceOf(data)->managerFinished(); },
};

// An app_id fit to identify an application: at most the length limit, no control characters.
bool usableAppId(const QString &appId)
{
    if (appId.isEmpty() || appId.size() > WaylandWorkspace::kMaxNameLength)
        return false;
    for (QChar c : appId)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}
} // namespace

WaylandWorkspace::WaylandWorkspace(WaylandConnection &connection, std::shared_ptr<DesktopEntries> entries,
                                   QObject *parent)
    : Workspace(parent), m_entries(std::move(entries))
{
    if (const auto manager = connection.global(zwlr_foreign_toplevel_manager_v1_interface.name))
        m_manager = connection.bind<zwlr_foreign_toplevel_manager_v1>(*manager,
                                                                      &zwlr_foreign_toplevel_manager_v1_interface, 3);
    if (!m_manager)
        return;
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &kManagerListener, this);
    connection.flush();
    m_log.info("The front application comes from the compositor's window list");
    connect(&connection, &WaylandConnection::globalRemoved, this, [this](const WaylandConnection::Global &global) {
        if (global.interface == zwlr_foreign_toplevel_manager_v1_interface.name) {
            m_log.error("The compositor withdrew its window list: the applications stay as last seen");
            release();
        }
    });
    connect(&connection, &WaylandConnection::closed, this, [this] {
        m_log.error("The Wayland connection ended: the applications stay as last seen");
        release();
    });
    if (m_entries)
        connect(m_entries.get(), &DesktopEntries::changed, this, &WaylandWorkspace::update);
}

WaylandWorkspace::~WaylandWorkspace()
{
    release();
}

void WaylandWorkspace::release()
{
    for (auto it = m_toplevels.cbegin(); it != m_toplevels.cend(); ++it)
        zwlr_foreign_toplevel_handle_v1_destroy(it.key());
    m_toplevels.clear();
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    m_manager = nullptr;
}

void WaylandWorkspace::toplevelOpened(Handle *handle)
{
    Toplevel toplevel;
    toplevel.serial = ++m_serial;
    m_toplevels.insert(handle, toplevel);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, this);
}

void WaylandWorkspace::toplevelAppId(Handle *handle, const char *appId)
{
    if (auto it = m_toplevels.find(handle); it != m_toplevels.end())
        it->pendingAppId = QString::fromUtf8(appId, qsizetype(strnlen(appId, kMaxNameLength + 1)));
}

void WaylandWorkspace::toplevelState(Handle *handle, bool activated)
{
    if (auto it = m_toplevels.find(handle); it != m_toplevels.end())
        it->pendingActivated = activated;
}

void WaylandWorkspace::toplevelDone(Handle *handle)
{
    const auto it = m_toplevels.find(handle);
    if (it == m_toplevels.end())
        return;
    if ((!it->done || it->pendingAppId != it->appId) && !usableAppId(it->pendingAppId))
        m_log.error("A window has %s: its application has no identifier",
                    it->pendingAppId.isEmpty() ? "no app_id" : "an app_id that is no name");
    if (it->pendingActivated && !it->activated)
        m_activatedSerial = it->serial;
    it->appId = it->pendingAppId;
    it->activated = it->pendingActivated;
    it->done = true;
    update();
}

void WaylandWorkspace::toplevelClosed(Handle *handle)
{
    if (!m_toplevels.remove(handle))
        return;
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    update();
}

void WaylandWorkspace::managerFinished()
{
    m_log.error("The compositor stopped listing windows: the applications stay as last seen");
    release();
}

std::pair<QString, RunningApplication> WaylandWorkspace::describe(const Toplevel &toplevel) const
{
    RunningApplication app;
    if (!usableAppId(toplevel.appId))
        return {QStringLiteral("window/%1").arg(toplevel.serial), app};
    const QString id = (m_entries ? m_entries->idForWindowClass(toplevel.appId, toplevel.appId) : std::nullopt)
                           .value_or(toplevel.appId);
    app.bundleIdentifier = id;
    app.localizedName = m_entries ? m_entries->nameForId(id) : std::nullopt;
    if (!app.localizedName)
        app.localizedName = toplevel.appId;
    return {id, app};
}

void WaylandWorkspace::update()
{
    // The windows in opening order, each described as it stands.
    QList<const Toplevel *> windows;
    for (const Toplevel &toplevel : std::as_const(m_toplevels))
        if (toplevel.done)
            windows << &toplevel;
    std::sort(windows.begin(), windows.end(), [](const Toplevel *a, const Toplevel *b) { return a->serial < b->serial; });

    QList<QString> order;
    QHash<QString, RunningApplication> running;
    QString activeKey;
    std::optional<RunningApplication> active;
    int activeSerial = -1;
    bool ownActivated = false;
    for (const Toplevel *toplevel : std::as_const(windows)) {
        // The application's own windows (the main window, the pop-over, an overlay) are
        // neither running applications nor ever in front.
        if (DesktopEntries::namesThisApplication(toplevel->appId)) {
            ownActivated = ownActivated || toplevel->activated;
            continue;
        }
        auto [key, app] = describe(*toplevel);
        if (!running.contains(key)) {
            order << key;
            running.insert(key, app);
        }
        // The window activated last, where the compositor has not yet said another one lost it.
        if (toplevel->activated && (activeSerial < 0 || toplevel->serial == m_activatedSerial)) {
            activeSerial = toplevel->serial;
            activeKey = key;
            app.isActive = true;
            active = app;
        }
    }
    // While one of them has the focus, the application in front stays the one before.
    if (activeKey.isEmpty() && ownActivated && running.contains(m_lastOtherKey)) {
        activeKey = m_lastOtherKey;
        active = running.value(activeKey);
        active->isActive = true;
    }
    if (!activeKey.isEmpty()) {
        running[activeKey].isActive = true;
        m_lastOtherKey = activeKey;
    }

    const QList<QString> before = m_order;
    const QHash<QString, RunningApplication> previous = m_running;
    const std::optional<RunningApplication> previousActive = m_active;
    const bool activeChanged = activeKey != m_activeKey;
    m_order = order;
    m_running = running;
    m_activeKey = activeKey;
    m_active = active;

    // Launches before the activation of the launched application, terminations after the
    // deactivation of the terminated one.
    if (activeChanged && previousActive) {
        RunningApplication app = *previousActive;
        app.isActive = false;
        emit applicationDeactivated(app);
    }
    for (const QString &key : before)
        if (!running.contains(key)) {
            RunningApplication app = previous.value(key);
            app.isActive = false;
            emit applicationTerminated(app);
        }
    for (const QString &key : std::as_const(order))
        if (!previous.contains(key))
            emit applicationLaunched(running.value(key));
    if (activeChanged && active)
        emit applicationActivated(active);
}

std::optional<RunningApplication> WaylandWorkspace::frontmostApplication()
{
    return m_active;
}

QList<RunningApplication> WaylandWorkspace::runningApplications()
{
    QList<RunningApplication> apps;
    for (const QString &key : std::as_const(m_order))
        apps << m_running.value(key);
    return apps;
}

} // namespace qv::host
