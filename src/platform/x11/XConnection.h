#pragma once

#include "runtime/Logging.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace qv::x11 {

// A connection to the X server, shared by the host back-ends of a process (RandR, the
// screen saver, the window manager's properties). It reaches the screen the display names
// (":0.1" is screen 1), keeps the atoms it interned, logs the errors of requests rather
// than letting them pass as events, and delivers each event to the handlers of its type
// through one pump: the socket's notifier, and after every reply it waited for, since
// reading a reply pulls the events that came before it into xcb's queue, where the socket
// no longer announces them.
//
// Over a connection another part owns (Qt's own), it does the same for requests, replies,
// atoms and errors, and leaves the events to their owner: Qt reads them on a thread of
// its own. It lives on the main thread.
class XConnection final : public QObject {
    Q_OBJECT
public:
    struct FreeDeleter {
        void operator()(void *p) const { std::free(p); }
    };
    template <typename T>
    using Reply = std::unique_ptr<T, FreeDeleter>;
    using EventHandler = std::function<void(const xcb_generic_event_t &event)>;

    // Connects to display (empty: $DISPLAY); the log lines go to log.
    XConnection(const QString &display, const Logger &log, QObject *parent = nullptr);
    // Over a connection that stays borrowed's owner's (and so do its events); the root
    // window is the first screen's.
    XConnection(xcb_connection_t *borrowed, const Logger &log, QObject *parent = nullptr);
    ~XConnection() override;

    // The connection a back-end works on: shared where given, else one of its own to
    // display, which goes with user.
    static XConnection *sharedOrOwn(XConnection *shared, const QString &display, const Logger &log, QObject *user);
    // user is done with the connection: its handlers go, and so does the connection where
    // it is user's own.
    void leave(QObject *user);

    bool isConnected() const { return m_connection != nullptr; }
    xcb_connection_t *get() const { return m_connection; }
    // The root window of the display's screen.
    xcb_window_t root() const { return m_root; }

    // The atom of the name, interned once; XCB_ATOM_NONE without a server.
    xcb_atom_t atom(const char *name);
    // The name of an atom, asked once.
    QString atomName(xcb_atom_t atom);

    // Waits for the reply of a request made with cookie and replyFunction (an
    // xcb_..._reply function); an error gives null and is logged with what, or, when what
    // is null (a window that may be gone) or the caller asks for its code in errorCode,
    // left to the caller (0: no error). An error never reaches the event queue.
    template <typename Cookie, typename ReplyFunction>
    auto reply(ReplyFunction replyFunction, Cookie cookie, const char *what, int *errorCode = nullptr)
    {
        xcb_generic_error_t *error = nullptr;
        using T = std::remove_pointer_t<decltype(replyFunction(m_connection, cookie, &error))>;
        Reply<T> answer(m_connection ? replyFunction(m_connection, cookie, &error) : nullptr);
        if (errorCode)
            *errorCode = error ? error->error_code : 0;
        afterRoundTrip(error, errorCode ? nullptr : what);
        return answer;
    }
    // Waits for a checked request without a reply; its X error code (-1 without a
    // server), or 0. An error is logged with what, or, when what is null, left to the caller.
    int check(xcb_void_cookie_t cookie, const char *what);

    // Delivers every event of the type (its response type without the bit of a sent
    // event: XCB_PROPERTY_NOTIFY, an extension's first event + its number) to handler
    // while user lives, on this object's thread; several handlers of a type each hear it.
    // Not on a borrowed connection, whose events are its owner's.
    void onEvent(quint8 type, QObject *user, EventHandler handler);
    // Adds events to those this connection selects on the root window (the others it
    // selected stay).
    void selectRootEvents(quint32 mask);
    // Delivers the events that wait in xcb's queue or on the socket now.
    void pumpEvents();

signals:
    // The connection ended (the server went away); said once.
    void lost();

private:
    struct Handler {
        quint8 type = 0;
        QPointer<QObject> user;
        EventHandler handle;
    };
    // Logs error with what (none when what is null) and frees it; queues the delivery of
    // the events read meanwhile.
    void afterRoundTrip(xcb_generic_error_t *error, const char *what);
    void logError(const xcb_generic_error_t &error, const char *what);
    void deliver(const xcb_generic_event_t &event);

    Logger m_log;
    xcb_connection_t *m_connection = nullptr;
    bool m_owned = true;
    xcb_window_t m_root = 0;
    quint32 m_rootEvents = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QString> m_atomNames;
    QList<Handler> m_handlers;
    QSocketNotifier *m_notifier = nullptr;
    bool m_pumpQueued = false;
    bool m_lost = false;
};

} // namespace qv::x11
