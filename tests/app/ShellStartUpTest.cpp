#include "app/QuellvistaApp.h"

#include "comfort/AppAwareComfort.h"
#include "comfort/PresetManager.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "platform/Appearance.h"
#include "platform/desktop/XdgAutostartLoginItem.h"
#include "platform/sim/SimLoginItem.h"
#include "runtime/Files.h"
#include "platform/sim/SimPower.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qv;

namespace {

using Status = LoginItem::Status;

class ShellStartUpTest : public test::QvTest {
protected:
    SimLoginItem &loginItem() { return mac->loginItem(); }

    // Each display's framebuffer property as a Boolean text ("true", "false", "-").
    QString framebufferFlags(const QString &key) const
    {
        QStringList flags;
        for (const SimDisplay &display : mac->displays()) {
            const RegistryValue value = mac->framebufferProperty(display.id, key);
            flags << (value.isBool() ? (value.toBool() ? "true" : "false") : "-");
        }
        return flags.join(u' ');
    }

    void makeBatteryLow(bool low)
    {
        mac->setPowerSources(RegistryValue::array(
            {SimPower::batteryDescription(low ? QStringLiteral("Battery Power") : QStringLiteral("AC Power"),
                                          low ? 12 : 80, 100)}));
        advance(30'000);
        runPending();
    }
};

TEST_F(ShellStartUpTest, FirstStartOnEmptyDefaults)
{
    QuellvistaApp app;
    EXPECT_EQ(defaults->boolValue("launchAtLoginEnabled"), true);
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), true);
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.85);
    EXPECT_EQ(loginItem().calls(), QStringList{"register"});
    EXPECT_EQ(loginItem().status(), Status::enabled);
    EXPECT_EQ(framebufferFlags("enableDither"), "false false") << "dithering off everywhere";
    EXPECT_EQ(framebufferFlags("uniformity2D").section(u' ', 0, 0), "true") << "uniformity on, built-in";
    EXPECT_DOUBLE_EQ(app.engine().pwmThresholdPercent(), 85.0);
    EXPECT_TRUE(app.engine().pwmAvoidanceEnabled());
    EXPECT_FALSE(defaults->hasStoredValue("appAppearanceMode"));
    EXPECT_EQ(app.applicationAppearance(), QString()) << "follows the system";
}

