#include "platform/desktop/TrayHostColours.h"

#include "platform/desktop/X11Keyboard.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <cstring>

namespace qv {

#if QT_CONFIG(xcb)
namespace {

// The atom of a name on Qt's own connection; XCB_NONE when it cannot be had (with
// onlyIfExists, when no client ever named it).
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, onlyIfExists, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = atom ? atom->atom : XCB_NONE;
    std::free(atom);
    return result;
}

} // namespace
#endif

std::optional<QColor> trayHostForeground(quint32 trayManagerWindow)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection || !trayManagerWindow)
        return std::nullopt;
    const xcb_atom_t property = internAtom(connection, "_NET_SYSTEM_TRAY_COLORS", true);
    if (property == XCB_NONE)
        return std::nullopt; // no client ever named it
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, trayManagerWindow, property, XCB_ATOM_CARDINAL, 0, 12), nullptr);
    std::optional<QColor> colour;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= int(3 * sizeof(uint32_t))) {
        const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        if (values[0] <= 0xffff && values[1] <= 0xffff && values[2] <= 0xffff)
            colour = QColor::fromRgba64(quint16(values[0]), quint16(values[1]), quint16(values[2]));
    }
    std::free(reply);
    return colour;
#else
    Q_UNUSED(trayManagerWindow);
    return std::nullopt;
#endif
}

std::optional<bool> isEmbeddedAndShown(quintptr window)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection || !window)
        return std::nullopt;
    xcb_query_tree_reply_t *tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, xcb_window_t(window)), nullptr);
    xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, xcb_window_t(window)), nullptr);
    const bool embedded = tree && tree->parent != tree->root && tree->parent != XCB_NONE;
    const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(tree);
    std::free(attributes);
    return embedded && shown;
#else
    Q_UNUSED(window);
    return std::nullopt;
#endif
}

bool requestTrayDock(quint32 trayManagerWindow, quintptr window)
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    if (!connection || !trayManagerWindow || !window)
        return false;
    const xcb_atom_t opcode = internAtom(connection, "_NET_SYSTEM_TRAY_OPCODE", false);
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
    xcb_send_event(connection, 0, trayManagerWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
    return true;
#else
    Q_UNUSED(trayManagerWindow);
    Q_UNUSED(window);
    return false;
#endif
}

} // namespace qv
