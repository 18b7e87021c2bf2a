#include "comfort/PresetManager.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "platform/sim/SimPanels.h"
#include "platform/sim/SimWorkspace.h"
#include "runtime/Json.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

using namespace qv;

namespace {

class PresetManagerTest : public test::QvTest {
protected:
    PresetManager &manager() { return PresetManager::shared(); }
    DisplayTuning &tuning() { return DisplayTuning::shared(); }
    ComfortVeilController &veil() { return ComfortVeilController::shared(); }
    // Lets a running transition finish.
    void settle() { advance(1000); }

    static QJsonObject record(const QString &name, const QString &id = QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        SavedComfortProfile p;
        p.id = *parseUuid(id);
        p.name = name;
        p.tuning.brightness = 0.7;
        p.tuning.warmth = 0.4;
        p.tuning.enabled = true;
        p.createdAt = QDateTime(QDate(2026, 1, 5), QTime(8, 0), Qt::UTC);
        return p.toJson();
    }
    static QByteArray data(const QJsonArray &array) { return QJsonDocument(array).toJson(QJsonDocument::Compact); }
    static QByteArray data(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }
};

} // namespace

TEST_F(PresetManagerTest, FirstStartUsesTheDefaultsAndWritesNothing)
{
    EXPECT_EQ(manager().activePreset(), ComfortPreset::neutral);
    EXPECT_FALSE(manager().activeSavedProfileID());
    EXPECT_EQ(manager().profileIntensity(), 0.65);
    EXPECT_EQ(manager().profileIntensityLabel(), "Strong");
    EXPECT_EQ(manager().menuBarPresets(), (QList<ComfortPreset>{ComfortPreset::focus, ComfortPreset::evening,
                                                               ComfortPreset::lowStimulus, ComfortPreset::pwmSafe}));
    EXPECT_EQ(manager().visiblePresets(), (QList<ComfortPreset>{ComfortPreset::focus, ComfortPreset::pwmSafe,
                                                               ComfortPreset::lowStimulus, ComfortPreset::evening}));
    EXPECT_EQ(manager().activeSelectionName(), "Neutral");
    runPending();
    EXPECT_TRUE(defaults->storedKeys().filter(QRegularExpression("^(activePreset|profileIntensity|comfortVeil\\.|favorite)")).isEmpty())
        << qPrintable(defaults->storedKeys().join(", "));
    EXPECT_TRUE(logs->messages("PresetManager").isEmpty());
}

