#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>

#include <memory>
#include <optional>

struct xcb_connection_t;

namespace qv::test {

// An X server of a test's own (Xvfb), with a window manager (openbox) when asked, and a
// client connection that makes windows the way applications do. Stopped with the object.
class XServer {
public:
    // Starts the server (and the window manager); check isRunning().
    explicit XServer(bool windowManager);
    ~XServer();
    // Ends the window manager and the server, as when the session ends.
    void stop();

    bool isRunning() const { return m_client != nullptr; }
    // ":N"
    const QString &display() const { return m_display; }
    QString failure() const { return m_failure; }
    // What the window manager printed so far.
    QByteArray windowManagerOutput() { return m_windowManager.readAll(); }

    struct WindowTraits {
        std::optional<QByteArray> wmClass; // "instance\0class\0" as stored
        std::optional<QByteArray> applicationId;
        std::optional<quint32> pid;
    };
    // Makes and shows a top-level window; returns its id.
    quint32 createWindow(const WindowTraits &traits);
    void destroyWindow(quint32 window);
    // The same from a client connection of its own, as another application; 0 when no
    // connection was had. Closing the client ends its window and frees its ids for reuse.
    quint32 createWindowOfNewClient(const WindowTraits &traits);
    void closeClient(quint32 window);
    // Asks the window manager to activate the window, as a pager does.
    void activate(quint32 window);
    // Asks the window manager to minimise the window (ICCCM iconic state).
    void minimize(quint32 window);
    // The root window's _NET_ACTIVE_WINDOW as the server holds it now.
    quint32 activeWindow();
    // Whether the window manager lists the window in _NET_CLIENT_LIST.
    bool isManaged(quint32 window);
    // Runs an X client program against this server to its end; its exit status.
    int runClient(const QString &program, const QStringList &arguments);

    static QByteArray wmClass(const QByteArray &instance, const QByteArray &cls)
    {
        return instance + '\0' + cls + '\0';
    }

private:
    quint32 createWindowOn(xcb_connection_t *connection, const WindowTraits &traits);
    quint32 atom(const char *name);
    QList<quint32> rootWindows(const char *property);

    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
    QString m_failure;
    xcb_connection_t *m_client = nullptr;
    quint32 m_root = 0;
    QHash<quint32, xcb_connection_t *> m_otherClients; // by their window
};

} // namespace qv::test
