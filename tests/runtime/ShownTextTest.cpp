#include "runtime/ShownText.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(ShownText, DirectionControlsAreDroppedAndEverythingElseStays)
{
    const struct {
        QString in, out;
    } cases[] = {
        {QStringLiteral("\u202Eevif"), QStringLiteral("evif")},
        {QStringLiteral("a\u202Ab\u202Bc\u202Cd\u202De"), QStringLiteral("abcde")},
        {QStringLiteral("\u2066x\u2067y\u2068z\u2069"), QStringLiteral("xyz")},
        // Neighbours of the ranges, marks and right-to-left letters are text.
        {QStringLiteral("\u2029\u202F\u2065\u206A\u200F\u05D0"), QStringLiteral("\u2029\u202F\u2065\u206A\u200F\u05D0")},
        {QString(), QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(showntext::inert(c.in), c.out) << c.in.toStdString();
}
