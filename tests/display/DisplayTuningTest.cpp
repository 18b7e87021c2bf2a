#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "platform/sim/SimWorkspace.h"
#include "runtime/Json.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::QvTest;
using test::kBuiltIn;
using test::kExternal;


class DisplayTuningTest : public QvTest {
protected:
    DisplayTuning &tuning() { return DisplayTuning::shared(); }

    // Counts the writes of one stored key.
    int writesOf(const QString &key, const std::function<void()> &during)
    {
        int writes = 0;
        auto c = QObject::connect(defaults.get(), &UserDefaults::valueChanged,
                                  [&](const QString &k) { writes += k == key; });
        during();
        QObject::disconnect(c);
        return writes;
    }

    QJsonObject storedPerDisplayMap()
    {
        const auto data = defaults->dataValue(TuningStore::perDisplayValuesKey);
        return data ? QJsonDocument::fromJson(*data).object() : QJsonObject();
    }
};

// ---- construction and persistence ----

TEST_F(DisplayTuningTest, LoadsStoredValuesWithTheirLimits)
{
    struct Case {
        const char *name;
        QVariantMap stored;
        double brightness, warmth, redModeIntensity;
        bool sidecarOverlay;
    };
    const Case cases[] = {
        {"empty", {}, 1.0, 0, 1.0, true},
        {"low brightness", {{"tuning.brightness", 0.05}}, 0.1, 0, 1.0, true},
        {"warmth and red beyond range",
         {{"tuning.warmth", 2.0}, {"tuning.redModeIntensity", 1.7}, {"tuning.sidecarOverlay", false}},
         1.0, 1.4, 1.0, false},
        {"in range", {{"tuning.brightness", 0.7}, {"tuning.warmth", 0.3}, {"tuning.redModeIntensity", 0.4}}, 0.7, 0.3,
         0.4, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &k : defaults->storedKeys())
            defaults->remove(k);
        for (auto it = c.stored.begin(); it != c.stored.end(); ++it)
            defaults->set(it.key(), it.value());
        restart();
        EXPECT_DOUBLE_EQ(tuning().brightness(), c.brightness);
        EXPECT_DOUBLE_EQ(tuning().warmth(), c.warmth);
        EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), c.redModeIntensity);
        EXPECT_EQ(tuning().sidecarOverlayEnabled(), c.sidecarOverlay);
        EXPECT_EQ(tuning().globalValues(), tuning().currentEditorValues());
        // The loading assignments ran their handlers: the switch is stored at once and
        // the loaded (limited) values are saved after the debounce.
        EXPECT_EQ(defaults->boolValue("tuning.sidecarOverlay"), c.sidecarOverlay);
        advance(TuningStore::persistenceDelayMs);
        EXPECT_EQ(defaults->doubleValue("tuning.brightness"), c.brightness);
        EXPECT_EQ(defaults->doubleValue("tuning.warmth"), c.warmth);
        EXPECT_EQ(defaults->doubleValue("tuning.redModeIntensity"), c.redModeIntensity);
    }
}

TEST_F(DisplayTuningTest, FirstLaunchStoresTheSwitchesAndSavesTheNeutralValues)
{
    // Restores seen when the Sidecar switch is written: the ones after it are its own
    // apply and those of the two loading steps that follow it (enabled, the warmth limit).
    std::optional<int> restoresAtSidecarWrite;
    QObject watch;
    QObject::connect(defaults.get(), &UserDefaults::valueChanged, &watch, [&](const QString &k) {
        if (k == "tuning.sidecarOverlay" && !restoresAtSidecarWrite)
            restoresAtSidecarWrite = mac->restoreCallCount();
    });
    tuning();
    ASSERT_TRUE(restoresAtSidecarWrite);
    EXPECT_EQ(mac->restoreCallCount() - *restoresAtSidecarWrite, 3);
    EXPECT_EQ(defaults->boolValue("tuning.sidecarOverlay"), true);

    EXPECT_FALSE(defaults->hasStoredValue("tuning.enabled"));
    advance(TuningStore::persistenceDelayMs);
    EXPECT_EQ(tuning().globalValues(), TuningValues::neutral());
    EXPECT_EQ(defaults->boolValue("tuning.enabled"), false);
    EXPECT_EQ(defaults->doubleValue("tuning.brightness"), 1.0);
    EXPECT_EQ(defaults->doubleValue("tuning.redModeIntensity"), 1.0);
    EXPECT_FALSE(defaults->hasStoredValue("tuning.perDisplayValues"));
}

