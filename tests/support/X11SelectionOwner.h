#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace qv::test {

// Owns a selection of the X server named by DISPLAY from a connection of its own, as a
// manager (a compositing manager, a tray host) announces itself; gives it up when it ends
// (its client goes).
class X11SelectionOwner {
public:
    explicit X11SelectionOwner(const char *selection) : m_connection(xcb_connect(nullptr, nullptr))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(selection)), selection), nullptr);
        xcb_set_selection_owner(m_connection, window, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        // A round trip: the server has made the change when this returns.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    ~X11SelectionOwner() { xcb_disconnect(m_connection); }
    X11SelectionOwner(const X11SelectionOwner &) = delete;
    X11SelectionOwner &operator=(const X11SelectionOwner &) = delete;

private:
    xcb_connection_t *m_connection;
};

} // namespace qv::test
