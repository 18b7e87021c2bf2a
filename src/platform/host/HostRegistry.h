#pragma once

#include "platform/Registry.h"

namespace qv {

// A Linux desktop has no registry of framebuffer properties: matching finds no service,
// reads find nothing, and writes answer "not found".
class HostRegistry final : public Registry {
public:
    std::optional<QList<ServiceHandle>> matchingServices(const QString &) override { return QList<ServiceHandle>{}; }
    std::optional<QString> entryName(ServiceHandle) override { return std::nullopt; }
    std::optional<quint64> entryID(ServiceHandle) override { return std::nullopt; }
    RegistryValue property(ServiceHandle, const QString &) override { return {}; }
    QMap<QString, RegistryValue> properties(ServiceHandle) override { return {}; }
    ResultCode setProperty(ServiceHandle, const QString &, const RegistryValue &) override { return kNotFound; }
    QString errorText(ResultCode code) override;

    // kIOReturnNotFound
    static constexpr ResultCode kNotFound = ResultCode(0xe00002f0);
};

} // namespace qv
