#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace qv::test {

// Owns a selection of the X server named by DISPLAY (or display) from a connection of its own, as a
// manager (a compositing manager, a tray host) announces itself (call own()); gives it up
// when it ends (its client goes).
class X11SelectionOwner {
public:
    explicit X11SelectionOwner(const char *selection, const char *display = nullptr)
        : m_connection(xcb_connect(display, nullptr))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        m_selection = atom(selection);
    }

    // Takes the selection (after the properties of the owner window are set).
    void own()
    {
        xcb_set_selection_owner(m_connection, m_window, m_selection, XCB_CURRENT_TIME);
        sync();
    }

    // A round trip: the server has made every change asked before when this returns.
    void sync() { std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    // Sets a CARDINAL property of the owner window.
    void setCardinals(const char *property, const std::vector<uint32_t> &values)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, atom(property), XCB_ATOM_CARDINAL, 32,
                            uint32_t(values.size()), values.data());
    }
    ~X11SelectionOwner() { xcb_disconnect(m_connection); }
    X11SelectionOwner(const X11SelectionOwner &) = delete;
    X11SelectionOwner &operator=(const X11SelectionOwner &) = delete;

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
};

} // namespace qv::test
