// Clicks at a place of a wlroots compositor's desktop through a virtual pointer device
// (wlroots' virtual-pointer protocol), for checks on a headless compositor that has no
// input devices: the device gives the seat its pointer, moves it to X,Y of a desktop of
// WIDTH x HEIGHT, waits for the clients to take the pointer, and presses and releases the
// left button. Exits 0 once the compositor has taken the click.
// Usage: qv_virtualpointer X Y WIDTH HEIGHT   (on $WAYLAND_DISPLAY)
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// The protocol's requests as far as they are used, in the protocol's order (the opcodes).
const wl_interface *kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
extern const wl_interface kPointerInterface;
const wl_interface *kCreateTypes[] = {&wl_seat_interface, &kPointerInterface};
const wl_message kPointerRequests[] = {
    {"motion", "uff", kNoTypes},          {"motion_absolute", "uuuuu", kNoTypes}, {"button", "uuu", kNoTypes},
    {"axis", "uuf", kNoTypes},            {"frame", "", kNoTypes},
};
const wl_interface kPointerInterface = {"zwlr_virtual_pointer_v1", 1, 5, kPointerRequests, 0, nullptr};
const wl_message kManagerRequests[] = {{"create_virtual_pointer", "?on", kCreateTypes}};
const wl_interface kManagerInterface = {"zwlr_virtual_pointer_manager_v1", 1, 1, kManagerRequests, 0, nullptr};
enum { kMotionAbsolute = 1, kButton = 2, kFrame = 4 };
constexpr uint32_t kLeftButton = 0x110; // BTN_LEFT

struct Globals {
    wl_seat *seat = nullptr;
    wl_proxy *manager = nullptr;
};

void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, kManagerInterface.name) == 0)
        globals->manager = static_cast<wl_proxy *>(wl_registry_bind(registry, name, &kManagerInterface, 1));
}
void globalRemove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

uint32_t now()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: qv_virtualpointer X Y WIDTH HEIGHT\n");
        return 2;
    }
    const uint32_t x = std::strtoul(argv[1], nullptr, 10), y = std::strtoul(argv[2], nullptr, 10);
    const uint32_t width = std::strtoul(argv[3], nullptr, 10), height = std::strtoul(argv[4], nullptr, 10);
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "qv_virtualpointer: no compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager) {
        std::fprintf(stderr, "qv_virtualpointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    auto *pointer = wl_proxy_marshal_constructor(globals.manager, 0, &kPointerInterface, globals.seat, nullptr);
    const auto step = [&](int opcode, auto... args) { wl_proxy_marshal(pointer, opcode, args...); };
    step(kMotionAbsolute, now(), x > 0 ? x - 1 : x + 1, y, width, height);
    step(kFrame);
    wl_display_roundtrip(display);
    // The clients hear of the seat's new pointer and take it; the next move enters the window
    // there anew for them.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    step(kMotionAbsolute, now(), x, y, width, height);
    step(kFrame);
    step(kButton, now(), kLeftButton, uint32_t(WL_POINTER_BUTTON_STATE_PRESSED));
    step(kFrame);
    step(kButton, now(), kLeftButton, uint32_t(WL_POINTER_BUTTON_STATE_RELEASED));
    step(kFrame);
    const bool taken = wl_display_roundtrip(display) >= 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    wl_display_disconnect(display);
    return taken ? 0 : 1;
}
