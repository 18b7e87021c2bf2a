#include "comfort/AppAwareComfort.h"
#include "platform/sim/SimWorkspace.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

#include <memory>

using namespace qv;

namespace {

struct Change {
    QString bundleID;
    ComfortPreset preset;
    bool operator==(const Change &) const = default;
};

void PrintTo(const Change &c, std::ostream *os)
{
    *os << qPrintable(c.bundleID) << " -> " << qPrintable(rawValue(c.preset));
}

class AppAwareComfortTest : public test::QvTest {
protected:
    SimWorkspace &workspace() { return mac->workspace(); }

    // Creates the model and records every choice it hands on.
    AppAwareComfort &start()
    {
        comfort = std::make_unique<AppAwareComfort>();
        comfort->onProfileChange = [this](const QString &bundleID, ComfortPreset preset) {
            // The published values are those of the evaluation by the time it is handed on.
            EXPECT_EQ(comfort->currentAppBundleID(), bundleID);
            EXPECT_EQ(comfort->currentProfile(), preset);
            changes.push_back({bundleID, preset});
        };
        return *comfort;
    }
    void store(const QVariantMap &assignments) { defaults->set(AppAwareComfort::storageKey, assignments); }

    std::unique_ptr<AppAwareComfort> comfort;
    std::vector<Change> changes;
};

} // namespace

TEST_F(AppAwareComfortTest, StoredAssignmentsComeBeforeTheBuiltInTable)
{
    store({{"com.apple.Safari", "Focus"},
           {"com.apple.mail", "Night"},
           {"com.apple.Notes", "Reading mode"},
           {"com.figma.Desktop", "Neutral"},
           {"com.example.Editor", "Coding"},
           {"com.example.Paint", "Design"},
           {"com.example.Calm", "Low Stimulus"},
           {"com.apple.terminal", "Evening"},
           {"com.example.Lower", "focus"}});
    const AppAwareComfort &c = start();

    const struct {
        const char *bundleID;
        ComfortPreset expected;
    } cases[] = {
        {"com.apple.Safari", ComfortPreset::focus},        // stored beats the table
        {"com.apple.mail", ComfortPreset::evening},        // earlier identifier
        {"com.apple.Notes", ComfortPreset::reading},       // unknown text dropped: the table applies
        {"com.figma.Desktop", ComfortPreset::neutral},     // a stored Neutral still wins
        {"com.example.Editor", ComfortPreset::focus},      // earlier identifier, not in the table
        {"com.example.Paint", ComfortPreset::colorWork},   // earlier identifier
        {"com.example.Calm", ComfortPreset::lowStimulus},  // raw value with a space
        {"com.apple.Terminal", ComfortPreset::focus},      // table; the stored key differs in case
        {"com.apple.terminal", ComfortPreset::evening},    // the stored key itself
        {"COM.APPLE.SAFARI", ComfortPreset::neutral},      // case matters
        {"com.example.Lower", ComfortPreset::neutral},     // "focus" is no raw value
        {"org.example.Unknown", ComfortPreset::neutral},
        {"", ComfortPreset::neutral},
    };
    for (const auto &tc : cases)
        EXPECT_EQ(c.profile(tc.bundleID), tc.expected) << tc.bundleID;

    EXPECT_EQ(c.customProfiles().size(), 7);
    EXPECT_TRUE(logs->containsPart("AppAware", "com.apple.Notes"));
    EXPECT_TRUE(logs->containsPart("AppAware", "com.example.Lower"));
    EXPECT_EQ(logs->messages("AppAware").size(), 2);
}

TEST_F(AppAwareComfortTest, AStoredValueThatIsNotTextDiscardsEveryAssignmentAndKeepsTheStoredValue)
{
    const QVariantMap stored = {{"com.apple.Safari", "Focus"}, {"com.apple.mail", 3}, {"com.example.Editor", "Focus"}};
    store(stored);
    const AppAwareComfort &c = start();

    EXPECT_TRUE(c.customProfiles().isEmpty());
    EXPECT_EQ(c.profile("com.apple.Safari"), ComfortPreset::reading);
    EXPECT_EQ(c.profile("com.example.Editor"), ComfortPreset::neutral);
    EXPECT_EQ(logs->messages("AppAware"),
              QStringList{"Ignoring all app assignments: the value for \"com.apple.mail\" is not text"});
    EXPECT_EQ(defaults->dictionaryValue(AppAwareComfort::storageKey), stored);
}

