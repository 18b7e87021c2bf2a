#pragma once

#include "platform/Registry.h"

namespace qv {

class HostDisplays;

// A Linux desktop has no registry of framebuffer properties. Each active display is
// listed as a framebuffer service (its handle is the display id, its entry name the
// output's) that holds only what the X server knows: whether it is external and the
// monitor's name. The protection properties are absent, and every write fails
// as a property the display does not hold, so the models report those protections as not
// available. No other class
// of service is found.
class HostRegistry final : public Registry {
public:
    explicit HostRegistry(HostDisplays *displays) : m_displays(displays) {}

    std::optional<QList<ServiceHandle>> matchingServices(const QString &className) override;
    std::optional<QString> entryName(ServiceHandle service) override;
    std::optional<quint64> entryID(ServiceHandle service) override;
    RegistryValue property(ServiceHandle service, const QString &key) override;
    QMap<QString, RegistryValue> properties(ServiceHandle service) override;
    RegistryWrite setProperty(ServiceHandle service, const QString &key, const RegistryValue &value) override;
    bool framebufferProtectionsAvailable() override { return false; }

private:
    bool isDisplay(ServiceHandle service) const;
    HostDisplays *m_displays;
};

} // namespace qv
