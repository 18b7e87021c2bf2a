#include "display/ProtectionSettings.h"

#include "display/DisplayEngine.h"
#include "display/IORegistryPropertyHelper.h"
#include "runtime/UserDefaults.h"

#include <cmath>

namespace qv {

namespace protection {

std::optional<bool> storedBool(const UserDefaults &defaults, const QString &key)
{
    return defaults.hasStoredValue(key) ? defaults.boolValue(key) : std::nullopt;
}

std::optional<double> storedDouble(const UserDefaults &defaults, const QString &key)
{
    return defaults.hasStoredValue(key) ? defaults.doubleValue(key) : std::nullopt;
}

double pwmFloor(std::optional<double> stored)
{
    if (stored && std::isfinite(*stored) && *stored > 0 && *stored <= 1)
        return *stored;
    return kDefaultPwmThreshold;
}

double pwmThresholdPercent(std::optional<double> stored)
{
    return pwmFloor(stored) * 100;
}

} // namespace protection

void applyStoredProtectionSettings(DisplayEngine &engine, UserDefaults &defaults)
{
    using namespace protection;
    // Dithering: a missing or ill-typed value switches it off, as the default asks.
    const std::optional<bool> disableDithering = storedBool(defaults, kDisableDithering);
    engine.setDither(disableDithering ? !*disableDithering : false, DisplayEngine::Target::all());

    const bool disableUniformity = storedBool(defaults, kDisableUniformity2D).value_or(false);
    engine.applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(!disableUniformity)}},
                           DisplayEngine::Target::builtIn());

    if (!defaults.hasStoredValue(kPwmAvoidanceEnabled))
        defaults.setBool(kPwmAvoidanceEnabled, kDefaultPwmAvoidanceEnabled);
    const bool pwmEnabled = storedBool(defaults, kPwmAvoidanceEnabled).value_or(kDefaultPwmAvoidanceEnabled);

    if (!defaults.hasStoredValue(kPwmThreshold))
        defaults.setDouble(kPwmThreshold, kDefaultPwmThreshold);
    const double percent = pwmThresholdPercent(storedDouble(defaults, kPwmThreshold));

    engine.setPwmThresholdPercent(percent);
    engine.setPwmAvoidanceEnabled(pwmEnabled);
}

} // namespace qv
