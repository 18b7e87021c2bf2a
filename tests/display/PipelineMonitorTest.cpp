#include "DisplayTestSupport.h"

#include "display/DisplayTuning.h"
#include "display/FontSmoothingController.h"
#include "display/PipelineMonitor.h"
#include "platform/Screens.h"
#include "platform/sim/SimWorkspace.h"

#include <QJsonDocument>

#include <cmath>

using namespace qv;
using namespace qv::test;

namespace {

using Severity = PipelineDriftItem::Severity;

PipelineDisplaySnapshot display(const QString &name, const QString &resolution = QStringLiteral("3024 x 1964"))
{
    return PipelineDisplaySnapshot{QStringLiteral("1-") + name, name, QStringLiteral("Built-in"),
                                   QStringLiteral("Internal"), resolution, true, true};
}

PipelineSnapshot snapshot(QList<PipelineDisplaySnapshot> displays = {display("Studio")})
{
    PipelineSnapshot s;
    s.capturedAt = QDateTime(QDate(2026, 3, 2), QTime(9, 0, 0, 250), Qt::UTC);
    s.macName = QStringLiteral("Ada's MacBook Pro");
    s.chipFamily = QStringLiteral("M3");
    s.displays = std::move(displays);
    s.brightness = 0.5;
    return s;
}

struct Drift {
    Severity severity;
    QString title;
    QString detail;
    bool operator==(const Drift &) const = default;
};

std::vector<Drift> drift(const PipelineSnapshot &current, const PipelineSnapshot &baseline)
{
    std::vector<Drift> out;
    for (const PipelineDriftItem &item : PipelineMonitor::driftItems(current, baseline))
        out.push_back({item.severity, item.title, item.detail});
    return out;
}

void PrintTo(const Drift &d, std::ostream *os)
{
    *os << int(d.severity) << " " << d.title.toStdString() << " / " << d.detail.toStdString();
}

} // namespace

class PipelineMonitorTest : public DisplayTest {
protected:
    void storeBaseline(const PipelineSnapshot &baseline)
    {
        defaults->setData(PipelineMonitor::kBaselineKey, baseline.encode());
    }
    // The shared engine with its list published, and the application's font smoothing.
    DisplayEngine &engine()
    {
        DisplayEngine &e = DisplayEngine::shared();
        runPending();
        return e;
    }
    FontSmoothingController fontSmoothing;
};

TEST_F(PipelineMonitorTest, SnapshotsSurviveTheStoredFormInFieldOrder)
{
    PipelineSnapshot s = snapshot({display("Studio"), display("Side", "1920 x 1080")});
    s.redModeEnabled = true;
    s.redModeIntensity = 0.35;
    s.fontSmoothingDisabled = true;
    const QByteArray bytes = s.encode();
    EXPECT_EQ(PipelineSnapshot::decode(bytes), s);
    EXPECT_TRUE(bytes.startsWith(R"({"capturedAt":)")) << bytes.constData();
    EXPECT_LT(bytes.indexOf("\"chipFamily\""), bytes.indexOf("\"displays\""));
    EXPECT_LT(bytes.indexOf("\"displays\""), bytes.indexOf("\"pwmAvoidanceEnabled\""));
    EXPECT_TRUE(bytes.endsWith(R"("fontSmoothingDisabled":true})"));
    EXPECT_EQ(QJsonDocument::fromJson(bytes).object(), s.toJson());
}

TEST_F(PipelineMonitorTest, AStoredBaselineIsReadStrictlyAndOnlyOnce)
{
    const QJsonObject good = snapshot().toJson();
    const auto without = [&](const QString &key) {
        QJsonObject o = good;
        o.remove(key);
        return QJsonDocument(o).toJson();
    };
    const auto with = [&](const QString &key, const QJsonValue &value) {
        QJsonObject o = good;
        o.insert(key, value);
        return QJsonDocument(o).toJson();
    };
    QJsonObject badDisplay = display("Studio").toJson();
    badDisplay.insert("ditheringEnabled", 1);
    const QByteArray unreadable[] = {
        with("pwmThresholdPercent", 1e21),
        with("pwmThresholdPercent", -500),
        with("pwmThresholdPercent", 100.5),
        with("brightness", 1.5),
        with("warmth", -0.1),
        with("redModeIntensity", 1e300),
        with("capturedAt", 252423993599.9996), // rounds to the year 10000
        without("fontSmoothingDisabled"),
        without("capturedAt"),
        with("brightness", "0.5"),
        with("capturedAt", "2026-03-02"),
        with("displays", QJsonArray{badDisplay}),
        with("displays", QJsonArray{1}),
        "[]",
        "{",
        "",
    };
    for (const QByteArray &bytes : unreadable) {
        SCOPED_TRACE(bytes.toStdString());
        EXPECT_FALSE(PipelineSnapshot::decode(bytes));
        defaults->setData(PipelineMonitor::kBaselineKey, bytes);
        restart();
        EXPECT_FALSE(PipelineMonitor::shared().hasBaseline());
        EXPECT_EQ(defaults->dataValue(PipelineMonitor::kBaselineKey), bytes) << "the stored value is left as it is";
        EXPECT_TRUE(logs->containsPart("PipelineMonitor", "cannot be read"));
    }
    defaults->setString(PipelineMonitor::kBaselineKey, QString::fromUtf8(QJsonDocument(good).toJson()));
    restart();
    EXPECT_FALSE(PipelineMonitor::shared().hasBaseline()) << "text is not data";

    storeBaseline(snapshot());
    restart();
    EXPECT_EQ(PipelineMonitor::shared().baseline(), snapshot());

    // The ends of every range are readable.
    QJsonObject edges = good;
    edges.insert("pwmThresholdPercent", 100);
    edges.insert("brightness", 0);
    edges.insert("warmth", 1.4);
    edges.insert("capturedAt", 252423993599.9994);
    EXPECT_TRUE(PipelineSnapshot::decode(QJsonDocument(edges).toJson()));
}

