#include "platform/host/GammaRamp.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
// A channel's formula at x in 0..1: min + (max - min) * x^gamma, limited to 0..1.
double formulaValue(float min, float max, float gamma, double x)
{
    // A gamma that is not a positive number would give NaN or infinities: take it as linear.
    const double g = std::isfinite(gamma) && gamma > 0 ? double(gamma) : 1.0;
    const double v = double(min) + (double(max) - double(min)) * std::pow(x, g);
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : x;
}

QList<quint16> channel(float min, float max, float gamma, int size)
{
    QList<quint16> values(size);
    for (int i = 0; i < size; ++i)
        values[i] = quint16(std::lround(formulaValue(min, max, gamma, double(i) / double(size - 1)) * 65535.0));
    return values;
}

// The original read at the formula's value for each entry, in proportion between the two
// entries around it.
QList<quint16> channelOver(float min, float max, float gamma, const QList<quint16> &original)
{
    const int size = int(original.size());
    // A straight original is no calibration, and neither is a flat one (a server without
    // ramps, Xvfb, answers zeros): the formula's own ramp, to the bit.
    if (original.count(original.first()) == size || original == channel(0.0f, 1.0f, 1.0f, size))
        return channel(min, max, gamma, size);
    QList<quint16> values(size);
    for (int i = 0; i < size; ++i) {
        const double at = formulaValue(min, max, gamma, double(i) / double(size - 1)) * double(size - 1);
        const int below = std::min(int(at), size - 2);
        const double v = original[below] + (at - below) * (double(original[below + 1]) - double(original[below]));
        values[i] = quint16(std::lround(std::clamp(v, 0.0, 65535.0)));
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

GammaRamp gammaRampOverOriginal(const TransferFormula &f, const GammaRamp &original)
{
    const int size = original.size();
    if (!isUsableGammaRampSize(size) || original.green.size() != size || original.blue.size() != size)
        return {};
    return GammaRamp{channelOver(f.redMin, f.redMax, f.redGamma, original.red),
                     channelOver(f.greenMin, f.greenMax, f.greenGamma, original.green),
                     channelOver(f.blueMin, f.blueMax, f.blueGamma, original.blue)};
}

} // namespace qv
