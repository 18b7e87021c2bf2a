#include "display/DisplayIdentity.h"

#include "platform/Platform.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <limits>

using namespace qv;
using Kind = DisplayIdentity::Kind;

namespace {

QByteArray profilerJson(const QString &entries)
{
    return QStringLiteral(R"({"SPDisplaysDataType":[{"_name":"Apple M3 Pro","spdisplays_ndrvs":[%1]}]})")
        .arg(entries)
        .toUtf8();
}

// Runs fn on a worker thread and waits for it: the provider only runs the profiler off
// the main thread.
template <typename Fn>
auto offMain(Fn fn)
{
    decltype(fn()) result;
    QThread *thread = QThread::create([&] { result = fn(); });
    thread->start();
    thread->wait();
    delete thread;
    return result;
}

class DisplayIdentityTest : public test::QvTest {};

TEST(DisplayIdentityKind, ClassificationRulesInOrder)
{
    struct Case {
        const char *name;
        std::optional<QString> connection;
        bool builtIn, isVirtual;
        Kind expected;
    } cases[] = {
        {"Sidecar iPad", std::nullopt, true, false, Kind::builtIn},
        {"iPad Pro", std::nullopt, false, true, Kind::sidecar},
        {"EPSON EB-W06", QString("HDMI"), false, false, Kind::projector},
        {"LG TV SSCR2", QString("HDMI"), false, false, Kind::television},
        {"LG UltraFine", QString("HDMI"), false, false, Kind::television}, // "lg " with its trailing blank
        {"LGUltraFine", QString("HDMI"), false, false, Kind::external},
        {"Living room TV", std::nullopt, false, false, Kind::television},
        {"AirPlay Display", std::nullopt, false, true, Kind::virtualDisplay},
        {"DELL U2723QE", QString("DisplayPort"), false, false, Kind::external},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DisplayIdentity::classify(c.name, c.connection, c.builtIn, c.isVirtual), c.expected) << c.name;
}

TEST(DisplayIdentityText, RefreshRatesConnectionsAndDetail)
{
    EXPECT_EQ(DisplayIdentity::refreshRateText(59.94), QStringLiteral("59.9 Hz"));
    EXPECT_EQ(DisplayIdentity::refreshRateText(60.02), QStringLiteral("60 Hz"));
    EXPECT_EQ(DisplayIdentity::refreshRateText(0), std::nullopt);
    EXPECT_EQ(DisplayIdentity::refreshRateText(1.0), std::nullopt);
    // Rates no display has give no text rather than a number that does not fit.
    EXPECT_EQ(DisplayIdentity::refreshRateText(1000), QStringLiteral("1000 Hz"));
    for (double absurd : {1000.5, 1e19, 1e308, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(DisplayIdentity::refreshRateText(absurd), std::nullopt) << absurd;

    EXPECT_EQ(DisplayIdentity::connectionText("spdisplays_hdmi"), "HDMI");
    EXPECT_EQ(DisplayIdentity::connectionText("spdisplays_usb-c"), "USB-C");
    EXPECT_EQ(DisplayIdentity::connectionText("spdisplays_dual_link"), "Dual Link");

    DisplayIdentity id;
    id.resolution = "1920 x 1080";
    id.pixels = "1920 x 1080";
    id.vendorID = QString::number(0x610, 16);
    EXPECT_EQ(id.detailText(), "Vendor 610");
    id.isMain = true;
    id.isVirtual = true;
    id.pixels = "3840 x 2160";
    id.serialNumber = "abc";
    EXPECT_EQ(id.detailText(), "Main - Virtual - Native 3840 x 2160 - Vendor 610 / Serial abc");
    EXPECT_EQ(DisplayIdentity().detailText(), "");
}

TEST(DisplayIdentityText, MiniLedTest)
{
    DisplayIdentity id;
    id.name = "Built-in Liquid Retina XDR Display";
    id.kind = Kind::builtIn;
    EXPECT_TRUE(id.isLikelyMiniLED());
    id.name = "DELL U2723QE";
    id.kind = Kind::external;
    EXPECT_FALSE(id.isLikelyMiniLED());
    id.name = "Pro Display XDR";
    EXPECT_TRUE(id.isLikelyMiniLED());
    id.name = "Anything";
    id.kind = Kind::sidecar;
    EXPECT_TRUE(id.isLikelyMiniLED());
}

TEST(IdentitySplit, FirstBuiltInIsTheBuiltInOneAndEveryOtherIsExternal)
{
    auto make = [](const QString &name, Kind kind) {
        DisplayIdentity d;
        d.name = name;
        d.kind = kind;
        return d;
    };
    const struct {
        const char *name;
        QList<DisplayIdentity> identities;
        QString builtIn; // empty: none
        QStringList external;
    } cases[] = {
        {"none", {}, "", {}},
        {"no built-in", {make("A", Kind::external), make("S", Kind::sidecar)}, "", {"A", "S"}},
        {"built-in after an external", {make("A", Kind::external), make("B", Kind::builtIn)}, "B", {"A"}},
        {"second built-in counts as external",
         {make("B1", Kind::builtIn), make("B2", Kind::builtIn), make("A", Kind::external)}, "B1", {"B2", "A"}},
    };
    for (const auto &c : cases) {
        const BuiltInAndExternalIdentities split = splitBuiltInAndExternal(c.identities);
        EXPECT_EQ(split.builtIn ? split.builtIn->name : QString(), c.builtIn) << c.name;
        QStringList external;
        for (const DisplayIdentity &d : split.external)
            external << d.name;
        EXPECT_EQ(external, c.external) << c.name;
    }
}

TEST(ProfilerOutput, ParsesEntriesAndToleratesMissingFields)
{
    const auto list = DisplayIdentityProvider::parseProfilerOutput(profilerJson(R"(
        {"_name":"Color LCD","_spdisplays_displayID":"1","_spdisplays_resolution":"1728 x 1117 @ 120.00Hz",
         "spdisplays_connection_type":"spdisplays_internal","_spdisplays_pixels":"3456 x 2234",
         "_spdisplays_display-vendor-id":"610","spdisplays_main":"spdisplays_yes","spdisplays_mirror":"spdisplays_off"},
        {"_spdisplays_CGSDID":"abc","_spdisplays_displayID":"7","spdisplays_resolution":"1920 x 1080 @ 59.94Hz",
         "spdisplays_connection_type":"spdisplays_dual_link","spdisplays_display_type":"x-built-in-y"},
        {"_name": 42, "_spdisplays_displayID": 3, "spdisplays_resolution": "2560 x 1440"},
        {"_spdisplays_CGSDID": null, "_spdisplays_displayID": "4"},
        {"_spdisplays_CGSDID": [5], "_spdisplays_displayID": "6"},
        {"_spdisplays_displayID": " 8"}, {"_spdisplays_displayID": "+9"}, {"_spdisplays_displayID": "-0"},
        {"_spdisplays_displayID": "4294967296"})"));
    ASSERT_EQ(list.size(), 9);
    EXPECT_EQ(list[0].name, "Color LCD");
    EXPECT_EQ(list[0].cgDisplayID, 1u);
    EXPECT_EQ(list[0].resolution, "1728 x 1117");
    EXPECT_EQ(list[0].refreshRate, "120 Hz");
    EXPECT_EQ(list[0].connection, "Internal");
    EXPECT_EQ(list[0].kind, Kind::builtIn);
    EXPECT_TRUE(list[0].isMain);
    // Letters in the CGSDID key mean no ID, even with a display ID present.
    EXPECT_EQ(list[1].cgDisplayID, std::nullopt);
    EXPECT_EQ(list[1].name, "Display");
    EXPECT_EQ(list[1].refreshRate, "59.94 Hz");
    EXPECT_EQ(list[1].connection, "Dual Link");
    EXPECT_EQ(list[1].kind, Kind::builtIn); // the display type says built-in
    // Numbers count as their decimal text.
    EXPECT_EQ(list[2].name, "42");
    EXPECT_EQ(list[2].cgDisplayID, 3u);
    EXPECT_EQ(list[2].resolution, "2560 x 1440");
    EXPECT_EQ(list[2].refreshRate, std::nullopt);
    // A CGSDID that is neither text nor a number counts as absent: the display ID stands in.
    EXPECT_EQ(list[3].cgDisplayID, 4u);
    EXPECT_EQ(list[4].cgDisplayID, 6u);
    // Integer parsing: a sign is allowed, blanks and numbers beyond 32 bits are not.
    EXPECT_EQ(list[5].cgDisplayID, std::nullopt);
    EXPECT_EQ(list[6].cgDisplayID, 9u);
    EXPECT_EQ(list[7].cgDisplayID, 0u);
    EXPECT_EQ(list[8].cgDisplayID, std::nullopt);
}

TEST(ProfilerOutput, GarbageGivesNothing)
{
    for (const char *text : {"", "not json", "[1,2]", R"({"SPDisplaysDataType":{}})", R"({"SPDisplaysDataType":[1]})",
                             R"({"other":[]})"})
        EXPECT_TRUE(DisplayIdentityProvider::parseProfilerOutput(text).isEmpty()) << text;
    // A device whose display list has the wrong type contributes nothing; the others count.
    const auto list = DisplayIdentityProvider::parseProfilerOutput(
        R"({"SPDisplaysDataType":[{"spdisplays_ndrvs":"x"},{"spdisplays_ndrvs":[{"_name":"A"}]},{}]})");
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, "A");
}

TEST(ProfilerOutput, AbsurdNumbersCountAsAbsent)
{
    const auto list = DisplayIdentityProvider::parseProfilerOutput(profilerJson(R"(
        {"_name": 1e308, "_spdisplays_displayID": 1e308, "_spdisplays_resolution": "1920 x 1080 @ 1e308Hz",
         "_spdisplays_display-vendor-id": -1e300, "_spdisplays_display-serial-number": 1e15},
        {"_spdisplays_displayID": -1e308, "_spdisplays_resolution": "1 x 1 @ 99999999999999999999999.00Hz"},
        {"_spdisplays_displayID": "18446744073709551617", "_spdisplays_resolution": "1 x 1 @ -60.00Hz"},
        {"_spdisplays_displayID": 5, "_spdisplays_resolution": "1 x 1 @ 1000.00Hz",
         "_spdisplays_display-serial-number": 999999999999999})"));
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0].name, "Display");
    EXPECT_EQ(list[0].cgDisplayID, std::nullopt);
    EXPECT_EQ(list[0].resolution, "1920 x 1080");
    EXPECT_EQ(list[0].refreshRate, std::nullopt);
    EXPECT_EQ(list[0].vendorID, std::nullopt);
    EXPECT_EQ(list[0].serialNumber, std::nullopt);
    EXPECT_EQ(list[1].cgDisplayID, std::nullopt);
    EXPECT_EQ(list[1].refreshRate, std::nullopt);
    EXPECT_EQ(list[2].cgDisplayID, std::nullopt);
    EXPECT_EQ(list[2].refreshRate, std::nullopt);
    // The largest credible values are kept.
    EXPECT_EQ(list[3].cgDisplayID, 5u);
    EXPECT_EQ(list[3].refreshRate, "1000 Hz");
    EXPECT_EQ(list[3].serialNumber, "999999999999999");
}

TEST(IdentityMerge, ProfilerReplacesMatchingScreensAndAddsOnlyVirtualExtras)
{
    auto make = [](std::optional<DisplayId> id, const QString &name, bool isVirtual = false) {
        DisplayIdentity d;
        d.cgDisplayID = id;
        d.name = name;
        d.isVirtual = isVirtual;
        return d;
    };
    const QList<DisplayIdentity> screens{make(1, "screen 1"), make(2, "screen 2")};
    const QList<DisplayIdentity> profiler{make(2, "profiler 2"), make(2, "profiler 2 again"), make(9, "AirPlay", true),
                                          make(std::nullopt, "Sidecar", true), make(8, "unplugged"),
                                          make(1, "virtual but on screen", true)};
    const auto merged = DisplayIdentityProvider::merge(profiler, screens);
    QStringList names;
    for (const auto &d : merged)
        names << d.name;
    EXPECT_EQ(names, (QStringList{"virtual but on screen", "profiler 2", "AirPlay", "Sidecar"}));
    // No screens: the profiler list as it is; no profiler: the screens.
    EXPECT_EQ(DisplayIdentityProvider::merge(profiler, {}), profiler);
    EXPECT_EQ(DisplayIdentityProvider::merge({}, screens), screens);
}

TEST_F(DisplayIdentityTest, ScreenIdentitiesOfTheStandardMachine)
{
    const auto list = DisplayIdentityProvider::screenIdentities();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].name, "Built-in Liquid Retina XDR Display");
    EXPECT_EQ(list[0].kind, Kind::builtIn);
    EXPECT_EQ(list[0].connection, "Internal");
    EXPECT_EQ(list[0].resolution, "1728 x 1117");
    EXPECT_EQ(list[0].refreshRate, "120 Hz");
    // The system gives a display's size in the current mode's points.
    EXPECT_EQ(list[0].pixels, "1728 x 1117");
    EXPECT_EQ(list[0].vendorID, "610");
    EXPECT_TRUE(list[0].isMain);
    EXPECT_TRUE(list[0].isLikelyMiniLED());
    EXPECT_EQ(list[1].kind, Kind::external);
    EXPECT_EQ(list[1].connection, std::nullopt);
    EXPECT_FALSE(list[1].isLikelyMiniLED());
}

