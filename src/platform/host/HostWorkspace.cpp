#include "platform/host/HostWorkspace.h"

#include "platform/host/DesktopEntries.h"
#include "platform/x11/XConnection.h"
#include "runtime/TextDecoding.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace qv {

namespace {
// More windows than any desktop shows; the rest of a longer list is not read.
constexpr int kMaxClients = 4096;

// A name fit to identify an application: text of at most the length limit, without control
// characters.
std::optional<QString> usableName(const std::optional<QString> &decoded)
{
    if (!decoded)
        return std::nullopt;
    const QString &text = *decoded;
    if (text.isEmpty() || text.size() > HostWorkspace::kMaxNameLength)
        return std::nullopt;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return std::nullopt;
    return text;
}
} // namespace

HostWorkspace::HostWorkspace(const QString &display, std::shared_ptr<DesktopEntries> entries, QObject *parent)
    : HostWorkspace(nullptr, display, std::move(entries), parent)
{
}

HostWorkspace::HostWorkspace(x11::XConnection &x, std::shared_ptr<DesktopEntries> entries, QObject *parent)
    : HostWorkspace(&x, QString(), std::move(entries), parent)
{
}

HostWorkspace::HostWorkspace(x11::XConnection *x, const QString &display, std::shared_ptr<DesktopEntries> entries,
                             QObject *parent)
    : Workspace(parent), m_entries(std::move(entries))
{
    if (!connectX(x, display)) {
        m_log.error("No X server: the front application and the running applications are unknown");
        return;
    }
    // Changes first, then the state as it stands: a change in between is read twice, never missed.
    for (const quint8 type : {XCB_PROPERTY_NOTIFY, XCB_DESTROY_NOTIFY})
        m_x->onEvent(type, this, [this](const xcb_generic_event_t &event) { handleEvent(event); });
    m_x->selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    connect(m_x, &x11::XConnection::lost, this, &HostWorkspace::lost);
    if (m_entries)
        connect(m_entries.get(), &DesktopEntries::changed, this, &HostWorkspace::entriesChanged);
    if (property(m_root, m_atoms.supportingWmCheck, XCB_ATOM_WINDOW, 4).size() != 4)
        m_log.info("No window manager announces itself yet: no front application until one does");
    updateClients(false);
    updateActive(false);
}

HostWorkspace::~HostWorkspace() = default;

bool HostWorkspace::isConnected() const
{
    return m_x && m_x->isConnected();
}

bool HostWorkspace::connectX(x11::XConnection *x, const QString &display)
{
    m_x = x11::XConnection::sharedOrOwn(x, display, m_log, this);
    if (!m_x->isConnected()) {
        std::exchange(m_x, nullptr)->leave(this);
        return false;
    }
    m_root = m_x->root();
    m_atoms.activeWindow = m_x->atom("_NET_ACTIVE_WINDOW");
    m_atoms.clientList = m_x->atom("_NET_CLIENT_LIST");
    m_atoms.applicationId = m_x->atom("_GTK_APPLICATION_ID");
    m_atoms.pid = m_x->atom("_NET_WM_PID");
    m_atoms.utf8 = m_x->atom("UTF8_STRING");
    m_atoms.supportingWmCheck = m_x->atom("_NET_SUPPORTING_WM_CHECK");
    return true;
}

void HostWorkspace::lost()
{
    m_log.error("The X server connection ended: the applications stay as last seen");
    std::exchange(m_x, nullptr)->leave(this);
}

void HostWorkspace::handleEvent(const xcb_generic_event_t &event)
{
    switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto &notify = reinterpret_cast<const xcb_property_notify_event_t &>(event);
        if (notify.window != m_root)
            return;
        m_clientsChanged = m_clientsChanged || notify.atom == m_atoms.clientList;
        m_activeChanged = m_activeChanged || notify.atom == m_atoms.activeWindow;
        break;
    }
    case XCB_DESTROY_NOTIFY:
        // A described window ended: its id may be given to a new window.
        m_windows.remove(reinterpret_cast<const xcb_destroy_notify_event_t &>(event).window);
        return;
    default:
        return;
    }
    // A burst of changes delivered together is one look at the new state.
    if ((m_clientsChanged || m_activeChanged) && !m_updateQueued) {
        m_updateQueued = true;
        QMetaObject::invokeMethod(this, &HostWorkspace::update, Qt::QueuedConnection);
    }
}

