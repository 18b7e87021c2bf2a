#include "pages/wellness/NumberText.h"

#include <cmath>

namespace qv::numbertext {

std::optional<long long> roundedHalfAway(double value)
{
    // std::round rounds halves away from zero.
    if (!std::isfinite(value) || std::fabs(value) > 9.0e15)
        return std::nullopt;
    return static_cast<long long>(std::round(value));
}

QString wholeNumberText(double value)
{
    const auto rounded = roundedHalfAway(value);
    return rounded ? QString::number(*rounded) : dash();
}

} // namespace qv::numbertext
