#include "support/XServer.h"

#include <QDeadlineTimer>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace qv::test {

XServer::XServer(bool windowManager)
{
    // The server prints its display number when it is ready to take clients.
    m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                             QStringLiteral("0"), QStringLiteral("1280x800x24"),
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                             QStringLiteral("-noreset")});
    QByteArray number;
    QDeadlineTimer deadline(20000);
    while (!number.contains('\n') && !deadline.hasExpired() && m_server.waitForReadyRead(int(deadline.remainingTime())))
        number += m_server.readAllStandardOutput();
    if (!number.contains('\n')) {
        m_failure = QStringLiteral("Xvfb did not start");
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    xcb_connection_t *client = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(client)) {
        xcb_disconnect(client);
        m_failure = QStringLiteral("cannot connect to %1").arg(m_display);
        return;
    }
    m_client = client;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_client)).data->root;
    if (!windowManager)
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    m_windowManager.setProcessEnvironment(environment);
    m_windowManager.setProcessChannelMode(QProcess::MergedChannels);
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    // The window manager is ready once it announces itself on the root window and holds
    // the redirection of the root's children (a second client is refused it).
    const auto managing = [this] {
        if (rootWindows("_NET_SUPPORTING_WM_CHECK").isEmpty())
            return false;
        const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
        xcb_generic_error_t *error =
            xcb_request_check(m_client, xcb_change_window_attributes_checked(m_client, m_root, XCB_CW_EVENT_MASK, &mask));
        if (!error) {
            const quint32 none = 0;
            xcb_change_window_attributes(m_client, m_root, XCB_CW_EVENT_MASK, &none);
            return false;
        }
        std::free(error);
        return true;
    };
    // Requests that came during its start-up may wait in its queue until the next thing
    // happens on the server: a window of ours is shown, and shown again until it is taken.
    bool ready = QTest::qWaitFor(managing, 20000);
    if (ready) {
        ready = false;
        QDeadlineTimer limit(20000);
        while (!ready && !limit.hasExpired()) {
            const quint32 sentinel = createWindow({wmClass("sentinel", "Sentinel"), std::nullopt, std::nullopt});
            ready = QTest::qWaitFor([&] { return isManaged(sentinel); }, 500);
            destroyWindow(sentinel);
        }
        ready = ready && QTest::qWaitFor([&] { return rootWindows("_NET_CLIENT_LIST").isEmpty(); }, 10000);
    }
    if (!ready) {
        m_failure = QStringLiteral("openbox did not start");
        xcb_disconnect(m_client);
        m_client = nullptr;
    }
}

XServer::~XServer()
{
    stop();
}

void XServer::stop()
{
    for (xcb_connection_t *connection : std::as_const(m_otherClients))
        xcb_disconnect(connection);
    m_otherClients.clear();
    if (m_client)
        xcb_disconnect(m_client);
    m_client = nullptr;
    for (QProcess *process : {&m_windowManager, &m_server}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

quint32 XServer::atom(const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(m_client, xcb_intern_atom(m_client, 0, quint16(std::strlen(name)), name), nullptr);
    const quint32 value = reply ? reply->atom : 0;
    std::free(reply);
    return value;
}

QList<quint32> XServer::rootWindows(const char *property)
{
    QList<quint32> windows;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        m_client, xcb_get_property(m_client, 0, m_root, atom(property), XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (!reply)
        return windows;
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
    for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
        windows << values[i];
    std::free(reply);
    return windows;
}

quint32 XServer::createWindow(const WindowTraits &traits)
{
    return createWindowOn(m_client, traits);
}

quint32 XServer::createWindowOfNewClient(const WindowTraits &traits)
{
    xcb_connection_t *connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return 0;
    }
    const quint32 window = createWindowOn(connection, traits);
    m_otherClients.insert(window, connection);
    return window;
}

void XServer::closeClient(quint32 window)
{
    if (xcb_connection_t *connection = m_otherClients.take(window))
        xcb_disconnect(connection);
}

quint32 XServer::createWindowOn(xcb_connection_t *client, const WindowTraits &traits)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(client)).data;
    const quint32 window = xcb_generate_id(client);
    const quint32 background = screen->white_pixel;
    xcb_create_window(client, XCB_COPY_FROM_PARENT, window, m_root, 40, 40, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    if (traits.wmClass)
        xcb_change_property(client, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            quint32(traits.wmClass->size()), traits.wmClass->constData());
    if (traits.applicationId)
        xcb_change_property(client, XCB_PROP_MODE_REPLACE, window, atom("_GTK_APPLICATION_ID"),
                            atom("UTF8_STRING"), 8, quint32(traits.applicationId->size()),
                            traits.applicationId->constData());
    if (traits.pid)
        xcb_change_property(client, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &*traits.pid);
    xcb_map_window(client, window);
    xcb_flush(client);
    return window;
}

void XServer::destroyWindow(quint32 window)
{
    xcb_destroy_window(m_client, window);
    xcb_flush(m_client);
}

// A client message about the window to the window manager (on the root window).
static void askWindowManager(xcb_connection_t *client, xcb_window_t root, quint32 window, xcb_atom_t type,
                             quint32 first, quint32 second = 0)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = first;
    event.data.data32[1] = second;
    xcb_send_event(client, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(client);
}

void XServer::activate(quint32 window)
{
    // From a pager: the user asked.
    askWindowManager(m_client, m_root, window, atom("_NET_ACTIVE_WINDOW"), 2, XCB_CURRENT_TIME);
}

void XServer::minimize(quint32 window)
{
    askWindowManager(m_client, m_root, window, atom("WM_CHANGE_STATE"), 3 /* IconicState */);
}

quint32 XServer::activeWindow()
{
    const QList<quint32> windows = rootWindows("_NET_ACTIVE_WINDOW");
    return windows.isEmpty() ? 0 : windows.first();
}

bool XServer::isManaged(quint32 window)
{
    return rootWindows("_NET_CLIENT_LIST").contains(window);
}

int XServer::runClient(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace qv::test