TEST_F(ShellStartUpTest, StoredProtectionEdges)
{
    struct Case {
        const char *name;
        QVariant threshold;
        QVariant disableDithering;
        double percent;
        const char *dither;
    };
    const Case cases[] = {
        {"threshold 0", 0.0, QVariant(), 85.0, "false false"},
        {"negative threshold", -0.4, QVariant(), 85.0, "false false"},
        {"threshold 0.5", 0.5, QVariant(), 50.0, "false false"},
        {"dithering allowed", QVariant(), false, 85.0, "true true"},
        {"dithering switch of another type", QVariant(), QStringLiteral("yes"), 85.0, "false false"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        defaults->remove("pwmThreshold");
        defaults->remove("disableDithering");
        if (c.threshold.isValid())
            defaults->set("pwmThreshold", c.threshold);
        if (c.disableDithering.isValid())
            defaults->set("disableDithering", c.disableDithering);
        QuellvistaApp app;
        EXPECT_DOUBLE_EQ(app.engine().pwmThresholdPercent(), c.percent);
        EXPECT_EQ(framebufferFlags("enableDither"), c.dither);
        if (c.threshold.isValid()) {
            EXPECT_EQ(defaults->object("pwmThreshold"), c.threshold) << "the stored value is not corrected";
        }
    }
}

// The login item follows "launchAtLoginEnabled" on every start.
TEST_F(ShellStartUpTest, LoginItemMatrix)
{
    struct Case {
        const char *name;
        QVariant wanted; // invalid: absent
        Status status;
        const char *failure;
        QStringList calls;
        Status after;
        bool logged;
    };
    const Case cases[] = {
        {"absent, not registered", QVariant(), Status::notRegistered, "", {"register"}, Status::enabled, false},
        {"wanted, registered", true, Status::enabled, "", {}, Status::enabled, false},
        {"wanted, needs approval", true, Status::requiresApproval, "", {"register"}, Status::enabled, false},
        {"not wanted, registered", false, Status::enabled, "", {"unregister"}, Status::notRegistered, false},
        {"not wanted, not registered", false, Status::notRegistered, "", {}, Status::notRegistered, false},
        {"registration fails", true, Status::notRegistered, "Operation not permitted", {"register"},
         Status::notRegistered, true},
        {"removal fails silently", false, Status::enabled, "Operation not permitted", {"unregister"},
         Status::enabled, false},
        {"switch of another type", QStringLiteral("on"), Status::enabled, "", {}, Status::enabled, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        logs->clear();
        defaults->remove("launchAtLoginEnabled");
        if (c.wanted.isValid())
            defaults->set("launchAtLoginEnabled", c.wanted);
        loginItem().setStatus(c.status);
        loginItem().setRegisterFailure(c.failure);
        loginItem().setUnregisterFailure(c.failure);
        const int before = int(loginItem().calls().size());
        QuellvistaApp app;
        EXPECT_EQ(loginItem().calls().mid(before), c.calls);
        EXPECT_EQ(loginItem().status(), c.after);
        EXPECT_EQ(defaults->object("launchAtLoginEnabled"), c.wanted.isValid() ? c.wanted : QVariant(true));
        EXPECT_EQ(logs->messages("App").size(), c.logged ? 1 : 0) << qPrintable(logs->messages("App").join('\n'));
    }
    EXPECT_TRUE(logs->contains("App", "launchAtLoginEnabled is not a Boolean; the login item is left as it is"));
    restart();
    logs->clear();
    defaults->setBool("launchAtLoginEnabled", true);
    loginItem().setStatus(Status::notRegistered);
    loginItem().setRegisterFailure("Operation not permitted");
    QuellvistaApp app;
    EXPECT_TRUE(logs->contains("App", "Quellvista could not register as a login item: Operation not permitted"));
}

// The desktop's own "don't start at login" marks the autostart entry; that is the user's
// choice: the switch is stored as off and the entry is left as it is.
TEST_F(ShellStartUpTest, AnAutostartEntrySwitchedOffOnTheDesktopIsTheUsersChoice)
{
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=Quellvista\nExec=/usr/bin/quellvista\n";
    const struct {
        const char *name;
        QByteArray entry;
        QVariant wanted; // invalid: absent
        bool switchedOff;
    } cases[] = {
        {"hidden", head + "Hidden=true\n", true, true},
        {"disabled for GNOME", head + "X-GNOME-Autostart-enabled=false\n", true, true},
        {"no switch stored yet", head + "Hidden=true\n", QVariant(), true},
        {"blanks around the sign", head + "X-GNOME-Autostart-enabled = false\n", true, true},
        {"enabled", head + "X-GNOME-Autostart-enabled=true\n", true, false},
        {"hidden in another group", head + "[Desktop Action x]\nHidden=true\n", true, false},
        {"hidden and not wanted", head + "Hidden=true\n", false, false},
    };
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/quellvista"));
    PlatformServices services = platform();
    services.loginItem = &item;
    installPlatform(services);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(files::writeAtomically(item.entryPath(), c.entry));
        restart();
        installPlatform(services);
        logs->clear();
        defaults->remove("launchAtLoginEnabled");
        if (c.wanted.isValid())
            defaults->set("launchAtLoginEnabled", c.wanted);
        QuellvistaApp app;
        QFile file(item.entryPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        if (c.switchedOff) {
            EXPECT_EQ(defaults->boolValue("launchAtLoginEnabled"), false);
            EXPECT_EQ(after, c.entry);
            EXPECT_EQ(logs->messages("App").size(), 1) << qPrintable(logs->messages("App").join('\n'));
        } else if (c.wanted == true) {
            EXPECT_EQ(defaults->boolValue("launchAtLoginEnabled"), true);
            EXPECT_EQ(item.status(), Status::enabled);
        } else {
            EXPECT_EQ(after, c.entry);
        }
    }
    installSimulatedMac(mac.get());
}

// An entry an older build wrote for a program that is gone is written again for this one
// at start, while the switch wants a login item.
TEST_F(ShellStartUpTest, AStaleAutostartEntryIsRenewed)
{
    QTemporaryDir dir;
    XdgAutostartLoginItem item(dir.path(), QStringLiteral("/usr/bin/env"));
    PlatformServices services = platform();
    services.loginItem = &item;
    const QByteArray stale = XdgAutostartLoginItem::entryFor(dir.path() + "/old-build/quellvista");
    for (bool wanted : {true, false}) {
        SCOPED_TRACE(wanted);
        ASSERT_TRUE(files::writeAtomically(item.entryPath(), stale));
        restart();
        installPlatform(services);
        logs->clear();
        defaults->setBool("launchAtLoginEnabled", wanted);
        QuellvistaApp app;
        if (wanted) {
            EXPECT_EQ(XdgAutostartLoginItem::execProgramOf(files::readStoredFile(item.entryPath()).bytes), "/usr/bin/env");
            EXPECT_TRUE(logs->contains("App", "The login item named another copy of Quellvista; it now starts this one"));
        } else {
            EXPECT_FALSE(QFile::exists(item.entryPath()));
        }
    }
    installSimulatedMac(mac.get());
}

TEST_F(ShellStartUpTest, LegacyDarkAppearanceMigratesOnce)
{
    struct Case {
        const char *name;
        QVariant forceDark;
        QVariant mode;
        QVariant modeAfter;
        QString appearance;
    };
    const QString dark = QString::fromLatin1(Appearance::darkAqua);
    const QString light = QString::fromLatin1(Appearance::aqua);
    const Case cases[] = {
        {"legacy dark", true, QVariant(), QStringLiteral("dark"), dark},
        {"legacy light", false, QVariant(), QVariant(), QString()},
        {"no legacy key", QVariant(), QVariant(), QVariant(), QString()},
        {"mode already chosen", true, QStringLiteral("light"), QStringLiteral("light"), light},
        {"unknown mode", true, QStringLiteral("Dark"), QStringLiteral("Dark"), QString()},
        {"mode of another type", true, 2, 2, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        defaults->remove("forceDarkAppearance");
        defaults->remove("appAppearanceMode");
        if (c.forceDark.isValid())
            defaults->set("forceDarkAppearance", c.forceDark);
        if (c.mode.isValid())
            defaults->set("appAppearanceMode", c.mode);
        QuellvistaApp app;
        EXPECT_EQ(defaults->object("appAppearanceMode"), c.modeAfter);
        EXPECT_EQ(defaults->object("forceDarkAppearance"), c.forceDark) << "the legacy key stays";
        EXPECT_EQ(app.applicationAppearance(), c.appearance);
    }
    EXPECT_TRUE(logs->contains("App", "appAppearanceMode is not a text; the appearance follows the system"));
    EXPECT_TRUE(logs->contains("App", "appAppearanceMode \"Dark\" is unknown; the appearance follows the system"));
}

TEST_F(ShellStartUpTest, TheAppearanceFollowsTheStoredModeAtOnce)
{
    QuellvistaApp app;
    int changes = 0;
    QObject::connect(&app, &QuellvistaApp::applicationAppearanceChanged, [&changes] { ++changes; });
    defaults->setString("appAppearanceMode", "dark");
    EXPECT_EQ(app.applicationAppearance(), QString::fromLatin1(Appearance::darkAqua));
    defaults->setString("appAppearanceMode", "light");
    EXPECT_EQ(app.applicationAppearance(), QString::fromLatin1(Appearance::aqua));
    defaults->setString("appAppearanceMode", "system");
    EXPECT_EQ(app.applicationAppearance(), QString());
    EXPECT_EQ(changes, 3);
}

TEST_F(ShellStartUpTest, AShowBreakTimerOfAnotherTypeIsLoggedAndShowsTheCountdown)
{
    defaults->setString("showBreakTimer", "no");
    QuellvistaApp app;
    EXPECT_TRUE(app.showBreakTimer()->value().toBool());
    EXPECT_TRUE(logs->contains("App", "showBreakTimer is not a Boolean; the countdown is shown"));
}

// Low battery dims to the lower of the user's brightness and 0.7 and puts back what was
// there on recovery, unless the user changed it in between.
TEST_F(ShellStartUpTest, BatteryDimmingNeverBrightensAndRestoresTheUsersBrightness)
{
    struct Case {
        const char *name;
        double brightness;
        bool enabled;
        std::optional<double> userChange; // while low
        double dimmed;
        double recovered;
        bool enabledAfter;
    };
    const Case cases[] = {
        {"bright, tuning off", 1.0, false, std::nullopt, 0.7, 1.0, false},
        {"0.9 with tuning on", 0.9, true, std::nullopt, 0.7, 0.9, true},
        {"already dimmer than 0.7", 0.4, true, std::nullopt, 0.4, 0.4, true},
        {"user brightens while low", 0.9, true, 0.8, 0.7, 0.8, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        defaults->setBool("batteryAwareDimEnabled", true);
        QuellvistaApp app;
        app.performLaunchSetup();
        runPending();
        DisplayTuning &tuning = DisplayTuning::shared();
        tuning.setBrightness(c.brightness);
        tuning.setEnabled(c.enabled);

        makeBatteryLow(true);
        EXPECT_DOUBLE_EQ(tuning.brightness(), c.dimmed);
        EXPECT_TRUE(tuning.enabled());
        if (c.userChange)
            tuning.setBrightness(*c.userChange);

        makeBatteryLow(false);
        EXPECT_DOUBLE_EQ(tuning.brightness(), c.recovered);
        EXPECT_EQ(tuning.enabled(), c.enabledAfter || c.userChange.has_value());
        makeBatteryLow(false);
    }
}

TEST_F(ShellStartUpTest, BatteryDimmingWaitsForItsSwitch)
{
    QuellvistaApp app;
    app.performLaunchSetup();
    runPending();
    makeBatteryLow(true);
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 1.0) << "switch off: nothing changes";
    defaults->setBool("batteryAwareDimEnabled", true);
    advance(30'000);
    runPending();
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 1.0) << "only the next change dims";
    makeBatteryLow(false);
    EXPECT_DOUBLE_EQ(DisplayTuning::shared().brightness(), 1.0) << "recovery without a dim changes nothing";
    EXPECT_FALSE(DisplayTuning::shared().enabled());
}

// App-aware comfort leaves a preset the user chose by hand alone.
TEST_F(ShellStartUpTest, AppAwareComfortKeepsTheUsersChoice)
{
    defaults->setBool("appAwareComfortEnabled", true);
    QuellvistaApp app;
    app.performLaunchSetup();
    runPending();
    app.presets().applyPreset(ComfortPreset::evening, false);
    app.appAware().lastAppliedPreset = ComfortPreset::reading;
    app.applyAppAwarePreset(ComfortPreset::focus);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::evening);
    app.applyAppAwarePreset(ComfortPreset::neutral);
    EXPECT_EQ(app.presets().activePreset(), ComfortPreset::evening) << "Neutral undoes only its own preset";
    EXPECT_FALSE(app.appAware().lastAppliedPreset.has_value());
}

} // namespace
