#pragma once

#include <QColor>
#include <QStringView>

namespace qv {

struct Color {
    // Parses hexadecimal colour text: non-alphanumeric characters are trimmed from both
    // ends, then 8 digits read as AARRGGBB, 6 as RRGGBB, 3 as RGB (each digit times 17);
    // any other length, or text that does not scan as one hexadecimal number (which
    // counts as 0), gives the colour of that number or opaque black. Never fails.
    static QColor hex(QStringView text);
};

} // namespace qv
