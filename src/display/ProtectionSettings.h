#pragma once

#include "runtime/Settings.h"

#include <QString>

#include <optional>

namespace qv {

class DisplayEngine;
class UserDefaults;

// The four stored switches of the hardware protections, with their defaults (names for
// the settings table's rows).
namespace protection {

inline const QString kDisableDithering = settings::disableDithering.name();
inline const QString kDisableUniformity2D = settings::disableUniformity2D.name();
inline const QString kPwmAvoidanceEnabled = settings::pwmAvoidanceEnabled.name();
inline const QString kPwmThreshold = settings::pwmThreshold.name();

inline constexpr bool kDefaultDisableDithering = settings::disableDithering.defaultValue;
inline constexpr bool kDefaultDisableUniformity2D = settings::disableUniformity2D.defaultValue;
inline constexpr bool kDefaultPwmAvoidanceEnabled = settings::pwmAvoidanceEnabled.defaultValue;
inline constexpr double kDefaultPwmThreshold = settings::pwmThreshold.defaultValue;

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
