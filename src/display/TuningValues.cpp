#include "display/TuningValues.h"

#include "runtime/Json.h"

namespace qv {

QJsonObject TuningValues::toJson() const
{
    return QJsonObject{
        {QStringLiteral("brightness"), brightness},
        {QStringLiteral("warmth"), warmth},
        {QStringLiteral("contrastReduction"), contrastReduction},
        {QStringLiteral("softWhite"), softWhite},
        {QStringLiteral("highlightCompression"), highlightCompression},
        {QStringLiteral("bloomGuardEnabled"), bloomGuardEnabled},
        {QStringLiteral("enabled"), enabled},
        {QStringLiteral("nightModeEnabled"), nightModeEnabled},
        {QStringLiteral("noBlueModeEnabled"), noBlueModeEnabled},
        {QStringLiteral("redModeIntensity"), redModeIntensity},
    };
}

std::optional<TuningValues> TuningValues::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto brightness = json::numberField(o, QStringLiteral("brightness"));
    const auto warmth = json::numberField(o, QStringLiteral("warmth"));
    const auto contrast = json::numberField(o, QStringLiteral("contrastReduction"));
    const auto softWhite = json::numberField(o, QStringLiteral("softWhite"));
    const auto highlight = json::numberField(o, QStringLiteral("highlightCompression"));
    const auto bloomGuard = json::boolField(o, QStringLiteral("bloomGuardEnabled"));
    const auto enabled = json::boolField(o, QStringLiteral("enabled"));
    const auto nightMode = json::boolField(o, QStringLiteral("nightModeEnabled"));
    const auto noBlue = json::boolField(o, QStringLiteral("noBlueModeEnabled"));
    const auto red = json::numberField(o, QStringLiteral("redModeIntensity"));
    if (!brightness || !warmth || !contrast || !softWhite || !highlight || !bloomGuard || !enabled
        || !nightMode || !noBlue || !red)
        return std::nullopt;
    TuningValues v;
    v.brightness = *brightness;
    v.warmth = *warmth;
    v.contrastReduction = *contrast;
    v.softWhite = *softWhite;
    v.highlightCompression = *highlight;
    v.bloomGuardEnabled = *bloomGuard;
    v.enabled = *enabled;
    v.nightModeEnabled = *nightMode;
    v.noBlueModeEnabled = *noBlue;
    v.redModeIntensity = *red;
    return v;
}

} // namespace qv
