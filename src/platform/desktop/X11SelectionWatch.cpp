#include "platform/desktop/X11SelectionWatch.h"

#include "platform/desktop/X11Keyboard.h"

#include <QCoreApplication>
#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include "platform/x11/XConnection.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#endif

namespace qv {

X11SelectionWatch::X11SelectionWatch(const QByteArray &selection, QObject *parent) : QObject(parent)
{
#if QT_CONFIG(xcb)
    x11::XConnection *x = x11::qtConnection();
    if (!x)
        return;
    m_selection = x->atom(selection.constData());
    if (m_selection == XCB_NONE)
        return;
    xcb_connection_t *connection = x->get();
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    // The version must be asked before any other request of the extension.
    if (xfixes && xfixes->present
        && x->reply(xcb_xfixes_query_version_reply, xcb_xfixes_query_version(connection, 5, 0),
                    "asking the XFixes version")) {
        m_xfixesEvent = xfixes->first_event;
        xcb_xfixes_select_selection_input(connection, x->root(), m_selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    // The owner now, asked after the selection of the events: a change in between is
    // reported by them.
    const auto owner = x->reply(xcb_get_selection_owner_reply, xcb_get_selection_owner(connection, m_selection),
                                "asking a selection's owner");
    m_owner = owner ? owner->owner : XCB_NONE;
    if (m_xfixesEvent) {
        followOwnerProperties();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
#else
    Q_UNUSED(selection);
#endif
}

X11SelectionWatch::~X11SelectionWatch()
{
    if (m_xfixesEvent && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11SelectionWatch::followOwnerProperties()
{
#if QT_CONFIG(xcb)
    x11::XConnection *x = x11::qtConnection();
    if (!x || !m_owner)
        return;
    // Another client's window: the mask is this connection's own and leaves the owner's.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x->get(), m_owner, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x->get());
#endif
}

bool X11SelectionWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if QT_CONFIG(xcb)
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (m_owner && notify->window == m_owner)
            emit ownerPropertyChanged(notify->atom);
        return false;
    }
    if (type != m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
    if (notify->selection != m_selection || notify->owner == m_owner)
        return false;
    m_owner = notify->owner;
    followOwnerProperties();
    emit ownerChanged(m_owner);
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false; // Qt goes on with every event
}

} // namespace qv
