#pragma once

#include <QString>

#include <optional>

namespace qv {

class DisplayEngine;
class UserDefaults;

// The four stored switches of the hardware protections, with their defaults.
namespace protection {

inline const QString kDisableDithering = QStringLiteral("disableDithering");       // Bool, true
inline const QString kDisableUniformity2D = QStringLiteral("disableUniformity2D"); // Bool, false
inline const QString kPwmAvoidanceEnabled = QStringLiteral("pwmAvoidanceEnabled"); // Bool, true
inline const QString kPwmThreshold = QStringLiteral("pwmThreshold");               // Double, 0.85

inline constexpr bool kDefaultDisableDithering = true;
inline constexpr bool kDefaultDisableUniformity2D = false;
inline constexpr bool kDefaultPwmAvoidanceEnabled = true;
inline constexpr double kDefaultPwmThreshold = 0.85;

// The value stored under key when it has the type asked for (any number for a double);
// nothing otherwise. Defaults registered in the store do not count: readers of these
// switches each treat a key the user never set in their own way.
std::optional<bool> storedBool(const UserDefaults &defaults, const QString &key);
std::optional<double> storedDouble(const UserDefaults &defaults, const QString &key);

// A stored "pwmThreshold" as a brightness floor: a fraction in (0, 1] is taken as it is;
// anything else (nothing, 0, negative, above 1, not a number) gives 0.85.
double pwmFloor(std::optional<double> stored);
// The same floor in percent of full brightness; anything outside (0, 1] gives 85.
double pwmThresholdPercent(std::optional<double> stored);

} // namespace protection

// The launch rule: hands the stored switches to the display engine once. Dithering goes
// off on every framebuffer unless "disableDithering" is false; `uniformity2D` on the
// built-in framebuffers is set to the opposite of "disableUniformity2D"; the engine's PWM
// switch and threshold come from "pwmAvoidanceEnabled" and "pwmThreshold", each first
// stored with its default when absent. A value of the wrong type counts as missing (it is
// not overwritten).
void applyStoredProtectionSettings(DisplayEngine &engine, UserDefaults &defaults);

} // namespace qv