TEST_F(PresetManagerTest, RestartLosesNothingAndKeepsTheActiveSelection)
{
    manager().setProfileIntensity(0.3);
    manager().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    const QUuid desk = manager().savedProfiles().first().id;
    manager().renamePreset(ComfortPreset::focus, QStringLiteral("Deep work"));
    manager().toggleFavorite(ComfortPreset::reading);
    manager().setHiddenDefaultPresetIDs({QStringLiteral("Evening")});
    manager().saveHiddenPresets();
    manager().saveCurrentToPreset(ComfortPreset::colorWork);
    manager().applyPreset(ComfortPreset::evening, true);
    settle();
    veil().setMicrotextureEnabled(true);
    const auto profiles = manager().savedProfiles();
    const auto custom = manager().customPresetProfiles();
    const auto favorites = manager().favoritePresetIDs();
    const double veilCalm = veil().colorCalm();
    defaults->sync();
    const QStringList keys = defaults->storedKeys();

    restart();
    EXPECT_EQ(manager().activePreset(), ComfortPreset::evening);
    EXPECT_FALSE(manager().activeSavedProfileID());
    EXPECT_EQ(manager().profileIntensity(), 0.3);
    EXPECT_EQ(manager().savedProfiles(), profiles);
    EXPECT_EQ(manager().favoriteSavedProfileIDs(), QSet<QUuid>{desk});
    EXPECT_EQ(manager().displayName(ComfortPreset::focus), "Deep work");
    EXPECT_EQ(manager().favoritePresetIDs(), favorites);
    EXPECT_TRUE(manager().favoritePresetIDs().contains("Reading"));
    EXPECT_EQ(manager().visiblePresets(),
              (QList<ComfortPreset>{ComfortPreset::focus, ComfortPreset::pwmSafe, ComfortPreset::lowStimulus}));
    EXPECT_EQ(manager().customPresetProfiles(), custom);
    EXPECT_EQ(defaults->stringValue(PresetManager::activePresetKey), "Evening");
    // The veil stays as it was: nothing is reset at start.
    EXPECT_TRUE(veil().microtextureEnabled());
    EXPECT_EQ(veil().colorCalm(), veilCalm);
    EXPECT_FALSE(manager().isTransitionRunning());
    EXPECT_EQ(defaults->storedKeys(), keys);

    // A saved profile that was active is active again after a restart.
    manager().applySavedProfile(*manager().savedProfile(desk), false);
    restart();
    EXPECT_EQ(manager().activeSavedProfileID(), desk);
    EXPECT_EQ(manager().activeSelectionName(), "Desk");

    // Renamed while active, it is still the active one after the next restart; renaming
    // another profile leaves the stored selection alone.
    manager().saveCurrentAsNewProfile(QStringLiteral("Sofa"));
    const QUuid sofa = manager().savedProfiles().last().id;
    manager().applySavedProfile(*manager().savedProfile(desk), false);
    manager().renameSavedProfile(sofa, QStringLiteral("Couch"));
    EXPECT_EQ(defaults->stringValue(PresetManager::activePresetKey), "Desk");
    manager().renameSavedProfile(desk, QStringLiteral("Standing desk"));
    EXPECT_EQ(defaults->stringValue(PresetManager::activePresetKey), "Standing desk");
    restart();
    EXPECT_EQ(manager().activeSavedProfileID(), desk);
    EXPECT_EQ(manager().activeSelectionName(), "Standing desk");
}

