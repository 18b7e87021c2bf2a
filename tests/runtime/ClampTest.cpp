#include "runtime/Clamp.h"

#include <gtest/gtest.h>

#include <limits>

using qv::clamp01;
using qv::clampTo;

TEST(Clamp, LimitsToTheRangeAndTakesNotANumberAsTheLowerBound)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double value, lo, hi, expected;
    };
    const Row rows[] = {
        {0.5, 0.35, 0.82, 0.5},  {0.1, 0.35, 0.82, 0.35}, {0.9, 0.35, 0.82, 0.82},
        {inf, 0, 1.4, 1.4},      {-inf, 0, 1.4, 0},       {nan, 0.1, 1.0, 0.1},
        {0.1, 0.1, 1.0, 0.1},    {1.0, 0.1, 1.0, 1.0},
    };
    for (const Row &r : rows)
        EXPECT_EQ(clampTo(r.value, r.lo, r.hi), r.expected) << r.value << " in " << r.lo << "..." << r.hi;

    EXPECT_EQ(clamp01(nan), 0.0);
    EXPECT_EQ(clamp01(-0.2), 0.0);
    EXPECT_EQ(clamp01(1.7), 1.0);
    EXPECT_EQ(clamp01(0.25), 0.25);
}