TEST_F(DisplayTuningTest, ConstructionWithTuningOffRestoresAndWithTuningOnApplies)
{
    const int restores = mac->restoreCallCount();
    tuning();
    EXPECT_GT(mac->restoreCallCount(), restores);
    EXPECT_FALSE(mac->formula(kExternal));

    defaults->setBool("tuning.enabled", true);
    defaults->setDouble("tuning.brightness", 0.6);
    restart();
    tuning();
    ASSERT_TRUE(mac->formula(kExternal));
    EXPECT_FLOAT_EQ(mac->formula(kExternal)->blueMax, 0.6f);
}

TEST_F(DisplayTuningTest, StoredSwitchesTurnTuningOnOnTheWayButStoredEnabledWins)
{
    defaults->setBool("tuning.bloomGuard", true);
    defaults->setBool("tuning.noBlueMode", true);
    defaults->setDouble("tuning.redModeIntensity", 0.6);
    defaults->setBool("tuning.enabled", false);
    tuning();
    EXPECT_TRUE(tuning().bloomGuardEnabled());
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_FALSE(tuning().enabled());
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0.6);
}

TEST_F(DisplayTuningTest, TenChangesSaveOnceAfterTheLast)
{
    tuning();
    advance(1000); // the construction's own save
    const int writes = writesOf("tuning.brightness", [&] {
        for (int i = 1; i <= 10; ++i) {
            tuning().setBrightness(1.0 - i * 0.05);
            advance(100);
            EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.brightness"), 1.0) << i;
        }
        advance(149);
        EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.brightness"), 1.0);
        advance(1);
    });
    EXPECT_EQ(writes, 1);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.brightness"), 0.5);
}

TEST_F(DisplayTuningTest, TerminatingInsideTheWaitStillSaves)
{
    tuning();
    advance(1000);
    tuning().setWarmth(0.7);
    advance(100);
    EXPECT_TRUE(tuning().isPersistencePending());
    mac->workspace().postWillTerminate();
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.warmth"), 0.7);
    EXPECT_FALSE(tuning().isPersistencePending());
    EXPECT_FALSE(mac->formula(kBuiltIn)); // colour settings restored
    reloadDefaults();
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.warmth"), 0.7);
}

TEST_F(DisplayTuningTest, SelectedDisplayChangesOnlyItsOwnEntry)
{
    tuning().setWarmth(0.2);
    advance(300);
    tuning().selectTarget("2");
    // Picked for the first time: the entry is a copy of the global values, saved at once.
    ASSERT_TRUE(storedPerDisplayMap().contains("2"));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.2);
    EXPECT_EQ(defaults->integerValue("tuning.selectedDisplayID"), 2);

    tuning().setWarmth(0.9);
    advance(300);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.warmth"), 0.2);
    EXPECT_DOUBLE_EQ(storedPerDisplayMap()["2"].toObject()["warmth"].toDouble(), 0.9);
    EXPECT_DOUBLE_EQ(tuning().globalValues().warmth, 0.2);

    // A restart comes back to the same target and values.
    restart();
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(2));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.9);
    EXPECT_DOUBLE_EQ(tuning().globalValues().warmth, 0.2);
}

TEST_F(DisplayTuningTest, StoredSelectionWithoutEntryGetsACopyOfTheGlobalValues)
{
    defaults->setDouble("tuning.warmth", 0.5);
    defaults->setInteger("tuning.selectedDisplayID", 1);
    tuning();
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(1));
    ASSERT_TRUE(tuning().displayValues().contains(1));
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(1).warmth, 0.5);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.5);
}

TEST_F(DisplayTuningTest, SavedSelectionOutOfRangeMeansAllDisplays)
{
    for (const qint64 stored : {qint64(0), qint64(-4), qint64(0x1'0000'0000)}) {
        defaults->setInteger("tuning.selectedDisplayID", stored);
        EXPECT_FALSE(TuningStore::savedSelectedDisplayID()) << stored;
    }
}

