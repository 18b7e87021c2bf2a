#include "runtime/Color.h"

#include <QString>

namespace qv {

QColor Color::hex(QStringView text)
{
    auto alnum = [](QChar c) { return c.isLetterOrNumber(); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && !alnum(text[begin]))
        ++begin;
    while (end > begin && !alnum(text[end - 1]))
        --end;
    const QStringView digits = text.mid(begin, end - begin);

    // Scan as one hexadecimal number, the way a scanner does: an optional 0x / 0X prefix,
    // then leading hex digits; anything unscannable leaves 0. The prefix still counts
    // towards the length below.
    QStringView scanned = digits;
    if (scanned.size() > 2 && scanned[0] == u'0' && (scanned[1] == u'x' || scanned[1] == u'X'))
        scanned = scanned.mid(2);
    quint64 value = 0;
    qsizetype read = 0;
    for (QChar c : scanned) {
        const char16_t u = c.unicode();
        uint digit = 0;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else
            break;
        value = (value << 4) | digit;
        ++read;
    }
    if (read == 0)
        value = 0;

    auto byte = [value](int shift) { return double((value >> shift) & 0xff) / 255.0; };
    QColor colour;
    switch (digits.size()) {
    case 8:
        colour.setRgbF(float(byte(16)), float(byte(8)), float(byte(0)), float(byte(24)));
        break;
    case 6:
        colour.setRgbF(float(byte(16)), float(byte(8)), float(byte(0)), 1.0f);
        break;
    case 3:
        colour.setRgbF(float(((value >> 8) & 0xf) * 17 / 255.0), float(((value >> 4) & 0xf) * 17 / 255.0),
                       float((value & 0xf) * 17 / 255.0), 1.0f);
        break;
    default:
        colour.setRgbF(0, 0, 0, 1.0f);
        break;
    }
    return colour;
}

} // namespace qv
