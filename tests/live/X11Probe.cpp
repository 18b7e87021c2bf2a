// What the live checks need of an X server besides xdotool:
//   qv_x11probe window INSTANCE CLASS   shows a window with that WM_CLASS (and its own pid),
//                                       prints its id, and stays until killed
//   qv_x11probe idle                    prints the milliseconds since the last input
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

int showWindow(xcb_connection_t *connection, const xcb_screen_t *screen, const char *instance, const char *cls)
{
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t background = screen->white_pixel;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 400, 300, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    std::string wmClass = std::string(instance) + '\0' + cls + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        wmClass.size(), wmClass.data());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_NAME"),
                        atom(connection, "UTF8_STRING"), 8, std::strlen(cls), cls);
    const uint32_t pid = uint32_t(getpid());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(connection, window);
    xcb_flush(connection);
    std::printf("0x%x\n", window);
    std::fflush(stdout);
    while (xcb_generic_event_t *event = xcb_wait_for_event(connection))
        std::free(event);
    return 0;
}

int printIdle(xcb_connection_t *connection, const xcb_screen_t *screen)
{
    xcb_screensaver_query_info_reply_t *reply =
        xcb_screensaver_query_info_reply(connection, xcb_screensaver_query_info(connection, screen->root), nullptr);
    if (!reply)
        return 1;
    std::printf("%u\n", reply->ms_since_user_input);
    std::free(reply);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "qv_x11probe: no X server\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    int status = 2;
    if (argc == 4 && std::strcmp(argv[1], "window") == 0)
        status = showWindow(connection, screen, argv[2], argv[3]);
    else if (argc == 2 && std::strcmp(argv[1], "idle") == 0)
        status = printIdle(connection, screen);
    else
        std::fprintf(stderr, "usage: qv_x11probe window INSTANCE CLASS | qv_x11probe idle\n");
    xcb_disconnect(connection);
    return status;
}