TEST_F(DisplayTuningTest, PerDisplayMapIsReadEntryByEntry)
{
    TuningValues good;
    good.warmth = 0.4;
    good.enabled = true;
    QJsonObject missingMember = good.toJson();
    missingMember.remove("softWhite");
    QJsonObject mistyped = good.toJson();
    mistyped["enabled"] = 1;
    const QJsonObject map{{"2", good.toJson()}, {"5", missingMember}, {"6", mistyped}, {"screen", good.toJson()}};
    const QByteArray blob = json::encodeCompact(map);
    defaults->setData(TuningStore::perDisplayValuesKey, blob);

    tuning();
    EXPECT_EQ(tuning().displayValues().keys(), QList<DisplayId>{2});
    EXPECT_EQ(tuning().displayValues().value(2), good);
    EXPECT_TRUE(logs->contains("DisplayTuning", "Skipped unreadable tuning values for display 5"));
    EXPECT_TRUE(logs->contains("DisplayTuning", "Skipped unreadable tuning values for display screen"));

    // The first save keeps the original data aside before it writes the readable part.
    advance(300);
    EXPECT_EQ(defaults->dataValue(TuningStore::unreadablePerDisplayValuesKey), blob);
    EXPECT_EQ(storedPerDisplayMap().keys(), QStringList{"2"});
}

TEST_F(DisplayTuningTest, UnreadablePerDisplayDataIsKeptAside)
{
    struct Case {
        const char *name;
        QVariant stored;
    };
    const Case cases[] = {
        {"not JSON", QByteArray("{\"2\": {\"brightness\": ")},
        {"an array", QByteArray("[1,2]")},
        {"not data", QVariant(QStringLiteral("hello"))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->remove(TuningStore::unreadablePerDisplayValuesKey);
        defaults->set(TuningStore::perDisplayValuesKey, c.stored);
        restart();
        EXPECT_TRUE(tuning().displayValues().isEmpty());
        EXPECT_TRUE(logs->containsPart("DisplayTuning", "Could not read tuning.perDisplayValues"));
        tuning().persistNow();
        EXPECT_FALSE(defaults->object(TuningStore::perDisplayValuesKey).isValid());
        EXPECT_EQ(defaults->object(TuningStore::unreadablePerDisplayValuesKey), c.stored);
    }
}

TEST_F(DisplayTuningTest, ReadableMapRoundTripsAndTheLastEntryRemovesTheKey)
{
    tuning().selectTarget("1");
    tuning().setSoftWhite(0.3);
    tuning().persistNow();
    restart();
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(1).softWhite, 0.3);
    EXPECT_FALSE(defaults->object(TuningStore::unreadablePerDisplayValuesKey).isValid());

    tuning().resetAll();
    EXPECT_FALSE(defaults->object(TuningStore::perDisplayValuesKey).isValid());
    EXPECT_FALSE(defaults->object(TuningStore::selectedDisplayIDKey).isValid());
}

// ---- batching and the no-blue handlers ----

TEST_F(DisplayTuningTest, ABatchAppliesOnce)
{
    tuning().setEnabled(true);
    const int before = mac->formulaCallCount();
    tuning().batch([&] {
        tuning().setBrightness(0.9);
        tuning().setWarmth(0.3);
        tuning().setContrastReduction(0.1);
        tuning().setSoftWhite(0.2);
        tuning().setHighlightCompression(0.2);
        tuning().setNightModeEnabled(true);
        tuning().setRedModeIntensity(0.5);
        tuning().setNoBlueModeEnabled(true);
        tuning().setBloomGuardEnabled(true);
        tuning().setEnabled(true);
    });
    EXPECT_EQ(mac->formulaCallCount() - before, 2); // one apply: one call per display
    EXPECT_EQ(tuning().globalValues(), tuning().currentEditorValues());

    const int after = mac->formulaCallCount();
    tuning().batch([] {});
    EXPECT_EQ(mac->formulaCallCount(), after);
}

TEST_F(DisplayTuningTest, RedModeIntensityIsLimitedBeforeItIsStored)
{
    tuning().setNoBlueModeEnabled(true);
    QSignalSpy changes(&tuning(), &DisplayTuning::redModeIntensityChanged);
    tuning().setRedModeIntensity(1.5);
    EXPECT_EQ(changes.count(), 2); // the rejected value, then the limited one
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 1.0);
    EXPECT_DOUBLE_EQ(tuning().globalValues().redModeIntensity, 1.0);
    tuning().setRedModeIntensity(std::nan(""));
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 0.0);
}

