#include "display/ProtectionSettings.h"

#include "display/DisplayEngine.h"
#include "display/IORegistryPropertyHelper.h"
#include "runtime/UserDefaults.h"

#include <cmath>

namespace qv {

namespace protection {

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
    const std::optional<bool> disableDithering = defaults.boolValue(kDisableDithering);
    engine.setDither(disableDithering ? !*disableDithering : false, DisplayEngine::Target::all());

    const bool disableUniformity = defaults.boolValue(kDisableUniformity2D).value_or(false);
    engine.applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(!disableUniformity)}},
                           DisplayEngine::Target::builtIn());

    if (!defaults.hasStoredValue(kPwmAvoidanceEnabled))
        defaults.setBool(kPwmAvoidanceEnabled, kDefaultPwmAvoidanceEnabled);
    const bool pwmEnabled = defaults.boolValue(kPwmAvoidanceEnabled).value_or(kDefaultPwmAvoidanceEnabled);

    if (!defaults.hasStoredValue(kPwmThreshold))
        defaults.setDouble(kPwmThreshold, kDefaultPwmThreshold);
    const double percent = pwmThresholdPercent(defaults.doubleValue(kPwmThreshold));

    engine.setPwmThresholdPercent(percent);
    engine.setPwmAvoidanceEnabled(pwmEnabled);
}

} // namespace qv
