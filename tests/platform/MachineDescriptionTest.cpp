#include "platform/Displays.h"
#include "platform/Host.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Screens.h"
#include "platform/sim/SimulatedMac.h"

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv;

TEST(MachineDescription, FaultsAreNamed)
{
    struct Case {
        const char *json;
        const char *fault;
    } cases[] = {
        {"{", "not valid JSON"},
        {"[]", "must be a JSON object"},
        {R"({"displays": 3})", "\"displays\" must be a list"},
        {R"({"displays": [{"name": "A"}]})", "displays[0]: \"id\" is required"},
        {R"({"displays": [{"id": 1}]})", "displays[0]: \"name\" is required"},
        {R"({"displays": [{"id": -1, "name": "A"}]})", "\"id\" must be a whole number"},
        {R"({"displays": [{"id": 1, "name": "A"}, {"id": 1, "name": "B"}]})", "display id 1 is listed twice"},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 0, "height": 5}]}]})", "width and height"},
        {R"({"displays": [{"id": 1, "name": "A", "currentMode": 2}]})", "\"currentMode\""},
        {R"({"mainDisplay": 4, "displays": [{"id": 1, "name": "A"}]})", "\"mainDisplay\" 4"},
    };
    for (const Case &c : cases) {
        QString error;
        EXPECT_EQ(SimulatedMac::fromDescription(c.json, &error), nullptr) << c.json;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.fault))) << c.json << " -> " << error.toStdString();
    }
}

TEST(MachineDescription, MissingFileIsNamed)
{
    QString error;
    EXPECT_EQ(SimulatedMac::fromFile("/nonexistent/machine.json", &error), nullptr);
    EXPECT_TRUE(error.startsWith("/nonexistent/machine.json: "));
}

TEST(MachineDescription, SmallMachineWithSidecarAndNoBrand)
{
    QString error;
    auto mac = SimulatedMac::fromDescription(R"json({
        "host": {"processorBrand": null, "name": "Desk"},
        "displays": [
          {"id": 7, "name": "LG UltraFine", "vendor": 7789, "pixels": [3840, 2160],
           "modes": [{"width": 1920, "height": 1080, "pixelWidth": 3840, "pixelHeight": 2160, "refreshRate": 59.94}]},
          {"id": 9, "name": "Sidecar Display (iPad)", "virtual": true, "connection": "spdisplays_airplay"}
        ]})json",
                                             &error);
    ASSERT_NE(mac, nullptr) << error.toStdString();
    PlatformServices s = mac->services();
    EXPECT_EQ(s.host->processorBrandString(), std::nullopt);
    EXPECT_EQ(s.host->localizedHostName(), "Desk");
    EXPECT_EQ(s.displays->mainDisplay(), 7u);
    // Virtual displays have no framebuffer service.
    EXPECT_EQ(s.registry->matchingServices("IOMobileFramebufferAP")->size(), 1);
    EXPECT_EQ(s.displays->currentMode(7)->refreshRate, 59.94);
    EXPECT_EQ(s.displays->currentMode(9), std::nullopt);
    EXPECT_EQ(s.screens->screens().at(0).frame, QRectF(0, 0, 1920, 1080));
}

TEST(MachineDescription, ScreensFollowTheRealOnes)
{
    auto mac = SimulatedMac::standard();
    mac->layOverScreens({QRectF(0, 0, 1280, 800)});
    const auto screens = mac->services().screens->screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0].frame, QRectF(0, 0, 1280, 800));
    EXPECT_EQ(screens[1].frame, QRectF(1280, 0, 1920, 1080));
}

TEST(SimulatedProfiler, AnswersWithTheRealShape)
{
    auto mac = SimulatedMac::standard();
    const auto result =
        mac->services().processes->run("/usr/sbin/system_profiler", {"SPDisplaysDataType", "-json"}, 1000);
    ASSERT_TRUE(result.succeeded());
    const QJsonObject root = QJsonDocument::fromJson(result.standardOutput).object();
    const auto devices = root.value("SPDisplaysDataType").toArray();
    ASSERT_EQ(devices.size(), 1);
    const auto displays = devices[0].toObject().value("spdisplays_ndrvs").toArray();
    ASSERT_EQ(displays.size(), 2);
    const QJsonObject builtIn = displays[0].toObject();
    EXPECT_EQ(builtIn.value("_spdisplays_resolution").toString(), "1728 x 1117 @ 120.00Hz");
    EXPECT_EQ(builtIn.value("spdisplays_connection_type").toString(), "spdisplays_internal");
    EXPECT_EQ(builtIn.value("spdisplays_main").toString(), "spdisplays_yes");
    EXPECT_EQ(displays[1].toObject().value("_spdisplays_displayID").toString(), "2");
    EXPECT_FALSE(mac->services().processes->run("/usr/bin/true", {}, 1000).started);
}
