#include "pages/display_comfort/TuningRows.h"

#include <gtest/gtest.h>

#include <limits>

using namespace qv;

namespace {

const TuningPalette kPalette{Qt::blue, QColor("#b87333"), QColor("#c4623f"), QColor("#83b9bf"), Qt::darkGray,
                             Qt::gray};

TEST(TuningRows, PercentTextsTruncateAfterATinyEpsilon)
{
    struct Case {
        double fraction;
        const char *text;
    };
    const Case cases[] = {
        {0.29, "29%"},  {0.57, "57%"},  {0.58, "58%"}, {0.555, "55%"}, {0.999, "99%"}, {1.0, "100%"},
        {1.4, "140%"},  {2.0, "200%"},  {0.0, "0%"},   {0.03, "3%"},   {0.0299, "2%"}, {1.13, "113%"},
        {std::numeric_limits<double>::quiet_NaN(), "0%"}, {std::numeric_limits<double>::infinity(), "0%"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(percentText(c.fraction), QString::fromUtf8(c.text)) << c.fraction;
}

// The value texts at every boundary of the table.
TEST(TuningRows, ValueTextsAtTheirBoundaries)
{
    struct Case {
        TuningRow row;
        double value;
        const char *text;
    };
    const Case cases[] = {
        {TuningRow::brightness, 0.1, "10%"},
        {TuningRow::brightness, 0.555, "55%"},
        {TuningRow::brightness, 1.0, "100%"},
        {TuningRow::warmth, 0.0, "Neutral"},
        {TuningRow::warmth, 0.049, "Neutral"},
        {TuningRow::warmth, 0.05, "5%"},
        {TuningRow::warmth, 1.4, "140%"},
        {TuningRow::blackLift, 0.019, "Off"},
        {TuningRow::blackLift, 0.02, "5%"},
        {TuningRow::blackLift, 0.3, "75%"},
        {TuningRow::blackLift, 0.4, "100%"},
        {TuningRow::softWhites, 0.029, "Off"},
        {TuningRow::softWhites, 0.03, "3%"},
        {TuningRow::highlightCompression, 0.029, "Off"},
        {TuningRow::highlightCompression, 0.03, "3%"},
        {TuningRow::highlightCompression, 0.29, "29%"},
        {TuningRow::colorCalm, 0.029, "Off"},
        {TuningRow::colorCalm, 0.03, "3%"},
        {TuningRow::colorCalm, 1.0, "100%"},
        {TuningRow::colorCalm, 2.0, "200%"},
        {TuningRow::peripheralSoftening, 0.029, "Off"},
        {TuningRow::peripheralSoftening, 0.03, "3%"},
        {TuningRow::peripheralSoftening, 1.4, "140%"},
        {TuningRow::screenUniformity, 0.02, "Off"},
        {TuningRow::screenUniformity, 0.03, "3%"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tuningValueText(c.row, c.value), QString::fromUtf8(c.text)) << int(c.row) << " " << c.value;
}

TEST(TuningRows, AccentColoursByValueAndRedMode)
{
    struct Case {
        TuningRow row;
        double value;
        bool noBlue;
        QColor accent;
    };
    const Case cases[] = {
        {TuningRow::brightness, 0.5, true, kPalette.accentTint},
        {TuningRow::warmth, 1.0, false, kPalette.accentTint},
        {TuningRow::warmth, 1.05, false, kPalette.copper},
        {TuningRow::warmth, 0.0, true, kPalette.terracotta},
        {TuningRow::warmth, 1.3, true, kPalette.terracotta},
        {TuningRow::colorCalm, 1.0, false, kPalette.brandTeal},
        {TuningRow::colorCalm, 1.01, false, kPalette.terracotta},
        {TuningRow::peripheralSoftening, 1.0, false, kPalette.accentTint},
        {TuningRow::peripheralSoftening, 1.01, false, kPalette.terracotta},
        {TuningRow::screenUniformity, 1.0, true, kPalette.accentTint},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tuningAccent(c.row, c.value, c.noBlue, kPalette), c.accent) << int(c.row) << " " << c.value;
}

TEST(TuningRows, RedModeBlock)
{
    struct Case {
        bool noBlue;
        double intensity;
        double slider;
        const char *text;
        QColor colour;
        const char *accessible;
    };
    const Case cases[] = {
        {false, 1.0, 0, "Off", kPalette.textTertiary, "Off"},
        {false, 0.5, 0, "Off", kPalette.textTertiary, "Off"},
        {true, 0.5, 0.5, "50%", kPalette.terracotta, "50 percent"},
        {true, 0.02, 0.02, "2%", kPalette.textTertiary, "2 percent"},
        {true, 0.019, 0.019, "Off", kPalette.textTertiary, "Off"},
        {true, 0.29, 0.29, "29%", kPalette.terracotta, "29 percent"},
        {true, std::numeric_limits<double>::quiet_NaN(), 0, "Off", kPalette.textTertiary, "Off"},
        {true, 7, 1, "100%", kPalette.terracotta, "100 percent"},
    };
    for (const Case &c : cases) {
        const RedModeLook look = redModeLook(c.noBlue, c.intensity, kPalette);
        EXPECT_DOUBLE_EQ(look.sliderValue, c.slider) << c.intensity;
        EXPECT_EQ(look.valueText, QString::fromUtf8(c.text)) << c.intensity;
        EXPECT_EQ(look.valueColor, c.colour) << c.intensity;
        EXPECT_EQ(look.accessibleValue, QString::fromUtf8(c.accessible)) << c.intensity;
    }
}

// Values the slider cannot show land at its ends; not a number counts as the lower end.
TEST(TuningRows, SliderValuesStayWithinTheRowsRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_DOUBLE_EQ(sliderValue(TuningRow::brightness, 0), 0.1);
    EXPECT_DOUBLE_EQ(sliderValue(TuningRow::brightness, nan), 0.1);
    EXPECT_DOUBLE_EQ(sliderValue(TuningRow::colorCalm, 7), 2.0);
    EXPECT_DOUBLE_EQ(sliderValue(TuningRow::peripheralSoftening, -1), 0);
    EXPECT_DOUBLE_EQ(sliderValue(TuningRow::blackLift, std::numeric_limits<double>::infinity()), 0.4);
}

} // namespace
