#include "platform/Platform.h"

#include "platform/sim/SimulatedMac.h"

#include <memory>

namespace qv {

namespace {
PlatformServices g_services;
SimulatedMac *g_mac = nullptr;
std::unique_ptr<SimulatedMac> g_defaultMac;
} // namespace

const PlatformServices &platform()
{
    if (!g_services.displays) {
        // Nothing installed: run on the built-in machine.
        g_defaultMac = SimulatedMac::standard();
        installSimulatedMac(g_defaultMac.get());
    }
    return g_services;
}

void installPlatform(const PlatformServices &services)
{
    g_services = services;
    g_mac = nullptr;
}

SimulatedMac *simulatedMac()
{
    return g_mac;
}

void installSimulatedMac(SimulatedMac *mac)
{
    g_mac = mac;
    g_services = mac ? mac->services() : PlatformServices{};
}

} // namespace qv
