#include "app/QuellvistaApp.h"

#include "comfort/AppAwareComfort.h"
#include "comfort/PresetManager.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "display/PipelineMonitor.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimCamera.h"
#include "platform/sim/SimPanels.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimWorkspace.h"
#include "runtime/Shared.h"
#include "runtime/TerminationSignals.h"
#include "wellness/BlinkDetector.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"
#include "wellness/SessionHistory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <future>
#include <thread>

using namespace qv;

namespace {

class QuellvistaAppTest : public test::QvTest {
protected:
    // The panels that catch clicks: the break panel (overlays let clicks through).
    int breakPanelCount() const
    {
        int count = 0;
        for (SimPanel *panel : mac->panels().visiblePanels())
            count += panel->configuration().ignoresMouseEvents ? 0 : 1;
        return count;
    }

    // The types of the events history.json holds, oldest first.
    static QStringList storedEventTypes()
    {
        QFile file(SessionHistory::defaultStorePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList types;
        for (const QJsonValue &event : QJsonDocument::fromJson(file.readAll()).array())
            types << event.toObject().value(QStringLiteral("type")).toString();
        return types;
    }
};

// With a stored work interval of one minute, a break comes due a minute after start, and
// its start and completion reach history.json.
TEST_F(QuellvistaAppTest, ABreakComesDueAfterTheStoredIntervalAndIsRecorded)
{
    defaults->setBool(QStringLiteral("breakReminderEnabled"), true);
    defaults->setInteger(QStringLiteral("workIntervalMinutes"), 1);
    defaults->setInteger(QStringLiteral("breakDurationSeconds"), 5);

    QuellvistaApp app;
    mac->workspace().finishLaunching();
    BreakReminder &reminder = app.breakReminder();
    ASSERT_TRUE(reminder.isEnabled());
    EXPECT_EQ(reminder.secondsUntilBreak(), 60);

    advance(59'000);
    EXPECT_FALSE(reminder.isOnBreak());
    EXPECT_TRUE(app.menuBarBlinker().active()) << "the eye pulses in the last minute";
    advance(1'000);
    EXPECT_TRUE(reminder.isOnBreak());
    EXPECT_EQ(breakPanelCount(), 1) << "the break shows its panel";
    runPending();
    EXPECT_EQ(storedEventTypes().join(u' '), QStringLiteral("activity breakStarted"))
        << "the first active minute, then the break";

    advance(5'000);
    runPending();
    EXPECT_FALSE(reminder.isOnBreak());
    EXPECT_EQ(reminder.totalBreaksTakenToday(), 1);
    EXPECT_EQ(breakPanelCount(), 0);
    EXPECT_EQ(storedEventTypes().join(u' '), QStringLiteral("activity breakStarted breakTaken"));
}

// A veil left on last time shows on every screen once launching finishes, not before.
TEST_F(QuellvistaAppTest, AStoredVeilShowsOnEveryScreenOnceLaunchingFinishes)
{
    defaults->setBool(QStringLiteral("comfortVeil.enabled"), true);
    defaults->setBool(QStringLiteral("comfortVeil.highlight.enabled"), true);
    defaults->setDouble(QStringLiteral("comfortVeil.highlight.amount"), 0.4);

    QuellvistaApp app;
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    mac->workspace().finishLaunching();
    runPending();

    const auto screens = platform().screens->screens();
    ASSERT_EQ(screens.size(), 2);
    ASSERT_EQ(mac->panels().visiblePanels().size(), screens.size());
    for (const ScreenInfo &screen : screens) {
        bool covered = false;
        for (SimPanel *panel : mac->panels().visiblePanels())
            covered = covered || panel->frame() == screen.frame;
        EXPECT_TRUE(covered) << qPrintable(screen.localizedName);
    }
}

// Start-up order: the tuning snapshot is the saved one, the stored switches reach the
// engine, and the launch action (run once, at the first showing of the window) applies the
// snapshot.
TEST_F(QuellvistaAppTest, StartUpTakesTheSavedSnapshotAndHandsOverTheSwitches)
{
    defaults->setDouble(QStringLiteral("pwmThreshold"), 0.5);
    defaults->setBool(QStringLiteral("pwmAvoidanceEnabled"), false);
    defaults->setBool(QStringLiteral("tuning.enabled"), true);
    defaults->setDouble(QStringLiteral("tuning.brightness"), 0.7);

    QuellvistaApp app;
    EXPECT_EQ(app.launchTuningSnapshot(), TuningStore::savedSnapshot());
    EXPECT_DOUBLE_EQ(app.launchTuningSnapshot().brightness, 0.7);
    EXPECT_DOUBLE_EQ(app.engine().pwmThresholdPercent(), 50.0);
    EXPECT_FALSE(app.engine().pwmAvoidanceEnabled());

    app.performLaunchSetup();
    runPending();
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.7);
    DisplayTuning::shared().setBrightness(0.9);
    app.performLaunchSetup();
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.9) << "showing the window again repeats nothing";
}

TEST_F(QuellvistaAppTest, TheCurrentApplicationIsKnownOnlyWhileItExists)
{
    EXPECT_EQ(QuellvistaApp::current(), nullptr);
    {
        QuellvistaApp app;
        EXPECT_EQ(QuellvistaApp::current(), &app);
    }
    EXPECT_EQ(QuellvistaApp::current(), nullptr);
}

// Start-up starts the update framework; no check runs until the user asks for one.
TEST_F(QuellvistaAppTest, StartUpStartsTheUpdaterWithoutChecking)
{
    EXPECT_FALSE(mac->updater().isStarted());
    QuellvistaApp app;
    EXPECT_TRUE(mac->updater().isStarted());
    EXPECT_EQ(mac->updater().checkCount(), 0);
    EXPECT_FALSE(app.appUpdater().isCheckingFeed());
    EXPECT_EQ(app.appUpdater().updateCheckMessage(), QString());
}

// The launch setup hooks up battery-aware dimming (only while its switch is on) and
// app-aware comfort (a preset for the front application, undone only while it stands).
TEST_F(QuellvistaAppTest, LaunchSetupHooksUpBatteryDimmingAndAppAwareComfort)
{
    defaults->setBool(QStringLiteral("batteryAwareDimEnabled"), true);
    defaults->setBool(QStringLiteral("appAwareComfortEnabled"), true);
    mac->workspace().launch(QStringLiteral("com.apple.dt.Xcode"), QStringLiteral("Xcode"));

    QuellvistaApp app;
    EXPECT_FALSE(app.pipelineMonitor().hasCurrentSnapshot());
    app.performLaunchSetup();
    advance(1'000);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::focus) << "the front application's preset";
    EXPECT_TRUE(app.pipelineMonitor().hasCurrentSnapshot()) << "the pipeline watch has looked";
    EXPECT_EQ(app.appAware().lastAppliedPreset, ComfortPreset::focus);

    mac->setPowerSources(RegistryValue::array({SimPower::batteryDescription(QStringLiteral("Battery Power"), 12, 100)}));
    advance(30'000);
    runPending();
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.7);
    EXPECT_TRUE(DisplayTuning::shared().enabled());

    // Switched off while its preset stands: back to Neutral.
    defaults->setBool(QStringLiteral("appAwareComfortEnabled"), false);
    advance(1'000);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::neutral);
    EXPECT_FALSE(app.appAware().lastAppliedPreset.has_value());
}

// A battery already low when the program starts dims at the launch setup, though the
// monitor read it before anyone listened; a dimming left by a run that quit puts its
// brightness back at a start on AC power, and a record of the wrong shape is dropped.
TEST_F(QuellvistaAppTest, BatteryStateFromBeforeTheStartIsActedOn)
{
    defaults->setBool(QStringLiteral("batteryAwareDimEnabled"), true);
    mac->setPowerSources(RegistryValue::array({SimPower::batteryDescription(QStringLiteral("Battery Power"), 15, 100)}));
    DisplayTuning &tuning = DisplayTuning::shared();
    {
        QuellvistaApp app;
        app.performLaunchSetup();
        runPending();
        EXPECT_DOUBLE_EQ(tuning.brightness(), 0.7);
    }
    ASSERT_TRUE(defaults->dictionaryValue(QStringLiteral("batteryDimming")));
    tuning.persistNow();
    mac->setPowerSources(RegistryValue::array({SimPower::batteryDescription(QStringLiteral("AC Power"), 15, 100)}));
    {
        QuellvistaApp app;
        app.performLaunchSetup();
        runPending();
        EXPECT_DOUBLE_EQ(tuning.brightness(), 1.0);
        EXPECT_FALSE(defaults->hasStoredValue(QStringLiteral("batteryDimming")));
    }
    defaults->set(QStringLiteral("batteryDimming"), QVariantMap{{QStringLiteral("brightnessBefore"), QStringLiteral("high")}});
    QuellvistaApp app;
    app.performLaunchSetup();
    runPending();
    EXPECT_FALSE(defaults->hasStoredValue(QStringLiteral("batteryDimming")));
}

// SIGTERM, SIGINT and SIGHUP come back as one call on the main thread, each time.
TEST(TerminationSignalsTest, RequestsArriveOnTheMainThread)
{
    QList<int> received;
    {
        TerminationSignals watcher([&received](int signal) { received << signal; });
        ASSERT_TRUE(watcher.isInstalled());
        TerminationSignals second([](int) {});
        EXPECT_FALSE(second.isInstalled()) << "one watcher at a time";
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            std::raise(signal);
            QCoreApplication::processEvents();
        }
    }
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGINT, SIGHUP}));
    TerminationSignals again([](int) {});
    EXPECT_TRUE(again.isInstalled()) << "the handlers can be taken again once released";
}

// A main thread that does not take a request in time (its event loop flooded) does not
// keep the process alive: the request goes to onStuck on the watcher's own thread. A
// watcher with a long grace goes at once.
TEST(TerminationSignalsTest, ARequestTheMainThreadDoesNotTakeGoesToTheWatchdog)
{
    std::promise<std::pair<int, std::thread::id>> stuck;
    {
        TerminationSignals watcher([](int) { ADD_FAILURE() << "taken on the main thread"; },
                                   [&stuck](int signal) { stuck.set_value({signal, std::this_thread::get_id()}); },
                                   std::chrono::milliseconds(20));
        std::raise(SIGTERM);
        auto called = stuck.get_future();
        ASSERT_EQ(called.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        const auto [signal, thread] = called.get();
        EXPECT_EQ(signal, SIGTERM);
        EXPECT_NE(thread, std::this_thread::get_id());
    }
    TerminationSignals patient([](int) {}, [](int) { ADD_FAILURE() << "stuck"; }, std::chrono::hours(1));
}

} // namespace

// The blink detector is the shared one, and a stored switch that is on starts it.
TEST_F(QuellvistaAppTest, AStoredBlinkSwitchStartsTheSharedDetector)
{
    defaults->setBool("blinkDetectionEnabled", true);
    QuellvistaApp app;
    EXPECT_EQ(&app.blinkDetector(), &BlinkDetector::shared());
    runPending();
    EXPECT_TRUE(app.blinkDetector().isActive());
    EXPECT_EQ(mac->camera().runningSessions(), 1);
}


// A targeted display starts with its own values, not the all-displays ones the launch puts
// back, whether they are stored under its monitor's id or still under its port's; a target
// not connected leaves all displays on their own values, which its set does not replace,
// also where the displays are known only after the start (a compositor answering late).
TEST_F(QuellvistaAppTest, ATargetedDisplayStartsWithItsOwnValues)
{
    struct Case {
        QString stored;
        bool late;
    };
    for (const auto &[stored, late] : {Case{"2", false}, Case{"66", false}, Case{"72", false}, Case{"72", true}}) {
        SCOPED_TRACE(qPrintable(stored + (late ? " known late" : "")));
        const bool connected = stored != QStringLiteral("72");
        resetSharedInstances();
        mac->updateDisplay(2, [](SimDisplay &d) { d.formerId = 66; });
        defaults->setBool(QStringLiteral("tuning.enabled"), true);
        defaults->setDouble(QStringLiteral("tuning.brightness"), 0.66);
        defaults->setInteger(TuningStore::selectedDisplayIDKey, stored.toLongLong());
        TuningValues own;
        own.brightness = 0.456;
        own.enabled = true;
        defaults->setData(TuningStore::perDisplayValuesKey,
                          QJsonDocument(QJsonObject{{stored, own.toJson()}}).toJson(QJsonDocument::Compact));
        const QList<SimDisplay> displays{*mac->display(1), *mac->display(2)};
        for (const SimDisplay &display : displays)
            if (late)
                mac->removeDisplay(display.id);
        QuellvistaApp app;
        for (const SimDisplay &display : displays)
            if (late)
                mac->addDisplay(display);
        app.performLaunchSetup();
        advance(2'000);
        DisplayTuning &tuning = DisplayTuning::shared();
        const TuningValues shown = connected ? own : tuning.globalValues();
        EXPECT_DOUBLE_EQ(tuning.brightness(), connected ? 0.456 : 0.66);
        EXPECT_DOUBLE_EQ(tuning.displayValues().value(connected ? 2 : 72).brightness, 0.456);
        EXPECT_DOUBLE_EQ(tuning.globalValues().brightness, 0.66);
        EXPECT_EQ(tuning.selectedDisplayID().has_value(), connected);
        ASSERT_TRUE(mac->formula(2));
        EXPECT_FLOAT_EQ(mac->formula(2)->redMax, tuningFormula::formula(shown, 0, false, false).redMax);
    }
}
