#include "app/OvSection.h"

namespace qv {

QString ovSectionRawValue(OvSection section)
{
    switch (section) {
    case OvSection::displayAndComfort:
        return QStringLiteral("Display & Comfort");
    case OvSection::blink:
        return QStringLiteral("Blink Detection");
    case OvSection::breaks:
        return QStringLiteral("Break Reminders");
    case OvSection::about:
        return QStringLiteral("Support");
    case OvSection::settings:
        return QStringLiteral("Settings");
    }
    return {};
}

std::optional<OvSection> ovSectionFromRawValue(const QString &raw)
{
    for (OvSection s : {OvSection::displayAndComfort, OvSection::blink, OvSection::breaks, OvSection::about,
                        OvSection::settings})
        if (ovSectionRawValue(s) == raw)
            return s;
    return std::nullopt;
}

QString ovSectionSymbol(OvSection section)
{
    switch (section) {
    case OvSection::displayAndComfort:
        return QStringLiteral("sparkles");
    case OvSection::blink:
        return QStringLiteral("eye");
    case OvSection::breaks:
        return QStringLiteral("clock");
    case OvSection::about:
        return QStringLiteral("lifepreserver");
    case OvSection::settings:
        return QStringLiteral("gearshape");
    }
    return {};
}

QList<OvSection> ovSectionAllCases()
{
    return {OvSection::displayAndComfort, OvSection::blink, OvSection::breaks, OvSection::about};
}

} // namespace qv