TEST_F(PresetManagerTest, StoredListsResolveEarlierIdentifiers)
{
    defaults->set("favoriteComfortPresets", QVariantList{"Night", "Coding", "Unknown"});
    defaults->set("hiddenDefaultComfortPresets", QVariantList{"Deep focus", 4});
    defaults->set("favoriteSavedComfortProfiles", QVariantList{"not-a-uuid", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"});
    defaults->set("activePreset", "Night");
    EXPECT_EQ(manager().favoritePresetIDs(), (QSet<QString>{"Evening", "Focus"}));
    EXPECT_EQ(manager().hiddenDefaultPresetIDs(), QSet<QString>{"Focus"});
    EXPECT_EQ(manager().favoriteSavedProfileIDs().size(), 1);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::evening);
    EXPECT_EQ(defaults->arrayValue("favoriteComfortPresets")->size(), 3) << "not rewritten";
}

TEST_F(PresetManagerTest, RenameRules)
{
    const struct {
        const char *name;
        std::optional<QString> stored;
        const char *shown;
    } cases[] = {
        {" Night shift \n", QStringLiteral("Night shift"), "Night shift"},
        {"PWM-safe", std::nullopt, "PWM-Safe"}, // the raw value removes the rename
        {"  ", std::nullopt, "PWM-Safe"},
        {"PWM-Safe", QStringLiteral("PWM-Safe"), "PWM-Safe"}, // the title differs from the raw value
        // Cut to the longest name kept, and trimmed again after the cut.
        {"  aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa bcdef", QString(63, u'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    };
    for (const auto &c : cases) {
        manager().renamePreset(ComfortPreset::pwmSafe, QStringLiteral("Old"));
        manager().renamePreset(ComfortPreset::pwmSafe, QString::fromUtf8(c.name));
        const auto it = manager().renamedPresetNames().find("PWM-safe");
        EXPECT_EQ(it == manager().renamedPresetNames().end() ? std::nullopt : std::optional<QString>(*it), c.stored)
            << c.name;
        EXPECT_EQ(manager().displayName(ComfortPreset::pwmSafe), QString::fromUtf8(c.shown));
        const auto stored = QJsonDocument::fromJson(*defaults->dataValue("renamedComfortPresets")).object();
        EXPECT_EQ(stored.contains("PWM-safe"), c.stored.has_value());
    }
    manager().renamePreset(ComfortPreset::focus, QStringLiteral("Coding"));
    manager().resetName(ComfortPreset::focus);
    EXPECT_EQ(manager().displayName(ComfortPreset::focus), "Focus");
}

TEST_F(PresetManagerTest, SavingProfilesNamesUpdatesRenamesAndDeletes)
{
    for (int i = 0; i < 3; ++i)
        manager().saveCurrentAsNewProfile(QStringLiteral("P%1").arg(i));
    logs->clear();
    manager().saveCurrentAsNewProfile(QStringLiteral(" \n"));
    const SavedComfortProfile fourth = manager().savedProfiles().last();
    EXPECT_EQ(fourth.name, "Saved 4");
    EXPECT_TRUE(manager().favoriteSavedProfileIDs().contains(fourth.id));
    EXPECT_EQ(manager().activeSavedProfileID(), fourth.id);
    EXPECT_TRUE(manager().isTransitionRunning()) << "applied with animation";
    EXPECT_TRUE(logs->contains("PresetManager", "Applying saved profile: Saved 4"));
    EXPECT_EQ(defaults->stringValue(PresetManager::activePresetKey), "Saved 4");
    settle();

    // Renaming keeps id and values; empty names change nothing; unknown ids are ignored.
    manager().renameSavedProfile(fourth.id, QStringLiteral("  Evening desk "));
    manager().renameSavedProfile(fourth.id, QStringLiteral("   "));
    manager().renameSavedProfile(QUuid::createUuid(), QStringLiteral("Ghost"));
    EXPECT_EQ(manager().savedProfile(fourth.id)->name, "Evening desk");
    EXPECT_EQ(manager().activeSelectionName(), "Evening desk");

    // Updating captures the live values, keeping id, creation date and (without a name) the name.
    tuning().setWarmth(0.9);
    manager().updateSavedProfile(fourth.id);
    const SavedComfortProfile updated = *manager().savedProfile(fourth.id);
    EXPECT_EQ(updated.name, "Evening desk");
    EXPECT_EQ(updated.createdAt, fourth.createdAt);
    EXPECT_EQ(updated.tuning.warmth, 0.9);
    EXPECT_FALSE(manager().isTransitionRunning()) << "applied at once";
    EXPECT_EQ(manager().savedProfiles().indexOf(updated), 3);

    // Deleting the active profile clears the selection; the displays keep their values.
    manager().applyPreset(ComfortPreset::reading, false);
    manager().applySavedProfile(updated, false);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::reading) << "a saved profile leaves the preset alone";
    const int formulas = mac->formulaCallCount();
    manager().deleteSavedProfile(fourth.id);
    EXPECT_FALSE(manager().activeSavedProfileID());
    EXPECT_EQ(manager().activeSelectionName(), "Reading");
    EXPECT_FALSE(manager().favoriteSavedProfileIDs().contains(fourth.id));
    EXPECT_EQ(manager().savedProfiles().size(), 3);
    EXPECT_EQ(mac->formulaCallCount(), formulas);
    restart();
    EXPECT_EQ(manager().savedProfiles().size(), 3);
    EXPECT_EQ(manager().activeSelectionName(), "Reading") << "the selection shown before the restart";
}

TEST_F(PresetManagerTest, IntensityIsClampedAndReappliesOnce)
{
    manager().applyPreset(ComfortPreset::evening, false);
    logs->clear();
    // A drag: many steps, and one line once the slider rests.
    for (int step = 1; step <= 40; ++step) {
        manager().setProfileIntensity(0.65 + step * 0.01);
        advance(20);
    }
    EXPECT_EQ(manager().profileIntensity(), 1.0);
    EXPECT_EQ(defaults->doubleValue("profileIntensity"), 1.0);
    settle();
    EXPECT_EQ(logs->messages("PresetManager"), QStringList{"Profile intensity 100 % (Maximum)"});
    EXPECT_DOUBLE_EQ(tuning().brightness(), 0.52);
    EXPECT_EQ(manager().profileIntensityLabel(), "Maximum");

    manager().setProfileIntensity(-0.3);
    EXPECT_EQ(defaults->doubleValue("profileIntensity"), 0.0);

    // With a saved profile active the intensity is stored but nothing is applied.
    manager().saveCurrentAsNewProfile(QStringLiteral("Mine"));
    settle();
    logs->clear();
    manager().setProfileIntensity(0.5);
    EXPECT_EQ(defaults->doubleValue("profileIntensity"), 0.5);
    EXPECT_TRUE(logs->messages("PresetManager").isEmpty());
}

TEST_F(PresetManagerTest, HotKeyToggle)
{
    manager().togglePreset(ComfortPreset::focus);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::focus);
    manager().togglePreset(ComfortPreset::focus);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::neutral);
    EXPECT_TRUE(manager().isTransitionRunning());

    manager().togglePreset(ComfortPreset::focus);
    manager().saveCurrentAsNewProfile(QStringLiteral("Mine"));
    manager().togglePreset(ComfortPreset::focus);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::focus) << "with a profile active the preset is applied";
    EXPECT_FALSE(manager().activeSavedProfileID());
}

