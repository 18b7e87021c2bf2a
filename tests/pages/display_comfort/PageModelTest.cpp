#include "comfort/PresetManager.h"
#include "display/DisplayTuning.h"
#include "pages/display_comfort/DisplayComfortGuideStep.h"
#include "pages/display_comfort/DisplayComfortPageModel.h"
#include "support/TestEnvironment.h"

using namespace qv;

namespace {

class PageModelTest : public test::QvTest {
protected:
    PresetManager &presets() { return PresetManager::shared(); }
    DisplayTuning &tuning() { return DisplayTuning::shared(); }
    void settle() { advance(1000); }
    int applied(const QString &preset) { return logs->count("PresetManager", "Applying preset: " + preset); }
    void apply(ComfortPreset preset)
    {
        presets().applyPreset(preset, false);
        settle();
    }
    QUuid saveProfile(const QString &name)
    {
        presets().saveCurrentAsNewProfile(name);
        settle();
        return *presets().activeSavedProfileID();
    }
};

TEST_F(PageModelTest, SwitchingOffAndOnRestoresThePresetLastSwitchedOffHere)
{
    struct Case {
        const char *what;
        QList<ComfortPreset> before; // applied in turn, each followed by switching off here
        ComfortPreset restored;
    } cases[] = {
        {"fresh page, from Neutral", {}, ComfortPreset::focus},
        {"from Evening", {ComfortPreset::evening}, ComfortPreset::evening},
        {"Evening, then Reading elsewhere", {ComfortPreset::evening, ComfortPreset::reading}, ComfortPreset::reading},
        {"Evening, then Neutral elsewhere", {ComfortPreset::evening, ComfortPreset::neutral}, ComfortPreset::evening},
    };
    for (const Case &c : cases) {
        DisplayComfortPageModel page(tuning(), presets());
        apply(ComfortPreset::neutral);
        for (ComfortPreset preset : c.before) {
            apply(preset);
            const int neutralBefore = applied("Neutral");
            page.setComfortTuningEnabled(false);
            settle();
            // Off always applies Neutral, also over Neutral.
            EXPECT_EQ(applied("Neutral"), neutralBefore + 1) << c.what;
            EXPECT_EQ(presets().activePreset(), ComfortPreset::neutral) << c.what;
            EXPECT_FALSE(page.comfortTuningEnabled()) << c.what;
        }
        page.setComfortTuningEnabled(true);
        settle();
        EXPECT_EQ(presets().activePreset(), c.restored) << c.what;
        EXPECT_TRUE(page.comfortTuningEnabled()) << c.what;
        EXPECT_EQ(page.stateText(), "On") << c.what;
    }
}

// Tuning switched off elsewhere while a preset stays selected: on only turns tuning on.
TEST_F(PageModelTest, OnWithASelectionOnlyTurnsTuningOn)
{
    DisplayComfortPageModel page(tuning(), presets());
    apply(ComfortPreset::reading);
    tuning().setEnabled(false);
    EXPECT_EQ(page.stateText(), "Off");
    logs->clear();
    page.setComfortTuningEnabled(true);
    settle();
    EXPECT_TRUE(tuning().enabled());
    EXPECT_EQ(page.stateText(), "On");
    EXPECT_EQ(presets().activePreset(), ComfortPreset::reading);
    EXPECT_EQ(page.lastEnabledPreset(), ComfortPreset::focus);
    EXPECT_TRUE(logs->messages("PresetManager").isEmpty());
}

// Off while a saved profile is active, then on, applies that profile again (not a stale
// preset); once the profile is deleted, the remembered preset is applied instead.
TEST_F(PageModelTest, ASavedProfileSwitchedOffComesBackWhileItExists)
{
    DisplayComfortPageModel page(tuning(), presets());
    apply(ComfortPreset::evening);
    page.setComfortTuningEnabled(false);
    settle();
    apply(ComfortPreset::focus);
    const QUuid id = saveProfile("Desk");

    page.setComfortTuningEnabled(false);
    settle();
    EXPECT_FALSE(presets().activeSavedProfileID());
    EXPECT_EQ(page.lastEnabledSavedProfileID(), id);
    EXPECT_EQ(page.lastEnabledPreset(), ComfortPreset::evening); // kept
    page.setComfortTuningEnabled(true);
    settle();
    EXPECT_EQ(presets().activeSavedProfileID(), id);

    page.setComfortTuningEnabled(false);
    settle();
    presets().deleteSavedProfile(id);
    page.setComfortTuningEnabled(true);
    settle();
    EXPECT_FALSE(presets().activeSavedProfileID());
    EXPECT_EQ(presets().activePreset(), ComfortPreset::evening);

    // A preset switched off here afterwards replaces the remembered profile.
    saveProfile("Second");
    apply(ComfortPreset::reading);
    page.setComfortTuningEnabled(false);
    settle();
    EXPECT_FALSE(page.lastEnabledSavedProfileID());
    page.setComfortTuningEnabled(true);
    settle();
    EXPECT_EQ(presets().activePreset(), ComfortPreset::reading);
    EXPECT_FALSE(presets().activeSavedProfileID());
}

TEST_F(PageModelTest, StateFollowsTuningChangedElsewhere)
{
    DisplayComfortPageModel page(tuning(), presets());
    int changes = 0;
    QObject::connect(&page, &DisplayComfortPageModel::comfortTuningEnabledChanged, [&] { ++changes; });
    tuning().setEnabled(true);
    EXPECT_EQ(page.stateText(), "On");
    tuning().setEnabled(false);
    EXPECT_EQ(page.stateText(), "Off");
    EXPECT_EQ(changes, 2);
}

TEST_F(PageModelTest, StepsAndAnchors)
{
    using namespace displayComfortGuide;
    const struct {
        const char *raw;
        const char *anchor;
        const char *next;
        const char *previous;
    } rows[] = {{"protections", "displayComfortGuide-protections", "profiles", ""},
                {"profiles", "displayComfortGuide-profiles", "tuning", "protections"},
                {"tuning", "displayComfortGuide-tuning", "", "profiles"}};
    for (const auto &row : rows) {
        const auto step = fromRawValue(row.raw);
        ASSERT_TRUE(step) << row.raw;
        EXPECT_EQ(rawValue(*step), row.raw);
        EXPECT_EQ(anchorId(*step), row.anchor);
        EXPECT_EQ(next(*step) ? rawValue(*next(*step)) : QString(), row.next);
        EXPECT_EQ(previous(*step) ? rawValue(*previous(*step)) : QString(), row.previous);
    }
    for (const char *other : {"", "Protections", "tuning ", "guide"})
        EXPECT_FALSE(fromRawValue(other)) << other;

    // The page's tour: opens at the first block, finishing stores the page's flag.
    DisplayComfortPageModel page(tuning(), presets());
    GuidedTour &tour = *page.tour();
    EXPECT_FALSE(tour.isOpen());
    QStringList scrolled;
    QObject::connect(&tour, &GuidedTour::scrollRequested, [&](const QString &id) { scrolled << id; });
    tour.open();
    EXPECT_EQ(scrolled, QStringList{"displayComfortGuide-protections"});
    EXPECT_EQ(tour.currentTitle(), "Start with display protections");
    tour.next();
    tour.next();
    EXPECT_EQ(tour.nextLabel(), "Finish");
    EXPECT_EQ(tour.positionText(), "Step 3 of 3");
    tour.next();
    EXPECT_FALSE(tour.isOpen());
    EXPECT_EQ(defaults->boolValue("displayComfortGuideCompleted"), true);
}

} // namespace
