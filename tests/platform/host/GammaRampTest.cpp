#include "platform/host/GammaRamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qv {
namespace {

TEST(GammaRamp, EntriesFollowMinPlusSpanTimesXToTheGamma)
{
    TransferFormula f;
    f.redMin = 0.1f;
    f.redMax = 0.9f;
    f.redGamma = 2.0f;
    f.greenMax = 0.5f;
    f.blueMin = 0.2f;
    f.blueMax = 0.2f;
    const GammaRamp ramp = gammaRampForFormula(f, 5);
    ASSERT_EQ(ramp.size(), 5);
    // x = 0.5: red 0.1 + 0.8 * 0.25 = 0.3 (in floats a hair under); green 0.25; blue flat at 0.2.
    EXPECT_EQ(ramp.red, (QList<quint16>{6554, 9830, 19660, 36044, 58981}));
    EXPECT_EQ(ramp.green, (QList<quint16>{0, 8192, 16384, 24576, 32768}));
    EXPECT_EQ(ramp.blue, (QList<quint16>{13107, 13107, 13107, 13107, 13107}));
}

TEST(GammaRamp, IdentityRunsTheWholeScaleAtEverySize)
{
    for (const int size : {2, 256, 1024, 4096, 65535}) {
        SCOPED_TRACE(size);
        const GammaRamp ramp = gammaRampForFormula(TransferFormula::identity(), size);
        ASSERT_EQ(ramp.size(), size);
        EXPECT_EQ(ramp.red.first(), 0);
        EXPECT_EQ(ramp.red.last(), 65535);
        EXPECT_EQ(ramp.blue[size / 2], quint16(std::lround(double(size / 2) / (size - 1) * 65535)));
    }
}

TEST(GammaRamp, UnusableSizesGiveNoRamp)
{
    for (const int size : {-1, 0, 1, 65536, 1 << 20}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(gammaRampForFormula(TransferFormula::identity(), size).size(), 0);
    }
}

TEST(GammaRamp, ValuesOutsideTheScaleAreLimitedAndABadGammaIsLinear)
{
    TransferFormula f;
    f.redMin = -0.5f;
    f.redMax = 1.5f;
    f.greenGamma = std::numeric_limits<float>::quiet_NaN();
    f.blueGamma = -1.0f;
    f.blueMax = std::numeric_limits<float>::infinity();
    const GammaRamp ramp = gammaRampForFormula(f, 3);
    EXPECT_EQ(ramp.red, (QList<quint16>{0, 32768, 65535}));
    EXPECT_EQ(ramp.green, (QList<quint16>{0, 32768, 65535}));
    EXPECT_EQ(ramp.blue.first(), 0);
    EXPECT_EQ(ramp.blue.last(), 65535);
}

// A formula reads the original ramp at its value: a neutral one gives any original back to
// the bit, and over a straight or flat original it is its own ramp, at every size.
TEST(GammaRamp, OverAnOriginalNeutralGivesItBackAndStraightGivesTheFormula)
{
    TransferFormula warm;
    warm.greenMax = 0.8f;
    warm.blueMax = 0.6f;
    warm.redGamma = 1.2f;
    for (const int size : {2, 3, 256, 1024, 4096, 65535}) {
        SCOPED_TRACE(size);
        GammaRamp calibration{QList<quint16>(size), QList<quint16>(size), QList<quint16>(size)};
        for (int i = 0; i < size; ++i) {
            const double x = double(i) / (size - 1);
            calibration.red[i] = quint16(std::lround(65535 * std::pow(x, 0.8)));
            calibration.green[i] = quint16(std::lround(1000 + 60000 * x));
            calibration.blue[i] = quint16(i % 2 ? 50000 : 20000); // no order to rely on
        }
        EXPECT_EQ(gammaRampOverOriginal(TransferFormula::identity(), calibration), calibration);
        const GammaRamp straight = gammaRampForFormula(TransferFormula::identity(), size);
        EXPECT_EQ(gammaRampOverOriginal(warm, straight), gammaRampForFormula(warm, size));
        const GammaRamp flat{QList<quint16>(size), QList<quint16>(size), QList<quint16>(size)}; // Xvfb's
        EXPECT_EQ(gammaRampOverOriginal(warm, flat), gammaRampForFormula(warm, size));
    }
}

TEST(GammaRamp, OverAnOriginalReadsBetweenItsEntries)
{
    TransferFormula f;
    f.redMax = 0.5f;    // 0, 0.25, 0.5
    f.greenGamma = 2.0f; // 0, 0.25, 1
    f.blueMin = 1.0f;   // white throughout
    const QList<quint16> original{0, 40000, 60000};
    const GammaRamp ramp = gammaRampOverOriginal(f, GammaRamp{original, original, original});
    EXPECT_EQ(ramp.red, (QList<quint16>{0, 20000, 40000}));
    EXPECT_EQ(ramp.green, (QList<quint16>{0, 20000, 60000}));
    EXPECT_EQ(ramp.blue, (QList<quint16>{60000, 60000, 60000}));
    EXPECT_EQ(gammaRampOverOriginal(f, GammaRamp{original, original, {0, 1}}).size(), 0);
    EXPECT_EQ(gammaRampOverOriginal(f, GammaRamp{{7}, {7}, {7}}).size(), 0);
}

} // namespace
} // namespace qv
