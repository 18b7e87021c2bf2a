#pragma once

#include "platform/Workspace.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QHash>
#include <QSet>

#include <memory>

#include <xcb/xcb.h>

namespace qv::x11 {
class XConnection;
}

namespace qv {

class DesktopEntries;

// The workspace of an X11 desktop, from what the window manager publishes on the root
// window (EWMH): the active window (_NET_ACTIVE_WINDOW) gives the front application and
// the managed windows (_NET_CLIENT_LIST) the running ones, both followed through
// property-change events (nothing polls).
//
// An application is known by its desktop-entry id: the window's GTK application id, else
// its class (WM_CLASS, UTF-8 or else Latin-1) matched against the installed desktop
// entries, else the class itself; windows are named again when the installed entries
// change. The windows of one process with one id make one application (its process id
// from _NET_WM_PID, 0 when the window does not say). A window without a usable class
// gives an application without an identifier. An application launches with its first
// window in the list and terminates with its last; the application of the active window
// is activated, the one before it deactivated. This process's own windows are left out:
// while one of them is active the application in front stays the one before.
//
// A window manager may pass through "no active window" between two windows (openbox
// does, often). The application in front stays in front over such a gap: only when no
// window is active still after kGapHoldMs (read again then) is it deactivated.
class HostWorkspace final : public Workspace {
    Q_OBJECT
public:
    // Longest class or application id taken as a name; a longer one is no name.
    static constexpr int kMaxNameLength = 255;
    // How long "no active window" may last as a gap between two windows.
    static constexpr qint64 kGapHoldMs = 500;

    // display names the X server (empty: $DISPLAY). Without a server the workspace has no
    // applications (said once in the log).
    explicit HostWorkspace(const QString &display, std::shared_ptr<DesktopEntries> entries,
                           QObject *parent = nullptr);
    // On the process's X connection.
    HostWorkspace(x11::XConnection &x, std::shared_ptr<DesktopEntries> entries, QObject *parent = nullptr);
    ~HostWorkspace() override;

    bool isConnected() const;

    std::optional<RunningApplication> frontmostApplication() override;
    QList<RunningApplication> runningApplications() override;

private:
    struct WindowInfo {
        QString key; // the application it belongs to
        RunningApplication application;
        bool own = false; // a window of this process: never listed, never in front
    };

    HostWorkspace(x11::XConnection *x, const QString &display, std::shared_ptr<DesktopEntries> entries,
                  QObject *parent);
    bool connectX(x11::XConnection *x, const QString &display);
    void handleEvent(const xcb_generic_event_t &event);
    void update();
    void entriesChanged();
    void updateClients(bool notify);
    // gapOver: "no active window" now means none (the hold over a gap has run out).
    void updateActive(bool notify, bool gapOver = false);
    // The window's application; nothing when the window is gone.
    const WindowInfo *describe(quint32 window);
    QList<quint32> windowList(quint32 atom, int max);
    QByteArray property(quint32 window, quint32 atom, quint32 type, int maxBytes, bool *tooLong = nullptr,
                        bool *gone = nullptr);
    void lost();

    x11::XConnection *m_x = nullptr;
    quint32 m_root = 0;
    bool m_clientsChanged = false, m_activeChanged = false, m_updateQueued = false;
    struct Atoms {
        quint32 activeWindow = 0, clientList = 0, applicationId = 0, pid = 0, utf8 = 0, supportingWmCheck = 0;
    } m_atoms;
    std::shared_ptr<DesktopEntries> m_entries;
    QHash<quint32, WindowInfo> m_windows;        // described windows by id, until they end
    QList<QString> m_order;                      // running applications' keys in list order
    QHash<QString, RunningApplication> m_running; // by key
    QString m_activeKey;                         // empty: none
    std::optional<RunningApplication> m_active;
    TaskHandle m_gapHold; // while no window is active and the one in front is held
    Logger m_log{"Workspace"};
};

} // namespace qv
