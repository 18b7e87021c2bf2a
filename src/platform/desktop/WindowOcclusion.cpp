#include "platform/desktop/WindowOcclusion.h"

#include "platform/desktop/X11Keyboard.h"

#include <QGuiApplication>
#include <QWindow>

#include <memory>

namespace qv {

WindowOcclusion &WindowOcclusion::shared()
{
    static WindowOcclusion instance;
    return instance;
}

WindowOcclusion::WindowOcclusion() = default;

void WindowOcclusion::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled)
        return;
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
        if (it->obscured && it->window) {
            it->obscured = false;
            emit obscuredChanged(it->window);
        }
    }
    m_windows.clear();
}

bool WindowOcclusion::isFullyObscured(QWindow *window)
{
    if (!window || !m_enabled)
        return false;
    const quintptr id = window->winId();
    auto it = m_windows.find(id);
    if (it == m_windows.end() || it->window != window) {
        follow(window);
        return false;
    }
    return it->obscured;
}

void WindowOcclusion::follow(QWindow *window)
{
    const quintptr id = window->winId();
    m_windows.insert(id, {window, false});
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection)
        return;
    if (!m_filterInstalled) {
        qApp->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    // Add visibility changes to the events the window already selects.
    const auto cookie = xcb_get_window_attributes(connection, xcb_window_t(id));
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
        xcb_get_window_attributes_reply(connection, cookie, nullptr), &free);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    xcb_change_window_attributes(connection, xcb_window_t(id), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
#endif
}

bool WindowOcclusion::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto *visibility = reinterpret_cast<const xcb_visibility_notify_event_t *>(event);
    auto it = m_windows.find(visibility->window);
    if (it == m_windows.end() || !m_enabled)
        return false;
    const bool obscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (obscured != it->obscured && it->window) {
        it->obscured = obscured;
        emit obscuredChanged(it->window);
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}

} // namespace qv
