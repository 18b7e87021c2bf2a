#include "platform/Displays.h"
#include "platform/Host.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Screens.h"
#include "platform/Idle.h"
#include "platform/Power.h"
#include "platform/Workspace.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Files.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
        // Sizes, scales, frames and rates that no display has.
        {R"({"displays": [{"id": 1, "name": "A", "pixels": [-3840, 2160]}]})", "displays[0]: \"pixels\""},
        {R"({"displays": [{"id": 1, "name": "A", "pixels": [3840, 1e308]}]})", "displays[0]: \"pixels\""},
        {R"({"displays": [{"id": 1, "name": "A", "pixels": [3840.5, 2160]}]})", "displays[0]: \"pixels\""},
        {R"({"displays": [{"id": 1, "name": "A", "scale": 1e-300}]})", "displays[0]: \"scale\""},
        {R"({"displays": [{"id": 1, "name": "A", "scale": 1e308}]})", "displays[0]: \"scale\""},
        {R"({"displays": [{"id": 1, "name": "A", "scale": "2"}]})", "displays[0]: \"scale\""},
        {R"({"displays": [{"id": 1, "name": "A", "frame": [0, 0, -1728, 1117]}]})", "displays[0]: \"frame\""},
        {R"({"displays": [{"id": 1, "name": "A", "frame": [-1e308, 0, 1728, 1117]}]})", "displays[0]: \"frame\""},
        {R"({"displays": [{"id": 1, "name": "A", "frame": [0, 0, 1e308, 1117]}]})", "displays[0]: \"frame\""},
        {R"({"displays": [{"id": 1, "name": "A", "frame": [0, 0, "wide", 1117]}]})", "displays[0]: \"frame\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 1e308, "height": 5}]}]})",
         "displays[0].modes[0]: width and height"},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5, "pixelWidth": -10}]}]})",
         "displays[0].modes[0]: \"pixelWidth\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5, "refreshRate": 1e308}]}]})",
         "displays[0].modes[0]: \"refreshRate\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5, "refreshRate": -60}]}]})",
         "displays[0].modes[0]: \"refreshRate\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5, "ioFlags": -1}]}]})",
         "displays[0].modes[0]: \"ioFlags\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5}], "currentMode": -2}]})",
         "displays[0]: \"currentMode\""},
        {R"({"displays": [{"id": 1, "name": "A", "framebufferProperties": [1]}]})",
         "displays[0]: \"framebufferProperties\" must be an object"},
        {R"({"displays": [{"id": 1, "name": "A", "framebufferProperties": {"K": [true, null]}}]})",
         "displays[0].framebufferProperties.K[1]: null"},
        {R"({"displays": [{"id": 1, "name": "A", "framebufferProperties": {"K": {"$data": "%%"}}}]})",
         "displays[0].framebufferProperties.K: \"$data\" must be base64"},
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

TEST(MachineDescription, FaultsInAFileNameTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"displays": [{"id": 3, "name": "A", "modes": [{"width": 5, "height": 5, "refreshRate": 1e308}]}]})");
    file.close();
    QString error;
    EXPECT_EQ(SimulatedMac::fromFile(path, &error), nullptr);
    EXPECT_TRUE(error.startsWith(path + ": displays[0].modes[0]: \"refreshRate\"")) << error.toStdString();
}

