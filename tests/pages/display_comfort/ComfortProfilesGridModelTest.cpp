#include "comfort/PresetManager.h"
#include "pages/display_comfort/ComfortProfilesGridModel.h"
#include "platform/Platform.h"
#include "platform/host/SystemHost.h"
#include "runtime/Scheduler.h"
#include "support/TestEnvironment.h"
#include <QJsonObject>
#include <QJsonDocument>
#include <QJsonArray>

#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace qv;

namespace {

class ComfortProfilesGridModelTest : public test::QvTest {
protected:
    PresetManager &manager() { return PresetManager::shared(); }
    void settle() { advance(1000); }

    static QStringList titles(const ComfortProfilesGridModel &grid)
    {
        QStringList list;
        for (const ProfileTile &t : grid.tiles())
            list << t.title;
        return list;
    }
    static QStringList active(const ComfortProfilesGridModel &grid)
    {
        QStringList list;
        for (const ProfileTile &t : grid.tiles())
            if (t.active)
                list << t.title;
        return list;
    }
    static QStringList menuTexts(const ProfileTile &tile)
    {
        QStringList list;
        for (const ProfileMenuEntry &e : tile.menu)
            list << e.text;
        return list;
    }
    static int rowOf(const ComfortProfilesGridModel &grid, const QString &title)
    {
        for (qsizetype i = 0; i < grid.tiles().size(); ++i)
            if (grid.tiles()[i].title == title)
                return int(i);
        return -1;
    }
};

// On the host the hint names the desktop's keys, on a line of its own so the name keeps
// its room in the tile.
TEST_F(ComfortProfilesGridModelTest, HostHintsHaveALineOfTheirOwn)
{
    PlatformServices services = mac->services();
    HostMachineWords hostWords;
    services.words = &hostWords;
    installPlatform(services);
    ComfortProfilesGridModel grid;
    EXPECT_EQ(grid.tiles()[0].hint, "Super+Shift+D");
    EXPECT_TRUE(grid.tiles()[0].hintOnOwnLine);
    EXPECT_FALSE(grid.tiles()[2].hintOnOwnLine) << "Low Stimulus has no hot key";
}

TEST_F(ComfortProfilesGridModelTest, StartersThenSavedProfilesThenNewProfile)
{
    ComfortProfilesGridModel grid;
    EXPECT_EQ(titles(grid), (QStringList{"Focus", "PWM-Safe", "Low Stimulus", "Evening", "New profile"}));
    EXPECT_EQ(grid.tiles()[0].hint, QString::fromUtf8("\u2318\u21E7D"));
    EXPECT_EQ(grid.tiles()[2].hint, "");
    EXPECT_FALSE(grid.tiles()[0].hintOnOwnLine);
    EXPECT_TRUE(grid.tiles().last().dashed);
    EXPECT_EQ(grid.activeText(), "Active: Neutral");

    grid.activate(grid.rowCount() - 1);
    grid.activate(grid.rowCount() - 1);
    settle();
    EXPECT_EQ(titles(grid),
              (QStringList{"Focus", "PWM-Safe", "Low Stimulus", "Evening", "Saved 1", "Saved 2", "New profile"}));
    EXPECT_EQ(grid.rowCount(), 7);
    EXPECT_EQ(active(grid), QStringList{"Saved 2"});
    EXPECT_EQ(grid.activeText(), "Active: Saved 2");
    // Deleting the first and saving again gives a second "Saved 2".
    grid.trigger(rowOf(grid, "Saved 1"), "delete");
    grid.activate(grid.rowCount() - 1);
    settle();
    EXPECT_EQ(titles(grid).mid(4), (QStringList{"Saved 2", "Saved 2", "New profile"}));
}

// At most one tile is active: a saved profile outranks the preset that activePreset
// still names; deleting it brings that preset's tile back.
TEST_F(ComfortProfilesGridModelTest, ActiveTileIsExclusive)
{
    ComfortProfilesGridModel grid;
    EXPECT_TRUE(active(grid).isEmpty()); // Neutral is not a tile
    grid.activate(rowOf(grid, "Evening"));
    settle();
    EXPECT_EQ(active(grid), QStringList{"Evening"});
    manager().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    settle();
    EXPECT_EQ(active(grid), QStringList{"Desk"});
    EXPECT_EQ(manager().activePreset(), ComfortPreset::evening);
    grid.trigger(rowOf(grid, "Desk"), "delete");
    EXPECT_EQ(active(grid), QStringList{"Evening"});
    manager().applyPreset(ComfortPreset::reading, false);
    EXPECT_TRUE(active(grid).isEmpty());
}

TEST_F(ComfortProfilesGridModelTest, ContextMenusOfSixAndFourEntries)
{
    ComfortProfilesGridModel grid;
    const int focus = rowOf(grid, "Focus");
    EXPECT_EQ(menuTexts(grid.tiles()[focus]),
              (QStringList{"Rename", "Save Current Settings to This Profile", "Save Current Settings as New Profile",
                           "Remove from Menu Bar", "Reset Profile Settings"}));
    EXPECT_TRUE(grid.tiles()[focus].menu.last().destructive);

    // "Reset Name" only while renamed; favourite entry and star follow the favourites.
    manager().renamePreset(ComfortPreset::focus, QStringLiteral("Deep"));
    EXPECT_EQ(menuTexts(grid.tiles()[focus]).size(), 6);
    EXPECT_EQ(menuTexts(grid.tiles()[focus])[4], "Reset Name");
    grid.trigger(focus, "favorite");
    EXPECT_FALSE(grid.tiles()[focus].favorite);
    EXPECT_EQ(menuTexts(grid.tiles()[focus])[3], "Show in Menu Bar");
    EXPECT_EQ(grid.tiles()[focus].menu[3].symbol, "star");
    grid.trigger(focus, "resetName");
    EXPECT_EQ(grid.tiles()[focus].title, "Focus");
    EXPECT_EQ(menuTexts(grid.tiles()[focus]).size(), 5);
    manager().renamePreset(ComfortPreset::focus, QStringLiteral("Focus"));
    EXPECT_EQ(menuTexts(grid.tiles()[focus]).size(), 5);

    // Saving into a preset customises it, makes it active at once, and resetting undoes it.
    grid.trigger(focus, "saveToProfile");
    EXPECT_TRUE(grid.tiles()[focus].customized);
    EXPECT_EQ(active(grid), QStringList{"Focus"});
    grid.trigger(focus, "resetProfile");
    EXPECT_FALSE(grid.tiles()[focus].customized);

    grid.trigger(focus, "saveAsNew");
    settle();
    const int saved = rowOf(grid, "Focus") == focus ? 4 : -1;
    ASSERT_EQ(grid.tiles()[saved].kind, ProfileTileKind::saved);
    EXPECT_EQ(grid.tiles()[saved].title, "Focus");
    EXPECT_EQ(menuTexts(grid.tiles()[saved]),
              (QStringList{"Rename", "Save Current Settings to This Profile", "Remove from Menu Bar", "Delete"}));
    grid.trigger(saved, "favorite");
    EXPECT_EQ(menuTexts(grid.tiles()[saved])[2], "Show in Menu Bar");
    // Unknown actions and rows do nothing.
    grid.trigger(saved, "resetName");
    grid.trigger(99, "delete");
    EXPECT_EQ(grid.rowCount(), 6);
}

TEST_F(ComfortProfilesGridModelTest, RenameSheetFlows)
{
    ComfortProfilesGridModel grid;
    const int pwm = rowOf(grid, "PWM-Safe");
    grid.trigger(pwm, "rename");
    EXPECT_TRUE(grid.renaming());
    EXPECT_EQ(grid.renameTargetId(), "preset-PWM-safe");
    EXPECT_EQ(grid.renameTitle(), "Rename Profile");
    EXPECT_EQ(grid.renameInitialName(), "PWM-Safe");

    // Return with a blank name obeys the same rule as Save: nothing happens.
    EXPECT_FALSE(grid.canSave("   \n"));
    grid.submitRename("   ");
    EXPECT_TRUE(grid.renaming());
    grid.submitRename("Backlight");
    EXPECT_FALSE(grid.renaming());
    EXPECT_EQ(grid.tiles()[pwm].title, "Backlight");

    grid.trigger(rowOf(grid, "Low Stimulus"), "rename");
    EXPECT_EQ(grid.renameTargetId(), "preset-Low Stimulus");
    grid.cancelRename();
    EXPECT_FALSE(grid.renaming());
    EXPECT_EQ(grid.tiles()[rowOf(grid, "Low Stimulus")].title, "Low Stimulus");

    manager().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    const int desk = rowOf(grid, "Desk");
    grid.trigger(desk, "rename");
    const QString id = uuidText(grid.tiles()[desk].profile->id);
    EXPECT_EQ(grid.renameTargetId(), "saved-" + id);
    EXPECT_EQ(id, id.toUpper());
    EXPECT_EQ(grid.renameTitle(), "Rename Saved Profile");
    grid.saveRename("");
    EXPECT_TRUE(grid.renaming());
    grid.saveRename("  Studio  ");
    EXPECT_EQ(grid.tiles()[desk].title, "Studio");
    EXPECT_FALSE(grid.renaming());
}

TEST_F(ComfortProfilesGridModelTest, EveryStarterHiddenShowsTheNoticeUntilRestored)
{
    defaults->set("hiddenDefaultComfortPresets", QVariantList{"Focus", "PWM-safe", "Low Stimulus", "Evening"});
    manager().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    ComfortProfilesGridModel grid;
    EXPECT_FALSE(grid.showsGrid());
    EXPECT_EQ(grid.rowCount(), 0);
    grid.restoreStarters();
    EXPECT_TRUE(grid.showsGrid());
    EXPECT_EQ(titles(grid), (QStringList{"Focus", "PWM-Safe", "Low Stimulus", "Evening", "Desk", "New profile"}));
    EXPECT_TRUE(defaults->object("hiddenDefaultComfortPresets").toList().isEmpty());
}

TEST_F(ComfortProfilesGridModelTest, IntensityAccessibleValue)
{
    ComfortProfilesGridModel grid;
    struct Case {
        double intensity;
        const char *text;
    };
    const Case cases[] = {{0.65, "65 percent, Strong"}, {0.82, "82 percent, Maximum"},
                          {0.8199, "81 percent, Strong"}, {0.29, "29 percent, Balanced"},
                          {0.0, "0 percent, Subtle"},   {1.0, "100 percent, Maximum"}};
    EXPECT_EQ(grid.intensityAccessibleValue(), "65 percent, Strong");
    for (const Case &c : cases) {
        grid.moveIntensity(c.intensity);
        EXPECT_EQ(grid.intensityAccessibleValue(), QString::fromUtf8(c.text)) << c.intensity;
    }
}

// A stored intensity of another type or out of range still gives a defined value.
TEST_F(ComfortProfilesGridModelTest, StoredIntensityOfAnotherTypeOrOutOfRangeGivesADefinedValue)
{
    const QRegularExpression defined(QStringLiteral("^(\\d|[1-9]\\d|100) percent, (Subtle|Balanced|Strong|Maximum)$"));
    for (const QVariant &stored : {QVariant(QStringLiteral("strong")), QVariant(7.5), QVariant(-2.0), QVariant(true)}) {
        defaults->set("profileIntensity", stored);
        restart();
        ComfortProfilesGridModel grid;
        EXPECT_TRUE(defined.match(grid.intensityAccessibleValue()).hasMatch())
            << qPrintable(grid.intensityAccessibleValue());
        EXPECT_GE(grid.intensity(), 0);
        EXPECT_LE(grid.intensity(), 1);
    }
}

// The tint mixes rose, teal and gold by three sine weights of the time since 2001.
TEST_F(ComfortProfilesGridModelTest, DriftingTintMixesTheBrandColours)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    const double a = 0.5, b = (std::sin(1.7) + 1) / 2, c = (std::sin(3.1) + 1) / 2;
    const QColor at0 = driftingTint(reference);
    EXPECT_NEAR(at0.redF(), (a * 216 + b * 131 + c * 217) / (a + b + c) / 255, 1e-4);
    EXPECT_NEAR(at0.greenF(), (a * 111 + b * 185 + c * 180) / (a + b + c) / 255, 1e-4);
    EXPECT_NEAR(at0.blueF(), (a * 152 + b * 191 + c * 106) / (a + b + c) / 255, 1e-4);
    EXPECT_EQ(at0.alphaF(), 1.0);
    EXPECT_NE(driftingTint(reference.addSecs(10)).rgb(), at0.rgb());
}