void HostWorkspace::update()
{
    m_updateQueued = false;
    const bool clients = std::exchange(m_clientsChanged, false);
    const bool active = std::exchange(m_activeChanged, false);
    if (!m_x)
        return;
    // Launches before the activation of the launched application, terminations after
    // the deactivation of the terminated one (updateClients deactivates it first).
    if (clients)
        updateClients(true);
    if (active)
        updateActive(true);
}

void HostWorkspace::entriesChanged()
{
    // The windows are named anew: an application installed since may be known now.
    m_windows.clear();
    if (!m_x)
        return;
    updateClients(true);
    updateActive(true);
}

QByteArray HostWorkspace::property(quint32 window, quint32 atom, quint32 type, int maxBytes, bool *tooLong,
                                   bool *gone)
{
    if (tooLong)
        *tooLong = false;
    if (gone)
        *gone = false;
    if (!m_x || atom == XCB_ATOM_NONE)
        return {};
    // A window that is gone is no fault: the caller hears of it, other errors are logged.
    int errorCode = 0;
    const auto reply =
        m_x->reply(xcb_get_property_reply,
                   xcb_get_property(m_x->get(), 0, window, atom, type, 0, quint32((maxBytes + 3) / 4)),
                   "reading a window property", &errorCode);
    if (!reply) {
        if (errorCode == XCB_WINDOW) {
            if (gone)
                *gone = true;
        } else if (errorCode) {
            m_log.error("X error %d reading a property of window 0x%x", errorCode, window);
        }
        return {};
    }
    QByteArray bytes;
    if (reply->type == type && reply->format != 0) {
        const int length = xcb_get_property_value_length(reply.get());
        bytes = QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())), length);
        if (tooLong)
            *tooLong = reply->bytes_after > 0;
    }
    return bytes;
}

QList<quint32> HostWorkspace::windowList(quint32 atom, int max)
{
    const QByteArray bytes = property(m_root, atom, XCB_ATOM_WINDOW, max * 4);
    // Every window that ended before the list was read is forgotten before the list is
    // described: an id in it may be a new window's.
    if (m_x)
        m_x->pumpEvents();
    QList<quint32> windows;
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
        quint32 window = 0;
        std::memcpy(&window, bytes.constData() + i, 4);
        windows << window;
    }
    return windows;
}

const HostWorkspace::WindowInfo *HostWorkspace::describe(quint32 window)
{
    if (const auto it = m_windows.constFind(window); it != m_windows.cend())
        return &*it;
    WindowInfo info;
    RunningApplication &app = info.application;
    // Its end is heard of before anything else can take its id (ids are reused), so that
    // what is kept here never describes another window. Asked before the window is read:
    // a window gone in between is reported gone by the reads, and the request's error is
    // no news.
    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (m_x)
        xcb_discard_reply(m_x->get(),
                          xcb_change_window_attributes_checked(m_x->get(), window, XCB_CW_EVENT_MASK, &mask).sequence);
    // A window manager may name a window that is gone already (the last active one).
    bool gone = false;
    const QByteArray pid = property(window, m_atoms.pid, XCB_ATOM_CARDINAL, 4, nullptr, &gone);
    if (gone)
        return nullptr;
    if (pid.size() == 4) {
        quint32 value = 0;
        std::memcpy(&value, pid.constData(), 4);
        app.processIdentifier = value;
    }
    // Our own process's window, where the window says it comes from this machine or says
    // nothing of its machine.
    if (app.processIdentifier && app.processIdentifier == QCoreApplication::applicationPid()) {
        const QByteArray machine = property(window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 256);
        info.own = machine.isEmpty() || QString::fromLocal8Bit(machine) == QSysInfo::machineHostName();
    }
    bool tooLong = false;
    QString problem;
    const QByteArray gtkId = property(window, m_atoms.applicationId, m_atoms.utf8, kMaxNameLength + 1, &tooLong);
    std::optional<QString> id = tooLong ? std::nullopt : usableName(text::decodeUtf8(gtkId));
    QString windowClass;
    if (!id) {
        // WM_CLASS: the instance and the class, each ending in a zero byte.
        const QByteArray bytes = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 2 * (kMaxNameLength + 1), &tooLong);
        const QList<QByteArray> parts = bytes.split('\0');
        const auto part = [&parts](int i) {
            return parts.size() > i ? usableName(text::decodeUtf8OrLatin1(parts.at(i))) : std::nullopt;
        };
        const std::optional<QString> instance = part(0);
        const std::optional<QString> cls = part(1);
        if (tooLong)
            problem = QStringLiteral("a window class longer than %1 characters").arg(kMaxNameLength);
        else if (!cls && !instance)
            problem = bytes.isEmpty() ? QStringLiteral("no window class") : QStringLiteral("a window class that is no name");
        else {
            windowClass = cls.value_or(*instance);
            id = m_entries ? m_entries->idForWindowClass(instance.value_or(QString()), cls.value_or(QString()))
                           : std::nullopt;
            if (!id)
                id = windowClass;
        }
    }
    if (id) {
        app.bundleIdentifier = id;
        const std::optional<QString> name = m_entries ? m_entries->nameForId(*id) : std::nullopt;
        app.localizedName = name ? name : (windowClass.isEmpty() ? std::nullopt : std::optional<QString>(windowClass));
        info.key = *id + QLatin1Char('/') + QString::number(app.processIdentifier);
    } else {
        m_log.error("Window 0x%x has %s: its application has no identifier", window, qUtf8Printable(problem));
        info.key = app.processIdentifier ? QStringLiteral("pid/%1").arg(app.processIdentifier)
                                         : QStringLiteral("window/%1").arg(window);
    }
    return &*m_windows.insert(window, info);
}

