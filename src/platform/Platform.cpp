#include "platform/Platform.h"

#include "platform/sim/SimServices.h"
#include "platform/sim/SimulatedMac.h"

#include <memory>

namespace qv {

namespace {
PlatformServices g_services;
SimulatedMac *g_mac = nullptr;
std::unique_ptr<SimulatedMac> g_defaultMac;
bool g_simulatedMacWhenNoneInstalled = false;
} // namespace

const PlatformServices &platform()
{
    if (!g_services.displays) {
        if (!g_simulatedMacWhenNoneInstalled)
            qFatal("Quellvista: no platform services are installed; the program cannot run without them");
        g_defaultMac = SimulatedMac::standard();
        installSimulatedMac(g_defaultMac.get());
    }
    return g_services;
}

void useSimulatedMacWhenNoneInstalled()
{
    g_simulatedMacWhenNoneInstalled = true;
}

void installPlatform(const PlatformServices &services)
{
    g_services = services;
    g_mac = nullptr;
}

const MachineWords &machineWords()
{
    static const SimMachineWords macWords;
    const MachineWords *words = platform().words;
    return words ? *words : macWords;
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
