#include "platform/desktop/TrayHostColours.h"

#include "platform/desktop/X11Keyboard.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include "platform/x11/XConnection.h"

#include <xcb/xcb.h>
#endif

namespace qv {

std::optional<QColor> trayHostForeground(quint32 trayManagerWindow)
{
#if QT_CONFIG(xcb)
    x11::XConnection *x = x11::qtConnection();
    if (!x || !trayManagerWindow)
        return std::nullopt;
    const xcb_atom_t property = x->atom("_NET_SYSTEM_TRAY_COLORS");
    const auto reply = x->reply(xcb_get_property_reply,
                                xcb_get_property(x->get(), 0, trayManagerWindow, property, XCB_ATOM_CARDINAL, 0, 12),
                                nullptr); // the tray host may have gone meanwhile
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= int(3 * sizeof(uint32_t))) {
        const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
        if (values[0] <= 0xffff && values[1] <= 0xffff && values[2] <= 0xffff)
            return QColor::fromRgba64(quint16(values[0]), quint16(values[1]), quint16(values[2]));
    }
    return std::nullopt;
#else
    Q_UNUSED(trayManagerWindow);
    return std::nullopt;
#endif
}

std::optional<bool> isEmbeddedAndShown(quintptr window)
{
#if QT_CONFIG(xcb)
    x11::XConnection *x = x11::qtConnection();
    if (!x || !window)
        return std::nullopt;
    // The window may have been destroyed from outside: then it is neither.
    const auto tree = x->reply(xcb_query_tree_reply, xcb_query_tree(x->get(), xcb_window_t(window)), nullptr);
    const auto attributes = x->reply(xcb_get_window_attributes_reply,
                                     xcb_get_window_attributes(x->get(), xcb_window_t(window)), nullptr);
    const bool embedded = tree && tree->parent != tree->root && tree->parent != XCB_NONE;
    const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    return embedded && shown;
#else
    Q_UNUSED(window);
    return std::nullopt;
#endif
}

bool requestTrayDock(quint32 trayManagerWindow, quintptr window)
{
#if QT_CONFIG(xcb)
    x11::XConnection *x = x11::qtConnection();
    if (!x || !trayManagerWindow || !window)
        return false;
    const xcb_atom_t opcode = x->atom("_NET_SYSTEM_TRAY_OPCODE");
    if (opcode == XCB_NONE)
        return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = trayManagerWindow;
    event.type = opcode;
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 0; // SYSTEM_TRAY_REQUEST_DOCK
    event.data.data32[2] = xcb_window_t(window);
    xcb_send_event(x->get(), 0, trayManagerWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(x->get());
    return true;
#else
    Q_UNUSED(trayManagerWindow);
    Q_UNUSED(window);
    return false;
#endif
}

} // namespace qv
