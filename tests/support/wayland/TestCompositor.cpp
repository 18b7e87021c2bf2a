// A small Wayland compositor for the host back-ends' tests: wl_output, the wlroots gamma
// control and the output-management heads, a seat with ext-idle-notify (which Debian's sway
// lacks), nothing to show. It takes commands on stdin, one a line, and answers each with one
// line on stdout:
//   add NAME SIZE [MAKE MODEL SERIAL]  an output with gamma ramps of SIZE entries -> "ok"
//   remove NAME                        the output goes (its control gets failed)  -> "ok"
//   fail NAME                          the output's control gets failed           -> "ok"
//   ramp NAME  -> "ramp SIZE WRITES HELD v..." the ramp the output shows (red, green, blue),
//                 the number of ramps set, whether a control holds it
//   asked NAME -> "asked N" how many gamma controls clients asked for on the output
//   timeouts   -> "timeouts T..." the idle notifications clients asked for (their timeouts in ms)
//   idle, active                       the seat idles (resumes): every notification is told -> "ok"
//   withdraw-idle                      the idle notifier global goes               -> "ok"
//   layers -> "layers N" and per layer surface " OUTPUT,W,H,LAYER,ANCHOR,ZONE,KEYBOARD,INPUT,SHOWN,BUFFERS,PIXEL":
//                 its output, configured size, layer, anchors, exclusive zone, keyboard
//                 interactivity, whether its input region is empty ("empty"), whether a buffer
//                 is shown (1/0), how many of the client's buffers it has shown that still
//                 exist, and the shown buffer's middle pixel (ARGB, hex)
//   hold on|off                        buffers are kept (never released) or released when
//                                      the next one is shown (and at once, when switched off) -> "ok"
//   close-layers NAME                  every layer surface on the output is closed  -> "ok"
//   quit
// Layer surfaces get wl_compositor 4 surfaces, regions and wl_shm buffers; an output that
// goes closes its layer surfaces first, as wlroots does.
// Every output starts at a linear ramp and goes back to it when its control is destroyed,
// as wlroots does. A command runs after what clients sent before it.
// The socket is made in $XDG_RUNTIME_DIR; its name is the first line written.
// Options: --no-gamma (no gamma-control global), --output-version N (wl_output below 4 has
// no name event).

#include "ext-idle-notify-v1-server-protocol.h"
#include "wlr-gamma-control-unstable-v1-server-protocol.h"
#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#include "wlr-output-management-unstable-v1-server-protocol.h"

#include <wayland-server.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <set>
#include <vector>

