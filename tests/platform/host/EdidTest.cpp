// EDID decoding on real EDIDs and on damaged ones.

#include "platform/host/Edid.h"
#include "support/RealEdids.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::kDesktopMonitor;
using test::kLaptopPanel;
using test::kOlderMonitor;

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

TEST(Edid, ANameWithBytesOutsidePrintableAsciiIsShownWithoutThem)
{
    // "1619w" with its second letter turned into a control byte, its third into a byte
    // above ASCII.
    const EdidInfo info = decodeEdid(patched(kOlderMonitor, {{114, 0x07}, {115, 0xe9}}));
    EXPECT_EQ(info.name, QStringLiteral("19w"));
}

// A display's id names the monitor: the same on any port, different for another monitor
// (the serial number's text counts too), never an X resource id.
TEST(Edid, TheDisplayIdFollowsTheMonitorNotThePort)
{
    const EdidInfo dell = decodeEdid(kDesktopMonitor);
    EXPECT_EQ(dell.serialText, QStringLiteral("X9R5K8864M1E"));
    const quint32 id = monitorDisplayId(dell, "DP-1");
    EXPECT_EQ(monitorDisplayId(dell, "HDMI-2"), id);
    // "X9R5K8864M1F": another monitor of the same model whose binary serial is the same.
    EXPECT_NE(monitorDisplayId(decodeEdid(patched(kDesktopMonitor, {{88, 'F'}})), "DP-1"), id);
    EXPECT_NE(monitorDisplayId(decodeEdid(patched(kDesktopMonitor, {{12, 0x02}})), "DP-1"), id);
    EXPECT_NE(monitorDisplayId(decodeEdid(kOlderMonitor), "DP-1"), id);
    // Without an EDID (or with one that names nothing) the output's name is all there is.
    const EdidInfo none = decodeEdid({});
    EXPECT_EQ(monitorDisplayId(none, "VGA-1"), monitorDisplayId(none, "VGA-1"));
    EXPECT_NE(monitorDisplayId(none, "VGA-1"), monitorDisplayId(none, "VGA-2"));
    EXPECT_EQ(monitorDisplayId(decodeEdid(patched(kLaptopPanel, {{8, 0}, {9, 0}, {10, 0}, {11, 0}})), "eDP-1"),
              monitorDisplayId(none, "eDP-1"));
    // Twins (monitors that cannot be told apart): each one's id also takes its port.
    const quint32 first = monitorDisplayId(dell, "DP-1", true), second = monitorDisplayId(dell, "HDMI-2", true);
    EXPECT_NE(first, id);
    EXPECT_NE(second, id);
    EXPECT_NE(first, second);
    EXPECT_EQ(monitorDisplayId(dell, "HDMI-2", true), second);
    for (const quint32 each : {id, first, second, monitorDisplayId(none, "VGA-1")})
        EXPECT_NE(each & 0x80000000u, 0u);
}

} // namespace
} // namespace qv