TEST(MachineDescription, LimitsThemselvesAreAccepted)
{
    QString error;
    auto mac = SimulatedMac::fromDescription(R"json({"displays": [
        {"id": 1, "name": "A", "pixels": [32767, 1], "scale": 1, "frame": [-1000000, 1000000, 32767, 1],
         "modes": [{"width": 32767, "height": 1, "pixelWidth": 32767, "pixelHeight": 1, "refreshRate": 1000,
                    "ioFlags": 4294967295}, {"width": 1, "height": 1, "refreshRate": 0}],
         "currentMode": -1},
        {"id": 2, "name": "B", "scale": 4, "modes": [{"width": 8, "height": 8}], "currentMode": 0}]})json",
                                             &error);
    ASSERT_NE(mac, nullptr) << error.toStdString();
    const SimDisplay a = *mac->display(1);
    EXPECT_EQ(a.pixelsWide, 32767);
    EXPECT_EQ(a.frame, QRectF(-1000000, 1000000, 32767, 1));
    EXPECT_EQ(a.modes[0].refreshRate, 1000);
    EXPECT_EQ(a.modes[0].ioFlags, 4294967295u);
    EXPECT_EQ(a.currentMode, -1);
    EXPECT_EQ(mac->display(2)->backingScale, 4);
    EXPECT_EQ(mac->display(2)->modes[0].refreshRate, 60);
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

// A description gives framebuffer properties of every registry type; they come before the
// ones every framebuffer gets.
TEST(MachineDescription, FramebufferPropertiesKeepTheirTypes)
{
    QString error;
    auto mac = SimulatedMac::fromDescription(R"json({"displays": [{"id": 1, "name": "A", "builtIn": true,
        "framebufferProperties": {"enableDither": false, "Level": 2.5, "Name": "<b>x</b>", "Blob": {"$data": "AAE="},
                                  "List": [1, [2]], "Dict": {"a": {}}}}]})json",
                                             &error);
    ASSERT_NE(mac, nullptr) << error.toStdString();
    EXPECT_EQ(mac->framebufferProperty(1, "enableDither"), RegistryValue::boolean(false));
    EXPECT_EQ(mac->framebufferProperty(1, "Level"), RegistryValue::number(2.5));
    EXPECT_EQ(mac->framebufferProperty(1, "Name"), RegistryValue::string("<b>x</b>"));
    EXPECT_EQ(mac->framebufferProperty(1, "Blob"), RegistryValue::data(QByteArray("\x00\x01", 2)));
    EXPECT_EQ(mac->framebufferProperty(1, "List"),
              RegistryValue::array({RegistryValue::number(1), RegistryValue::array({RegistryValue::number(2)})}));
    EXPECT_EQ(mac->framebufferProperty(1, "Dict"), RegistryValue::dictionary({{"a", RegistryValue::dictionary({})}}));
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
    // The profiler names the panel's pixels; the display's size is the current mode's points.
    EXPECT_EQ(builtIn.value("_spdisplays_pixels").toString(), "3456 x 2234");
    EXPECT_EQ(mac->services().displays->pixelsWide(1), 1728);
    EXPECT_EQ(mac->services().displays->pixelsHigh(1), 1117);
    EXPECT_EQ(builtIn.value("spdisplays_connection_type").toString(), "spdisplays_internal");
    EXPECT_EQ(builtIn.value("spdisplays_main").toString(), "spdisplays_yes");
    EXPECT_EQ(displays[1].toObject().value("_spdisplays_displayID").toString(), "2");
    EXPECT_FALSE(mac->services().processes->run("/usr/bin/true", {}, 1000).started);
}

