// A small Wayland compositor for the host back-ends' tests: wl_output, the wlroots gamma
// control and the output-management heads, a seat with ext-idle-notify (which Debian's sway
// lacks), nothing to show. It takes commands on stdin, one a line, and answers each with one
// line on stdout:
//   add NAME SIZE [MAKE MODEL SERIAL]  an output with gamma ramps of SIZE entries -> "ok"
//   remove NAME                        the output goes (its control gets failed)  -> "ok"
//   fail NAME                          the output's control gets failed           -> "ok"
//   ramp NAME  -> "ramp SIZE WRITES HELD v..." the ramp the output shows (red, green, blue),
//                 the number of ramps set, whether a control holds it
//   timeouts   -> "timeouts T..." the idle notifications clients asked for (their timeouts in ms)
//   idle, active                       the seat idles (resumes): every notification is told -> "ok"
//   withdraw-idle                      the idle notifier global goes               -> "ok"
//   quit
// Every output starts at a linear ramp and goes back to it when its control is destroyed,
// as wlroots does. A command runs after what clients sent before it.
// The socket is made in $XDG_RUNTIME_DIR; its name is the first line written.
// Options: --no-gamma (no gamma-control global), --output-version N (wl_output below 4 has
// no name event).

#include "ext-idle-notify-v1-server-protocol.h"
#include "wlr-gamma-control-unstable-v1-server-protocol.h"
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
#include <vector>

namespace {

struct Output {
    std::string name, make, model, serial;
    uint32_t size = 0;
    wl_global *global = nullptr;
    std::vector<wl_resource *> resources; // wl_output objects of clients
    std::vector<wl_resource *> heads;
    wl_resource *control = nullptr;
    std::vector<uint16_t> original, current;
    int writes = 0;
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
    if (command == "fail") {
        failControl(*output);
        return "ok";
    }
    if (command == "ramp") {
        std::string answer = "ramp " + std::to_string(output->size) + ' ' + std::to_string(output->writes) + ' '
                             + (output->control ? '1' : '0');
        for (uint16_t v : output->current)
            answer += ' ' + std::to_string(v);
        return answer;
    }
    if (command == "remove") {
        // As wlroots: the control fails, the head finishes, the global goes.
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
    server.idleNotifier = wl_global_create(server.display, &ext_idle_notifier_v1_interface, 1, nullptr,
                                           bindIdleNotifier);
    wl_event_loop *loop = wl_display_get_event_loop(server.display);
    wl_event_loop_add_fd(loop, STDIN_FILENO, WL_EVENT_READABLE, readInput, nullptr);
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
    wl_display_destroy_clients(server.display);
    wl_display_destroy(server.display);
    return 0;
}
