#include "platform/desktop/X11WindowLoss.h"

#include <QCoreApplication>
#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace qv {

X11WindowLoss::X11WindowLoss(QObject *parent) : QObject(parent)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QCoreApplication::instance()->installNativeEventFilter(this);
}

X11WindowLoss::~X11WindowLoss()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11WindowLoss::watch(QWindow *window)
{
    if (window)
        m_windows << window;
}

bool X11WindowLoss::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == 0) {
        // An error about a window already gone: nothing to tell the user.
        const auto *error = reinterpret_cast<const xcb_generic_error_t *>(event);
        return m_dead.contains(error->resource_id);
    }
    if (type != XCB_DESTROY_NOTIFY)
        return false;
    const auto *destroyed = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
    for (const QPointer<QWindow> &window : std::as_const(m_windows)) {
        // Only a window that has its native window; asking another for its id would make one.
        if (!window || !window->handle() || window->winId() != destroyed->window)
            continue;
        if (m_dead.size() > 16)
            m_dead.removeFirst();
        m_dead << destroyed->window;
        QMetaObject::invokeMethod(
            this, [this, window] { if (window) emit lost(window); }, Qt::QueuedConnection);
    }
    return false;
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    return false;
#endif
}

} // namespace qv