TEST_F(PipelineMonitorTest, AWronglyTypedGuardSwitchIsLogged)
{
    for (const QVariant &stored : {QVariant(QStringLiteral("true")), QVariant(1)}) {
        defaults->set(PipelineMonitor::kGuardKey, stored);
        restart();
        logs->clear();
        PipelineMonitor::shared();
        EXPECT_TRUE(logs->containsPart("PipelineMonitor", "pipeline.guardEnabled is not a Boolean"));
        EXPECT_FALSE(PipelineMonitor::shared().guardEnabled());
    }
    defaults->setBool(PipelineMonitor::kGuardKey, true);
    restart();
    logs->clear();
    EXPECT_TRUE(PipelineMonitor::shared().guardEnabled());
    EXPECT_FALSE(logs->containsPart("PipelineMonitor", "is not a Boolean"));
}

TEST_F(PipelineMonitorTest, TheCaptureReadsThePublishedState)
{
    mac->setHostName(std::nullopt);
    mac->setProcessorBrand(QStringLiteral("Apple M2 Pro"));
    restart();
    DisplayEngine &e = engine();
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setBrightness(0.8);
    tuning.setRedModeIntensity(0.7);
    tuning.setNoBlueModeEnabled(false);
    e.enablePWMAvoidance(0.35);
    runPending();

    PipelineMonitor monitor;
    PipelineSnapshot s = monitor.captureSnapshot();
    EXPECT_EQ(s.macName, "This Mac");
    EXPECT_EQ(s.chipFamily, "M2");
    EXPECT_EQ(s.capturedAt, clock->now());
    EXPECT_TRUE(s.pwmAvoidanceEnabled);
    EXPECT_DOUBLE_EQ(s.pwmThresholdPercent, 35.0);
    EXPECT_FALSE(s.redModeEnabled);
    EXPECT_EQ(s.redModeIntensity, 0) << "the intensity counts only while the red mode is on";
    ASSERT_EQ(s.displays.size(), e.connectedDisplays().size());
    for (qsizetype i = 0; i < s.displays.size(); ++i) {
        const DisplayInfo &info = e.connectedDisplays().at(i);
        EXPECT_EQ(s.displays[i].id, QString::number(info.id) + "-" + info.name);
        EXPECT_EQ(s.displays[i].role, info.isBuiltIn ? "Built-in" : "External");
    }

    // Font smoothing: the configured controller while it lives, else the stored default.
    defaults->setBool(FontSmoothingController::kKey, true);
    EXPECT_TRUE(monitor.captureSnapshot().fontSmoothingDisabled);
    monitor.configure(&e, &fontSmoothing);
    EXPECT_FALSE(monitor.captureSnapshot().fontSmoothingDisabled);

    useMachine(SimulatedMac::empty());
    PipelineMonitor bare;
    EXPECT_TRUE(bare.captureSnapshot().displays.isEmpty());
}

TEST_F(PipelineMonitorTest, ADisplayWithoutConnectionOrResolutionTextIsNamedSo)
{
    DisplayInfo info;
    info.id = 1;
    info.name = QStringLiteral("Studio");
    info.isBuiltIn = true;
    info.ditherEnabled = false;
    EXPECT_EQ(PipelineMonitor::displaySnapshot(info),
              (PipelineDisplaySnapshot{"1-Studio", "Studio", "Built-in", "Unknown connection", "Unknown resolution",
                                       false, true}));
    info.id = 4294967295u;
    info.isBuiltIn = false;
    info.connection = QStringLiteral("HDMI");
    info.resolution = QStringLiteral("2560 x 1440");
    const PipelineDisplaySnapshot external = PipelineMonitor::displaySnapshot(info);
    EXPECT_EQ(external.id, "4294967295-Studio");
    EXPECT_EQ(external.role, "External");
    EXPECT_EQ(external.connection, "HDMI");
    EXPECT_EQ(external.resolution, "2560 x 1440");
}