TEST_F(DisplayTuningTest, NoBlueModeSwitchesTuningOnAndTracksTheIntensity)
{
    tuning().setRedModeIntensity(0.7);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0);
    tuning().setNoBlueModeEnabled(true);
    EXPECT_TRUE(tuning().enabled());
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0.7);
    tuning().setRedModeIntensity(0.4);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0.4);
    tuning().setNoBlueModeEnabled(false);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0);
    EXPECT_TRUE(tuning().enabled());
}

TEST_F(DisplayTuningTest, SetNoBlueIntensity)
{
    tuning().setNoBlueIntensity(0.6);
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_TRUE(tuning().enabled());
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 0.6);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0.6);
    TuningValues red;
    red.enabled = true;
    red.noBlueModeEnabled = true;
    red.redModeIntensity = 0.6;
    EXPECT_EQ(*mac->formula(kExternal), tuningFormula::formula(red, 0, false, false));

    tuning().setNoBlueIntensity(0.005);
    EXPECT_FALSE(tuning().noBlueModeEnabled());
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 1.0);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0);
    EXPECT_FALSE(tuning().isAnimatingNoBlueTransition());
}

// ---- the circadian transition ----

DisplayTuning::CircadianTarget noBluePhase()
{
    return {QStringLiteral("No blue"), {.brightness = 0.40, .warmth = 1.40, .contrastReduction = 0.10, .softWhite = 0.30,
                                        .highlightCompression = 0.22, .noBlueModeEnabled = true}};
}

DisplayTuning::CircadianTarget daylight()
{
    return {QStringLiteral("Daylight"), {.brightness = 0.96, .warmth = 0.08, .contrastReduction = 0.02, .softWhite = 0.06,
                                         .highlightCompression = 0.05}};
}

TEST_F(DisplayTuningTest, TransitionEasesInFortyEightStepsAndSettles)
{
    tuning().batch([&] {
        tuning().setBrightness(0.96);
        tuning().setWarmth(0.08);
    });
    tuning().applyCircadianTarget(noBluePhase());
    // Red mode and tuning switch on at the first moment.
    EXPECT_TRUE(tuning().enabled());
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 1.0);
    EXPECT_TRUE(tuning().isAnimatingNoBlueTransition());
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0); // the transition owns it

    const int before = mac->formulaCallCount();
    runPending(); // step 1
    const double t1 = 0.0012839988425925927;
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.96 + t1 * (0.40 - 0.96));
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), t1);
    EXPECT_EQ(mac->formulaCallCount() - before, 2);

    advance(18 * 23); // step 24: half-way
    EXPECT_NEAR(tuning().brightness(), 0.68, 1e-9);
    EXPECT_EQ(mac->formulaCallCount() - before, 2 * 24);

    advance(18 * 24); // step 48
    EXPECT_TRUE(tuning().isAnimatingNoBlueTransition());
    advance(18); // the settle
    EXPECT_FALSE(tuning().isAnimatingNoBlueTransition());
    EXPECT_FALSE(tuning().isNoBlueTransitionRunning());
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.40);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 1.40);
    EXPECT_DOUBLE_EQ(tuning().contrastReduction(), 0.10);
    EXPECT_DOUBLE_EQ(tuning().softWhite(), 0.30);
    EXPECT_DOUBLE_EQ(tuning().highlightCompression(), 0.22);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 1.0);
    EXPECT_EQ(tuning().globalValues(), tuning().currentEditorValues());
    EXPECT_EQ(*mac->formula(kExternal),
              tuningFormula::formula(tuning().globalValues(), 0, false, false));
    advance(1000);
    EXPECT_EQ(mac->formulaCallCount() - before, 2 * 49);
}

TEST_F(DisplayTuningTest, ReplacingATransitionStartsFromWhereItStoodAndKeepsAnimating)
{
    tuning().applyCircadianTarget(noBluePhase());
    runPending();
    advance(18 * 23); // half-way
    const double halfWay = tuning().brightness();
    tuning().applyCircadianTarget(daylight());
    EXPECT_TRUE(tuning().isAnimatingNoBlueTransition());
    EXPECT_FALSE(tuning().noBlueModeEnabled());
    runPending();
    // The second transition's first step eases from the half-way values.
    EXPECT_NEAR(tuning().brightness(), halfWay + 0.0012839988425925927 * (0.96 - halfWay), 1e-12);
    advance(18 * 5);
    EXPECT_TRUE(tuning().isAnimatingNoBlueTransition()); // not cleared by the cancelled one
    advance(2000);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.96);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0);
    EXPECT_FALSE(tuning().isAnimatingNoBlueTransition());
}