// Shown, the tint follows the drift in steps just big enough to see: it never lags the
// drifting colour by a visible step, and changes far less often than ten times a second.
TEST_F(ComfortProfilesGridModelTest, DriftingTintChangesInVisibleSteps)
{
    QQuickWindow window;
    window.resize(40, 20);
    auto *tint = new DriftingTint(window.contentItem());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int changes = 0;
    QObject::connect(tint, &DriftingTint::colorChanged, [&changes] { ++changes; });
    int largestLag = 0;
    const int checks = 600; // a minute, looked at every 100 ms
    for (int i = 0; i < checks; ++i) {
        advance(100);
        const QColor now = driftingTint(scheduler().now());
        const QColor shown = tint->color();
        largestLag = std::max({largestLag, std::abs(now.red() - shown.red()), std::abs(now.green() - shown.green()),
                               std::abs(now.blue() - shown.blue())});
    }
    EXPECT_LT(largestLag, DriftingTint::visibleLevels);
    EXPECT_GT(changes, 10);
    EXPECT_LT(changes, checks / 2);
}

// Names from outside stay whole in the model (the view shows them as plain text on one
// line).
TEST_F(ComfortProfilesGridModelTest, HostileNamesAreKeptAsText)
{
    const QString markup = QStringLiteral("<b>Bold</b> & <img src=x>");
    manager().saveCurrentAsNewProfile(markup);
    manager().saveCurrentAsNewProfile(QString(10000, u'W'));
    ComfortProfilesGridModel grid;
    EXPECT_EQ(grid.tiles()[4].title, markup);
    EXPECT_EQ(grid.tiles()[4].accessibleName, markup + " saved comfort profile");
    EXPECT_EQ(grid.tiles()[5].title, QString(PresetManager::kMaxProfileNameLength, u'W')) << "cut to the longest kept";
}

