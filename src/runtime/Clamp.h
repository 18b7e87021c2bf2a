#pragma once

#include <algorithm>
#include <cmath>

namespace qv {

// Limits a value to lo...hi (lo <= hi); a value that is not a number counts as lo.
inline double clampTo(double value, double lo, double hi)
{
    if (std::isnan(value))
        return lo;
    return std::min(std::max(value, lo), hi);
}

inline double clamp01(double value)
{
    return clampTo(value, 0.0, 1.0);
}

} // namespace qv
