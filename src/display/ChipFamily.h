#pragma once

#include <QString>

namespace qv {

enum class ChipFamily { m1, m2, m3, m4, m5, unknown };

// "M1" ... "M5", "Unknown".
QString chipFamilyRawValue(ChipFamily family);
// The family named in a processor brand string ("Apple M2 Max" -> m2), newest first.
ChipFamily chipFamilyFromBrandString(const QString &brand);

} // namespace qv
