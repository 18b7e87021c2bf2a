#include "display/ChipFamily.h"

namespace qv {

QString chipFamilyRawValue(ChipFamily family)
{
    switch (family) {
    case ChipFamily::m1:
        return QStringLiteral("M1");
    case ChipFamily::m2:
        return QStringLiteral("M2");
    case ChipFamily::m3:
        return QStringLiteral("M3");
    case ChipFamily::m4:
        return QStringLiteral("M4");
    case ChipFamily::m5:
        return QStringLiteral("M5");
    case ChipFamily::unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

ChipFamily chipFamilyFromBrandString(const QString &brand)
{
    const QString text = brand.toLower();
    if (text.isEmpty())
        return ChipFamily::unknown;
    static const struct {
        const char *needle;
        ChipFamily family;
    } order[] = {{"m5", ChipFamily::m5}, {"m4", ChipFamily::m4}, {"m3", ChipFamily::m3}, {"m2", ChipFamily::m2}, {"m1", ChipFamily::m1}};
    for (const auto &entry : order)
        if (text.contains(QLatin1String(entry.needle)))
            return entry.family;
    return ChipFamily::unknown;
}

} // namespace qv
