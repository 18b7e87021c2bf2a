#include "TestCompositor.h"

#include "ext-idle-notify-v1-server-protocol.h"

#include <wayland-server.h>

#include <condition_variable>
#include <future>

namespace qv::test {

namespace {
void destroyResource(wl_client *, wl_resource *resource)
{
    wl_resource_destroy(resource);
}

const struct ext_idle_notification_v1_interface kNotificationImplementation = {&destroyResource};

void forgetNotification(wl_resource *resource)
{
    auto *compositor = static_cast<TestCompositor *>(wl_resource_get_user_data(resource));
    std::erase_if(compositor->notifications, [resource](const auto &entry) { return entry.first == resource; });
}

const struct ext_idle_notifier_v1_interface kNotifierImplementation = {
    &destroyResource,
    [](wl_client *client, wl_resource *notifier, quint32 id, quint32 timeout, wl_resource *) {
        wl_resource *resource = wl_resource_create(client, &ext_idle_notification_v1_interface, 1, id);
        auto *compositor = static_cast<TestCompositor *>(wl_resource_get_user_data(notifier));
        wl_resource_set_implementation(resource, &kNotificationImplementation, compositor, &forgetNotification);
        compositor->notifications.emplace_back(resource, timeout);
    },
};
} // namespace

TestCompositor::TestCompositor()
{
    m_display = wl_display_create();
    m_socket = m_dir.filePath(QStringLiteral("wayland-test"));
    // libwayland-server 1.21 places its socket in XDG_RUNTIME_DIR.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
    const int added = wl_display_add_socket(m_display, "wayland-test");
    qputenv("XDG_RUNTIME_DIR", runtime);
    if (added != 0)
        m_socket.clear();
    m_seat = wl_global_create(m_display, &wl_seat_interface, 1, this, [](wl_client *client, void *, quint32 version, quint32 id) {
        wl_resource_create(client, &wl_seat_interface, int(version), id);
    });
    m_notifier = wl_global_create(m_display, &ext_idle_notifier_v1_interface, 1, this,
                                  [](wl_client *client, void *data, quint32 version, quint32 id) {
                                      wl_resource *resource =
                                          wl_resource_create(client, &ext_idle_notifier_v1_interface, int(version), id);
                                      wl_resource_set_implementation(resource, &kNotifierImplementation, data, nullptr);
                                  });
    m_thread = std::thread([this] {
        wl_event_loop *loop = wl_display_get_event_loop(m_display);
        while (true) {
            std::vector<std::function<void()>> work;
            {
                std::lock_guard lock(m_mutex);
                if (m_stop)
                    break;
                work.swap(m_work);
            }
            for (const auto &item : work)
                item();
            wl_display_flush_clients(m_display);
            wl_event_loop_dispatch(loop, 10);
        }
    });
}

TestCompositor::~TestCompositor()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
    wl_display_destroy_clients(m_display);
    wl_display_destroy(m_display);
}

void TestCompositor::run(const std::function<void()> &work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back([work, done] {
            work();
            done->set_value();
        });
    }
    finished.wait();
}

std::vector<quint32> TestCompositor::timeouts()
{
    std::vector<quint32> result;
    run([&] {
        for (const auto &entry : notifications)
            result.push_back(entry.second);
    });
    return result;
}

void TestCompositor::sendIdled(bool idled)
{
    run([&] {
        for (const auto &entry : notifications)
            idled ? ext_idle_notification_v1_send_idled(entry.first) : ext_idle_notification_v1_send_resumed(entry.first);
    });
}

void TestCompositor::withdrawNotifier()
{
    run([&] {
        wl_global_destroy(m_notifier);
        m_notifier = nullptr;
    });
}

} // namespace qv::test
