#pragma once

#include <QString>

#include <optional>

// The number rules the wellness pages share: the placeholder of a missing value and the
// rounding of a shown whole number.
namespace qv::numbertext {

// The placeholder of a missing value: one em dash.
inline const QString &dash()
{
    static const QString text(QChar(0x2014));
    return text;
}

// Nearest integer, halves away from zero; none for a value that is not finite or does not
// fit.
std::optional<long long> roundedHalfAway(double value);

// A whole number as shown: rounded half away from zero; the dash for a value that is not a
// finite number or does not fit.
QString wholeNumberText(double value);

} // namespace qv::numbertext
