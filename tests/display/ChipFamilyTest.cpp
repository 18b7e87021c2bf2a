#include "display/ChipFamily.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(ChipFamily, NewestFamilyNamedWins)
{
    EXPECT_EQ(chipFamilyFromBrandString("Apple M2 Max"), ChipFamily::m2);
    EXPECT_EQ(chipFamilyFromBrandString("apple m1 and m3"), ChipFamily::m3);
    EXPECT_EQ(chipFamilyFromBrandString("Apple M5"), ChipFamily::m5);
    EXPECT_EQ(chipFamilyFromBrandString("Intel(R) Core(TM) i9"), ChipFamily::unknown);
    EXPECT_EQ(chipFamilyFromBrandString(""), ChipFamily::unknown);
    EXPECT_EQ(chipFamilyRawValue(ChipFamily::unknown), "Unknown");
}
