#include "app/MenuBarPopoverModel.h"

#include "app/AppUpdater.h"

#include "app/QuellvistaApp.h"
#include "app/SidebarModels.h"
#include "pages/display_comfort/DisplayHardwareModel.h"
#include "pages/display_comfort/DisplayProtectionModel.h"
#include "comfort/PresetManager.h"
#include "design/SystemSymbol.h"
#include "design/Theme.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "platform/sim/SimBundle.h"
#include "wellness/BreakReminder.h"
#include "support/TestEnvironment.h"
#include "support/ViewTexts.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>

using namespace qv;

namespace {

class MenuBarPopoverModelTest : public test::QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        app = std::make_unique<QuellvistaApp>();
        model = std::make_unique<MenuBarPopoverModel>(app.get());
    }
    void TearDown() override
    {
        model.reset();
        app.reset();
        QvTest::TearDown();
    }

    PresetManager &presets() { return app->presets(); }
    // Applies and lets the eased transition finish.
    void settle() { advance(2'000); }

    QStringList rowSummary()
    {
        QStringList rows;
        for (const QVariant &entry : model->favorites()) {
            const QVariantMap row = entry.toMap();
            rows << QStringLiteral("%1%2%3").arg(row["active"].toBool() ? "*" : "", row["name"].toString(),
                                                  row["hint"].toString().isEmpty() ? "" : " " + row["hint"].toString());
        }
        return rows;
    }

    QStringList gearTitles()
    {
        QStringList titles;
        for (const QVariant &entry : model->gearMenuItems()) {
            const QVariantMap item = entry.toMap();
            titles << (item["kind"] == "divider" ? "-" : item["title"].toString());
        }
        return titles;
    }

    std::unique_ptr<QuellvistaApp> app;
    std::unique_ptr<MenuBarPopoverModel> model;
};

TEST_F(MenuBarPopoverModelTest, StatusHeaderCountsTheProtections)
{
    struct Case {
        bool dithering, pwm, uniformity;
        const char *title;
        const char *subtitle;
        double logo;
    };
    const Case cases[] = {
        {false, false, false, "Protection off", "0 of 3 protections active", 0.55},
        {true, false, false, "Partial protection", "1 of 3 protections active", 1.0},
        {true, true, false, "Partial protection", "2 of 3 protections active", 1.0},
        {true, true, true, "Eye Comfort: Active", "All protections are enabled", 1.0},
    };
    presets().applyPreset(ComfortPreset::focus, false); // PWM-safe dimming acts only while it dims
    for (const Case &c : cases) {
        app->disableDithering()->setValue(c.dithering);
        app->pwmAvoidanceEnabled()->setValue(c.pwm);
        app->disableUniformity2D()->setValue(c.uniformity);
        EXPECT_EQ(model->statusTitle(), c.title);
        EXPECT_EQ(model->statusSubtitle(), c.subtitle);
        EXPECT_DOUBLE_EQ(model->logoOpacity(), c.logo);
    }
}

// Where framebuffers cannot hold dithering and uniformity (a Linux desktop), only PWM-safe
// dimming counts, and the gear menu neither checks nor offers the other two.
TEST_F(MenuBarPopoverModelTest, OnlyProtectionsThatCanActHereCount)
{
    mac->setFramebufferProtectionsAvailable(false);
    app->disableDithering()->setValue(true);
    app->disableUniformity2D()->setValue(true);
    app->pwmAvoidanceEnabled()->setValue(false);
    EXPECT_EQ(model->statusTitle(), "Protection off");
    EXPECT_EQ(model->statusSubtitle(), "PWM-safe dimming is off");
    app->pwmAvoidanceEnabled()->setValue(true);
    EXPECT_EQ(model->statusTitle(), "Protection off") << "with Neutral the switch is on but nothing is dimmed";
    EXPECT_EQ(model->comfortLabel(), "Off");
    QSignalSpy redraws(model.get(), &MenuBarPopoverModel::changed);
    presets().applyPreset(ComfortPreset::focus, true);
    settle();
    EXPECT_EQ(model->statusTitle(), "Eye Comfort: Active");
    EXPECT_LE(redraws.size(), 6) << "not redrawn at every step of the transition";
    EXPECT_EQ(model->statusSubtitle(), "PWM-safe dimming is on") << "not all three: two cannot act here";
    for (const QVariant &item : model->gearMenuItems()) {
        const QVariantMap map = item.toMap();
        const QString id = map.value("id").toString();
        if (id == "dithering" || id == "uniformity") {
            EXPECT_FALSE(map.value("checked").toBool()) << qPrintable(id);
            EXPECT_FALSE(map.value("enabled").toBool()) << qPrintable(id);
        } else if (id == "pwm") {
            EXPECT_TRUE(map.value("checked").toBool());
        }
    }
}

// Every status line and every protection switch reads what acts on the screen, on a
// machine whose framebuffers hold all three protections and on one where only PWM-safe
// dimming can act: a fresh start (PWM avoidance stored on, Neutral, nothing dimmed), a
// preset that dims, the switch turned on from a card while nothing is dimmed, and off.
TEST_F(MenuBarPopoverModelTest, StatusLinesAgreeWithTheSwitchesBesideThem)
{
    for (const bool framebuffers : {true, false}) {
        mac->setFramebufferProtectionsAvailable(framebuffers);
        restart();
        app = std::make_unique<QuellvistaApp>();
        model = std::make_unique<MenuBarPopoverModel>(app.get());
        DisplayHardwareModel hardware;
        DisplayProtectionModel cards;
        SidebarStatusCardModel sidebar;
        ASSERT_FALSE(cards.cards().isEmpty());
        const int available = framebuffers ? 3 : 1;
        auto gearChecked = [this](const QString &id) {
            for (const QVariant &item : model->gearMenuItems())
                if (item.toMap().value("id") == id)
                    return item.toMap().value("checked").toBool();
            return false;
        };
        auto expectAgreement = [&](const char *when) {
            SCOPED_TRACE(std::string(when) + (framebuffers ? " (framebuffers)" : " (gamma only)"));
            const int count = model->activeProtectionCount();
            EXPECT_EQ(hardware.activeAssistCount(), count);
            EXPECT_EQ(hardware.summary(), DisplayHardwareModel::summaryText(hardware.displayCount(), count));
            EXPECT_EQ(int(gearChecked("dithering")) + int(gearChecked("pwm")) + int(gearChecked("uniformity")), count)
                << "the gear menu ticks what the header counts";
            const bool all = count == available;
            EXPECT_EQ(model->statusTitle() == "Eye Comfort: Active", all);
            EXPECT_EQ(sidebar.statusText() == "All systems optimal", all) << sidebar.statusText().toStdString();
            EXPECT_EQ(sidebar.statusColor() == Theme::shared().sage(), all) << "the dot beside it";
            EXPECT_EQ(model->statusSubtitle() == "All protections are enabled", all && available == 3);
            if (!all && available == 3) {
                EXPECT_EQ(model->statusSubtitle(), QStringLiteral("%1 of 3 protections active").arg(count));
            }
            if (available == 1) {
                EXPECT_EQ(model->statusSubtitle(), all ? "PWM-safe dimming is on" : "PWM-safe dimming is off");
            }
            for (const DisplayCardModel *card : cards.cards()) {
                EXPECT_EQ(card->pwmOn(), gearChecked("pwm"));
                EXPECT_EQ(card->pwmText(), gearChecked("pwm") ? "On" : "Off");
                if (!framebuffers) {
                    EXPECT_EQ(card->score(), all ? 100 : 0) << "\"PWM On \u00b7 100% Optimized\" only while it acts";
                }
            }
        };
        app->pwmAvoidanceEnabled()->setValue(true); // as stored at a fresh start
        expectAgreement("fresh start");
        EXPECT_FALSE(gearChecked("pwm")) << "Neutral dims nothing";
        presets().applyPreset(ComfortPreset::focus, true);
        settle();
        expectAgreement("Focus");
        EXPECT_TRUE(gearChecked("pwm"));
        presets().applyPreset(ComfortPreset::neutral, true);
        settle();
        expectAgreement("Neutral again");
        cards.cards()[0]->setPwm(true);
        runPending();
        expectAgreement("switched on from a card");
        EXPECT_TRUE(gearChecked("pwm")) << "turning it on dims to the floor, so it acts";
        model->triggerGearItem("pwm", false);
        runPending();
        expectAgreement("switched off from the gear menu");
        EXPECT_FALSE(cards.cards()[0]->pwmOn());

        // Every screen refuses its formula: the dimming acts nowhere, so nothing counts it;
        // one screen that takes it again is enough.
        const QList<DisplayId> displays = platform().displays->activeDisplays();
        ASSERT_GE(displays.size(), 2);
        for (const DisplayId display : displays)
            mac->failFormula(display, 1001);
        app->pwmAvoidanceEnabled()->setValue(true);
        presets().applyPreset(ComfortPreset::focus, true);
        settle();
        expectAgreement("every screen refuses its formula");
        EXPECT_FALSE(gearChecked("pwm"));
        // The veil softens the screens in the formula's place: not "off" beside a switch reading On.
        app->disableDithering()->setValue(false);
        app->disableUniformity2D()->setValue(false);
        ComfortVeilController &veil = ComfortVeilController::shared();
        veil.setPeripheralSofteningEnabled(true);
        veil.setPeripheralSoftening(0.3);
        veil.setEnabled(true);
        QSignalSpy redraws(model.get(), &MenuBarPopoverModel::changed);
        veil.handleApplicationReady();
        ASSERT_TRUE(veil.tints());
        EXPECT_GE(redraws.size(), 1);
        EXPECT_EQ(model->comfortLabel(), "On");
        EXPECT_EQ(model->statusTitle(), "Partial protection");
        EXPECT_EQ(sidebar.statusText(), "Partial protection");
        EXPECT_DOUBLE_EQ(model->logoOpacity(), 1.0);
        veil.setEnabled(false);
        EXPECT_EQ(model->statusTitle(), "Protection off");
        mac->failFormula(displays.first(), 0);
        presets().applyPreset(ComfortPreset::neutral, true);
        settle();
        presets().applyPreset(ComfortPreset::focus, true);
        settle();
        expectAgreement("one screen takes its formula again");
        EXPECT_TRUE(gearChecked("pwm"));
        for (const DisplayId display : displays)
            mac->failFormula(display, 0);
        presets().applyPreset(ComfortPreset::neutral, true);
        settle();
    }
}

TEST_F(MenuBarPopoverModelTest, ComfortSwitchRemembersThePresetOrProfile)
{
    EXPECT_FALSE(model->isComfortTuningOn());
    EXPECT_EQ(model->comfortLabel(), "Off");
    EXPECT_EQ(model->comfortToolTip(), "Turn comfort tuning on");
    model->setComfortTuning(true);
    EXPECT_EQ(presets().activePreset(), ComfortPreset::focus) << "a fresh start turns on Focus";
    EXPECT_EQ(model->comfortLabel(), "On");

    presets().applyPreset(ComfortPreset::evening, false);
    model->setComfortTuning(false);
    EXPECT_EQ(presets().activePreset(), ComfortPreset::neutral);
    model->setComfortTuning(true);
    EXPECT_EQ(presets().activePreset(), ComfortPreset::evening);

    presets().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    const QUuid desk = *presets().activeSavedProfileID();
    model->setComfortTuning(false);
    EXPECT_FALSE(presets().activeSavedProfileID().has_value());
    EXPECT_EQ(model->lastEnabledPreset(), ComfortPreset::evening) << "the preset memory stays";
    model->setComfortTuning(true);
    EXPECT_EQ(presets().activeSavedProfileID(), desk);

    model->setComfortTuning(false);
    presets().deleteSavedProfile(desk);
    model->setComfortTuning(true);
    EXPECT_EQ(presets().activePreset(), ComfortPreset::evening) << "a deleted profile falls back to the preset";
    EXPECT_FALSE(presets().activeSavedProfileID().has_value());
    EXPECT_EQ(model->lastEnabledSavedProfileID(), desk) << "the remembered id is kept";
}

TEST_F(MenuBarPopoverModelTest, FavouriteRows)
{
    EXPECT_FALSE(model->showsFavoritesHint()) << "the starter favourites";
    for (ComfortPreset preset : presets().menuBarPresets())
        presets().toggleFavorite(preset);
    EXPECT_TRUE(model->showsFavoritesHint());
    EXPECT_TRUE(model->favorites().isEmpty());

    presets().toggleFavorite(ComfortPreset::neutral);
    presets().toggleFavorite(ComfortPreset::lowStimulus);
    presets().toggleFavorite(ComfortPreset::pwmSafe);
    presets().renamePreset(ComfortPreset::pwmSafe, QStringLiteral("Night <b>shift</b>"));
    presets().applyPreset(ComfortPreset::pwmSafe, false);
    EXPECT_FALSE(model->showsFavoritesHint());
    EXPECT_EQ(rowSummary(), (QStringList{"Neutral ⌘⇧0", "Low Stimulus", "*Night <b>shift</b> ⌘⇧P"}))
        << "the user's names, in declaration order";
    EXPECT_EQ(model->modeText(), "Night <b>shift</b>") << "the Mode row shows the same name";
    presets().resetName(ComfortPreset::pwmSafe);
    EXPECT_EQ(rowSummary().last(), "*PWM-Safe ⌘⇧P") << "the title the profiles grid shows";

    presets().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    EXPECT_EQ(rowSummary(), (QStringList{"Neutral ⌘⇧0", "Low Stimulus", "PWM-Safe ⌘⇧P", "*Desk"}))
        << "only the active saved profile is highlighted";
    const QVariantMap profileRow = model->favorites().last().toMap();
    EXPECT_EQ(profileRow["symbol"], "slider.horizontal.3");
    EXPECT_EQ(profileRow["fillRadius"], 6);
    EXPECT_EQ(profileRow["leadingPadding"], 13);

    model->activateFavorite(0);
    EXPECT_EQ(presets().activePreset(), ComfortPreset::neutral);
    model->activateFavorite(3);
    EXPECT_TRUE(presets().activeSavedProfileID().has_value());
    model->activateFavorite(9); // out of range: nothing
    EXPECT_TRUE(presets().activeSavedProfileID().has_value());

    for (ComfortPreset preset : kAllComfortPresets)
        EXPECT_TRUE(SystemSymbol::isMapped(favoriteSymbol(preset))) << qPrintable(rawValue(preset));
}

TEST_F(MenuBarPopoverModelTest, BreakSection)
{
    BreakReminder &reminder = app->breakReminder();
    reminder.setIsEnabled(true);
    struct Case {
        int seconds;
        const char *text;
    };
    for (const Case &c : {Case{59, "0 min"}, Case{1199, "19 min"}, Case{1200, "20 min"}}) {
        reminder.setSecondsUntilBreak(c.seconds);
        EXPECT_EQ(model->nextBreakText(), c.text);
    }
    EXPECT_EQ(model->breaksTodayText(), "0");

    reminder.setSecondsUntilBreak(100);
    model->pauseForOneHour();
    model->pauseForOneHour();
    EXPECT_EQ(reminder.secondsUntilBreak(), 100 + 7200);
    reminder.setWorkIntervalMinutes(30);
    model->resetTimer();
    EXPECT_EQ(reminder.secondsUntilBreak(), 1800);
    advance(1'000);
    EXPECT_EQ(reminder.secondsUntilBreak(), 1799) << "the countdown goes on from the new value";

    EXPECT_EQ(gearTitles().mid(4, 2), (QStringList{"Break reminders", "Show timer in menu bar"}));
    model->setBreakRemindersOn(false);
    EXPECT_FALSE(model->breakRemindersOn());
    EXPECT_EQ(defaults->boolValue("breakReminderEnabled"), false);
    EXPECT_EQ(gearTitles(), (QStringList{"Dithering protection", "PWM avoidance", "Edge uniformity", "-",
                                         "Turn On Break Reminders", "-", "Check for Updates...", "-",
                                         "Quit Quellvista"}));
    model->triggerGearItem("turnOnBreakReminders", false);
    EXPECT_TRUE(reminder.isEnabled());
    EXPECT_EQ(reminder.secondsUntilBreak(), 1800);
}

TEST_F(MenuBarPopoverModelTest, GearMenuStoresTheSwitchAndCallsTheEngine)
{
    const QList<SimDisplay> displays = mac->displays();
    ASSERT_EQ(displays.size(), 2);
    ASSERT_TRUE(displays[0].builtIn);

    model->triggerGearItem("uniformity", false);
    EXPECT_EQ(defaults->boolValue("disableUniformity2D"), false);
    EXPECT_EQ(mac->framebufferProperty(displays[0].id, "uniformity2D"), RegistryValue::boolean(true));
    mac->removeFramebufferProperty(displays[1].id, "uniformity2D");
    model->triggerGearItem("uniformity", true);
    EXPECT_EQ(mac->framebufferProperty(displays[0].id, "uniformity2D"), RegistryValue::boolean(false));
    EXPECT_FALSE(mac->framebufferProperty(displays[1].id, "uniformity2D").isBool()) << "external untouched";

    model->triggerGearItem("dithering", false);
    EXPECT_EQ(defaults->boolValue("disableDithering"), false);
    EXPECT_EQ(mac->framebufferProperty(displays[1].id, "enableDither"), RegistryValue::boolean(true));

    defaults->setDouble("pwmThreshold", 0.8);
    model->triggerGearItem("pwm", true);
    runPending();
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 0.55) << "the fixed floor, not the threshold";
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.8);
    model->triggerGearItem("pwm", false);
    runPending();
    EXPECT_FALSE(app->engine().pwmAvoidanceEnabled());
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), false);

    model->triggerGearItem("showBreakTimer", false);
    EXPECT_EQ(defaults->boolValue("showBreakTimer"), false);

    int quits = 0;
    QObject::connect(app.get(), &QuellvistaApp::quitRequested, [&quits] { ++quits; });
    model->triggerGearItem("quit", false);
    EXPECT_EQ(quits, 1);
}

