// What the live checks need of an X server besides xdotool:
//   qv_x11probe window INSTANCE CLASS   shows a window with that WM_CLASS (and its own pid),
//                                       prints its id, and stays until killed
//   qv_x11probe idle                    prints the milliseconds since the last input
//   qv_x11probe ping WINDOW SECONDS [PID]
//                                       sends the window manager's ping (_NET_WM_PING) to
//                                       WINDOW every 20 ms for SECONDS, then prints the
//                                       longest wait for an answer in milliseconds (a ping
//                                       still open at the end counts from when it was sent);
//                                       with PID, then also the most CPU time in ms that
//                                       process's main thread ran while a ping waited: what
//                                       the program spent before answering, without the
//                                       time it waited for a CPU on a loaded machine
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <poll.h>
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

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The CPU time in ms that a process's main thread has run, from the scheduler's own
// account (the first field of schedstat); 0 without a process.
long long runMs(const std::string &schedstat)
{
    if (schedstat.empty())
        return 0;
    FILE *file = std::fopen(schedstat.c_str(), "r");
    unsigned long long ns = 0;
    if (file) {
        if (std::fscanf(file, "%llu", &ns) != 1)
            ns = 0;
        std::fclose(file);
    }
    return static_cast<long long>(ns / 1000000);
}

int ping(xcb_connection_t *connection, const xcb_screen_t *screen, xcb_window_t window, int seconds, long pid)
{
    const std::string schedstat =
        pid > 0 ? "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat" : std::string();
    // The answer goes to the root window, to clients that watch it (Qt sends it to those
    // that watch its structure, other toolkits to those that watch its children).
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t pingAtom = atom(connection, "_NET_WM_PING");
    struct Sent {
        long long atMs;
        long long ranMs; // the main thread's CPU time then
    };
    std::map<uint32_t, Sent> open; // serial -> when sent
    long long longest = 0;
    long long busiest = 0;
    const long long end = nowMs() + seconds * 1000LL;
    long long nextPing = 0;
    uint32_t serial = 1;
    while (nowMs() < end) {
        if (nowMs() >= nextPing) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = window;
            message.type = protocols;
            message.data.data32[0] = pingAtom;
            message.data.data32[1] = serial;
            message.data.data32[2] = window;
            xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
            xcb_flush(connection);
            open[serial++] = Sent{nowMs(), runMs(schedstat)};
            nextPing = nowMs() + 20;
        }
        pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
        ::poll(&fd, 1, 5);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *reply = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (reply->type == protocols && reply->data.data32[0] == pingAtom) {
                    const auto it = open.find(reply->data.data32[1]);
                    if (it != open.end()) {
                        longest = std::max(longest, nowMs() - it->second.atMs);
                        busiest = std::max(busiest, runMs(schedstat) - it->second.ranMs);
                        open.erase(it);
                    }
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection))
            return 1;
    }
    for (const auto &[id, sent] : open) {
        longest = std::max(longest, nowMs() - sent.atMs);
        busiest = std::max(busiest, runMs(schedstat) - sent.ranMs);
    }
    if (pid > 0)
        std::printf("%lld %lld\n", longest, busiest);
    else
        std::printf("%lld\n", longest);
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
    else if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "ping") == 0)
        status = ping(connection, screen, xcb_window_t(std::strtoul(argv[2], nullptr, 0)), std::atoi(argv[3]),
                      argc == 5 ? std::atol(argv[4]) : 0);
    else
        std::fprintf(stderr, "usage: qv_x11probe window INSTANCE CLASS | idle | ping WINDOW SECONDS [PID]\n");
    xcb_disconnect(connection);
    return status;
}
