#include "display/DisplayEngine.h"

#include "display/DisplayIdentity.h"
#include "display/DisplayTuning.h"
#include "display/IORegistryPropertyHelper.h"
#include "platform/Host.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

namespace qv {

bool DisplayEngine::Target::selects(quint64 entryID, bool isExternal) const
{
    switch (m_kind) {
    case Kind::service:
        return entryID == m_entryID;
    case Kind::all:
        return true;
    case Kind::builtIn:
        return !isExternal;
    case Kind::external:
        return isExternal;
    }
    return false;
}

DisplayEngine::DisplayEngine()
{
    m_chipFamily = detectChipFamily();
    refreshDisplays();
}

DisplayEngine::~DisplayEngine() = default;

DisplayEngine &DisplayEngine::shared()
{
    return sharedInstance<DisplayEngine>();
}

QVariantList DisplayEngine::connectedDisplaysList() const
{
    QVariantList list;
    for (const DisplayInfo &info : m_connectedDisplays)
        list << QVariant::fromValue(info);
    return list;
}

void DisplayEngine::setPwmThresholdPercent(double percent)
{
    if (percent == m_pwmThresholdPercent)
        return;
    m_pwmThresholdPercent = percent;
    emit pwmThresholdPercentChanged();
}

void DisplayEngine::setPwmAvoidanceEnabled(bool enabled)
{
    if (enabled == m_pwmAvoidanceEnabled)
        return;
    m_pwmAvoidanceEnabled = enabled;
    emit pwmAvoidanceEnabledChanged();
}

void DisplayEngine::setDitherGloballyDisabled(bool disabled)
{
    if (disabled == m_ditherGloballyDisabled)
        return;
    m_ditherGloballyDisabled = disabled;
    emit ditherGloballyDisabledChanged();
}

bool DisplayEngine::framebufferProtectionsAvailable()
{
    Registry *registry = platform().registry;
    return registry && registry->framebufferProtectionsAvailable();
}

ChipFamily DisplayEngine::detectChipFamily()
{
    Host *host = platform().host;
    const std::optional<QString> brand = host ? host->processorBrandString() : std::nullopt;
    return chipFamilyFromBrandString(brand.value_or(QString()));
}

void DisplayEngine::refreshDisplays()
{
    Registry &registry = *platform().registry;

    const auto [builtInIdentity, externalIdentities] =
        splitBuiltInAndExternal(DisplayIdentityProvider::shared().identities(false));

    const std::optional<QList<ServiceHandle>> services = registry.matchingServices(framebuffer::kClassName);
    if (!services) {
        m_log.error("Could not find IOMobileFramebufferAP services");
        return;
    }

    QList<DisplayInfo> list;
    int externalsMet = 0;
    for (const ServiceHandle service : *services) {
        const std::optional<QString> entryName = registry.entryName(service);
        const std::optional<quint64> entryID = registry.entryID(service);
        if (!entryName || !entryID)
            continue;

        DisplayInfo info;
        info.id = *entryID;
        info.ioService = service;
        info.isExternal = framebuffer::isExternal(registry, service);
        info.isBuiltIn = !info.isExternal;
        info.ditherEnabled = framebuffer::ditherEnabled(registry, service);
        info.uniformity2DEnabled =
            framebuffer::boolProperty(registry, service, framebuffer::kUniformity2D).value_or(true);
        info.currentBrightness = 1.0f;
        info.chipFamily = m_chipFamily;

        std::optional<DisplayIdentity> identity;
        if (!info.isExternal) {
            identity = builtInIdentity;
        } else {
            if (externalsMet < externalIdentities.size())
                identity = externalIdentities.at(externalsMet);
            ++externalsMet;
        }

        if (identity) {
            info.name = identity->name;
            info.typeLabel = DisplayIdentity::label(identity->kind);
            info.iconName = DisplayIdentity::symbolName(identity->kind);
            info.connection = identity->connection;
            info.resolution = identity->resolution;
            info.isVirtual = identity->isVirtual;
            info.detailLine = identity->detailText();
        } else if (!info.isExternal) {
            info.name = QStringLiteral("Built-in ") + *entryName;
            info.typeLabel = QStringLiteral("Built-in display");
            info.iconName = QStringLiteral("laptopcomputer");
        } else {
            info.name = framebuffer::stringProperty(registry, service, framebuffer::kDisplayProductName)
                            .value_or(QStringLiteral("External Display"));
            info.typeLabel = QStringLiteral("External monitor");
            info.iconName = QStringLiteral("display");
        }
        list << info;
    }

    // Published on a later turn, so a caller reading the list right away sees the old one.
    scheduler().post(this, [this, list] {
        m_connectedDisplays = list;
        emit connectedDisplaysChanged();
    });
}

bool DisplayEngine::applyProperties(const Properties &properties, const Target &target)
{
    // Where framebuffers hold no protection properties there is nothing to write: the
    // protections are simply not available, which is no fault worth a line.
    if (!framebufferProtectionsAvailable())
        return false;
    Registry &registry = *platform().registry;
    const std::optional<QList<ServiceHandle>> services = registry.matchingServices(framebuffer::kClassName);
    if (!services) {
        m_log.error("Could not find IOMobileFramebufferAP services");
        return false;
    }
    if (services->isEmpty()) {
        // Nothing written is not a success; the list still follows the registry, which
        // now holds no framebuffer.
        m_log.error("Could not find IOMobileFramebufferAP services");
        refreshDisplays();
        return false;
    }

    bool failed = false;
    bool reached = false;
    for (const ServiceHandle service : *services) {
        if (!registry.entryName(service))
            continue;
        const std::optional<quint64> entryID = registry.entryID(service);
        if (!entryID)
            continue;
        const bool external = framebuffer::isExternal(registry, service);
        if (!target.selects(*entryID, external))
            continue;
        reached = true;
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            if (registry.property(service, it.key()) == it.value())
                continue;
            const RegistryWrite write = registry.setProperty(service, it.key(), it.value());
            const QString failure = QStringLiteral("%1 %2").arg(*entryID).arg(it.key());
            if (write.written()) {
                m_reportedWriteFailures.remove(failure);
                m_log.info("Set %s = %s on %s", qUtf8Printable(it.key()), qUtf8Printable(it.value().description()),
                           external ? "external" : "embedded");
            } else {
                if (!m_reportedWriteFailures.contains(failure)) {
                    m_reportedWriteFailures.insert(failure);
                    m_log.error("Failed to set %s: %s", qUtf8Printable(it.key()),
                                qUtf8Printable(write.reason));
                }
                failed = true;
            }
        }
    }

