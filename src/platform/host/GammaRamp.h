#pragma once

#include "platform/Types.h"

#include <QList>

namespace qv {

// One CRTC's gamma ramp: 16-bit values per channel, all three of the CRTC's size.
struct GammaRamp {
    QList<quint16> red, green, blue;

    int size() const { return int(red.size()); }
    bool operator==(const GammaRamp &) const = default;
};

// The largest ramp the protocol can carry (its size is a 16-bit count) and the smallest
// one a formula can be spread over.
inline constexpr int kMaxGammaRampSize = 65535;
inline constexpr int kMinGammaRampSize = 2;

inline bool isUsableGammaRampSize(int size)
{
    return size >= kMinGammaRampSize && size <= kMaxGammaRampSize;
}

// The ramp of a transfer formula at the given size: entry i of a channel is
// min + (max - min) * x^gamma with x = i / (size - 1), limited to 0..1 and scaled to
// 0..65535. An unusable size gives an empty ramp.
GammaRamp gammaRampForFormula(const TransferFormula &formula, int size);

// The ramp of a transfer formula laid over the ramp a CRTC held before our first write (a
// calibration loaded by colord or xcalib), at its size: entry i of a channel is the
// original read at the formula's value for i, in proportion between the two entries
// around it. A neutral formula gives the original back to the bit; a straight original
// gives gammaRampForFormula(), and so does a flat one (no calibration: what a server
// without ramps answers), channel by channel. An original of an unusable size, or of
// channels of different sizes, gives an empty ramp.
GammaRamp gammaRampOverOriginal(const TransferFormula &formula, const GammaRamp &original);

} // namespace qv
