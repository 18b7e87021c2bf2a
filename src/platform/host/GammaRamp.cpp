#include "platform/host/GammaRamp.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
QList<quint16> channel(float min, float max, float gamma, int size)
{
    QList<quint16> values(size);
    const double span = double(max) - double(min);
    // A gamma that is not a positive number would give NaN or infinities: take it as linear.
    const double g = std::isfinite(gamma) && gamma > 0 ? double(gamma) : 1.0;
    for (int i = 0; i < size; ++i) {
        const double x = double(i) / double(size - 1);
        double v = double(min) + span * std::pow(x, g);
        if (!std::isfinite(v))
            v = x;
        values[i] = quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
    }
    return values;
}
} // namespace

GammaRamp gammaRampForFormula(const TransferFormula &f, int size)
{
    if (!isUsableGammaRampSize(size))
        return {};
    return GammaRamp{channel(f.redMin, f.redMax, f.redGamma, size), channel(f.greenMin, f.greenMax, f.greenGamma, size),
                     channel(f.blueMin, f.blueMax, f.blueGamma, size)};
}

} // namespace qv
