#include "app/AppUpdater.h"
#include "app/MenuBarPopoverModel.h"
#include "app/QuellvistaApp.h"
#include "pages/display_comfort/ComfortProfileTiles.h"
#include "pages/display_comfort/ComfortProfilesGridModel.h"
#include "pages/display_comfort/DisplayComfortGuideStep.h"
#include "pages/support/EducationTopic.h"
#include "pages/support/SupportPageModel.h"
#include "pages/wellness/BreakRemindersModel.h"
#include "platform/Platform.h"
#include "platform/host/SystemHost.h"
#include "support/TestEnvironment.h"
#include "wellness/BreakReminder.h"

#include <QRegularExpression>

using namespace qv;

namespace {

// What names a Mac, its laptops, its maker, its Finder or its menu bar.
const QRegularExpression macWords(QStringLiteral("\\bMacs?\\b|MacBook|macOS|Apple|Finder|menu bar"),
                                  QRegularExpression::CaseInsensitiveOption);

// The texts of the running application that are written for the Mac, as the installed
// machine says them: the display notes, the tray's words, the file manager and Neutral.
class MachineWordsTest : public test::QvTest {
protected:
    void useWords(MachineWords *words)
    {
        PlatformServices services = mac->services();
        services.words = words;
        installPlatform(services);
    }

    QStringList shownTexts()
    {
        QStringList texts;
        SupportPageModel page(nullptr, &FeedbackStore::shared());
        for (const QVariant &topic : page.topics())
            for (const char *field : {"title", "summary", "whyItMatters", "howQuellvistaHelps", "youMayNotice"})
                texts << topic.toMap().value(field).toString();
        texts << SupportPageModel::reviewHelp() << SupportPageModel::aboutSubtitle() << SupportPageModel::aboutText()
              << page.updateStatus()
              << appcast::message(appcast::Release{"1.2.0", 5, "5"}, "1.0.0", 1, /*frameworkOffersInstaller=*/true);
        texts << presetTileInfo(ComfortPreset::neutral).subtitle;
        ComfortProfilesGridModel grid;
        grid.trigger(0, QStringLiteral("favorite")); // one tile offers to show, the others to remove
        for (const ProfileTile &tile : grid.tiles()) {
            texts << tile.title << tile.subtitle;
            for (const ProfileMenuEntry &entry : tile.menu)
                texts << entry.text;
        }
        for (DisplayComfortGuideStep step : displayComfortGuide::allSteps())
            texts << displayComfortGuide::message(step);
        BreakReminder reminder;
        BreakRemindersModel breaks(&reminder);
        for (const QVariant &style : breaks.reminderStyles())
            texts << style.toMap().value("title").toString();
        QuellvistaApp app;
        app.breakReminder().setIsEnabled(true);
        MenuBarPopoverModel popover(&app);
        texts << MenuBarPopoverModel::windowTitle() << popover.statusTitle() << popover.statusSubtitle();
        for (const QVariant &item : popover.gearMenuItems())
            texts << item.toMap().value("title").toString();
        return texts;
    }
};

TEST_F(MachineWordsTest, TheComputerIsNeverCalledAMac)
{
    HostMachineWords host;
    useWords(&host);
    mac->setFramebufferProtectionsAvailable(false);
    const QStringList texts = shownTexts();
    for (const QString &text : texts)
        EXPECT_FALSE(macWords.match(text).hasMatch()) << text.toStdString();
    for (const char *tray : {"Show in Tray", "Remove from Tray", "Show timer in the tray", "Tray",
                             "Open the saved feedback file in the file manager", "Quellvista pop-over", "No tuning"})
        EXPECT_TRUE(texts.contains(tray)) << tray;
    // An update check here installs nothing, and the card and its answer say so.
    EXPECT_TRUE(texts.contains("Checks the public release feed and says what it found. Nothing is downloaded or "
                               "installed on this computer."));
    EXPECT_TRUE(texts.contains("Version 1.2.0 build 5 is available. Nothing is installed on this computer: get it "
                               "where you got Quellvista."));
    for (const QString &text : texts)
        EXPECT_FALSE(text.contains("Sparkle") || text.contains("install updates automatically")) << text.toStdString();
}

// On the computer each note says what holds there: what only a Mac has is not offered, and
// what Quellvista does instead; the topics keep their titles, order and ids.
TEST_F(MachineWordsTest, DisplayNotesSayWhatHoldsOnTheComputer)
{
    HostMachineWords host;
    const QList<EducationTopic> said = EducationTopic::said(host);
    const QList<EducationTopic> &mac = EducationTopic::all();
    ASSERT_EQ(said.size(), mac.size());
    for (qsizetype i = 0; i < said.size(); ++i) {
        EXPECT_EQ(said[i].id, mac[i].id);
        EXPECT_EQ(said[i].title, mac[i].title);
    }
    EXPECT_TRUE(said[0].howQuellvistaHelps.startsWith("This computer does not let applications switch temporal"));
    EXPECT_TRUE(said[0].howQuellvistaHelps.contains("\"Unavailable\""));
    EXPECT_TRUE(said[0].howQuellvistaHelps.contains("gamma ramp"));
    EXPECT_FALSE(said[0].howQuellvistaHelps.contains("enableDither"));
    EXPECT_TRUE(said[1].howQuellvistaHelps.contains("gamma ramp, where the desktop lets applications set it"));
    EXPECT_FALSE(said[1].howQuellvistaHelps.contains("comfort veil")) << "the veil does not dim for it";
    EXPECT_TRUE(said[2].howQuellvistaHelps.startsWith("This computer does not let applications switch"));
    EXPECT_FALSE(said[2].summary.contains("uniformity2D"));
    EXPECT_TRUE(said[4].howQuellvistaHelps.startsWith("Quellvista has no resolution picker on this computer"));
    EXPECT_TRUE(said[5].howQuellvistaHelps.contains("\"Crisper text\" in Settings"));
    EXPECT_EQ(said[3].summary, mac[3].summary) << "what holds everywhere stays as it is";
    EXPECT_EQ(said[1].whyItMatters, mac[1].whyItMatters);
}

// The simulated Mac keeps the Mac's texts, word for word.
TEST_F(MachineWordsTest, TheSimulatedMacKeepsItsOwnTexts)
{
    const QList<EducationTopic> said = EducationTopic::said(machineWords());
    const QList<EducationTopic> &all = EducationTopic::all();
    for (qsizetype i = 0; i < said.size(); ++i) {
        EXPECT_EQ(said[i].summary, all[i].summary);
        EXPECT_EQ(said[i].whyItMatters, all[i].whyItMatters);
        EXPECT_EQ(said[i].howQuellvistaHelps, all[i].howQuellvistaHelps);
        EXPECT_EQ(said[i].youMayNotice, all[i].youMayNotice);
    }
    const QStringList texts = shownTexts();
    for (const char *onMac : {"Show in Menu Bar", "Remove from Menu Bar", "Show timer in menu bar", "Menu bar",
                              "Open the saved feedback file in Finder", "Apple defaults"})
        EXPECT_TRUE(texts.contains(onMac)) << onMac;
}

} // namespace
