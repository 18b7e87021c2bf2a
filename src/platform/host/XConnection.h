#pragma once

#include "runtime/Logging.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace qv::host {

// One connection of a host back-end to the X server. It reaches the screen the display
// names (":0.1" is screen 1), keeps the atoms it interned, logs the errors of requests
// rather than letting them pass as events, and delivers events through one pump: the
// socket's notifier, and after every reply it waited for, since reading a reply pulls
// the events that came before it into xcb's queue, where the socket no longer announces
// them.
class XConnection final : public QObject {
    Q_OBJECT
public:
    struct FreeDeleter {
        void operator()(void *p) const { std::free(p); }
    };
    template <typename T>
    using Reply = std::unique_ptr<T, FreeDeleter>;
    using EventHandler = std::function<void(const xcb_generic_event_t &event)>;

    // Connects to display (empty: $DISPLAY); the log lines go to the owner's logger.
    XConnection(const QString &display, const Logger &log, QObject *parent = nullptr);
    ~XConnection() override;

    bool isConnected() const { return m_connection != nullptr; }
    xcb_connection_t *get() const { return m_connection; }
    // The root window of the display's screen.
    xcb_window_t root() const { return m_root; }

    // The atom of the name, interned once; XCB_ATOM_NONE without a server.
    xcb_atom_t atom(const char *name);
    // The name of an atom, asked once.
    QString atomName(xcb_atom_t atom);

    // Waits for the reply of a request made with cookie and replyFunction (an
    // xcb_..._reply function); an error gives null and is logged with what, or, when the
    // caller asks for its code in errorCode, left to the caller (0: no error).
    template <typename Cookie, typename ReplyFunction>
    auto reply(ReplyFunction replyFunction, Cookie cookie, const char *what, int *errorCode = nullptr)
    {
        xcb_generic_error_t *error = nullptr;
        using T = std::remove_pointer_t<decltype(replyFunction(m_connection, cookie, &error))>;
        Reply<T> answer(m_connection ? replyFunction(m_connection, cookie, &error) : nullptr);
        if (errorCode)
            *errorCode = error ? error->error_code : 0;
        afterRoundTrip(errorCode ? nullptr : error, what);
        if (errorCode)
            std::free(error);
        return answer;
    }
    // Waits for a checked request without a reply; its X error code (logged), or 0.
    int check(xcb_void_cookie_t cookie, const char *what);

    // Starts delivering the server's events to the handler, on this object's thread.
    void setEventHandler(EventHandler handler);
    // Delivers the events that wait in xcb's queue or on the socket now.
    void pumpEvents();

signals:
    // The connection ended (the server went away); said once.
    void lost();

private:
    void afterRoundTrip(xcb_generic_error_t *error, const char *what);
    void logError(const xcb_generic_error_t &error, const char *what);

    Logger m_log;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QString> m_atomNames;
    EventHandler m_handler;
    QSocketNotifier *m_notifier = nullptr;
    bool m_pumpQueued = false;
    bool m_lost = false;
};

} // namespace qv::host
