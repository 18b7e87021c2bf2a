#include "design/AppAppearanceMode.h"

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

} // namespace qv