TEST_F(PipelineMonitorTest, DriftFollowsTheThresholdsWithTruncatedPercentages)
{
    const PipelineSnapshot saved = snapshot();
    struct Row {
        double brightness;
        std::vector<Drift> items;
    };
    const Row rows[] = {
        {0.50, {}},
        {0.53, {}},
        {0.55, {{Severity::notice, "Software brightness changed", "50% saved, 55% active"}}},
        {0.57, {{Severity::notice, "Software brightness changed", "50% saved, 56% active"}}}, // 56.99…
        {0.45, {{Severity::notice, "Software brightness changed", "50% saved, 45% active"}}},
        {std::nan(""), {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.brightness);
        PipelineSnapshot current = saved;
        current.brightness = row.brightness;
        EXPECT_EQ(drift(current, saved), row.items);
    }

    PipelineSnapshot current = saved;
    current.warmth = 0.049;
    current.highlightCompression = 0.05;
    current.redModeIntensity = 0.999;
    current.contrastReduction = 0.9; // not compared
    current.softWhite = 0.9;
    current.pwmThresholdPercent = 10;
    current.tuningEnabled = true;
    current.macName = "elsewhere";
    EXPECT_EQ(drift(current, saved), (std::vector<Drift>{
                                         {Severity::notice, "Highlight compression changed", "0% saved, 5% active"},
                                         {Severity::notice, "Red mode changed", "0% saved, 99% active"},
                                     }));
    EXPECT_TRUE(PipelineMonitor::driftItems(current, std::nullopt).isEmpty());
}

TEST_F(PipelineMonitorTest, DriftNamesDisplaySwitchesAndPairsDisplaysByName)
{
    PipelineDisplaySnapshot side = display("Side", "1920 x 1080");
    side.role = "External";
    const PipelineSnapshot saved = snapshot({display("Studio"), side});

    PipelineSnapshot current = snapshot({display("Studio")});
    EXPECT_EQ(drift(current, saved),
              (std::vector<Drift>{{Severity::important, "Display setup changed", "2 saved, 1 active."}}));

    // The same displays in another order: still paired by name.
    PipelineDisplaySnapshot sideNow = side;
    sideNow.resolution = "2560 x 1440";
    sideNow.ditheringEnabled = false;
    PipelineDisplaySnapshot studioNow = display("Studio");
    studioNow.uniformityEnabled = false;
    current = snapshot({sideNow, studioNow});
    current.pwmAvoidanceEnabled = true;
    current.fontSmoothingDisabled = true;
    EXPECT_EQ(drift(current, saved), (std::vector<Drift>{
                                         {Severity::important, "Display setup changed", "2 saved, 2 active."},
                                         {Severity::warning, "Side mode changed", "Internal, 2560 x 1440"},
                                         {Severity::important, "Dithering changed on Side", "Now off"},
                                         {Severity::notice, "Uniformity changed on Studio", "Now off"},
                                         {Severity::notice, "PWM-safe dimming changed", "Now on"},
                                         {Severity::notice, "Font smoothing changed", "Now off"},
                                     }));
    // Every item is new: two comparisons never give equal lists.
    EXPECT_NE(PipelineMonitor::driftItems(current, saved), PipelineMonitor::driftItems(current, saved));
}

TEST_F(PipelineMonitorTest, CloseRequestsMakeOneRefreshWithTheLastReason)
{
    PipelineMonitor monitor;
    monitor.scheduleRefresh("one");
    advance(50);
    monitor.scheduleRefresh("two");
    advance(50);
    monitor.scheduleRefresh("three");
    advance(179);
    EXPECT_EQ(monitor.refreshCount(), 0);
    advance(1);
    EXPECT_EQ(monitor.refreshCount(), 1);
    EXPECT_EQ(monitor.lastRefreshReason(), "three");
    EXPECT_EQ(monitor.lastCheckedAt(), clock->now());
    EXPECT_TRUE(monitor.hasCurrentSnapshot());
    EXPECT_TRUE(monitor.driftItems().isEmpty()) << "no baseline, no drift";
}

// A configured monitor refreshes once after configuring, then only when something
// happens: its own re-read of the displays publishes the same list again, which is no
// reason to look again.
TEST_F(PipelineMonitorTest, ASteadyMachineIsCheckedOnceAndABurstOfEventsOnce)
{
    DisplayEngine &e = engine();
    PipelineMonitor monitor;
    monitor.configure(&e, &fontSmoothing);
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), 1);
    EXPECT_EQ(monitor.lastRefreshReason(), "display list changed");
    const int profilerRuns = mac->processRunCount("/usr/bin/defaults");
    EXPECT_EQ(profilerRuns, 1) << "one font-smoothing read for the one refresh";

    // Twenty screen events within one second, then twenty changes of the front application.
    for (int i = 0; i < 20; ++i) {
        if (i % 2)
            emit platform().screens->parametersChanged();
        else
            mac->workspace().postScreensDidWake();
        advance(50);
    }
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), 2);
    EXPECT_EQ(monitor.lastRefreshReason(), "screen parameters changed");

    const qint64 editor = mac->workspace().launch(QStringLiteral("com.example.Editor"), QStringLiteral("Editor"), false);
    const qint64 mail = mac->workspace().launch(QStringLiteral("com.example.Mail"), QStringLiteral("Mail"), false);
    for (int i = 0; i < 20; ++i) {
        mac->workspace().activate(i % 2 ? editor : mail);
        advance(50);
    }
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), 3);
    EXPECT_EQ(monitor.lastRefreshReason(), "foreground app changed");

    // A real change of the display list is seen.
    mac->setFramebufferProperty(1, "enableDither", RegistryValue::boolean(false));
    e.refreshDisplays();
    advance(1000);
    EXPECT_EQ(monitor.refreshCount(), 4);
    EXPECT_EQ(monitor.lastRefreshReason(), "display list changed");
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), 4);

    // Configuring again replaces the triggers (no doubled refreshes) and looks once more.
    monitor.configure(&e, &fontSmoothing);
    monitor.configure(&e, &fontSmoothing);
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), 5);
}