TEST_F(DisplayTuningTest, CancellingMidWayLeavesTheValuesWhereTheyStood)
{
    tuning().applyCircadianTarget(noBluePhase());
    runPending();
    advance(18 * 10);
    const double reached = tuning().brightness();
    tuning().setNoBlueIntensity(0.3);
    EXPECT_FALSE(tuning().isAnimatingNoBlueTransition());
    advance(2000);
    EXPECT_DOUBLE_EQ(tuning().brightness(), reached);
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0.3);
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 0.3);
}

TEST_F(DisplayTuningTest, CancellingDuringTheLastPauseDoesNotSettle)
{
    tuning().applyCircadianTarget(noBluePhase());
    runPending();
    advance(18 * 47); // step 48 done, the settle pending
    tuning().resetAll();
    advance(100);
    EXPECT_DOUBLE_EQ(tuning().brightness(), 1.0);
    EXPECT_FALSE(tuning().enabled());
    EXPECT_FALSE(tuning().isAnimatingNoBlueTransition());
}

TEST_F(DisplayTuningTest, StoredScheduleStartsATransitionAtConstruction)
{
    defaults->setBool("tuning.circadianSchedule", true);
    tuning();
    EXPECT_TRUE(tuning().enabled());
    EXPECT_TRUE(tuning().isNoBlueTransitionRunning());
    advance(1000);
    const auto phase = TuningSchedule::circadianTarget(clock->now());
    EXPECT_DOUBLE_EQ(tuning().brightness(), phase.values.brightness);
}

TEST_F(DisplayTuningTest, TimeZoneChangeReappliesThePhaseOnlyWhileTheScheduleIsOn)
{
    mac->workspace().postTimeZoneChanged();
    EXPECT_FALSE(tuning().isNoBlueTransitionRunning());
    tuning().setCircadianScheduleEnabled(true);
    mac->workspace().postTimeZoneChanged();
    EXPECT_TRUE(tuning().isNoBlueTransitionRunning());
    EXPECT_TRUE(tuning().enabled());
}

// ---- targets ----

TEST_F(DisplayTuningTest, SelectingTheSameTargetDoesNothing)
{
    tuning().selectTarget("2");
    const int formulas = mac->formulaCallCount(), restores = mac->restoreCallCount();
    tuning().selectTarget("+2");
    tuning().selectTarget("2");
    EXPECT_EQ(mac->formulaCallCount(), formulas);
    EXPECT_EQ(mac->restoreCallCount(), restores);
}

TEST_F(DisplayTuningTest, UnparsableTargetMeansAllDisplays)
{
    tuning().selectTarget("2");
    tuning().selectTarget("display-2");
    EXPECT_FALSE(tuning().selectedDisplayID());
    EXPECT_FALSE(defaults->object(TuningStore::selectedDisplayIDKey).isValid());
    EXPECT_EQ(tuning().selectedTargetName(), "All displays");
}

// The monitor being tuned is switched off and on again: while it is away all displays are
// selected (the card, the values and the stored selection agree) and its own set waits;
// back, it is the target again with its own formula.
TEST_F(DisplayTuningTest, AVanishedTargetLeavesAllDisplaysSelectedUntilItComesBack)
{
    tuning().setEnabled(true);
    tuning().setWarmth(0.1);
    tuning().selectTarget("2");
    tuning().setWarmth(0.8);
    const SimDisplay external = *mac->display(kExternal);
    const auto ownFormula = [&](const TuningValues &v, DisplayId d) {
        return tuningFormula::formula(v, 0, false, tuning().isMiniLEDDisplay(d));
    };

    mac->removeDisplay(kExternal);
    EXPECT_FALSE(tuning().selectedDisplayID());
    EXPECT_EQ(tuning().selectedTargetName(), "All displays");
    EXPECT_FALSE(defaults->object(TuningStore::selectedDisplayIDKey).isValid());
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.1);
    EXPECT_EQ(mac->formula(kBuiltIn), ownFormula(tuning().globalValues(), kBuiltIn));
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(kExternal).warmth, 0.8);

    mac->addDisplay(external);
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(kExternal));
    EXPECT_EQ(tuning().selectedTargetName(), "DELL U2723QE");
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.8);
    EXPECT_EQ(mac->formula(kExternal), ownFormula(tuning().displayValues().value(kExternal), kExternal));
    EXPECT_EQ(mac->formula(kBuiltIn), ownFormula(tuning().globalValues(), kBuiltIn));
}

