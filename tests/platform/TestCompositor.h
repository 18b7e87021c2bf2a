#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct wl_display;
struct wl_global;
struct wl_resource;

namespace qv::test {

// A Wayland compositor of the test's own, on a thread of its own, that offers a seat and
// ext-idle-notify-v1 (which Debian's sway lacks). The test makes the idle notifications
// it was asked for fire, and withdraws the notifier.
class TestCompositor {
public:
    TestCompositor();
    ~TestCompositor();

    // Its socket, as a path.
    const QString &socket() const { return m_socket; }
    // The notifications clients asked for so far (their timeouts in ms).
    std::vector<quint32> timeouts();
    // Sends idled (or resumed) on every notification.
    void sendIdled(bool idled);
    // Removes the notifier global.
    void withdrawNotifier();

    // For the protocol's handlers (compositor thread).
    std::vector<std::pair<wl_resource *, quint32>> notifications;

private:
    // Runs work on the compositor's thread and waits for it.
    void run(const std::function<void()> &work);

    QTemporaryDir m_dir;
    QString m_socket;
    wl_display *m_display = nullptr;
    wl_global *m_seat = nullptr, *m_notifier = nullptr;
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_work;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace qv::test