TEST_F(PipelineMonitorTest, TheGuardRestoresOnceAndNeverForTheRestoreItself)
{
    DisplayEngine &e = engine();
    PipelineMonitor probe;
    probe.configure(&e, &fontSmoothing);
    PipelineSnapshot baseline = probe.captureSnapshot();
    // The comfortable state: PWM-safe dimming with a floor of 30 % and the brightness at 60 %.
    baseline.pwmAvoidanceEnabled = true;
    baseline.pwmThresholdPercent = 30;
    baseline.tuningEnabled = true;
    baseline.brightness = 0.6;
    storeBaseline(baseline);

    PipelineMonitor monitor;
    monitor.configure(&e, &fontSmoothing);
    defaults->setBool(PipelineMonitor::kGuardKey, true);
    EXPECT_TRUE(monitor.guardEnabled());

    // The reason "restore" publishes drift and restores nothing.
    monitor.refresh("restore");
    EXPECT_FALSE(monitor.driftItems().isEmpty());
    runPending();
    EXPECT_FALSE(e.pwmAvoidanceEnabled());

    // Any other reason restores; the engine's PWM hand-over lands first, the baseline's
    // tuning after it, so the one restore converges.
    monitor.refresh("wake");
    advance(1000);
    EXPECT_TRUE(e.pwmAvoidanceEnabled());
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.6);
    EXPECT_TRUE(DisplayTuning::shared().enabled());
    EXPECT_TRUE(monitor.driftItems().isEmpty());
    const int refreshes = monitor.refreshCount();
    advance(10 * 60 * 1000);
    EXPECT_EQ(monitor.refreshCount(), refreshes) << "nothing left to restore";
}

TEST_F(PipelineMonitorTest, ARestoreSwitchesProtectionsOnEveryFramebuffer)
{
    DisplayEngine &e = engine();
    PipelineMonitor probe;
    PipelineSnapshot baseline = probe.captureSnapshot();
    ASSERT_EQ(baseline.displays.size(), 2);
    baseline.displays[0].ditheringEnabled = true; // on for one, off for the other
    baseline.displays[1].ditheringEnabled = false;
    baseline.displays[0].uniformityEnabled = true; // on for the built-in one only
    baseline.displays[1].uniformityEnabled = false;
    storeBaseline(baseline);
    e.setDither(false, DisplayEngine::Target::all());
    e.applyProperties({{"uniformity2D", RegistryValue::boolean(false)}}, DisplayEngine::Target::all());
    ASSERT_FALSE(ditherOn(1));

    PipelineMonitor monitor;
    monitor.restoreBaseline(); // not configured: no engine to restore with
    EXPECT_FALSE(ditherOn(1));
    monitor.configure(&e, &fontSmoothing);
    monitor.restoreBaseline();
    for (DisplayId id : {DisplayId(1), DisplayId(2)}) {
        EXPECT_TRUE(ditherOn(id)) << id;
        EXPECT_TRUE(fb(id, "uniformity2D").toBool()) << id;
    }
}
