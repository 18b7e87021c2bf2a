#pragma once

namespace qv {

class UserDefaults;

// The application's own stored switches and their defaults:
// "disableDithering" true, "disableUniformity2D" false, "pwmAvoidanceEnabled" true and
// "pwmThreshold" 0.85 (a fraction of full brightness).
void registerApplicationDefaults(UserDefaults &defaults);

} // namespace qv