TEST_F(DisplayIdentityTest, UnnamedScreensTakeTheirKindsDefaultName)
{
    mac->updateDisplay(1, [](SimDisplay &d) { d.name.clear(); });
    mac->updateDisplay(2, [](SimDisplay &d) {
        d.name.clear();
        d.vendor = 0;
        d.currentMode = -1;
    });
    const auto list = DisplayIdentityProvider::screenIdentities();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].name, "Built-in Display");
    EXPECT_EQ(list[0].connection, "Internal");
    EXPECT_EQ(list[1].name, "External Display");
    EXPECT_EQ(list[1].vendorID, std::nullopt);
    EXPECT_EQ(list[1].resolution, std::nullopt);
    EXPECT_EQ(list[1].refreshRate, std::nullopt);
}

TEST_F(DisplayIdentityTest, AbsurdModeRatesGiveNoRefreshText)
{
    // A machine description cannot carry such a rate, but the display service may report one.
    mac->updateDisplay(2, [](SimDisplay &d) { d.modes[d.currentMode].refreshRate = 1e308; });
    const auto list = DisplayIdentityProvider::screenIdentities();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].refreshRate, "120 Hz");
    EXPECT_EQ(list[1].resolution, "1920 x 1080");
    EXPECT_EQ(list[1].refreshRate, std::nullopt);
}

