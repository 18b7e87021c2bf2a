#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace qv {

// The appearance the user picks for Quellvista, stored by its raw value under
// "appAppearanceMode": follow the system, or always light, or always dark.
enum class AppAppearanceMode { system, light, dark };

// "system", "light", "dark".
QString appAppearanceModeRawValue(AppAppearanceMode mode);
// Exact match (case included); nothing for any other text.
std::optional<AppAppearanceMode> appAppearanceModeFromRawValue(const QString &raw);
QList<AppAppearanceMode> allAppAppearanceModes();
// The appearance name a mode forces ("NSAppearanceNameAqua" for light,
// "NSAppearanceNameDarkAqua" for dark); nothing for system.
QString forcedAppearanceName(AppAppearanceMode mode);

} // namespace qv
