#include "app/DeepDisplayDiagnostics.h"

#include "display/IORegistryPropertyHelper.h"
#include "platform/Platform.h"
#include "runtime/Scheduler.h"

#include <cmath>

namespace qv {

const std::array<DeepDisplayDiagnosticKey, 20> &deepDisplayDiagnosticKeys()
{
    static const std::array<DeepDisplayDiagnosticKey, 20> keys{{
        {"enableDither", "Dither"},
        {"uniformity2D", "Uniformity"},
        {"forcePixelBacklightModulation", "Backlight mod."},
        {"requestPixelBacklightModulation", "Request mod."},
        {"DisableDisplayOptimize", "Display optimize"},
        {"GCPBypassesEDRPixels", "EDR bypass"},
        {"IOMFBBrightnessCompensationEnable", "Brightness comp."},
        {"IOMFBTemperatureCompensationEnable", "Temp comp."},
        {"limit_max_physical_brightness", "Max brightness"},
        {"IOMFBBrightnessLevel", "Brightness level"},
        {"IOMFBIndicatorBrightnessNits", "Indicator nits"},
        {"AmbientBrightness", "Ambient"},
        {"DefaultColorSpaceIsSRGB", "Default sRGB"},
        {"PixelEncoding", "Pixel encoding"},
        {"ValidPixelEncodings", "Valid encodings"},
        {"SupportsHDRGammaEOTF", "HDR gamma"},
        {"HDRStaticMetadataTypes", "HDR metadata"},
        {"ColorElements", "Color elements"},
        {"ColorModes", "Color modes"},
        {"UnsafeColorElementIDs", "Unsafe color IDs"},
    }};
    return keys;
}

namespace {

QString counted(qsizetype count, const char *noun)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun)).arg(count == 1 ? "" : "s");
}

// A number as its decimal text: whole numbers without a fraction or exponent, others in
// their shortest exact form.
QString numberText(double number)
{
    if (std::isnan(number))
        return QStringLiteral("nan");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (number == std::trunc(number) && std::fabs(number) < 9.0e15)
        return QString::number(qint64(number));
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString DeepDisplayDiagnosticProperty::format(const RegistryValue &value)
{
    switch (value.type()) {
    case RegistryValue::Type::Bool:
        return value.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    case RegistryValue::Type::Number:
        if (value.toNumber() == 0)
            return QStringLiteral("No");
        if (value.toNumber() == 1)
            return QStringLiteral("Yes");
        return numberText(value.toNumber());
    case RegistryValue::Type::String:
        return value.toString().isEmpty() ? QStringLiteral("Empty") : value.toString();
    case RegistryValue::Type::Data:
        return QStringLiteral("%1 bytes").arg(value.toData().size());
    case RegistryValue::Type::Array:
        return counted(value.toArray().size(), "item");
    case RegistryValue::Type::Dictionary:
        return counted(value.toDictionary().size(), "field");
    case RegistryValue::Type::Absent:
        break;
    }
    return value.description();
}

DeepDisplayDiagnosticProperty DeepDisplayDiagnosticProperty::read(Registry &registry, ServiceHandle service,
                                                                  const QString &key, const QString &label)
{
    const RegistryValue value = registry.property(service, key);
    if (value.isAbsent())
        return {key, label, QStringLiteral("Not exposed"), false};
    return {key, label, format(value), true};
}

QString DeepDisplayDiagnosticDisplay::composeSubtitle(const std::optional<DisplayIdentity> &identity, bool isExternal,
                                                      const QString &serviceName)
{
    if (!identity)
        return (isExternal ? QStringLiteral("External display") : QStringLiteral("Built-in display")) +
               QStringLiteral(" - ") + serviceName;
    QStringList parts{kindLabel(identity->kind)};
    if (identity->connection && !identity->connection->isEmpty())
        parts << *identity->connection;
    if (identity->resolution && !identity->resolution->isEmpty()) {
        QString mode = *identity->resolution;
        if (identity->refreshRate && !identity->refreshRate->isEmpty())
            mode += QStringLiteral(" @ ") + *identity->refreshRate;
        parts << mode;
    }
    return parts.join(QStringLiteral(" - "));
}

DeepDisplayDiagnosticsSnapshot DeepDisplayDiagnosticsSnapshot::capture()
{
    Registry *registry = platform().registry;
    if (!registry)
        return {scheduler().now(), {}};
    return capture(*registry, DisplayIdentityProvider::shared().identities(true));
}

DeepDisplayDiagnosticsSnapshot DeepDisplayDiagnosticsSnapshot::capture(Registry &registry,
                                                                      const QList<DisplayIdentity> &identities)
{
    DeepDisplayDiagnosticsSnapshot snapshot;
    const std::optional<QList<ServiceHandle>> services = registry.matchingServices(framebuffer::kClassName);
    if (!services) {
        snapshot.capturedAt = scheduler().now();
        return snapshot;
    }

    // Built-in identities and all the others, each in the provider's order; a framebuffer
    // takes the next one of its own list.
    QList<DisplayIdentity> builtIn, external;
    for (const DisplayIdentity &identity : identities) {
        const bool isBuiltIn = identity.kind == DisplayIdentity::Kind::builtIn ||
                               identity.connection == QStringLiteral("Internal");
        (isBuiltIn ? builtIn : external) << identity;
    }
    qsizetype nextBuiltIn = 0, nextExternal = 0;

    for (ServiceHandle service : *services) {
        // A name that cannot be read, or an empty one, names the service by its kind.
        QString serviceName = registry.entryName(service).value_or(QString());
        if (serviceName.isEmpty())
            serviceName = QStringLiteral("Display framebuffer");
        const bool isExternal = framebuffer::isExternal(registry, service);
        const QList<DisplayIdentity> &list = isExternal ? external : builtIn;
        qsizetype &next = isExternal ? nextExternal : nextBuiltIn;
        std::optional<DisplayIdentity> identity;
        if (next < list.size())
            identity = list.at(next);
        ++next;

        DeepDisplayDiagnosticDisplay display;
        display.id = QUuid::createUuid();
        if (identity)
            display.name = identity->name;
        else
            display.name = framebuffer::stringProperty(registry, service, framebuffer::kDisplayProductName)
                               .value_or(isExternal ? QStringLiteral("External Display")
                                                    : QStringLiteral("Built-in Display"));
        display.subtitle = DeepDisplayDiagnosticDisplay::composeSubtitle(identity, isExternal, serviceName);
        display.isExternal = isExternal;
        for (const DeepDisplayDiagnosticKey &row : deepDisplayDiagnosticKeys())
            display.properties << DeepDisplayDiagnosticProperty::read(registry, service, QString::fromLatin1(row.key),
                                                                      QString::fromLatin1(row.label));
        snapshot.displays << display;
    }
    snapshot.capturedAt = scheduler().now();
    return snapshot;
}

} // namespace qv
