#include "design/AppAppearanceMode.h"

#include "platform/Appearance.h"

namespace qv {

QString appAppearanceModeRawValue(AppAppearanceMode mode)
{
    switch (mode) {
    case AppAppearanceMode::system:
        return QStringLiteral("system");
    case AppAppearanceMode::light:
        return QStringLiteral("light");
    case AppAppearanceMode::dark:
        return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

std::optional<AppAppearanceMode> appAppearanceModeFromRawValue(const QString &raw)
{
    for (AppAppearanceMode mode : allAppAppearanceModes())
        if (appAppearanceModeRawValue(mode) == raw)
            return mode;
    return std::nullopt;
}

QList<AppAppearanceMode> allAppAppearanceModes()
{
    return {AppAppearanceMode::system, AppAppearanceMode::light, AppAppearanceMode::dark};
}

QString forcedAppearanceName(AppAppearanceMode mode)
{
    switch (mode) {
    case AppAppearanceMode::light:
        return QString::fromLatin1(Appearance::aqua);
    case AppAppearanceMode::dark:
        return QString::fromLatin1(Appearance::darkAqua);
    case AppAppearanceMode::system:
        break;
    }
    return {};
}

} // namespace qv