// Values and a selection stored under the id a display had before ids followed the
// monitor move to its new id at the first start that finds it; an entry already under the
// new id wins, and entries of displays not found wait.
TEST_F(DisplayTuningTest, ValuesStoredUnderFormerIdsMoveToTheMonitorsId)
{
    mac->updateDisplay(kExternal, [](SimDisplay &d) { d.formerId = 66; });
    mac->updateDisplay(kBuiltIn, [](SimDisplay &d) { d.formerId = 65; });
    TuningValues port, newer, away;
    port.warmth = 0.6;
    newer.warmth = 0.2;
    away.warmth = 0.9;
    QJsonObject map{{"66", port.toJson()}, {"65", away.toJson()}, {"1", newer.toJson()}, {"67", away.toJson()}};
    defaults->setData(TuningStore::perDisplayValuesKey, json::encodeCompact(map));
    defaults->setInteger(TuningStore::selectedDisplayIDKey, 66);

    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(kExternal));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.6);
    EXPECT_EQ(defaults->integerValue(TuningStore::selectedDisplayIDKey), kExternal);
    const QJsonObject stored = storedPerDisplayMap();
    EXPECT_EQ(QStringList(stored.keys()), QStringList({"1", "2", "67"}));
    EXPECT_DOUBLE_EQ(stored.value("1").toObject().value("warmth").toDouble(), 0.2);
    EXPECT_TRUE(logs->contains("DisplayTuning", "Tuning values of display 66 now follow its monitor (2)"));
}

// Two twins (monitors told apart by their ports alone): the set and the selection stored
// under their monitor's own id, which earlier versions gave the first twin, go to the
// first twin; the set stays for the monitor alone, and a twin's own set is kept.
TEST_F(DisplayTuningTest, ATwinsSetStoredUnderItsMonitorsIdGoesToTheFirstTwin)
{
    mac->updateDisplay(kBuiltIn, [](SimDisplay &d) { d.loneId = 70; });
    mac->updateDisplay(kExternal, [](SimDisplay &d) { d.loneId = 70; });
    TuningValues alone, second;
    alone.warmth = 0.6;
    second.warmth = 0.2;
    const QJsonObject map{{"70", alone.toJson()}, {"2", second.toJson()}};
    defaults->setData(TuningStore::perDisplayValuesKey, json::encodeCompact(map));
    defaults->setInteger(TuningStore::selectedDisplayIDKey, 70);

    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(kBuiltIn));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.6);
    const QJsonObject stored = storedPerDisplayMap();
    EXPECT_EQ(QStringList(stored.keys()), QStringList({"1", "2", "70"}));
    EXPECT_DOUBLE_EQ(stored.value("2").toObject().value("warmth").toDouble(), 0.2);
}