    if (target.kind() == Target::Kind::service && !reached) {
        m_log.error("No framebuffer service with id %llu; nothing was written",
                    static_cast<unsigned long long>(target.entryID()));
        failed = true;
    }

    refreshDisplays();
    return !failed;
}

bool DisplayEngine::registryHoldsDitherOff(Registry &registry) const
{
    const std::optional<QList<ServiceHandle>> services = registry.matchingServices(framebuffer::kClassName);
    if (!services)
        return false;
    int counted = 0;
    for (const ServiceHandle service : *services) {
        if (!registry.entryName(service))
            continue;
        if (framebuffer::ditherEnabled(registry, service))
            return false;
        ++counted;
    }
    return counted > 0;
}

void DisplayEngine::setDither(bool enabled, const Target &target)
{
    applyProperties({{framebuffer::kEnableDither, RegistryValue::boolean(enabled)}}, target);
    // What the registry holds now, not what was asked: a failed write or a machine
    // without framebuffers leaves dithering on.
    setDitherGloballyDisabled(registryHoldsDitherOff(*platform().registry));
}

void DisplayEngine::enablePWMAvoidance(double floor)
{
    setPwmThresholdPercent(floor * 100);
    setPwmAvoidanceEnabled(true);
    m_log.info("PWM avoidance ENABLED — software brightness floor %f%%", floor * 100);
    // Display tuning follows on a later turn, after the engine's own flags.
    scheduler().post(this, [floor] {
        DisplayTuning &tuning = DisplayTuning::shared();
        tuning.setBrightness(floor);
        tuning.setEnabled(true);
    });
}

void DisplayEngine::disablePWMAvoidance()
{
    setPwmAvoidanceEnabled(false);
    m_log.info("PWM avoidance disabled");
    scheduler().post(this, [] {
        DisplayTuning &tuning = DisplayTuning::shared();
        tuning.setBrightness(1.0);
        if (tuning.warmth() == 0 && tuning.contrastReduction() == 0)
            tuning.setEnabled(false);
        else
            tuning.apply();
    });
}

void DisplayEngine::resetToDefaults()
{
    setDither(true, Target::all());
    applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(true)}}, Target::all());
    disablePWMAvoidance();
    scheduler().post(this, [] { DisplayTuning::shared().resetAll(); });
    m_log.info("Reset to Apple defaults");
}

} // namespace qv