namespace {

struct Layer;

struct Output {
    std::string name, make, model, serial;
    uint32_t size = 0;
    wl_global *global = nullptr;
    std::vector<wl_resource *> resources; // wl_output objects of clients
    std::vector<wl_resource *> heads;
    wl_resource *control = nullptr;
    std::vector<uint16_t> original, current;
    int writes = 0;
    int asked = 0; // gamma controls asked for
};

struct Compositor {
    wl_display *display = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<wl_resource *> managers; // output-management managers
    wl_global *idleNotifier = nullptr;
    std::vector<std::pair<wl_resource *, uint32_t>> notifications; // and their timeouts
    uint32_t serial = 1;
    int outputVersion = 4;
    std::string input;
    std::vector<std::string> commands;
    bool quit = false;
    std::vector<Layer *> layers;
    bool hold = false;
};
Compositor server;

void forget(std::vector<wl_resource *> &list, wl_resource *resource)
{
    list.erase(std::remove(list.begin(), list.end(), resource), list.end());
}

// wl_output
void outputRelease(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
const struct wl_output_interface outputImplementation = {outputRelease};

void outputGone(wl_resource *resource)
{
    if (auto *output = static_cast<Output *>(wl_resource_get_user_data(resource)))
        forget(output->resources, resource);
}

void bindOutput(wl_client *client, void *data, uint32_t version, uint32_t id)
{
    auto *output = static_cast<Output *>(data);
    wl_resource *resource = wl_resource_create(client, &wl_output_interface, int(version), id);
    wl_resource_set_implementation(resource, &outputImplementation, output, outputGone);
    output->resources.push_back(resource);
    wl_output_send_geometry(resource, 0, 0, 600, 340, WL_OUTPUT_SUBPIXEL_UNKNOWN, output->make.c_str(),
                            output->model.c_str(), WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT | WL_OUTPUT_MODE_PREFERRED, 1920, 1080, 60000);
    if (version >= 2)
        wl_output_send_scale(resource, 1);
    if (version >= 4) {
        wl_output_send_name(resource, output->name.c_str());
        wl_output_send_description(resource, ("Test output " + output->name).c_str());
    }
    if (version >= 2)
        wl_output_send_done(resource);
}

// zwlr_gamma_control_v1
void restore(Output &output)
{
    output.current = output.original;
    output.control = nullptr;
}

void setGamma(wl_client *, wl_resource *resource, int32_t fd)
{
    auto *output = static_cast<Output *>(wl_resource_get_user_data(resource));
    // As wlroots: read from where the file's offset is, and insist on a sealed file.
    const int seals = fcntl(fd, F_GET_SEALS);
    const bool sealed = seals >= 0 && (seals & F_SEAL_SHRINK) && (seals & F_SEAL_WRITE);
    std::vector<uint16_t> table(size_t(output ? output->size : 0) * 3);
    const size_t bytes = table.size() * sizeof(uint16_t);
    const bool read = output && sealed && ::read(fd, table.data(), bytes) == ssize_t(bytes);
    close(fd);
    if (!output)
        return;
    if (!read) {
        zwlr_gamma_control_v1_send_failed(resource);
        restore(*output);
        wl_resource_set_user_data(resource, nullptr);
        return;
    }
    output->current = table;
    ++output->writes;
}

void controlDestroy(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
const struct zwlr_gamma_control_v1_interface controlImplementation = {setGamma, controlDestroy};

void controlGone(wl_resource *resource)
{
    auto *output = static_cast<Output *>(wl_resource_get_user_data(resource));
    if (output && output->control == resource)
        restore(*output);
}

void failControl(Output &output)
{
    if (!output.control)
        return;
    zwlr_gamma_control_v1_send_failed(output.control);
    wl_resource_set_user_data(output.control, nullptr);
    restore(output);
}

// zwlr_gamma_control_manager_v1
void getGammaControl(wl_client *client, wl_resource *manager, uint32_t id, wl_resource *outputResource)
{
    auto *output = static_cast<Output *>(wl_resource_get_user_data(outputResource));
    wl_resource *control = wl_resource_create(client, &zwlr_gamma_control_v1_interface,
                                              wl_resource_get_version(manager), id);
    if (output)
        ++output->asked;
    // One control per output: a second one fails at once, as does one for an output that went.
    const bool free = output && !output->control;
    wl_resource_set_implementation(control, &controlImplementation, free ? output : nullptr, controlGone);
    if (!free) {
        zwlr_gamma_control_v1_send_failed(control);
        return;
    }
    output->control = control;
    zwlr_gamma_control_v1_send_gamma_size(control, output->size);
}

void managerDestroy(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
const struct zwlr_gamma_control_manager_v1_interface managerImplementation = {getGammaControl, managerDestroy};

void bindGammaManager(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &zwlr_gamma_control_manager_v1_interface, int(version), id);
    wl_resource_set_implementation(resource, &managerImplementation, nullptr, nullptr);
}

// zwlr_output_manager_v1 and its heads
void headRelease(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
const struct zwlr_output_head_v1_interface headImplementation = {headRelease};

void headGone(wl_resource *resource)
{
    if (auto *output = static_cast<Output *>(wl_resource_get_user_data(resource)))
        forget(output->heads, resource);
}

void announceHead(wl_resource *manager, Output &output)
{
    const int version = wl_resource_get_version(manager);
    wl_resource *head = wl_resource_create(wl_resource_get_client(manager), &zwlr_output_head_v1_interface, version, 0);
    wl_resource_set_implementation(head, &headImplementation, &output, headGone);
    output.heads.push_back(head);
    zwlr_output_manager_v1_send_head(manager, head);
    zwlr_output_head_v1_send_name(head, output.name.c_str());
    zwlr_output_head_v1_send_description(head, ("Test output " + output.name).c_str());
    if (version >= 2 && !output.make.empty()) {
        zwlr_output_head_v1_send_make(head, output.make.c_str());
        zwlr_output_head_v1_send_model(head, output.model.c_str());
        zwlr_output_head_v1_send_serial_number(head, output.serial.c_str());
    }
    zwlr_output_head_v1_send_enabled(head, 1);
}

void outputManagerStop(wl_client *, wl_resource *resource)
{
    zwlr_output_manager_v1_send_finished(resource);
    wl_resource_destroy(resource);
}
void createConfiguration(wl_client *client, wl_resource *resource, uint32_t, uint32_t)
{
    wl_client_post_implementation_error(client, "the test compositor changes no configuration");
    (void)resource;
}
const struct zwlr_output_manager_v1_interface outputManagerImplementation = {createConfiguration,
                                                                             outputManagerStop};

void outputManagerGone(wl_resource *resource) { forget(server.managers, resource); }

void bindOutputManager(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &zwlr_output_manager_v1_interface, int(version), id);
    wl_resource_set_implementation(resource, &outputManagerImplementation, nullptr, outputManagerGone);
    server.managers.push_back(resource);
    for (const auto &output : server.outputs)
        announceHead(resource, *output);
    zwlr_output_manager_v1_send_done(resource, server.serial);
}

// wl_seat (nothing but its name for the idle notifications) and ext_idle_notifier_v1
void destroyResource(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
const struct ext_idle_notification_v1_interface notificationImplementation = {destroyResource};

void notificationGone(wl_resource *resource)
{
    server.notifications.erase(std::remove_if(server.notifications.begin(), server.notifications.end(),
                                              [resource](const auto &entry) { return entry.first == resource; }),
                               server.notifications.end());
}

void getIdleNotification(wl_client *client, wl_resource *, uint32_t id, uint32_t timeout, wl_resource *)
{
    wl_resource *resource = wl_resource_create(client, &ext_idle_notification_v1_interface, 1, id);
    wl_resource_set_implementation(resource, &notificationImplementation, nullptr, notificationGone);
    server.notifications.emplace_back(resource, timeout);
}
const struct ext_idle_notifier_v1_interface notifierImplementation = {destroyResource, getIdleNotification};

void bindIdleNotifier(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &ext_idle_notifier_v1_interface, int(version), id);
    wl_resource_set_implementation(resource, &notifierImplementation, nullptr, nullptr);
}

void bindSeat(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource_create(client, &wl_seat_interface, int(version), id);
}

// wl_region: whether anything was added
struct Region {
    bool empty = true;
};
void regionDestroy(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
void regionAdd(wl_client *, wl_resource *resource, int32_t, int32_t, int32_t width, int32_t height)
{
    if (width > 0 && height > 0)
        static_cast<Region *>(wl_resource_get_user_data(resource))->empty = false;
}
void regionSubtract(wl_client *, wl_resource *, int32_t, int32_t, int32_t, int32_t) {}
const struct wl_region_interface regionImplementation = {regionDestroy, regionAdd, regionSubtract};
void regionGone(wl_resource *resource) { delete static_cast<Region *>(wl_resource_get_user_data(resource)); }

// wl_surface and zwlr_layer_surface_v1: one struct, the surface's state and its role's
struct Layer {
    wl_resource *surface = nullptr;
    wl_resource *role = nullptr;
    Output *output = nullptr;
    uint32_t layer = 0, anchor = 0, keyboard = 0;
    int32_t zone = 0;
    uint32_t width = 0, height = 0; // configured
    bool inputEmpty = false;        // the committed input region
    bool pendingInputEmpty = false, inputSet = false;
    bool configured = false;
    wl_resource *pending = nullptr, *shown = nullptr;
    bool attached = false;
    std::set<wl_resource *> seen; // buffers shown, while they exist
    uint32_t pixel = 0;
};

struct BufferWatch {
    wl_listener listener{};
    Layer *layer;
    wl_resource *buffer;
};
void bufferDestroyed(wl_listener *listener, void *)
{
    auto *watch = reinterpret_cast<BufferWatch *>(listener);
    if (watch->layer) {
        watch->layer->seen.erase(watch->buffer);
        if (watch->layer->pending == watch->buffer)
            watch->layer->pending = nullptr;
        if (watch->layer->shown == watch->buffer)
            watch->layer->shown = nullptr;
    }
    wl_list_remove(&listener->link);
    delete watch;
}
void watchBuffer(Layer &layer, wl_resource *buffer)
{
    if (layer.seen.count(buffer))
        return;
    layer.seen.insert(buffer);
    auto *watch = new BufferWatch{{}, &layer, buffer};
    watch->listener.notify = bufferDestroyed;
    wl_resource_add_destroy_listener(buffer, &watch->listener);
}
void unwatch(Layer &layer)
{
    for (wl_resource *buffer : layer.seen)
        if (wl_listener *listener = wl_resource_get_destroy_listener(buffer, bufferDestroyed))
            reinterpret_cast<BufferWatch *>(listener)->layer = nullptr;
    layer.seen.clear();
}

void surfaceDestroy(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
void surfaceAttach(wl_client *, wl_resource *resource, wl_resource *buffer, int32_t, int32_t)
{
    auto *layer = static_cast<Layer *>(wl_resource_get_user_data(resource));
    if (layer->role && !layer->configured) {
        wl_resource_post_error(layer->role, ZWLR_LAYER_SHELL_V1_ERROR_ALREADY_CONSTRUCTED, "attached before configure");
        return;
    }
    layer->pending = buffer;
    layer->attached = true;
    if (buffer)
        watchBuffer(*layer, buffer);
}
void surfaceDamage(wl_client *, wl_resource *, int32_t, int32_t, int32_t, int32_t) {}
void surfaceFrame(wl_client *client, wl_resource *, uint32_t id)
{
    wl_resource *callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_callback_send_done(callback, 0);
    wl_resource_destroy(callback);
}
void surfaceOpaque(wl_client *, wl_resource *, wl_resource *) {}
void surfaceInput(wl_client *, wl_resource *resource, wl_resource *region)
{
    auto *layer = static_cast<Layer *>(wl_resource_get_user_data(resource));
    layer->pendingInputEmpty = region && static_cast<Region *>(wl_resource_get_user_data(region))->empty;
    layer->inputSet = true;
}
void surfaceCommit(wl_client *, wl_resource *resource)
{
    auto *layer = static_cast<Layer *>(wl_resource_get_user_data(resource));
    if (layer->inputSet)
        layer->inputEmpty = layer->pendingInputEmpty;
    if (!layer->role)
        return;
    if (!layer->configured) {
        // The first commit: the size of the output where both opposite edges are anchored.
        const bool across = (layer->anchor & 12) == 12, down = (layer->anchor & 3) == 3;
        layer->width = across ? 1920 : 0;
        layer->height = down ? 1080 : 0;
        layer->configured = true;
        zwlr_layer_surface_v1_send_configure(layer->role, ++server.serial, layer->width, layer->height);
        return;
    }
    if (!layer->attached)
        return;
    layer->attached = false;
    wl_resource *previous = layer->shown;
    layer->shown = layer->pending;
    layer->pending = nullptr;
    if (previous && previous != layer->shown && !server.hold)
        wl_buffer_send_release(previous);
    layer->pixel = 0;
    if (wl_shm_buffer *shm = layer->shown ? wl_shm_buffer_get(layer->shown) : nullptr) {
        wl_shm_buffer_begin_access(shm);
        const auto *data = static_cast<const uint8_t *>(wl_shm_buffer_get_data(shm));
        const int32_t w = wl_shm_buffer_get_width(shm), h = wl_shm_buffer_get_height(shm);
        std::memcpy(&layer->pixel, data + size_t(h / 2) * size_t(wl_shm_buffer_get_stride(shm)) + size_t(w / 2) * 4, 4);
        wl_shm_buffer_end_access(shm);
    }
}
void surfaceTransform(wl_client *, wl_resource *, int32_t) {}
void surfaceScale(wl_client *, wl_resource *, int32_t) {}
void surfaceOffset(wl_client *, wl_resource *, int32_t, int32_t) {}
const struct wl_surface_interface surfaceImplementation = {surfaceDestroy, surfaceAttach,    surfaceDamage,
                                                           surfaceFrame,   surfaceOpaque,    surfaceInput,
                                                           surfaceCommit,  surfaceTransform, surfaceScale,
                                                           surfaceDamage,  surfaceOffset};
void surfaceGone(wl_resource *resource)
{
    auto *layer = static_cast<Layer *>(wl_resource_get_user_data(resource));
    if (layer->role)
        wl_resource_set_user_data(layer->role, nullptr);
    unwatch(*layer);
    server.layers.erase(std::remove(server.layers.begin(), server.layers.end(), layer), server.layers.end());
    delete layer;
}

void compositorSurface(wl_client *client, wl_resource *resource, uint32_t id)
{
    wl_resource *surface = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(resource), id);
    auto *layer = new Layer;
    layer->surface = surface;
    wl_resource_set_implementation(surface, &surfaceImplementation, layer, surfaceGone);
}
void compositorRegion(wl_client *client, wl_resource *, uint32_t id)
{
    wl_resource *region = wl_resource_create(client, &wl_region_interface, 1, id);
    wl_resource_set_implementation(region, &regionImplementation, new Region, regionGone);
}
const struct wl_compositor_interface compositorImplementation = {compositorSurface, compositorRegion};
void bindCompositor(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &wl_compositor_interface, int(version), id);
    wl_resource_set_implementation(resource, &compositorImplementation, nullptr, nullptr);
}

Layer *roleLayer(wl_resource *role) { return static_cast<Layer *>(wl_resource_get_user_data(role)); }
void layerSize(wl_client *, wl_resource *, uint32_t, uint32_t) {}
void layerAnchor(wl_client *, wl_resource *role, uint32_t anchor)
{
    if (Layer *layer = roleLayer(role))
        layer->anchor = anchor;
}
void layerZone(wl_client *, wl_resource *role, int32_t zone)
{
    if (Layer *layer = roleLayer(role))
        layer->zone = zone;
}
void layerMargin(wl_client *, wl_resource *, int32_t, int32_t, int32_t, int32_t) {}
void layerKeyboard(wl_client *, wl_resource *role, uint32_t keyboard)
{
    if (Layer *layer = roleLayer(role))
        layer->keyboard = keyboard;
}
void layerPopup(wl_client *, wl_resource *, wl_resource *) {}
void layerAck(wl_client *, wl_resource *, uint32_t) {}
void layerSetLayer(wl_client *, wl_resource *role, uint32_t value)
{
    if (Layer *layer = roleLayer(role))
        layer->layer = value;
}
// The role goes: the surface shows nothing and takes a new role only when made again.
void layerRoleGone(wl_resource *role)
{
    if (Layer *layer = roleLayer(role)) {
        layer->role = nullptr;
        layer->shown = nullptr;
        server.layers.erase(std::remove(server.layers.begin(), server.layers.end(), layer), server.layers.end());
    }
}
const struct zwlr_layer_surface_v1_interface layerImplementation = {
    layerSize, layerAnchor, layerZone, layerMargin, layerKeyboard, layerPopup, layerAck, surfaceDestroy, layerSetLayer};

void closeLayer(Layer *layer)
{
    zwlr_layer_surface_v1_send_closed(layer->role);
    wl_resource_set_user_data(layer->role, nullptr);
    layer->role = nullptr;
    layer->shown = nullptr;
    server.layers.erase(std::remove(server.layers.begin(), server.layers.end(), layer), server.layers.end());
}

void getLayerSurface(wl_client *client, wl_resource *shell, uint32_t id, wl_resource *surface, wl_resource *output,
                     uint32_t value, const char *)
{
    auto *layer = static_cast<Layer *>(wl_resource_get_user_data(surface));
    wl_resource *role = wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(shell), id);
    wl_resource_set_implementation(role, &layerImplementation, layer, layerRoleGone);
    layer->role = role;
    layer->layer = value;
    layer->configured = false;
    layer->output = output ? static_cast<Output *>(wl_resource_get_user_data(output)) : nullptr;
    server.layers.push_back(layer);
    if (!layer->output)
        closeLayer(layer); // an output that went: nothing to show on
}
const struct zwlr_layer_shell_v1_interface layerShellImplementation = {getLayerSurface, surfaceDestroy};
void bindLayerShell(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *resource = wl_resource_create(client, &zwlr_layer_shell_v1_interface, int(version), id);
    wl_resource_set_implementation(resource, &layerShellImplementation, nullptr, nullptr);
}

std::string describeLayers()
{
    std::string answer = "layers " + std::to_string(server.layers.size());
    for (const Layer *layer : server.layers) {
        char pixel[16];
        std::snprintf(pixel, sizeof pixel, "%08x", layer->pixel);
        answer += ' ' + (layer->output ? layer->output->name : std::string("-")) + ',' + std::to_string(layer->width)
                  + ',' + std::to_string(layer->height) + ',' + std::to_string(layer->layer) + ','
                  + std::to_string(layer->anchor) + ',' + std::to_string(layer->zone) + ','
                  + std::to_string(layer->keyboard) + ',' + (layer->inputEmpty ? "empty" : "input") + ','
                  + (layer->shown ? '1' : '0') + ',' + std::to_string(layer->seen.size()) + ',' + pixel;
    }
    return answer;
}

// Commands
Output *find(const std::string &name)
{
    for (const auto &output : server.outputs) {
        if (output->name == name)
            return output.get();
    }
    return nullptr;
}

std::string run(const std::string &line)
{
    std::istringstream in(line);
    std::string command, name;
    in >> command >> name;
    if (command == "quit") {
        server.quit = true;
        return "ok";
    }
    if (command == "timeouts") {
        std::string answer = "timeouts";
        for (const auto &entry : server.notifications)
            answer += ' ' + std::to_string(entry.second);
        return answer;
    }
    if (command == "idle" || command == "active") {
        for (const auto &entry : server.notifications)
            command == "idle" ? ext_idle_notification_v1_send_idled(entry.first)
                              : ext_idle_notification_v1_send_resumed(entry.first);
        return "ok";
    }
    if (command == "layers")
        return describeLayers();
    if (command == "hold") {
        server.hold = name == "on";
        if (!server.hold)
            for (Layer *layer : server.layers)
                for (wl_resource *buffer : layer->seen)
                    if (buffer != layer->shown)
                        wl_buffer_send_release(buffer);
        return "ok";
    }
    if (command == "withdraw-idle") {
        if (server.idleNotifier)
            wl_global_destroy(std::exchange(server.idleNotifier, nullptr));
        return "ok";
    }
    if (command == "add") {
        auto output = std::make_unique<Output>();
        output->name = name;
        in >> output->size >> output->make >> output->model >> output->serial;
        if (output->size >= 2 && output->size <= 65535) {
            output->original.resize(size_t(output->size) * 3);
            for (uint32_t c = 0; c < 3; ++c)
                for (uint32_t i = 0; i < output->size; ++i)
                    output->original[c * output->size + i] = uint16_t(uint64_t(i) * 65535 / (output->size - 1));
        }
        output->current = output->original;
        output->global = wl_global_create(server.display, &wl_output_interface, server.outputVersion, output.get(),
                                          bindOutput);
        server.outputs.push_back(std::move(output));
        ++server.serial;
        for (wl_resource *manager : server.managers) {
            announceHead(manager, *server.outputs.back());
            zwlr_output_manager_v1_send_done(manager, server.serial);
        }
        return "ok";
    }
    Output *output = find(name);
    if (!output)
        return "error no output " + name;
    if (command == "close-layers") {
        for (Layer *layer : std::vector<Layer *>(server.layers))
            if (layer->output == output)
                closeLayer(layer);
        return "ok";
    }
    if (command == "fail") {
        failControl(*output);
        return "ok";
    }
    if (command == "asked")
        return "asked " + std::to_string(output->asked);
    if (command == "ramp") {
        std::string answer = "ramp " + std::to_string(output->size) + ' ' + std::to_string(output->writes) + ' '
                             + (output->control ? '1' : '0');
        for (uint16_t v : output->current)
            answer += ' ' + std::to_string(v);
        return answer;
    }
    if (command == "remove") {
        // As wlroots: the layer surfaces close, the control fails, the head finishes, the
        // global goes.
        for (Layer *layer : std::vector<Layer *>(server.layers))
            if (layer->output == output)
                closeLayer(layer);
        failControl(*output);
        ++server.serial;
        for (wl_resource *head : output->heads) {
            zwlr_output_head_v1_send_finished(head);
            wl_resource_set_user_data(head, nullptr);
        }
        for (wl_resource *manager : server.managers)
            zwlr_output_manager_v1_send_done(manager, server.serial);
        for (wl_resource *resource : output->resources)
            wl_resource_set_user_data(resource, nullptr);
        wl_global_destroy(output->global);
        server.outputs.erase(std::find_if(server.outputs.begin(), server.outputs.end(),
                                          [output](const auto &o) { return o.get() == output; }));
        return "ok";
    }
    return "error unknown command " + command;
}

int readInput(int fd, uint32_t, void *)
{
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        server.quit = true;
        return 0;
    }
    server.input.append(buffer, size_t(n));
    for (size_t end; (end = server.input.find('\n')) != std::string::npos;) {
        server.commands.push_back(server.input.substr(0, end));
        server.input.erase(0, end + 1);
    }
    return 0;
}

bool clientsHaveInput()
{
    std::vector<pollfd> fds;
    wl_client *client;
    wl_client_for_each(client, wl_display_get_client_list(server.display))
        fds.push_back({wl_client_get_fd(client), POLLIN, 0});
    return poll(fds.data(), fds.size(), 0) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    bool gamma = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-gamma") == 0)
            gamma = false;
        else if (std::strcmp(argv[i], "--output-version") == 0 && i + 1 < argc)
            server.outputVersion = std::clamp(std::atoi(argv[++i]), 1, 4);
    }
    server.display = wl_display_create();
    const char *socket = wl_display_add_socket_auto(server.display);
    if (!socket) {
        std::fprintf(stderr, "no socket in XDG_RUNTIME_DIR\n");
        return 1;
    }
    if (gamma)
        wl_global_create(server.display, &zwlr_gamma_control_manager_v1_interface, 1, nullptr, bindGammaManager);
    wl_global_create(server.display, &zwlr_output_manager_v1_interface, 4, nullptr, bindOutputManager);
    wl_global_create(server.display, &wl_seat_interface, 1, nullptr, bindSeat);
    wl_global_create(server.display, &wl_compositor_interface, 4, nullptr, bindCompositor);
    wl_global_create(server.display, &zwlr_layer_shell_v1_interface, 3, nullptr, bindLayerShell);
    wl_display_init_shm(server.display);
    server.idleNotifier = wl_global_create(server.display, &ext_idle_notifier_v1_interface, 1, nullptr,
                                           bindIdleNotifier);
    wl_event_loop *loop = wl_display_get_event_loop(server.display);
    wl_event_source *input = wl_event_loop_add_fd(loop, STDIN_FILENO, WL_EVENT_READABLE, readInput, nullptr);
    std::printf("%s\n", socket);
    std::fflush(stdout);
    while (!server.quit) {
        wl_display_flush_clients(server.display);
        wl_event_loop_dispatch(loop, -1);
        // What clients sent before a command is handled before it.
        while (clientsHaveInput())
            wl_event_loop_dispatch(loop, 0);
        for (const std::string &command : std::exchange(server.commands, {})) {
            std::printf("%s\n", run(command).c_str());
            std::fflush(stdout);
        }
    }
    wl_event_source_remove(input);
    wl_display_destroy_clients(server.display);
    wl_display_destroy(server.display);
    return 0;
}