// Only a regular file of a bounded size is a description: a pipe with no writer, an
// endless device or a huge file are refused at once, by name.
TEST(MachineDescription, OnlyARegularFileOfBoundedSizeIsRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("machine.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath("huge.json");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qv::files::kMaxStoredFileBytes + 1)); // sparse
    }
    const struct {
        QString path;
        const char *why;
    } cases[] = {
        {fifo, "a pipe"},
        {QStringLiteral("/dev/zero"), "a device"},
        {QStringLiteral("/dev/urandom"), "a device"},
        {dir.path(), "a folder"},
        {huge, "more than"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString error;
        EXPECT_EQ(SimulatedMac::fromFile(c.path, &error), nullptr);
        EXPECT_TRUE(error.startsWith(c.path + ": ")) << error.toStdString();
        EXPECT_TRUE(error.contains(c.why)) << error.toStdString();
    }
}

TEST(MachineDescription, UnknownKeysAreNamedWithTheFile)
{
    const char *cases[][2] = {
        {R"({"displays": [], "batery": {}})", "unknown key \"batery\""},
        {R"({"displays": [{"id": 1, "name": "A", "pixel": [1, 1]}]})", "displays[0]: unknown key \"pixel\""},
        {R"({"displays": [{"id": 1, "name": "A", "modes": [{"width": 5, "height": 5, "hz": 60}]}]})",
         "displays[0].modes[0]: unknown key \"hz\""},
        {R"({"displays": [], "host": {"brand": "M9"}})", "host: unknown key \"brand\""},
        {R"({"displays": [], "camera": {"scrpt": "blinking"}})", "camera: unknown key \"scrpt\""},
        {R"({"displays": [], "battery": {"onBattery": true, "current": 5, "max": 9, "cycles": 3}})",
         "battery: unknown key \"cycles\""},
        {R"({"displays": [], "frontApplication": {"bundleID": "a.b"}})", "frontApplication: unknown key \"bundleID\""},
    };
    QTemporaryDir dir;
    for (const auto &[json, fault] : cases) {
        const QString path = dir.filePath("typo.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
        file.close();
        QString error;
        EXPECT_EQ(SimulatedMac::fromFile(path, &error), nullptr) << json;
        EXPECT_TRUE(error.startsWith(path + ": ")) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(fault))) << json << " -> " << error.toStdString();
    }
}

TEST(MachineDescription, ConditionsReachTheServices)
{
    auto mac = SimulatedMac::fromDescription(R"({"displays": [],
        "battery": {"onBattery": true, "current": 15, "max": 100}, "thermalState": "serious",
        "ambientLight": 12.5, "frontApplication": {"bundleIdentifier": "com.apple.dt.Xcode", "name": "Xcode"},
        "idleSeconds": 42})", nullptr);
    ASSERT_NE(mac, nullptr);
    const PlatformServices s = mac->services();
    EXPECT_EQ(s.power->battery(), (BatteryReading{true, 15, QString()}));
    EXPECT_EQ(s.power->thermalState(), ThermalState::Serious);
    EXPECT_EQ(s.idle->secondsSinceLastInputEvent(), 42);
    ASSERT_TRUE(s.workspace->frontmostApplication());
    EXPECT_EQ(s.workspace->frontmostApplication()->bundleIdentifier, "com.apple.dt.Xcode");
    const auto sensors = s.registry->matchingServices("AppleSPUVD6286");
    ASSERT_TRUE(sensors && sensors->size() == 1);
    EXPECT_EQ(s.registry->property(sensors->first(), "AmbientLightSensor").toNumber(), 12.5);

    // A second reading changes only what it names; null takes the battery and the front
    // application away.
    EXPECT_TRUE(mac->applyConditions(R"({"battery": null, "frontApplication": null, "ambientLight": 900})", nullptr));
    EXPECT_EQ(s.power->battery(), BatteryReading());
    EXPECT_FALSE(s.workspace->frontmostApplication());
    EXPECT_EQ(s.registry->property(sensors->first(), "AmbientLightSensor").toNumber(), 900);
    EXPECT_EQ(s.power->thermalState(), ThermalState::Serious);
    // The same application again is activated, not launched twice.
    EXPECT_TRUE(mac->applyConditions(R"({"frontApplication": {"bundleIdentifier": "com.apple.dt.Xcode", "name": "Xcode"}})", nullptr));
    EXPECT_EQ(s.workspace->runningApplications().size(), 1);
    EXPECT_TRUE(s.workspace->frontmostApplication());
}

