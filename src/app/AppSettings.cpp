#include "app/AppSettings.h"

#include "runtime/UserDefaults.h"

namespace qv {

void registerApplicationDefaults(UserDefaults &defaults)
{
    defaults.registerDefaults({
        {QStringLiteral("disableDithering"), true},
        {QStringLiteral("disableUniformity2D"), false},
        {QStringLiteral("pwmAvoidanceEnabled"), true},
        {QStringLiteral("pwmThreshold"), 0.85},
    });
}

} // namespace qv
