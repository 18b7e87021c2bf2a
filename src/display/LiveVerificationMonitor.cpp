#include "display/LiveVerificationMonitor.h"

#include "display/DisplayEngine.h"
#include "display/DisplayIdentity.h"
#include "display/IORegistryPropertyHelper.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/Screens.h"

#include <algorithm>
#include <cmath>

namespace qv {

LiveVerificationMonitor::LiveVerificationMonitor(DisplayEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine)
{
    m_snapshot.lastCheck = scheduler().now();
    refresh();
    startMonitoring(2.0);
}

LiveVerificationMonitor::~LiveVerificationMonitor()
{
    m_timer.cancel();
}

void LiveVerificationMonitor::startMonitoring(double interval)
{
    m_timer.cancel();
    const qint64 intervalMs = std::max<qint64>(1, qint64(std::llround(interval * 1000)));
    // The timer holds the monitor weakly; each tick refreshes on a later turn.
    m_timer = scheduler().every(intervalMs, this, [this] { scheduler().post(this, [this] { refresh(); }); });
}

void LiveVerificationMonitor::refresh()
{
    LiveVerificationSnapshot next = buildSnapshot();
    if (next == m_snapshot)
        return;
    m_snapshot = std::move(next);
    emit snapshotChanged();
}

LiveVerificationSnapshot LiveVerificationMonitor::buildSnapshot() const
{
    LiveVerificationSnapshot snapshot;
    snapshot.lastCheck = scheduler().now();

    const PlatformServices &services = platform();
    Registry &registry = *services.registry;

    // The built-in screen is found by the display's built-in flag, never by its localised
    // name, which differs from language to language.
    const QList<ScreenInfo> screens = services.screens->screens();
    std::optional<ScreenInfo> builtInScreen;
    for (const ScreenInfo &screen : screens) {
        if (screen.displayNumber && services.displays->isBuiltin(*screen.displayNumber)) {
            builtInScreen = screen;
            break;
        }
    }
    const int externalLimit = std::max(0, int(screens.size()) - (builtInScreen ? 1 : 0));

    const std::optional<QList<ServiceHandle>> handles = registry.matchingServices(framebuffer::kClassName);
    if (!handles)
        return snapshot;

    const auto [builtInIdentity, externalIdentities] =
        splitBuiltInAndExternal(DisplayIdentityProvider::shared().identities(false));

    bool allDitherOff = true;
    bool builtInDitherOff = false;
    bool builtInUniformityOff = false;
    int externalsTaken = 0;
    bool builtInTaken = false;

    for (const ServiceHandle service : *handles) {
        const std::optional<QString> entryName = registry.entryName(service);
        const std::optional<quint64> entryID = registry.entryID(service);
        if (!entryName || !entryID)
            continue;
        const bool external = framebuffer::isExternal(registry, service);

        std::optional<DisplayIdentity> identity;
        if (external) {
            if (externalsTaken >= externalLimit)
                continue;
            if (externalsTaken < externalIdentities.size())
                identity = externalIdentities.at(externalsTaken);
            ++externalsTaken;
        } else {
            if (!builtInScreen || builtInTaken)
                continue;
            identity = builtInIdentity;
            builtInTaken = true;
        }

        LiveVerificationSnapshot::DisplayState state;
        state.id = *entryID;
        state.isExternal = external;
        state.ditherEnabled = framebuffer::ditherEnabled(registry, service);
        state.uniformity2D = framebuffer::boolProperty(registry, service, framebuffer::kUniformity2D);

        if (identity) {
            state.name = identity->name;
            state.typeLabel = DisplayIdentity::label(identity->kind);
            state.iconName = DisplayIdentity::symbolName(identity->kind);
            state.connection = identity->connection;
            state.resolution = identity->resolution;
            state.isVirtual = identity->isVirtual;
            state.detailLine = identity->detailText();
        } else if (external) {
            state.name = framebuffer::stringProperty(registry, service, framebuffer::kDisplayProductName)
                             .value_or(*entryName);
            state.typeLabel = QStringLiteral("External monitor");
            state.iconName = QStringLiteral("display");
        } else {
            state.name = builtInScreen ? builtInScreen->localizedName : QStringLiteral("Built-in Display");
            if (state.name.isEmpty())
                state.name = QStringLiteral("Built-in Display");
            state.typeLabel = QStringLiteral("Built-in display");
            state.iconName = QStringLiteral("laptopcomputer");
        }

        if (!external) {
            if (!state.ditherEnabled)
                builtInDitherOff = true;
            if (state.uniformity2D && !*state.uniformity2D)
                builtInUniformityOff = true;
        }
        allDitherOff = allDitherOff && !state.ditherEnabled;
        snapshot.displayStates << state;
    }

    snapshot.ditherDisabledOnAllDisplays = allDitherOff && !snapshot.displayStates.isEmpty();
    snapshot.ditherDisabledOnBuiltIn = builtInDitherOff;
    snapshot.uniformity2DDisabledOnBuiltIn = builtInUniformityOff;
    snapshot.lastCheck = scheduler().now();
    return snapshot;
}

} // namespace qv