TEST_F(PresetManagerTest, CustomisedPresetKeepsItsIdentityAndResets)
{
    manager().applyPreset(ComfortPreset::reading, false);
    tuning().setWarmth(1.2);
    veil().setMicrotextureEnabled(true);
    manager().saveCurrentToPreset(ComfortPreset::reading);
    const SavedComfortProfile first = manager().customPresetProfiles().value("Reading");
    EXPECT_EQ(first.name, "Reading");
    EXPECT_TRUE(manager().hasCustomProfile(ComfortPreset::reading));

    advance(5000);
    manager().renamePreset(ComfortPreset::reading, QStringLiteral("Novel"));
    manager().saveCurrentToPreset(ComfortPreset::reading);
    const SavedComfortProfile second = manager().customPresetProfiles().value("Reading");
    EXPECT_EQ(second.id, first.id);
    EXPECT_EQ(second.createdAt, first.createdAt);
    EXPECT_EQ(second.name, "Novel");

    // Applying the preset uses the edited copy, veil included.
    manager().applyPreset(ComfortPreset::neutral, false);
    EXPECT_FALSE(veil().microtextureEnabled());
    manager().applyPreset(ComfortPreset::reading, false);
    EXPECT_EQ(tuning().warmth(), 1.2);
    EXPECT_TRUE(veil().microtextureEnabled());

    manager().resetPresetProfile(ComfortPreset::reading);
    EXPECT_TRUE(manager().isTransitionRunning());
    settle();
    EXPECT_DOUBLE_EQ(tuning().warmth(), manager().presetValues(ComfortPreset::reading).tuning.warmth);
}

TEST_F(PresetManagerTest, CorruptSavedProfilesLoseNoReadableRecord)
{
    QJsonObject broken = record("Broken");
    broken.remove("name");
    const QByteArray original = data(QJsonArray{record("One"), broken, record("Two"), 17});
    defaults->setData("savedComfortProfiles", original);

    const auto names = [this] {
        QStringList out;
        for (const auto &p : manager().savedProfiles())
            out << p.name;
        return out;
    };
    EXPECT_EQ(names(), (QStringList{"One", "Two"}));
    EXPECT_EQ(logs->messages("PresetManager").filter("Failed to load saved profiles: ").size(), 2);
    EXPECT_EQ(defaults->dataValue("savedComfortProfiles"), original) << "untouched until a save";

    manager().saveCurrentAsNewProfile(QStringLiteral("Three"));
    EXPECT_EQ(defaults->dataValue("savedComfortProfiles.unreadable"), original);
    restart();
    EXPECT_EQ(names(), (QStringList{"One", "Two", "Three"}));
    EXPECT_EQ(defaults->dataValue("savedComfortProfiles.unreadable"), original);
}

