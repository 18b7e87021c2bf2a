#include "pages/wellness/NumberText.h"

#include <gtest/gtest.h>

#include <limits>

using namespace qv::numbertext;

TEST(NumberText, WholeNumbersRoundHalvesAwayFromZeroAndShowTheDashForWhatCannotBeShown)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QString em(QChar(0x2014));
    const struct { double in; QString out; } cases[] = {
        {0.5, "1"},   {-0.5, "-1"},     {2.5, "3"},           {-2.5, "-3"},         {0.49, "0"},
        {-0.0, "0"},  {9.0e15, "9000000000000000"}, {-9.0e15, "-9000000000000000"}, {9.0e15 + 2, em},
        {1e300, em},  {nan, em},        {inf, em},            {-inf, em},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(wholeNumberText(c.in), c.out) << c.in;
        EXPECT_EQ(roundedHalfAway(c.in).has_value(), c.out != em) << c.in;
    }
}
