#include "platform/host/HostRegistry.h"

#include "platform/host/HostDisplays.h"

namespace qv {

namespace {
const QString kFramebufferClass = QStringLiteral("IOMobileFramebufferAP");
}

bool HostRegistry::isDisplay(ServiceHandle service) const
{
    return m_displays && m_displays->activeDisplays().contains(service);
}

std::optional<QList<ServiceHandle>> HostRegistry::matchingServices(const QString &className)
{
    if (className != kFramebufferClass || !m_displays)
        return QList<ServiceHandle>{};
    return m_displays->activeDisplays();
}

std::optional<QString> HostRegistry::entryName(ServiceHandle service)
{
    if (!isDisplay(service))
        return std::nullopt;
    return m_displays->outputName(service);
}

std::optional<quint64> HostRegistry::entryID(ServiceHandle service)
{
    if (!isDisplay(service))
        return std::nullopt;
    return quint64(service);
}

RegistryValue HostRegistry::property(ServiceHandle service, const QString &key)
{
    return properties(service).value(key);
}

QMap<QString, RegistryValue> HostRegistry::properties(ServiceHandle service)
{
    QMap<QString, RegistryValue> map;
    if (!isDisplay(service))
        return map;
    map.insert(QStringLiteral("external"), RegistryValue::boolean(!m_displays->isBuiltin(service)));
    const QString name = m_displays->monitorName(service);
    if (!name.isEmpty())
        map.insert(QStringLiteral("DisplayProductName"), RegistryValue::string(name));
    return map;
}

RegistryWrite HostRegistry::setProperty(ServiceHandle service, const QString &key, const RegistryValue &)
{
    if (!isDisplay(service))
        return {RegistryWrite::Result::noSuchService, QStringLiteral("no display %1").arg(service)};
    return {RegistryWrite::Result::notHeld,
            QStringLiteral("this computer keeps no \"%1\" property for its displays").arg(key)};
}

} // namespace qv
