#pragma once

// Three real EDIDs from the public linuxhw/EDID collection of EDIDs reported by Linux users
// (github.com/linuxhw/EDID), copied byte for byte:
//  - laptop panel: Digital/LG Display/LGD0211/3027345CE256, an LG Display LP140WH2-TLA2
//    14" 1366x768 panel (EDID 1.3, 2009), base block only;
//  - desktop monitor: Digital/Dell/DEL200B/1AFCD3FC51C8, a Dell D3218HN (EDID 1.3, 2018)
//    with a CTA-861 extension block;
//  - older monitor: Analog/AOC/AOC1619/AD6B0C3A0050, an AOC 1619w analog monitor (2008).

#include <QByteArray>

namespace qv::test {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', "").replace('\n', ""));
}

inline const QByteArray kLaptopPanel = hex(
    "00 ff ff ff ff ff ff 00 30 e4 11 02 00 00 00 00"
    "00 13 01 03 80 1f 11 78 0a 88 45 95 5a 56 8d 28"
    "23 50 54 00 00 00 01 01 01 01 01 01 01 01 01 01"
    "01 01 01 01 01 01 56 1d 56 c6 50 00 20 30 30 20"
    "35 00 36 ae 10 00 00 19 00 00 00 00 00 00 00 00"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 fe 00 4c"
    "47 20 44 69 73 70 6c 61 79 0a 20 20 00 00 00 fc"
    "00 4c 50 31 34 30 57 48 32 2d 54 4c 41 32 00 28");

inline const QByteArray kDesktopMonitor = hex(
    "00 ff ff ff ff ff ff 00 10 ac 0b 20 01 01 01 01"
    "20 1c 01 03 80 46 27 78 2a cd e5 a0 59 4e a1 25"
    "0e 50 54 a5 4b 00 71 4f 81 80 a9 c0 d1 c0 01 01"
    "01 01 01 01 01 01 02 3a 80 18 71 38 2d 40 58 2c"
    "45 00 ba 89 21 00 00 1e 00 00 00 ff 00 58 39 52"
    "35 4b 38 38 36 34 4d 31 45 0a 00 00 00 fc 00 44"
    "33 32 31 38 48 4e 0a 20 20 20 20 20 00 00 00 fd"
    "00 38 4c 1e 53 11 00 0a 20 20 20 20 20 20 01 ce"
    "02 03 1a b1 4f 90 05 04 03 02 07 06 1f 14 13 12"
    "11 16 15 01 65 03 0c 00 10 00 02 3a 80 18 71 38"
    "2d 40 58 2c 45 00 ba 89 21 00 00 1e 01 1d 80 18"
    "71 1c 16 20 58 2c 25 00 ba 89 21 00 00 9e 01 1d"
    "00 72 51 d0 1e 20 6e 28 55 00 ba 89 21 00 00 1e"
    "02 3a 80 d0 72 38 2d 40 10 2c 45 80 ba 89 21 00"
    "00 1e 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 42");

inline const QByteArray kOlderMonitor = hex(
    "00 ff ff ff ff ff ff 00 05 e3 19 16 28 06 00 00"
    "21 12 01 03 68 22 13 78 2a b3 70 a2 55 48 98 27"
    "15 50 54 bf ee 00 31 0a 61 4c 01 01 01 01 01 01"
    "01 01 01 01 01 01 66 21 56 a8 51 00 1e 30 45 8f"
    "3a 00 58 c2 10 00 00 1c 66 21 50 b0 51 00 1b 30"
    "40 70 36 00 22 13 00 00 00 1e 00 00 00 fd 00 37"
    "4b 1e 3c 08 00 0a 20 20 20 20 20 20 00 00 00 fc"
    "00 31 36 31 39 77 0a 20 20 20 20 20 20 20 00 23");

// The three in a list, for servers with several monitors.
inline const QByteArray kRealEdids[] = {kLaptopPanel, kDesktopMonitor, kOlderMonitor};

} // namespace qv::test