// Twins parted while not running: the monitor left alone on its port starts on the set and
// the selection of its id as a twin there, not on a set kept for it alone before, and the
// picker names it. Joined again while not running, the twin with a set of its own keeps
// it and the first twin without one takes the monitor's, with the selection.
TEST_F(DisplayTuningTest, TwinsPartedOrJoinedWhileStoppedStartOnTheirOwnSets)
{
    mac->updateDisplay(kExternal, [](SimDisplay &d) { d.twinId = 72; });
    TuningValues own, other, earlier;
    own.warmth = 0.6;
    other.warmth = 0.3;
    earlier.warmth = 0.2;
    const QJsonObject map{{"72", own.toJson()}, {"71", other.toJson()}, {"2", earlier.toJson()}};
    defaults->setData(TuningStore::perDisplayValuesKey, json::encodeCompact(map));
    defaults->setInteger(TuningStore::selectedDisplayIDKey, 72);

    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(kExternal));
    EXPECT_EQ(tuning().selectedTargetId(), "2");
    EXPECT_NE(tuning().selectedTargetName(), "All displays");
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.6);
    EXPECT_EQ(QStringList(storedPerDisplayMap().keys()), QStringList({"2", "71"}));
    EXPECT_EQ(defaults->integerValue(TuningStore::selectedDisplayIDKey), kExternal);

    restart();
    SimDisplay twin = *mac->display(kExternal);
    twin.twinId.reset();
    twin.loneId = kExternal;
    mac->removeDisplay(kExternal);
    for (const DisplayId id : {71, 72}) {
        twin.id = id;
        mac->addDisplay(twin);
        twin.service = 0;
        twin.registryEntryID = 0;
        twin.entryName.clear();
    }
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(72));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.6);
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(71).warmth, 0.3);

    // The selected twin unplugged while not running: all displays are selected, the card
    // shows their set, and the twin's own set is kept.
    tuning().persistNow();
    restart();
    SimDisplay alone = *mac->display(71);
    alone.id = kExternal;
    alone.loneId.reset();
    alone.twinId = 71;
    mac->removeDisplay(72);
    mac->removeDisplay(71);
    mac->addDisplay(alone);
    EXPECT_FALSE(tuning().selectedDisplayID());
    EXPECT_EQ(tuning().selectedTargetName(), "All displays");
    EXPECT_DOUBLE_EQ(tuning().warmth(), tuning().globalValues().warmth);
    EXPECT_FALSE(defaults->object(TuningStore::selectedDisplayIDKey).isValid());
    EXPECT_DOUBLE_EQ(storedPerDisplayMap().value("72").toObject().value("warmth").toDouble(), 0.6);
}

// A twin of the selected monitor plugged in while running, and unplugged again: the
// monitor keeps its own values and the selection under its id with the port (the twin
// gets the all-displays set), and when the twin leaves, under its own id again with what
// it was given meanwhile; the picker lists what is connected at each step.
TEST_F(DisplayTuningTest, ATwinPluggedInAndOutWhileRunningLeavesTheMonitorItsOwnValues)
{
    tuning().setEnabled(true);
    tuning().setWarmth(0.1);
    tuning().selectTarget("2");
    tuning().setWarmth(0.6);
    const TuningValues global = tuning().globalValues();
    QSignalSpy targetsChanged(&tuning(), &DisplayTuning::targetsChanged);
    const auto targetIds = [&] {
        QStringList ids;
        for (const DisplayTuningTarget &target : tuning().availableTargets())
            ids << target.id;
        return ids;
    };
    const auto formulaOf = [&](const TuningValues &v, DisplayId d) {
        return tuningFormula::formula(v, 0, false, tuning().isMiniLEDDisplay(d));
    };
    ASSERT_TRUE(mac->display(kExternal));
    SimDisplay first = *mac->display(kExternal);
    first.id = 71;
    first.previousId = kExternal;
    first.loneId = kExternal;
    first.formula.reset();
    SimDisplay second = first;
    second.id = 72;
    second.previousId.reset();
    second.service = 0;
    second.registryEntryID = 0;
    second.entryName.clear();

    // The ids as the host gives them when the twin arrives: the monitor's id takes its port.
    mac->removeDisplay(kExternal);
    mac->addDisplay(first);
    mac->addDisplay(second);
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(71));
    EXPECT_EQ(defaults->integerValue(TuningStore::selectedDisplayIDKey), 71);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.6);
    EXPECT_EQ(targetIds(), QStringList({"all", "1", "71", "72"}));
    EXPECT_EQ(tuning().selectedTargetId(), "71");
    EXPECT_NE(tuning().selectedTargetName(), "All displays");
    EXPECT_EQ(mac->formula(71), formulaOf(tuning().displayValues().value(71), 71));
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(71).warmth, 0.6);
    tuning().apply(); // the re-apply after any reconfiguration
    EXPECT_EQ(mac->formula(72), formulaOf(global, 72));
    tuning().setWarmth(0.5);

    // The twin leaves: it is off the picker at once; the monitor has its own id again.
    mac->removeDisplay(72);
    EXPECT_EQ(targetIds(), QStringList({"all", "1", "71"}));
    SimDisplay alone = *mac->display(71);
    alone.id = kExternal;
    alone.previousId = 71;
    alone.loneId.reset();
    alone.formula.reset();
    mac->removeDisplay(71);
    mac->addDisplay(alone);
    EXPECT_EQ(tuning().selectedDisplayID(), std::optional<DisplayId>(kExternal));
    EXPECT_DOUBLE_EQ(tuning().warmth(), 0.5);
    EXPECT_EQ(targetIds(), QStringList({"all", "1", "2"}));
    EXPECT_EQ(mac->formula(kExternal), formulaOf(tuning().displayValues().value(kExternal), kExternal));
    EXPECT_DOUBLE_EQ(tuning().displayValues().value(kExternal).warmth, 0.5);
    EXPECT_FALSE(tuning().displayValues().contains(71)); // a later start alone takes no set of 71
    EXPECT_GE(targetsChanged.count(), 3);
    advance(TuningStore::persistenceDelayMs);
    EXPECT_DOUBLE_EQ(storedPerDisplayMap().value("2").toObject().value("warmth").toDouble(), 0.5);
    EXPECT_EQ(defaults->integerValue(TuningStore::selectedDisplayIDKey), kExternal);
}