// A stored name with nothing to see gets a title; direction controls in a name are shown
// inert (the stored name keeps them).
TEST_F(ComfortProfilesGridModelTest, BlankAndReorderingNamesGetSensibleTitles)
{
    const QString reversed = QStringLiteral("\u202Eevil\u2066 twin\u2069");
    manager().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    manager().saveCurrentAsNewProfile(QStringLiteral("\u202E\u202C"));
    manager().saveCurrentAsNewProfile(reversed);
    advance(1000);
    // A blank name reaches the store only from outside: write it there.
    const QByteArray key = ProfileLibrary::savedProfilesKey;
    QJsonArray stored = QJsonDocument::fromJson(*defaults->dataValue(key)).array();
    QJsonObject first = stored[0].toObject();
    first["name"] = " \t ";
    stored[0] = first;
    defaults->setData(key, QJsonDocument(stored).toJson(QJsonDocument::Compact));
    restart();
    ComfortProfilesGridModel grid;
    ASSERT_EQ(manager().savedProfiles().size(), 3);
    EXPECT_EQ(grid.tiles()[4].title, "Untitled Profile");
    EXPECT_EQ(grid.tiles()[4].accessibleName, "Untitled Profile saved comfort profile");
    EXPECT_EQ(grid.tiles()[5].title, "Untitled Profile");
    EXPECT_EQ(grid.tiles()[6].title, "evil twin");
    EXPECT_EQ(manager().savedProfiles()[2].name, reversed);
    manager().applySavedProfile(manager().savedProfiles()[2], false);
    EXPECT_EQ(grid.activeText(), "Active: evil twin");
}

} // namespace