TEST_F(PresetManagerTest, UnreadableStoresAreKeptAside)
{
    const struct {
        const char *key;
        QVariant value;
        std::function<void(PresetManager &)> save;
    } cases[] = {
        {"savedComfortProfiles", QByteArray("{not json"),
         [](PresetManager &m) { m.saveCurrentAsNewProfile(QStringLiteral("A")); }},
        {"savedComfortProfiles", QStringLiteral("a string, not data"),
         [](PresetManager &m) { m.saveCurrentAsNewProfile(QStringLiteral("A")); }},
        {"renamedComfortPresets", data(QJsonObject{{"Focus", "Deep"}, {"Evening", 3}}),
         [](PresetManager &m) { m.renamePreset(ComfortPreset::reading, QStringLiteral("Book")); }},
        {"customComfortPresetProfiles", data(QJsonObject{{"Focus", record("F")}, {"Evening", QJsonObject{}}}),
         [](PresetManager &m) { m.resetPresetProfile(ComfortPreset::colorWork); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        restart();
        for (const QString &k : defaults->storedKeys())
            defaults->remove(k);
        defaults->set(c.key, c.value);
        PresetManager &m = manager();
        EXPECT_FALSE(logs->messages("PresetManager").isEmpty());
        c.save(m);
        EXPECT_EQ(defaults->object(QString::fromLatin1(c.key) + ".unreadable"), c.value);
    }
    restart();
    defaults->setData("renamedComfortPresets", data(QJsonObject{{"Focus", "Deep"}, {"Evening", 3}}));
    EXPECT_EQ(manager().displayName(ComfortPreset::focus), "Deep") << "readable entries survive";
}

TEST_F(PresetManagerTest, CapturedPwmValuesComeFromTheStoreOnlyWhenStored)
{
    const struct {
        const char *name;
        QVariantMap registered, stored;
        bool pwmEnabled;
        double pwmThreshold;
    } cases[] = {
        {"never stored", {}, {}, true, 0.7}, // the live brightness stands in for the threshold
        {"stored", {}, {{"pwmAvoidanceEnabled", false}, {"pwmThreshold", 0.6}}, false, 0.6},
        {"switch of another type", {}, {{"pwmAvoidanceEnabled", "no"}}, true, 0.7},
        // Last: a registration cannot be taken back.
        {"defaults registered in the store are not stored values",
         {{"pwmAvoidanceEnabled", false}, {"pwmThreshold", 0.85}}, {}, true, 0.7},
    };
    manager();
    settle();
    tuning().setBrightness(0.7);
    for (const auto &c : cases) {
        defaults->registerDefaults(c.registered);
        defaults->remove("pwmAvoidanceEnabled");
        defaults->remove("pwmThreshold");
        for (auto it = c.stored.begin(); it != c.stored.end(); ++it)
            defaults->set(it.key(), it.value());
        const SavedComfortProfile p = manager().captureCurrentProfile(QUuid::createUuid(), "Now", clock->now());
        EXPECT_EQ(p.pwm.enabled, c.pwmEnabled) << c.name;
        EXPECT_DOUBLE_EQ(p.pwm.threshold, c.pwmThreshold) << c.name;
    }
}

TEST_F(PresetManagerTest, EveryUnreadableValueIsKeptAndNoneOverwritesAnEarlierOne)
{
    QJsonObject farFuture = record("Far future");
    farFuture.insert("createdAt", 9.3e15); // beyond the year 9999: an unreadable record
    QJsonObject nameless = record("Nameless");
    nameless.remove("name");
    const struct {
        const char *key;
        QVariant first, second;
        std::function<void(PresetManager &)> save;
    } cases[] = {
        {"savedComfortProfiles", data(QJsonArray{record("One"), farFuture}), data(QJsonArray{record("One"), nameless}),
         [](PresetManager &m) { m.saveCurrentAsNewProfile(QStringLiteral("A")); }},
        {"renamedComfortPresets", data(QJsonObject{{"Focus", 3}}), QByteArray("[not an object]"),
         [](PresetManager &m) { m.renamePreset(ComfortPreset::reading, QStringLiteral("Book")); }},
        {"customComfortPresetProfiles", data(QJsonObject{{"Focus", farFuture}}), data(QJsonObject{{"Focus", 1}}),
         [](PresetManager &m) { m.resetPresetProfile(ComfortPreset::colorWork); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        const QString key = QString::fromLatin1(c.key);
        // Three starts that each find an unreadable value, the last one the same as the first.
        for (const QVariant &stored : {c.first, c.second, c.first}) {
            restart();
            defaults->set(key, stored);
            c.save(manager());
        }
        EXPECT_EQ(defaults->object(key + ".unreadable"), c.first);
        EXPECT_EQ(defaults->object(key + ".unreadable-2"), c.second);
        EXPECT_FALSE(defaults->hasStoredValue(key + ".unreadable-3")) << "the same value is not kept twice";
    }
    EXPECT_TRUE(logs->containsPart("PresetManager", "Failed to load saved profiles: record 1: key \"createdAt\" is "
                                                    "not a date number"));
}

TEST_F(PresetManagerTest, ApplyingAtOnceSetsPwmTuningAndVeil)
{
    PresetValues v;
    v.tuning.brightness = 0.6;
    v.tuning.warmth = 0.5;
    v.tuning.enabled = true;
    v.pwm.enabled = false;
    v.pwm.threshold = 0.78;
    v.tuning.noBlueModeEnabled = true;
    v.tuning.redModeIntensity = 0;
    v.colorCalm = 0.3;
    manager().applyProfileValues(v, false);
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.78);
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), false);
    EXPECT_DOUBLE_EQ(DisplayEngine::shared().pwmThresholdPercent(), 78);
    EXPECT_FALSE(DisplayEngine::shared().pwmAvoidanceEnabled());
    EXPECT_TRUE(tuning().noBlueModeEnabled());
    EXPECT_EQ(tuning().redModeIntensity(), 0.01);
    EXPECT_TRUE(veil().enabled());
    EXPECT_TRUE(veil().colorCalmEnabled());

    v.tuning.noBlueModeEnabled = false;
    v.colorCalm = 0;
    manager().applyProfileValues(v, false);
    EXPECT_FALSE(tuning().noBlueModeEnabled());
    EXPECT_EQ(tuning().redModeIntensity(), 1.0);
    EXPECT_FALSE(veil().colorCalmEnabled()) << "the immediate path switches colour calm off at once";
}

TEST_F(PresetManagerTest, NeutralTurnsTheVeilOffAtOnceThenFadesTuningOut)
{
    mac->workspace().setApplicationRunning(true);
    manager().applyPreset(ComfortPreset::lowStimulus, false);
    veil().setMicrotextureEnabled(true);
    ASSERT_FALSE(mac->panels().panels().isEmpty());
    const int restores = mac->restoreCallCount();

    manager().applyPreset(ComfortPreset::neutral, true);
    EXPECT_FALSE(veil().enabled());
    EXPECT_FALSE(veil().microtextureEnabled());
    EXPECT_EQ(veil().peripheralSoftening(), 0);
    EXPECT_TRUE(mac->panels().panels().isEmpty());
    EXPECT_TRUE(tuning().enabled()) << "tuning fades before it switches off";
    advance(250);
    EXPECT_GT(tuning().brightness(), 0.56);
    EXPECT_LT(tuning().brightness(), 1.0);
    settle();
    EXPECT_EQ(tuning().brightness(), 1.0);
    EXPECT_EQ(tuning().warmth(), 0);
    EXPECT_FALSE(tuning().enabled());
    EXPECT_GT(mac->restoreCallCount(), restores);
    EXPECT_EQ(mac->formula(1), std::nullopt);
}

TEST_F(PresetManagerTest, ColourCalmFadingOutStaysOnUntilTheEnd)
{
    veil().setColorCalmEnabled(true);
    veil().setColorCalm(0.3);
    PresetValues v = manager().presetValues(ComfortPreset::colorWork); // colour calm 0
    manager().applyProfileValues(v, true);
    advance(200);
    EXPECT_TRUE(veil().colorCalmEnabled());
    EXPECT_GT(veil().colorCalm(), 0.0);
    EXPECT_LT(veil().colorCalm(), 0.3);
    EXPECT_EQ(defaults->doubleValue("comfortVeil.colorCalm.amount"), veil().colorCalm());
    settle();
    EXPECT_FALSE(veil().colorCalmEnabled());
    EXPECT_EQ(veil().colorCalm(), 0.0);
}

TEST_F(PresetManagerTest, ANewApplicationStartsFromWhereTheCancelledOneStopped)
{
    manager().applyPreset(ComfortPreset::evening, true);
    advance(18 * 13);
    const double midway = tuning().brightness();
    EXPECT_GT(midway, 0.7);
    EXPECT_LT(midway, 1.0);

    QList<double> seen;
    QObject::connect(&tuning(), &DisplayTuning::brightnessChanged, &tuning(),
                     [&] { seen << tuning().brightness(); });
    manager().applyPreset(ComfortPreset::focus, true);
    advance(18 * 40);
    ASSERT_EQ(seen.size(), 29); // 28 steps and the final values
    const double focus = manager().presetValues(ComfortPreset::focus).tuning.brightness;
    const double e1 = (1.0 / 28) * (1.0 / 28) * (3 - 2.0 / 28);
    EXPECT_DOUBLE_EQ(seen.first(), midway + (focus - midway) * e1);
    EXPECT_DOUBLE_EQ(seen.last(), focus);
    EXPECT_EQ(manager().activePreset(), ComfortPreset::focus);
}

// Quitting while a preset's transition runs (SIGTERM quits the same way): the preset's
// own values are what is stored beside its name, whatever step had been reached, and the
// displays still get their system colours back.
TEST_F(PresetManagerTest, QuittingMidTransitionStoresThePresetsTargetValues)
{
    const struct {
        ComfortPreset preset;
        int stepsRun;
    } cases[] = {
        {ComfortPreset::evening, 3}, // a tenth of the way
        {ComfortPreset::evening, 1},
        {ComfortPreset::focus, 27},
        {ComfortPreset::neutral, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(rawValue(c.preset)));
        restart();
        manager().applyPreset(ComfortPreset::lowStimulus, false);
        settle();
        const PresetValues target = manager().presetValues(c.preset);
        manager().applyPreset(c.preset, true);
        advance(18 * (c.stepsRun - 1) + 1);
        ASSERT_TRUE(manager().isTransitionRunning());
        const int restores = mac->restoreCallCount();
        mac->workspace().postWillTerminate();
        EXPECT_FALSE(manager().isTransitionRunning());
        EXPECT_GT(mac->restoreCallCount(), restores);
        settle();

        restart();
        EXPECT_EQ(defaults->stringValue(PresetManager::activePresetKey), rawValue(c.preset));
        EXPECT_EQ(defaults->doubleValue("tuning.brightness"), target.tuning.brightness);
        EXPECT_EQ(defaults->doubleValue("tuning.warmth"), target.tuning.warmth);
        EXPECT_EQ(defaults->doubleValue("tuning.contrast"), target.tuning.contrastReduction);
        EXPECT_EQ(defaults->boolValue("tuning.enabled"), target.tuning.enabled);
        EXPECT_EQ(defaults->doubleValue("comfortVeil.colorCalm.amount"), target.colorCalm);
    }
}