// The popped-up gear menu reads each tickable entry as a check box with its tick and the
// others as menu items; toggling one through assistive technology flips its setting.
TEST_F(MenuBarPopoverModelTest, GearMenuTickableEntriesReadAsCheckBoxes)
{
    model->popUpGearMenu(0, 0);
    QMenu *menu = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *popup = qobject_cast<QMenu *>(widget); popup && popup->isVisible())
            menu = popup;
    ASSERT_TRUE(menu);
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(menu);
    // "Title [x]" for a ticked box, "Title [ ]" for an unticked one, the title alone else.
    const auto entry = [](const QString &title, bool box, bool ticked) {
        return title + (box ? ticked ? " [x]" : " [ ]" : "");
    };
    QStringList read, wanted;
    for (const QVariant &listed : model->gearMenuItems()) {
        const QVariantMap item = listed.toMap();
        wanted << (item["kind"] == "divider"
                       ? "-"
                       : entry(item["title"].toString(), item["kind"] == "toggle", item["checked"].toBool()));
    }
    QAccessibleInterface *pwm = nullptr;
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface *node = tree->child(i);
        const QAccessible::State state = node->state();
        const bool box = node->role() == QAccessible::CheckBox && state.checkable;
        read << (node->role() == QAccessible::Separator ? "-"
                                                         : entry(node->text(QAccessible::Name), box, state.checked));
        if (node->text(QAccessible::Name) == "PWM avoidance")
            pwm = node;
    }
    EXPECT_EQ(read, wanted);
    ASSERT_TRUE(pwm && pwm->actionInterface());
    const bool ticked = pwm->state().checked;
    pwm->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(app->pwmAvoidanceEnabled()->value().toBool(), !ticked);
    menu->close();
}