TEST_F(AppAwareComfortTest, StoredAssignmentsOfTheWrongShapeAreIgnored)
{
    const struct {
        const char *name;
        QVariant stored;
        bool logged;
    } cases[] = {
        {"nothing stored", QVariant(), false},
        {"empty dictionary", QVariantMap(), false},
        {"text", QString("Focus"), true},
        {"array", QVariantList{"com.apple.Safari", "Focus"}, true},
        {"nested dictionary", QVariantMap{{"com.apple.Safari", QVariantMap{{"preset", "Focus"}}}}, true},
        {"bool value", QVariantMap{{"com.apple.Safari", true}}, true},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        logs->clear();
        if (tc.stored.isValid())
            defaults->set(AppAwareComfort::storageKey, tc.stored);
        else
            defaults->remove(AppAwareComfort::storageKey);
        const AppAwareComfort c;
        EXPECT_TRUE(c.customProfiles().isEmpty());
        EXPECT_EQ(c.profile("com.apple.Safari"), ComfortPreset::reading);
        EXPECT_EQ(logs->messages("AppAware").size(), tc.logged ? 1 : 0);
    }
}

TEST_F(AppAwareComfortTest, ConstructionEvaluatesTheFrontApplication)
{
    store({{"com.example.NoName", "PWM-safe"}});
    const struct {
        const char *bundleID;
        std::optional<QString> name;
        const char *expectedName;
        ComfortPreset expected;
        const char *message;
    } cases[] = {
        {"com.apple.mail", QString("Mail"), "Mail", ComfortPreset::reading, "Mail: Reading"},
        {"com.example.NoName", std::nullopt, "com.example.NoName", ComfortPreset::pwmSafe,
         "com.example.NoName: PWM-safe"},
        {"org.example.Tool", QString("Tool"), "Tool", ComfortPreset::neutral, "Tool: no automatic profile"},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.bundleID);
        workspace().launch(QString(tc.bundleID), tc.name);
        const AppAwareComfort &c = start();
        EXPECT_EQ(c.currentAppBundleID(), tc.bundleID);
        EXPECT_EQ(c.currentAppName(), tc.expectedName);
        EXPECT_EQ(c.currentProfile(), tc.expected);
        EXPECT_EQ(c.lastSwitchMessage(), tc.message);
        EXPECT_FALSE(c.lastAppliedPreset);
    }
}

TEST_F(AppAwareComfortTest, WithoutAUsableFrontApplicationNothingIsPublished)
{
    const qint64 nameless = workspace().launch(std::nullopt, QString("Helper"));
    AppAwareComfort &c = start();
    EXPECT_EQ(c.currentAppBundleID(), "");
    EXPECT_EQ(c.currentAppName(), "");
    EXPECT_EQ(c.lastSwitchMessage(), "");

    const qint64 safari = workspace().launch(QString("com.apple.Safari"), QString("Safari"));
    runPending();
    // Back to the application without an identifier, then to none at all: the last
    // evaluation stands, even when forced.
    workspace().activate(nameless);
    runPending();
    c.refresh(true);
    workspace().deactivate(nameless);
    c.refresh(true);
    EXPECT_EQ(c.lastSwitchMessage(), "Safari: Reading");
    workspace().activate(safari);
    runPending();
    EXPECT_EQ(changes, (std::vector<Change>{{"com.apple.Safari", ComfortPreset::reading}}));
}

