// Starts a program and prints how many milliseconds after the start the X server mapped
// its window of a given name (the main window's title). Follows the root window's
// children as they are mapped and named, so nothing is polled.
// Usage: qv_first_window NAME TIMEOUT_MS PROGRAM [ARGUMENTS...]
// Prints the milliseconds, or exits with 1 when no such window came within the timeout.
// The program keeps running; its process id is printed on a second line.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <set>
#include <string>
#include <unistd.h>

namespace {

std::string windowName(xcb_connection_t *c, xcb_window_t window, xcb_atom_t netWmName, xcb_atom_t utf8)
{
    const xcb_atom_t wmName = XCB_ATOM_WM_NAME;
    const xcb_atom_t string = XCB_ATOM_STRING;
    const std::pair<xcb_atom_t, xcb_atom_t> names[] = {{netWmName, utf8}, {wmName, string}};
    for (const auto &[atom, type] : names) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, type, 0, 256), nullptr), &free);
        if (reply && xcb_get_property_value_length(reply.get()) > 0)
            return std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
                               size_t(xcb_get_property_value_length(reply.get())));
    }
    return {};
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s NAME TIMEOUT_MS PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const std::string wanted = argv[1];
    const int timeoutMs = std::atoi(argv[2]);
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot reach the X server\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootMask);
    const xcb_atom_t netWmName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    xcb_flush(c);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    const auto elapsedMs = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    std::set<xcb_window_t> mapped;
    while (elapsedMs() < timeoutMs) {
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, 50);
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&free)> owned(event, &free);
            xcb_window_t window = XCB_NONE;
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY: {
                window = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
                mapped.insert(window);
                // Hear of its name when it comes after the mapping.
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
                break;
            }
            case XCB_PROPERTY_NOTIFY:
                window = reinterpret_cast<xcb_property_notify_event_t *>(event)->window;
                break;
            default:
                break;
            }
            if (window != XCB_NONE && mapped.count(window) && windowName(c, window, netWmName, utf8) == wanted) {
                std::printf("%.1f\n%d\n", elapsedMs(), int(child));
                return 0;
            }
        }
    }
    std::printf("timeout\n%d\n", int(child));
    return 1;
}