TEST(MachineDescription, BadConditionsAreNamedAndChangeNothing)
{
    const char *cases[][2] = {
        {R"({"battery": {"onBattery": "yes", "current": 5, "max": 9}})", "\"onBattery\""},
        {R"({"battery": {"onBattery": true, "current": 5, "max": 0}})", "\"current\" and \"max\""},
        {R"({"battery": {"onBattery": true, "current": 5.5, "max": 10}})", "\"current\" and \"max\""},
        {R"({"battery": 15})", "\"battery\" must be an object"},
        {R"({"thermalState": "hot"})", "\"thermalState\""},
        {R"({"thermalState": 2})", "\"thermalState\""},
        {R"({"ambientLight": -1})", "\"ambientLight\""},
        {R"({"ambientLight": "bright"})", "\"ambientLight\""},
        {R"({"frontApplication": {}})", "frontApplication: give"},
        {R"({"frontApplication": {"name": 3}})", "frontApplication: \"name\" must be text"},
        {R"({"idleSeconds": 1e300})", "\"idleSeconds\""},
        {R"({"idleSeconds": 5, "display": []})", "unknown key \"display\""},
    };
    auto mac = SimulatedMac::standard();
    for (const auto &[json, fault] : cases) {
        QString error;
        EXPECT_FALSE(mac->applyConditions(json, &error)) << json;
        EXPECT_TRUE(error.contains(QString::fromUtf8(fault))) << json << " -> " << error.toStdString();
    }
    EXPECT_EQ(mac->idleSeconds(), 0);
    EXPECT_EQ(mac->thermalState(), ThermalState::Nominal);
}

TEST(MachineDescription, AChangedFileIsReadAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("machine.json");
    const auto write = [&](const QByteArray &json) {
        // Replaced by renaming, as an editor or an atomic write does.
        QFile file(path + ".new");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        file.close();
        ASSERT_TRUE(QFile::remove(path) || !QFile::exists(path));
        ASSERT_TRUE(QFile::rename(path + ".new", path));
    };
    write(R"({"displays": [], "idleSeconds": 1})");
    auto mac = SimulatedMac::fromFile(path, nullptr);
    ASSERT_NE(mac, nullptr);
    mac->followDescriptionFile(path);
    QSignalSpy thermal(mac->services().power, &Power::thermalStateChanged);
    QSignalSpy idle(mac->services().idle, &Idle::idleStarted);
    write(R"({"displays": [], "idleSeconds": 300, "thermalState": "critical"})");
    // Waits for the file-system notice (no fixed delay: the spy returns as it arrives).
    ASSERT_TRUE(thermal.wait(10000));
    EXPECT_EQ(mac->idleSeconds(), 300);
    EXPECT_EQ(mac->thermalState(), ThermalState::Critical);
    // A second replacement is seen as well: the watch follows the new file.
    write(R"({"displays": [], "idleSeconds": 5, "thermalState": "fair"})");
    ASSERT_TRUE(thermal.wait(10000));
    EXPECT_EQ(mac->idleSeconds(), 5);
    EXPECT_EQ(idle.size(), 2) << "each idle time read is told through the idle port";
}

TEST(SimulatedDefaults, GlobalDefaultsOutliveTheMachineInTheirFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("machine-defaults.json");
    {
        auto mac = SimulatedMac::standard();
        mac->keepGlobalDefaultsIn(path);
        mac->services().processes->run("/usr/bin/defaults",
                                       {"write", "-g", "CGFontRenderingFontSmoothingDisabled", "-bool", "NO"}, 1000);
    }
    auto next = SimulatedMac::standard();
    next->keepGlobalDefaultsIn(path);
    EXPECT_EQ(next->globalDefault("CGFontRenderingFontSmoothingDisabled"), QStringLiteral("0"));

    // A file that cannot be read is left as it is, whatever changes.
    for (const QByteArray &bad : {QByteArray("{"), QByteArray(R"({"Key": 1})"), QByteArray("[]")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bad);
        file.close();
        auto mac = SimulatedMac::standard();
        mac->keepGlobalDefaultsIn(path);
        mac->setGlobalDefault("Key", QStringLiteral("1"));
        EXPECT_EQ(mac->globalDefault("Key"), QStringLiteral("1"));
        QFile check(path);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), bad);
    }
}