TEST_F(AppAwareComfortTest, EachSwitchOfApplicationIsHandedOnEvenWithTheSamePreset)
{
    const qint64 mail = workspace().launch(QString("com.apple.mail"), QString("Mail"));
    AppAwareComfort &c = start();
    QSignalSpy bundleChanged(&c, &AppAwareComfort::currentAppBundleIDChanged);
    QSignalSpy profileChanged(&c, &AppAwareComfort::currentProfileChanged);
    const qint64 notes = workspace().launch(QString("com.apple.Notes"), QString("Notes"));
    EXPECT_TRUE(changes.empty()); // the evaluation runs on a later turn
    runPending();
    workspace().activate(mail);
    runPending();
    EXPECT_EQ(bundleChanged.count(), 2);
    EXPECT_EQ(profileChanged.count(), 0);
    workspace().launch(QString("org.example.Tool"), QString("Tool"));
    runPending();
    workspace().activate(notes);
    runPending();

    EXPECT_EQ(changes, (std::vector<Change>{{"com.apple.Notes", ComfortPreset::reading},
                                            {"com.apple.mail", ComfortPreset::reading},
                                            {"org.example.Tool", ComfortPreset::neutral},
                                            {"com.apple.Notes", ComfortPreset::reading}}));
    EXPECT_EQ(c.property("currentProfile").toString(), "Reading");
}

TEST_F(AppAwareComfortTest, TheSameApplicationAgainIsHandedOnOnlyWhenForced)
{
    const qint64 first = workspace().launch(QString("com.google.Chrome"), QString("Chrome"));
    AppAwareComfort &c = start();
    QSignalSpy messageChanged(&c, &AppAwareComfort::lastSwitchMessageChanged);

    emit workspace().applicationActivated(workspace().application(first));
    runPending();
    // A second process of the same application.
    workspace().launch(QString("com.google.Chrome"), QString("Chrome"));
    runPending();
    EXPECT_TRUE(changes.empty());

    c.refresh(true);
    EXPECT_EQ(changes, (std::vector<Change>{{"com.google.Chrome", ComfortPreset::reading}}));
    EXPECT_EQ(messageChanged.count(), 0);
}

TEST_F(AppAwareComfortTest, ActivationsBeforeTheEvaluationRunsGiveOneChangeForTheLastApplication)
{
    start();
    workspace().launch(QString("com.apple.Safari"), QString("Safari"));
    workspace().launch(QString("com.figma.Desktop"), QString("Figma"));
    runPending();
    EXPECT_EQ(changes, (std::vector<Change>{{"com.figma.Desktop", ComfortPreset::colorWork}}));

    // An evaluation pending when the model goes does nothing.
    workspace().launch(QString("com.apple.dt.Xcode"), QString("Xcode"));
    comfort.reset();
    runPending();
    EXPECT_EQ(changes.size(), 1u);
}

// The Linux builds of the table's applications, known by desktop-entry id, get the presets
// of their Mac builds; the user's assignments are by desktop-entry id as well.
TEST_F(AppAwareComfortTest, LinuxBuildsGetThePresetsOfTheirMacBuilds)
{
    store({{"org.gnome.Terminal", "Evening"}, {"org.gnome.TextEditor", "Reading"}, {"obsidian.desktop", "Focus"}});
    const AppAwareComfort &c = start();
    const struct {
        const char *linuxID;
        const char *macID;
        ComfortPreset expected;
    } cases[] = {
        {"code", "com.microsoft.VSCode", ComfortPreset::focus},
        {"cursor", "com.todesktop.230313mzl4w4u92", ComfortPreset::focus},
        {"google-chrome", "com.google.Chrome", ComfortPreset::reading},
        {"org.gnome.Terminal", "com.apple.Terminal", ComfortPreset::evening}, // the user's choice wins
        {"org.gnome.TextEditor", nullptr, ComfortPreset::reading},
        {"obsidian", nullptr, ComfortPreset::focus}, // assigned with the file name's ending
    };
    for (const auto &tc : cases) {
        EXPECT_EQ(c.profile(tc.linuxID), tc.expected) << tc.linuxID;
        if (tc.macID && tc.expected != ComfortPreset::evening) {
            EXPECT_EQ(c.profile(tc.macID), tc.expected) << tc.macID;
        }
    }
    EXPECT_EQ(c.profile("obsidian.md"), ComfortPreset::reading);
}
