// EDID decoding on real EDIDs and on damaged ones.
//
// The three real EDIDs are from the public linuxhw/EDID collection of EDIDs reported by
// Linux users (github.com/linuxhw/EDID), copied byte for byte:
//  - laptop panel: Digital/LG Display/LGD0211/3027345CE256, an LG Display LP140WH2-TLA2
//    14" 1366x768 panel (EDID 1.3, 2009), base block only;
//  - desktop monitor: Digital/Dell/DEL200B/1AFCD3FC51C8, a Dell D3218HN (EDID 1.3, 2018)
//    with a CTA-861 extension block;
//  - older monitor: Analog/AOC/AOC1619/AD6B0C3A0050, an AOC 1619w analog monitor (2008).

#include "platform/host/Edid.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', "").replace('\n', ""));
}

const QByteArray kLaptopPanel = hex(
    "00 ff ff ff ff ff ff 00 30 e4 11 02 00 00 00 00"
    "00 13 01 03 80 1f 11 78 0a 88 45 95 5a 56 8d 28"
    "23 50 54 00 00 00 01 01 01 01 01 01 01 01 01 01"
    "01 01 01 01 01 01 56 1d 56 c6 50 00 20 30 30 20"
    "35 00 36 ae 10 00 00 19 00 00 00 00 00 00 00 00"
    "00 00 00 00 00 00 00 00 00 00 00 00 00 fe 00 4c"
    "47 20 44 69 73 70 6c 61 79 0a 20 20 00 00 00 fc"
    "00 4c 50 31 34 30 57 48 32 2d 54 4c 41 32 00 28");

const QByteArray kDesktopMonitor = hex(
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

const QByteArray kOlderMonitor = hex(
    "00 ff ff ff ff ff ff 00 05 e3 19 16 28 06 00 00"
    "21 12 01 03 68 22 13 78 2a b3 70 a2 55 48 98 27"
    "15 50 54 bf ee 00 31 0a 61 4c 01 01 01 01 01 01"
    "01 01 01 01 01 01 66 21 56 a8 51 00 1e 30 45 8f"
    "3a 00 58 c2 10 00 00 1c 66 21 50 b0 51 00 1b 30"
    "40 70 36 00 22 13 00 00 00 1e 00 00 00 fd 00 37"
    "4b 1e 3c 08 00 0a 20 20 20 20 20 20 00 00 00 fc"
    "00 31 36 31 39 77 0a 20 20 20 20 20 20 20 00 23");

// A copy with bytes changed and the base block's checksum made right again.
QByteArray patched(QByteArray edid, std::initializer_list<std::pair<int, quint8>> changes)
{
    for (const auto &[index, value] : changes)
        edid[index] = char(value);
    quint8 sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = quint8(sum + quint8(edid[i]));
    edid[127] = char(quint8(256 - sum));
    return edid;
}

TEST(Edid, RealEdidsGiveTheNumbersAndNameTheDisplayServicesReport)
{
    const struct {
        const char *what;
        QByteArray edid;
        quint32 vendor, model, serial;
        const char *manufacturer, *name;
    } cases[] = {
        {"laptop panel", kLaptopPanel, 0x30e4, 0x0211, 0, "LGD", "LP140WH2-TLA2"},
        {"desktop monitor with a CTA extension", kDesktopMonitor, 0x10ac, 0x200b, 0x01010101, "DEL", "D3218HN"},
        {"older monitor", kOlderMonitor, 0x05e3, 0x1619, 0x00000628, "AOC", "1619w"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const EdidInfo info = decodeEdid(c.edid);
        EXPECT_TRUE(info.valid);
        EXPECT_EQ(info.vendor, c.vendor);
        EXPECT_EQ(info.model, c.model);
        EXPECT_EQ(info.serial, c.serial);
        EXPECT_EQ(info.manufacturer, QLatin1String(c.manufacturer));
        EXPECT_EQ(info.name, QLatin1String(c.name));
        EXPECT_TRUE(info.problem.isEmpty()) << qPrintable(info.problem);
    }
}

TEST(Edid, DamagedEdidsGiveADefinedAnswerAndAReason)
{
    QByteArray badChecksum = kDesktopMonitor;
    badChecksum[20] = char(quint8(badChecksum[20]) ^ 0x01);
    QByteArray badHeader = kOlderMonitor;
    badHeader[0] = 0x01;
    // The name descriptor's tag turned into an unused one: no name.
    const QByteArray noName = patched(kOlderMonitor, {{111, 0x10}});
    const struct {
        const char *what;
        QByteArray edid;
        bool valid;
        quint32 vendor;
        const char *name;
        const char *problem;
    } cases[] = {
        {"empty", {}, false, 0, "", "no EDID"},
        {"truncated", kLaptopPanel.left(100), false, 0, "", "truncated at 100 bytes"},
        {"bad checksum", badChecksum, false, 0, "", "checksum"},
        {"bad header", badHeader, false, 0, "", "header"},
        {"zero manufacturer", patched(kLaptopPanel, {{8, 0}, {9, 0}}), true, 0, "LP140WH2-TLA2", "without a manufacturer id"},
        {"letter out of range", patched(kLaptopPanel, {{8, 0x7f}, {9, 0xff}}), true, 0, "LP140WH2-TLA2", "garbled"},
        {"reserved bit set", patched(kDesktopMonitor, {{8, 0x90}}), true, 0, "D3218HN", "garbled"},
        {"no name descriptor", noName, true, 0x05e3, "", "without a monitor name"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const EdidInfo info = decodeEdid(c.edid);
        EXPECT_EQ(info.valid, c.valid);
        EXPECT_EQ(info.vendor, c.vendor);
        EXPECT_EQ(info.name, QLatin1String(c.name));
        EXPECT_TRUE(info.problem.contains(QLatin1String(c.problem))) << qPrintable(info.problem);
        if (!c.valid) {
            EXPECT_EQ(info.model, 0u);
            EXPECT_EQ(info.serial, 0u);
        }
    }
}

TEST(Edid, ANameWithBytesOutsidePrintableAsciiIsShownWithReplacements)
{
    // "1619w" with its second letter turned into a control byte.
    const EdidInfo info = decodeEdid(patched(kOlderMonitor, {{114, 0x07}}));
    EXPECT_EQ(info.name, QStringLiteral("1\uFFFD19w"));
}

} // namespace
} // namespace qv
