#include "platform/x11/XConnection.h"

#include <QSocketNotifier>

namespace qv::x11 {

XConnection::XConnection(const QString &display, const Logger &log, QObject *parent) : QObject(parent), m_log(log)
{
    const QByteArray name = display.toLocal8Bit();
    if (name.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        m_log.error("The X server has no screen %d", screenNumber);
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
}

XConnection::XConnection(xcb_connection_t *borrowed, const Logger &log, QObject *parent)
    : QObject(parent), m_log(log), m_connection(borrowed), m_owned(false)
{
    if (m_connection)
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

XConnection::~XConnection()
{
    delete m_notifier;
    if (m_connection && m_owned)
        xcb_disconnect(m_connection);
}

XConnection *XConnection::sharedOrOwn(XConnection *shared, const QString &display, const Logger &log, QObject *user)
{
    return shared ? shared : new XConnection(display, log, user);
}

void XConnection::leave(QObject *user)
{
    m_handlers.removeIf([user](const Handler &handler) { return handler.user == user || !handler.user; });
    disconnect(user);
    if (parent() == user)
        deleteLater();
}

xcb_atom_t XConnection::atom(const char *name)
{
    const QByteArray key(name);
    if (const auto it = m_atoms.constFind(key); it != m_atoms.cend())
        return *it;
    const auto answer = reply(xcb_intern_atom_reply, xcb_intern_atom(m_connection, 0, quint16(key.size()), name),
                              "interning an atom");
    if (!answer)
        return XCB_ATOM_NONE;
    m_atoms.insert(key, answer->atom);
    return answer->atom;
}

QString XConnection::atomName(xcb_atom_t atom)
{
    if (const auto it = m_atomNames.constFind(atom); it != m_atomNames.cend())
        return *it;
    const auto answer = reply(xcb_get_atom_name_reply, xcb_get_atom_name(m_connection, atom), "naming an atom");
    if (!answer)
        return {};
    const QString name = QString::fromLatin1(xcb_get_atom_name_name(answer.get()),
                                             xcb_get_atom_name_name_length(answer.get()));
    m_atomNames.insert(atom, name);
    return name;
}

int XConnection::check(xcb_void_cookie_t cookie, const char *what)
{
    if (!m_connection)
        return -1;
    xcb_generic_error_t *error = xcb_request_check(m_connection, cookie);
    const int code = error ? error->error_code : 0;
    afterRoundTrip(error, what);
    return code;
}

void XConnection::afterRoundTrip(xcb_generic_error_t *error, const char *what)
{
    if (error && what)
        logError(*error, what);
    std::free(error);
    // The events read with the reply are delivered once the caller is done.
    if (m_notifier && !m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, &XConnection::pumpEvents, Qt::QueuedConnection);
    }
}

void XConnection::logError(const xcb_generic_error_t &error, const char *what)
{
    m_log.error("X error %d (request %d.%d, resource 0x%x) %s", int(error.error_code), int(error.major_code),
                int(error.minor_code), error.resource_id, what);
}

void XConnection::onEvent(quint8 type, QObject *user, EventHandler handler)
{
    Q_ASSERT(m_owned);
    if (!m_owned)
        return;
    m_handlers.removeIf([](const Handler &handler) { return !handler.user; }); // of users gone since
    m_handlers.append(Handler{type, user, std::move(handler)});
    if (!m_connection || m_notifier)
        return;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XConnection::pumpEvents);
}

void XConnection::selectRootEvents(quint32 mask)
{
    if (!m_connection || (m_rootEvents | mask) == m_rootEvents)
        return;
    m_rootEvents |= mask;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &m_rootEvents);
    xcb_flush(m_connection);
}

void XConnection::deliver(const xcb_generic_event_t &event)
{
    const quint8 type = event.response_type & 0x7f;
    // A handler may add or remove handlers, or end its user: the list is walked as it was.
    const QList<Handler> handlers = m_handlers;
    for (const Handler &handler : handlers) {
        if (handler.type == type && handler.user)
            handler.handle(event);
    }
}

void XConnection::pumpEvents()
{
    m_pumpQueued = false;
    if (!m_connection || !m_owned || m_lost)
        return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        const std::unique_ptr<xcb_generic_event_t, FreeDeleter> owned(event);
        if (event->response_type == 0) {
            // The error of a request nobody waits for.
            logError(*reinterpret_cast<const xcb_generic_error_t *>(event), "from a request without a reply");
            continue;
        }
        deliver(*event);
    }
    if (xcb_connection_has_error(m_connection)) {
        m_lost = true;
        if (m_notifier)
            m_notifier->setEnabled(false);
        emit lost();
    }
}

} // namespace qv::x11