// ---- snapshot and reset ----

TEST_F(DisplayTuningTest, SavedSnapshotReadsTheGlobalKeys)
{
    EXPECT_EQ(TuningStore::savedSnapshot(), TuningValues{});
    defaults->setDouble("tuning.brightness", 0);
    defaults->setDouble("tuning.redModeIntensity", 0);
    defaults->setBool("tuning.nightMode", true);
    defaults->setDouble("tuning.contrast", 0.9);
    const TuningValues s = TuningStore::savedSnapshot();
    EXPECT_EQ(s.brightness, 0);
    EXPECT_EQ(s.redModeIntensity, 0);
    EXPECT_TRUE(s.nightModeEnabled);
    EXPECT_EQ(s.contrastReduction, 0.9); // no clamping here
}

TEST_F(DisplayTuningTest, ApplySnapshotClampsAndAppliesOnce)
{
    tuning();
    TuningValues s;
    s.brightness = 0.05;
    s.warmth = 2.0;
    s.contrastReduction = 0.9;
    s.redModeIntensity = -1;
    s.enabled = true;
    const int before = mac->formulaCallCount();
    tuning().applySnapshot(s);
    EXPECT_EQ(mac->formulaCallCount() - before, 2);
    EXPECT_EQ(*mac->formula(kBuiltIn), tuningFormula::formula(tuning().globalValues(), 0, false, true));
    EXPECT_EQ(*mac->formula(kExternal), tuningFormula::formula(tuning().globalValues(), 0, false, false));
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.1);
    EXPECT_DOUBLE_EQ(tuning().warmth(), 1.4);
    EXPECT_DOUBLE_EQ(tuning().contrastReduction(), 0.4);
    EXPECT_DOUBLE_EQ(tuning().redModeIntensity(), 0);

    s.enabled = false;
    const int restores = mac->restoreCallCount();
    tuning().applySnapshot(s);
    EXPECT_EQ(mac->restoreCallCount() - restores, 2); // the apply, then the explicit restore
    EXPECT_FALSE(mac->formula(kBuiltIn));
    EXPECT_FALSE(SidecarComfortOverlayManager::shared().latestState());
}

TEST_F(DisplayTuningTest, ResetAllKeepsTheSidecarSwitch)
{
    tuning().setSidecarOverlayEnabled(false);
    tuning().selectTarget("1");
    tuning().setBrightness(0.5);
    tuning().setNoBlueIntensity(0.6);
    tuning().resetAll();
    EXPECT_FALSE(tuning().sidecarOverlayEnabled());
    EXPECT_TRUE(tuning().displayValues().isEmpty());
    EXPECT_FALSE(tuning().selectedDisplayID());
    EXPECT_EQ(tuning().currentEditorValues(), TuningValues::neutral());
    EXPECT_EQ(tuning().globalValues(), TuningValues::neutral());
    EXPECT_DOUBLE_EQ(tuning().noBlueIntensity(), 0);
    EXPECT_FALSE(tuning().bloomGuardAutoActive());
    EXPECT_FALSE(mac->formula(kBuiltIn));
    advance(300);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("tuning.brightness"), 1.0);
    EXPECT_EQ(defaults->boolValue("tuning.noBlueMode"), false);
}

} // namespace
} // namespace qv