// "Check for Updates..." needs a feed of our own and an updater that may check now; a
// press then starts the framework's check.
TEST_F(MenuBarPopoverModelTest, CheckForUpdatesFollowsTheFeedAndTheUpdater)
{
    struct Case {
        const char *name;
        const char *feed;
        bool allows;
        bool enabled;
        int frameworkChecks;
    };
    const Case cases[] = {
        {"placeholder feed", "", true, false, 0},
        {"feed on the local machine", "http://127.0.0.1/appcast.xml", true, false, 0},
        {"own feed, updater busy", "https://updates.tebrix.com/appcast.xml", false, false, 0},
        {"own feed, updater ready", "https://updates.tebrix.com/appcast.xml", true, true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model.reset();
        app.reset();
        restart();
        mac->bundle().setInfoValue("SUFeedURL", QString::fromLatin1(c.feed));
        mac->updater().setAllowsChecks(c.allows);
        app = std::make_unique<QuellvistaApp>();
        model = std::make_unique<MenuBarPopoverModel>(app.get());
        const QVariantMap item = model->gearMenuItems().at(6).toMap();
        ASSERT_EQ(item["title"], "Check for Updates...");
        EXPECT_EQ(item["enabled"].toBool(), c.enabled);
        const int before = mac->updater().checkCount();
        model->triggerGearItem("checkForUpdates", false);
        EXPECT_EQ(mac->updater().checkCount() - before, c.frameworkChecks);
    }
}

TEST_F(MenuBarPopoverModelTest, FixedTexts)
{
    test::expectViewTexts(*model, {
        {"windowTitle", "Quellvista pop-over"},
        {"comfortSwitchName", "Comfort tuning"},
        {"comfortSwitchDescription", "Turns display comfort tuning on or returns it to Neutral."},
        {"modeTitle", "Mode"},
        {"favoritesTitle", "Favorite profiles"},
        {"favoritesHint", "Star profiles in Display & Comfort to show them here."},
        {"nextBreakTitle", "Next Break"},
        {"breaksTodayTitle", "Breaks Today"},
        {"screenTimeTitle", "Screen Time"},
        {"resetTimerTitle", "Reset Timer"},
        {"pauseForOneHourTitle", "Pause for 1 Hour"},
        {"turnOffRemindersTitle", "Turn Off Break Reminders"},
        {"remindersOffText", "Break reminders are off"},
        {"turnOnRemindersTitle", "Turn On Break Reminders"},
        {"openMainWindowTitle", "Open Quellvista"},
    });
}

TEST_F(MenuBarPopoverModelTest, OpenAsksTheScenesForTheMainWindow)
{
    int requests = 0;
    QObject::connect(app.get(), &QuellvistaApp::mainWindowRequested, [&requests] { ++requests; });
    model->openMainWindow();
    EXPECT_EQ(requests, 1);
}

} // namespace
