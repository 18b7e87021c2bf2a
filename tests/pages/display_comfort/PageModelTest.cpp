#include "comfort/PresetManager.h"
#include "design/SystemSymbol.h"
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
    DisplayComfortPageModel page(tuning(), presets());
    GuidedTour &tour = *page.tour();
    const struct {
        const char *raw;
        const char *anchor;
        const char *next;
        const char *previous;
    } rows[] = {{"protections", "displayComfortGuide-protections", "profiles", ""},
                {"profiles", "displayComfortGuide-profiles", "tuning", "protections"},
                {"tuning", "displayComfortGuide-tuning", "", "profiles"}};
    ASSERT_EQ(displayComfortGuide::allSteps().size(), qsizetype(std::size(rows)));
    ASSERT_EQ(tour.stepCount(), int(std::size(rows)));
    for (qsizetype i = 0; i < tour.stepCount(); ++i) {
        const auto &row = rows[i];
        EXPECT_EQ(displayComfortGuide::rawValue(displayComfortGuide::allSteps()[i]), row.raw);
        EXPECT_EQ(tour.stepIds()[i], row.raw);
        EXPECT_EQ(tour.anchorId(row.raw), row.anchor);
        EXPECT_TRUE(SystemSymbol::isMapped(tour.symbolOf(row.raw))) << row.raw;
        EXPECT_EQ(tour.stepAfter(row.raw), row.next);
        EXPECT_EQ(tour.stepBefore(row.raw), row.previous);
    }
    for (const char *other : {"", "Protections", "tuning ", "guide"}) {
        EXPECT_FALSE(tour.stepIds().contains(other)) << other;
        EXPECT_EQ(tour.titleOf(other), QString()) << other;
    }

    // The page's tour: opens at the first block, finishing stores the page's flag.
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