void HostWorkspace::updateClients(bool notify)
{
    const QList<quint32> windows = windowList(m_atoms.clientList, kMaxClients);
    QList<QString> order;
    QHash<QString, RunningApplication> running;
    QSet<quint32> present;
    for (quint32 window : windows) {
        const WindowInfo *info = describe(window);
        if (!info)
            continue;
        present.insert(window);
        if (info->own)
            continue;
        if (running.contains(info->key))
            continue;
        order << info->key;
        RunningApplication app = info->application;
        app.isActive = info->key == m_activeKey;
        running.insert(info->key, app);
    }
    // Windows that left the list are forgotten, the active one aside.
    for (auto it = m_windows.begin(); it != m_windows.end();)
        it = present.contains(it.key()) || it->key == m_activeKey ? std::next(it) : m_windows.erase(it);

    const QList<QString> before = m_order;
    const QHash<QString, RunningApplication> previous = m_running;
    m_order = order;
    m_running = running;
    if (!notify)
        return;
    for (const QString &key : before) {
        if (running.contains(key))
            continue;
        if (key == m_activeKey) {
            m_gapHold.cancel();
            RunningApplication app = *m_active;
            app.isActive = false;
            m_activeKey.clear();
            m_active.reset();
            emit applicationDeactivated(app);
        }
        emit applicationTerminated(previous.value(key));
    }
    for (const QString &key : order)
        if (!previous.contains(key))
            emit applicationLaunched(running.value(key));
}

void HostWorkspace::updateActive(bool notify, bool gapOver)
{
    const QList<quint32> active = windowList(m_atoms.activeWindow, 1);
    const quint32 window = active.isEmpty() ? 0 : active.first();
    const WindowInfo *info = window != 0 && window != m_root ? describe(window) : nullptr;
    // One of our own windows in front: the application before it stays in front.
    if (info && info->own) {
        m_gapHold.cancel();
        return;
    }
    // No window (or one gone already): a gap between two windows, or the last window went.
    // The application in front stays so until the hold runs out with still none active.
    if (!info && m_active && !gapOver) {
        if (!m_gapHold)
            m_gapHold = scheduler().after(kGapHoldMs, this, [this] {
                if (m_x)
                    updateActive(true, true);
            });
        return;
    }
    m_gapHold.cancel();
    QString key;
    std::optional<RunningApplication> app;
    if (info) {
        key = info->key;
        app = info->application;
        app->isActive = true;
    }
    if (key == m_activeKey)
        return;
    const std::optional<RunningApplication> before = m_active;
    if (m_running.contains(m_activeKey))
        m_running[m_activeKey].isActive = false;
    if (m_running.contains(key))
        m_running[key].isActive = true;
    m_activeKey = key;
    m_active = app;
    if (!notify)
        return;
    if (before) {
        RunningApplication previous = *before;
        previous.isActive = false;
        emit applicationDeactivated(previous);
    }
    if (app)
        emit applicationActivated(app);
}

std::optional<RunningApplication> HostWorkspace::frontmostApplication()
{
    return m_active;
}

QList<RunningApplication> HostWorkspace::runningApplications()
{
    QList<RunningApplication> apps;
    for (const QString &key : m_order)
        apps << m_running.value(key);
    return apps;
}

} // namespace qv
