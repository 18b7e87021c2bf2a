#include "display/AmbientLightSensor.h"

#include "platform/AmbientLight.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "runtime/Clamp.h"
#include "runtime/Logging.h"

#include <cmath>
#include <limits>

namespace qv::ambientLight {

namespace {
const Logger &ambientLightSensorLog()
{
    static const Logger logger("DisplayTuning");
    return logger;
}

// The number a property holds in one of the accepted forms, before any check.
std::optional<double> rawNumber(const RegistryValue &value)
{
    if (value.isNumber())
        return value.toNumber();
    if (value.type() == RegistryValue::Type::Array) {
        const QList<RegistryValue> items = value.toArray();
        if (!items.isEmpty() && items.first().isNumber())
            return items.first().toNumber();
        return std::nullopt;
    }
    if (value.type() == RegistryValue::Type::Dictionary) {
        const QMap<QString, RegistryValue> entries = value.toDictionary();
        for (const QString &key : dictionaryKeys()) {
            const auto it = entries.constFind(key);
            if (it != entries.cend() && it->isNumber())
                return it->toNumber();
        }
    }
    return std::nullopt;
}
} // namespace

QStringList serviceClasses()
{
    return {QStringLiteral("AppleSPUVD6286"), QStringLiteral("AppleSPUVD6287"), QStringLiteral("AppleHIDALSService"),
            QStringLiteral("AppleLMUController"), QStringLiteral("IOHIDService")};
}

QStringList propertyNames()
{
    return {QStringLiteral("AmbientLightSensor"), QStringLiteral("CurrentAmbientLightLevel"),
            QStringLiteral("AmbientLightLevel"),  QStringLiteral("Illuminance"),
            QStringLiteral("CurrentLux"),         QStringLiteral("Lux"),
            QStringLiteral("SensorValue"),        QStringLiteral("AppleLMUCurrentValue")};
}

QStringList dictionaryKeys()
{
    return {QStringLiteral("lux"),     QStringLiteral("Lux"),     QStringLiteral("value"),
            QStringLiteral("Value"),   QStringLiteral("current"), QStringLiteral("Current")};
}

std::optional<double> readLux()
{
    if (AmbientLight *sensor = platform().ambientLight) {
        const std::optional<AmbientLightReading> reading = sensor->currentReading();
        return reading ? luxFromReading(*reading) : std::nullopt;
    }
    Registry *registry = platform().registry;
    if (!registry)
        return std::nullopt;
    for (const QString &className : serviceClasses()) {
        // A class whose matching fails is skipped.
        const std::optional<QList<ServiceHandle>> services = registry->matchingServices(className);
        if (!services)
            continue;
        for (const ServiceHandle service : *services) {
            if (const std::optional<double> lux = luxFromService(service))
                return lux;
        }
    }
    return std::nullopt;
}

std::optional<double> luxFromService(ServiceHandle service)
{
    Registry *registry = platform().registry;
    if (!registry)
        return std::nullopt;
    for (const QString &name : propertyNames()) {
        const RegistryValue value = registry->property(service, name);
        if (value.isAbsent())
            continue;
        if (const std::optional<double> lux = normalizedLux(value))
            return lux;
    }
    return std::nullopt;
}

std::optional<double> normalizedLux(const RegistryValue &value)
{
    const std::optional<double> raw = rawNumber(value);
    if (!raw) {
        ambientLightSensorLog().debug("Ambient light value %s is not a reading", qUtf8Printable(value.description()));
        return std::nullopt;
    }
    const double v = *raw;
    if (std::isnan(v) || std::isinf(v) || v < 0) {
        ambientLightSensorLog().debug("Ambient light value %f is out of range", v);
        return std::nullopt;
    }
    if (v > 10000)
        return v / 1000;
    if (v > 1000)
        return v / 10;
    return v;
}

std::optional<double> luxFromReading(const AmbientLightReading &reading)
{
    if (reading.unit == AmbientLightReading::Unit::vendor)
        return normalizedLux(RegistryValue::number(reading.value));
    const double v = reading.value;
    if (std::isnan(v) || std::isinf(v) || v < 0) {
        ambientLightSensorLog().debug("Ambient light value %f lux is out of range", v);
        return std::nullopt;
    }
    return v;
}

double comfortLevel(double lux)
{
    return clamp01(1 + (lux - 8) / -72);
}

QString statusText(double lux)
{
    // std::round rounds halves away from zero. A value too large for a whole number does
    // not come from a real sensor; it is shown as it is.
    const double rounded = std::round(lux);
    if (!std::isfinite(rounded) || std::abs(rounded) > double(std::numeric_limits<qint64>::max() / 2))
        return QString::number(lux, 'g', 6) + QStringLiteral(" lux");
    return QString::number(qint64(rounded)) + QStringLiteral(" lux");
}

QString roomLabel(double level)
{
    if (level > 0.72)
        return QStringLiteral("Dark room");
    if (level > 0.35)
        return QStringLiteral("Dim room");
    return QStringLiteral("Bright room");
}

} // namespace qv::ambientLight
