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

ResultCode HostRegistry::setProperty(ServiceHandle service, const QString &, const RegistryValue &)
{
    return isDisplay(service) ? kNotFound : kNoDevice;
}

QString HostRegistry::errorText(ResultCode code)
{
    switch (quint32(code)) {
    case quint32(kNotFound):
        return QStringLiteral("(iokit/common) not found");
    case quint32(kNoDevice):
        return QStringLiteral("(iokit/common) no such device");
    }
    return QStringLiteral("(iokit/common) unknown error 0x%1").arg(quint32(code), 8, 16, QLatin1Char('0'));
}

} // namespace qv