TEST_F(DisplayIdentityTest, MainThreadNeverRunsTheProfilerAndCachesTwentySeconds)
{
    auto &provider = DisplayIdentityProvider::shared();
    const auto first = provider.identities();
    EXPECT_EQ(mac->processRunCount("/usr/sbin/system_profiler"), 0);
    mac->updateDisplay(2, [](SimDisplay &d) { d.name = "Renamed"; });
    advance(19999);
    EXPECT_EQ(provider.identities(), first);
    advance(1);
    EXPECT_EQ(provider.identities()[1].name, "Renamed");
    mac->updateDisplay(2, [](SimDisplay &d) { d.name = "Again"; });
    EXPECT_EQ(provider.identities(true)[1].name, "Again");
}

TEST_F(DisplayIdentityTest, WorkerThreadMergesTheProfiler)
{
    SimDisplay sidecar;
    sidecar.id = 5;
    sidecar.name = "Sidecar Display";
    sidecar.isVirtual = true;
    sidecar.hasScreen = false;
    sidecar.hasFramebuffer = false;
    sidecar.connectionType = "spdisplays_airplay";
    mac->addDisplay(sidecar);
    const auto list = offMain([] { return DisplayIdentityProvider::shared().identities(true); });
    EXPECT_EQ(mac->processRunCount("/usr/sbin/system_profiler"), 1);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].name, "Color LCD"); // the profiler's name for the built-in display
    EXPECT_EQ(list[0].refreshRate, "120 Hz");
    EXPECT_EQ(list[1].name, "DELL U2723QE");
    EXPECT_EQ(list[1].connection, "DisplayPort");
    EXPECT_EQ(list[2].kind, Kind::sidecar);
    EXPECT_TRUE(list[2].isVirtual);
}

TEST_F(DisplayIdentityTest, FailingProfilerFallsBackToScreens)
{
    const auto screens = DisplayIdentityProvider::screenIdentities();
    struct Failure {
        const char *what;
        ProcessResult result;
    };
    ProcessResult notStarted;
    ProcessResult nonZero;
    nonZero.started = true;
    nonZero.exitCode = 1;
    ProcessResult timedOut;
    timedOut.started = true;
    timedOut.timedOut = true;
    ProcessResult garbage;
    garbage.started = true;
    garbage.exitCode = 0;
    garbage.standardOutput = "{\"SPDisplaysDataType\": 12";
    for (const Failure &f : {Failure{"not started", notStarted}, Failure{"non-zero", nonZero},
                             Failure{"timed out", timedOut}, Failure{"garbage", garbage}}) {
        mac->setProcessHandler("/usr/sbin/system_profiler", [r = f.result](const QStringList &) { return r; });
        logs->clear();
        const auto list = offMain([] { return DisplayIdentityProvider::shared().identities(true); });
        EXPECT_EQ(list, screens) << f.what;
        EXPECT_FALSE(logs->messages("DisplayIdentity").isEmpty()) << f.what;
    }
}

} // namespace
