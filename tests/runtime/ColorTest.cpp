#include "runtime/Color.h"

#include <gtest/gtest.h>

using qv::Color;

namespace {
struct HexCase {
    const char *text;
    int r, g, b, a;
};

class ColorHex : public ::testing::TestWithParam<HexCase> {};

TEST_P(ColorHex, ParsesAsTheLengthSays)
{
    const HexCase c = GetParam();
    const QColor colour = Color::hex(QString::fromUtf8(c.text));
    EXPECT_EQ(colour.red(), c.r) << c.text;
    EXPECT_EQ(colour.green(), c.g) << c.text;
    EXPECT_EQ(colour.blue(), c.b) << c.text;
    EXPECT_EQ(colour.alpha(), c.a) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Lengths, ColorHex,
                         ::testing::Values(HexCase{"D86F98", 0xD8, 0x6F, 0x98, 255},
                                           HexCase{"#83b9bf", 0x83, 0xB9, 0xBF, 255},
                                           HexCase{"  #020303;", 0x02, 0x03, 0x03, 255},
                                           HexCase{"80FF0000", 0xFF, 0x00, 0x00, 0x80},
                                           HexCase{"F80", 0xFF, 0x88, 0x00, 255},
                                           HexCase{"abc", 0xAA, 0xBB, 0xCC, 255},
                                           HexCase{"12345", 0, 0, 0, 255},
                                           HexCase{"", 0, 0, 0, 255},
                                           HexCase{"1234567890", 0, 0, 0, 255},
                                           // Unscannable text counts as 0 ...
                                           HexCase{"zzzzzz", 0, 0, 0, 255},
                                           // ... and scanning stops at the first non-hex digit.
                                           HexCase{"12G456", 0x00, 0x00, 0x12, 255},
                                           HexCase{"GGGGGGGG", 0, 0, 0, 0},
                                           // A 0x prefix is read by the scanner but counts
                                           // towards the length: transparent white.
                                           HexCase{"0xFFFFFF", 0xFF, 0xFF, 0xFF, 0},
                                           // Inner spaces count; the scan stops at the first.
                                           HexCase{"FA F8 F5", 0x00, 0x00, 0xFA, 0}));
} // namespace
