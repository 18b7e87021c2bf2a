#pragma once

#include "platform/Registry.h"

#include <optional>

namespace qv {

// Reads of the display framebuffer properties, looked up on the service itself.
namespace framebuffer {

inline const QString kClassName = QStringLiteral("IOMobileFramebufferAP");
inline const QString kEnableDither = QStringLiteral("enableDither");
inline const QString kUniformity2D = QStringLiteral("uniformity2D");
inline const QString kExternal = QStringLiteral("external");
inline const QString kDisplayProductName = QStringLiteral("DisplayProductName");

// The Boolean under key; nothing when it is missing or of another type.
inline std::optional<bool> boolProperty(Registry &registry, ServiceHandle service, const QString &key)
{
    const RegistryValue value = registry.property(service, key);
    return value.isBool() ? std::optional(value.toBool()) : std::nullopt;
}

// The text under key; nothing when it is missing or of another type.
inline std::optional<QString> stringProperty(Registry &registry, ServiceHandle service, const QString &key)
{
    const RegistryValue value = registry.property(service, key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

// `external`: missing or ill-typed reads as false.
inline bool isExternal(Registry &registry, ServiceHandle service)
{
    return boolProperty(registry, service, kExternal).value_or(false);
}

// `enableDither`: missing or ill-typed reads as on.
inline bool ditherEnabled(Registry &registry, ServiceHandle service)
{
    return boolProperty(registry, service, kEnableDither).value_or(true);
}

} // namespace framebuffer

} // namespace qv
