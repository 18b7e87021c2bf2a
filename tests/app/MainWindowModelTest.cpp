#include "app/MainWindowModel.h"
#include "app/OvSection.h"
#include "app/SettingsSectionModel.h"
#include "app/SidebarModels.h"
#include "design/SystemSymbol.h"
#include "design/Theme.h"
#include "platform/host/SystemHost.h"
#include "support/TestEnvironment.h"
#include "support/ViewTexts.h"

#include <QSignalSpy>

using namespace qv;

namespace {

class MainWindowModelTest : public test::QvTest {};

TEST_F(MainWindowModelTest, RawTitlesMatchExactly)
{
    for (OvSection s : {OvSection::displayAndComfort, OvSection::blink, OvSection::breaks, OvSection::about,
                        OvSection::settings})
        EXPECT_EQ(ovSectionFromRawValue(ovSectionRawValue(s)), s);
    for (const char *text : {"break reminders", "Support ", " Support", "settings", "", "Display &Comfort"})
        EXPECT_FALSE(ovSectionFromRawValue(text).has_value()) << text;
    EXPECT_EQ(ovSectionAllCases(), (QList<OvSection>{OvSection::displayAndComfort, OvSection::blink,
                                                     OvSection::breaks, OvSection::about}));
}

// The rows name their symbols from here, not in the views: each must have a glyph.
TEST_F(MainWindowModelTest, EverySectionSymbolHasAGlyph)
{
    for (OvSection s : {OvSection::displayAndComfort, OvSection::blink, OvSection::breaks, OvSection::about,
                        OvSection::settings})
        EXPECT_TRUE(SystemSymbol::isMapped(ovSectionSymbol(s))) << qPrintable(ovSectionSymbol(s));
}

TEST_F(MainWindowModelTest, ProductHeaderTexts)
{
    MainWindowModel model;
    test::expectViewTexts(model, {{"productName", "Quellvista"}, {"tagline", "for your eyes"}});
}

struct StoredCase {
    const char *name;
    QVariant stored; // invalid: nothing stored
    MainWindowModel::Section shows;
};

TEST_F(MainWindowModelTest, StoredSelectionReadsAsItsSectionOrDisplayAndComfort)
{
    const StoredCase cases[] = {
        {"first start", QVariant(), MainWindowModel::DisplayAndComfort},
        {"Support", "Support", MainWindowModel::About},
        {"Settings", "Settings", MainWindowModel::Settings},
        {"Blink Detection", "Blink Detection", MainWindowModel::Blink},
        {"other case", "break reminders", MainWindowModel::DisplayAndComfort},
        {"unknown", "Diagnostics", MainWindowModel::DisplayAndComfort},
        {"empty", "", MainWindowModel::DisplayAndComfort},
        {"other type", 3, MainWindowModel::DisplayAndComfort},
    };
    for (const StoredCase &c : cases) {
        if (c.stored.isValid())
            defaults->set(kSelectedSectionKey, c.stored);
        else
            defaults->remove(kSelectedSectionKey);
        MainWindowModel model;
        EXPECT_EQ(model.selectedSection(), c.shows) << c.name;
        // Reading leaves the stored text alone until the user selects.
        EXPECT_EQ(defaults->object(kSelectedSectionKey), c.stored) << c.name;
    }
}

TEST_F(MainWindowModelTest, SelectingWritesTheRawTitleAtOnce)
{
    defaults->setString(kSelectedSectionKey, "break reminders");
    MainWindowModel model;
    QSignalSpy changed(&model, &MainWindowModel::selectedSectionChanged);
    model.select(MainWindowModel::Breaks);
    EXPECT_EQ(defaults->stringValue(kSelectedSectionKey), "Break Reminders");
    EXPECT_EQ(model.selectedSection(), MainWindowModel::Breaks);
    model.openSettings();
    EXPECT_EQ(defaults->stringValue(kSelectedSectionKey), "Settings");
    EXPECT_EQ(model.selectedSection(), MainWindowModel::Settings);
    model.select(MainWindowModel::About);
    EXPECT_EQ(defaults->stringValue(kSelectedSectionKey), "Support");
    EXPECT_EQ(changed.count(), 3);
    // Settings has no row, so no listed section is highlighted while it is selected.
    model.openSettings();
    EXPECT_FALSE(model.sidebarSections().contains(int(model.selectedSection())));
}

TEST_F(MainWindowModelTest, AppStartIsWhenTheContentWasCreated)
{
    advance(5000);
    MainWindowModel first;
    EXPECT_EQ(first.appStart(), clock->now());
    advance(60000);
    MainWindowModel reopened;
    EXPECT_EQ(reopened.appStart(), first.appStart().addSecs(60));
}

TEST_F(MainWindowModelTest, SidebarRowLookFollowsSelection)
{
    defaults->setString("appAppearanceMode", "dark");
    SidebarItemModel row;
    row.setSection(MainWindowModel::About);
    EXPECT_EQ(row.title(), "Support");
    EXPECT_EQ(row.symbol(), "lifepreserver");
    EXPECT_EQ(row.iconColor(), Theme::adaptive(ColorToken::textSecondary).dark);
    EXPECT_EQ(row.titleFont().weight(), QFont::Normal);
    row.setSelected(true);
    EXPECT_EQ(row.iconColor(), Theme::adaptive(ColorToken::accent).dark);
    EXPECT_EQ(row.titleFont().weight(), QFont::Medium);
    EXPECT_EQ(row.titleColor(), Theme::adaptive(ColorToken::textPrimary).dark);
}

struct HostCase {
    const char *name;
    std::optional<QString> host;
    std::optional<QString> brand;
    const char *line;
};

TEST_F(MainWindowModelTest, StatusCardTexts)
{
    const HostCase cases[] = {
        {"known chip", QString("Studio"), QString("Apple M2 Max"), "Studio \u00B7 Supported"},
        {"unknown chip", QString("Studio"), QString("Intel(R) Core(TM) i9"), "Studio \u00B7 Limited support"},
        {"no brand", QString("Studio"), std::nullopt, "Studio \u00B7 Limited support"},
        {"no host name", std::nullopt, QString("Apple M1"), "This Mac \u00B7 Supported"},
        {"empty host name", QString(""), QString("Apple M4 Pro"), "This Mac \u00B7 Supported"},
    };
    for (const HostCase &c : cases) {
        restart(); // the display engine detects the chip family once, when it starts
        mac->setHostName(c.host);
        mac->setProcessorBrand(c.brand);
        SidebarStatusCardModel card;
        EXPECT_EQ(card.hostLine().toStdString(), c.line) << c.name;
    }
    // On the computer itself the texts speak of the computer, not of a Mac.
    PlatformServices services = mac->services();
    HostMachineWords hostWords;
    services.words = &hostWords;
    installPlatform(services);
    mac->setHostName(std::nullopt);
    EXPECT_EQ(SidebarStatusCardModel().hostLine(), "This computer \u00B7 Supported");
    // Where framebuffers hold neither dithering nor uniformity (every Linux computer), the
    // line says what is left rather than "Limited support".
    mac->setFramebufferProtectionsAvailable(false);
    EXPECT_EQ(SidebarStatusCardModel().hostLine(), "This computer \u00B7 Software dimming only");
    EXPECT_EQ(SettingsSectionModel::pageSubtitle(), "Adjust how Quellvista behaves across your computer.");
    const QDateTime nine = QDateTime(QDate(2026, 3, 2), QTime(9, 5, 30));
    EXPECT_EQ(SidebarStatusCardModel::activeSinceLine(nine, QLocale(QLocale::English, QLocale::UnitedStates)),
              "Active since 9:05 AM");
    EXPECT_EQ(SidebarStatusCardModel::activeSinceLine(nine, QLocale(QLocale::German)), "Active since 09:05");
    EXPECT_EQ(SidebarStatusCardModel::activeSinceLine(nine, QLocale::c()), "Active since 09:05");
}

} // namespace
