#include "design/Theme.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/LiveVerificationMonitor.h"
#include "pages/display_comfort/DisplayHardwareModel.h"
#include "pages/display_comfort/DisplayProtectionModel.h"
#include "support/TestEnvironment.h"

using namespace qv;

namespace {

class HardwareModelTest : public test::QvTest {
protected:
    void setSwitches(bool dither, bool pwm, bool uniformity)
    {
        defaults->setBool("disableDithering", dither);
        defaults->setBool("pwmAvoidanceEnabled", pwm);
        defaults->setBool("disableUniformity2D", uniformity);
    }
    static LiveVerificationDisplayState state(bool external, bool ditherEnabled, std::optional<bool> uniformity,
                                              const QString &icon = "display")
    {
        LiveVerificationDisplayState s;
        s.isExternal = external;
        s.ditherEnabled = ditherEnabled;
        s.uniformity2D = uniformity;
        s.iconName = icon;
        return s;
    }
};

TEST_F(HardwareModelTest, SummaryCountsDisplaysAndStoredAssists)
{
    EXPECT_EQ(DisplayHardwareModel::summaryText(0, 0), "0 connected - 0 assists active");
    EXPECT_EQ(DisplayHardwareModel::summaryText(0, 1), "0 connected - 1 assist active");
    EXPECT_EQ(DisplayHardwareModel::summaryText(2, 2), "2 connected - 2 assists active");
    EXPECT_EQ(DisplayHardwareModel::summaryText(1, 3), "1 connected - 3 assists active");

    const Theme &theme = Theme::shared();
    DisplayHardwareModel model(DisplayEngine::shared());
    EXPECT_EQ(model.displayCount(), 2);
    // Nothing stored: the defaults count (dithering off, PWM-safe dimming on), PWM-safe
    // dimming only while the tuning dims the picture.
    EXPECT_EQ(model.summary(), "2 connected - 1 assist active");
    DisplayTuning::shared().setEnabled(true);
    DisplayTuning::shared().setBrightness(0.8);
    EXPECT_EQ(model.summary(), "2 connected - 2 assists active");
    DisplayTuning::shared().setBrightness(1.0);
    EXPECT_EQ(model.summary(), "2 connected - 1 assist active");
    setSwitches(false, false, false);
    EXPECT_EQ(model.summary(), "2 connected - 0 assists active");
    EXPECT_EQ(model.badgeFill(), Theme::withOpacity(theme.textTertiary(), 0.14));
    EXPECT_EQ(model.badgeSymbolColor(), theme.textSecondary());
    // A change made elsewhere (the pop-over) counts at once, before the next check.
    defaults->setBool("disableUniformity2D", true);
    EXPECT_EQ(model.summary(), "2 connected - 1 assist active");
    EXPECT_EQ(model.badgeFill(), Theme::withOpacity(theme.sage(), 0.14));
    EXPECT_EQ(model.badgeSymbolColor(), theme.sage());
}

TEST_F(HardwareModelTest, TheBlocksMonitorFollowsConnectionsWhileItLives)
{
    useMachine(SimulatedMac::empty());
    auto model = std::make_unique<DisplayHardwareModel>(DisplayEngine::shared());
    EXPECT_EQ(model->displayCount(), 0);
    EXPECT_TRUE(model->summary().startsWith("0 connected - "));
    SimDisplay d;
    d.id = 7;
    d.name = "Projector";
    d.pixelsWide = 1920;
    d.pixelsHigh = 1080;
    mac->addDisplay(d);
    advance(1999);
    EXPECT_EQ(model->displayCount(), 0);
    advance(1);
    EXPECT_EQ(model->displayCount(), 1);

    EXPECT_EQ(model->toggleText(), "Show controls");
    EXPECT_EQ(model->accessibleValue(), "Collapsed");
    model->toggleExpanded();
    EXPECT_EQ(model->toggleText(), "Hide controls");
    EXPECT_EQ(model->chevronRotation(), 90);
    EXPECT_EQ(model->accessibleValue(), "Expanded");

    // Gone with the block: no more checks.
    model.reset();
    const int reads = mac->registryWriteCount();
    advance(10000);
    EXPECT_EQ(mac->registryWriteCount(), reads);
    EXPECT_EQ(clock->pendingCount(), 0);
}

TEST_F(HardwareModelTest, ScoreConnectionAndStand)
{
    struct Score {
        bool external, ditherEnabled;
        std::optional<bool> uniformity;
        bool pwm;
        int score;
    } scores[] = {
        {true, false, std::nullopt, true, 100},  // two of two
        {true, false, std::nullopt, false, 50},
        {true, true, std::nullopt, true, 50},
        {true, true, true, false, 0},            // external: uniformity never counts
        {false, false, true, false, 33},         // one of three
        {false, false, false, false, 66},
        {false, false, false, true, 100},
        {false, true, true, false, 0},
        {false, false, std::nullopt, false, 50}, // not exposed: over two
        {false, true, std::nullopt, true, 50},
    };
    for (const Score &s : scores)
        EXPECT_EQ(displayCard::protectionScore(state(s.external, s.ditherEnabled, s.uniformity), s.pwm), s.score)
            << s.external << s.ditherEnabled << s.uniformity.value_or(-1) << s.pwm;
    // Where dithering and uniformity cannot act, PWM-safe dimming alone is the score.
    for (const Score &s : scores)
        EXPECT_EQ(displayCard::protectionScore(state(s.external, s.ditherEnabled, s.uniformity), s.pwm, false),
                  s.pwm ? 100 : 0);

    struct Connection {
        bool external;
        std::optional<QString> connection, resolution;
        const char *summary;
    } connections[] = {
        {false, std::nullopt, std::nullopt, "Built-in retina display"},
        {true, std::nullopt, std::nullopt, "External display"},
        {true, QString(), QString(), "External display"},
        {true, std::nullopt, QString("2560 x 1440"), "2560 x 1440"},
        {true, QString("HDMI"), QString(), "HDMI"},
        {false, QString("Internal"), QString("3024 x 1964"), "Internal - 3024 x 1964"},
    };
    for (const Connection &c : connections) {
        LiveVerificationDisplayState s = state(c.external, true, std::nullopt);
        s.connection = c.connection;
        s.resolution = c.resolution;
        EXPECT_EQ(displayCard::connectionSummary(s), c.summary);
    }

    struct Stand {
        const char *icon;
        bool external;
        DisplayStand stand;
    } stands[] = {
        {"tv", true, DisplayStand::footAndBase},        {"display", false, DisplayStand::footAndBase},
        {"videoprojector", true, DisplayStand::footAndBase}, {"laptopcomputer", false, DisplayStand::bar},
        {"rectangle", false, DisplayStand::bar},        {"airplayvideo", true, DisplayStand::none},
        {"ipad.landscape", true, DisplayStand::none},
    };
    for (const Stand &s : stands)
        EXPECT_EQ(displayCard::stand(state(s.external, true, std::nullopt, s.icon)), s.stand) << s.icon;
}

class CardSwitchTest : public HardwareModelTest {
protected:
    RegistryValue fb(DisplayId id, const char *key) { return mac->framebufferProperty(id, key); }
};

// Dithering: stored for all, written to this display only. Uniformity: written to the
// built-in display whatever card. PWM: the engine's floor 0.55, "pwmThreshold" untouched.
TEST_F(CardSwitchTest, SwitchesStoreThenCallTheEngine)
{
    DisplayProtectionModel list(DisplayEngine::shared());
    ASSERT_EQ(list.cards().size(), 2);
    DisplayCardModel &builtIn = *list.cards()[0];
    DisplayCardModel &external = *list.cards()[1];
    EXPECT_TRUE(builtIn.showsUniformity());
    EXPECT_FALSE(external.showsUniformity());

    mac->setFramebufferProperty(1, "enableDither", RegistryValue::boolean(true));
    mac->setFramebufferProperty(2, "enableDither", RegistryValue::boolean(true));
    external.setDithering(true);
    EXPECT_EQ(defaults->boolValue("disableDithering"), true);
    EXPECT_FALSE(fb(2, "enableDither").toBool());
    EXPECT_TRUE(fb(1, "enableDither").toBool());
    // The card shows the registry as of the last check, up to 2 s later.
    EXPECT_FALSE(external.ditheringOn());
    advance(2000);
    EXPECT_TRUE(external.ditheringOn());

    external.setUniformity(true);
    EXPECT_EQ(defaults->boolValue("disableUniformity2D"), true);
    EXPECT_FALSE(fb(1, "uniformity2D").toBool());
    advance(2000);
    EXPECT_TRUE(builtIn.uniformityOn());
    builtIn.setUniformity(false);
    EXPECT_TRUE(fb(1, "uniformity2D").toBool());

    defaults->setDouble("pwmThreshold", 0.7);
    builtIn.setPwm(true);
    EXPECT_EQ(defaults->boolValue("pwmAvoidanceEnabled"), true);
    EXPECT_DOUBLE_EQ(DisplayEngine::shared().pwmThresholdPercent(), 55);
    EXPECT_EQ(defaults->doubleValue("pwmThreshold"), 0.7);
    runPending(); // the engine dims to its floor on its next turn
    EXPECT_TRUE(external.pwmOn()); // on every card, once it dims
    builtIn.setPwm(false);
    EXPECT_FALSE(DisplayEngine::shared().pwmAvoidanceEnabled());
    EXPECT_EQ(external.pwmText(), "Off");
    EXPECT_EQ(external.scoreColor(), Theme::shared().copper());
}

// A display that goes while its card is shown loses its card at the next check; the
// other card stays the same object.
TEST_F(CardSwitchTest, CardsFollowTheDisplaysByID)
{
    DisplayProtectionModel list(DisplayEngine::shared());
    ASSERT_EQ(list.cards().size(), 2);
    DisplayCardModel *builtIn = list.cards()[0];
    mac->removeDisplay(2);
    advance(2000);
    ASSERT_EQ(list.cards().size(), 1);
    EXPECT_EQ(list.cards()[0], builtIn);
    useMachine(SimulatedMac::empty());
    DisplayProtectionModel none(DisplayEngine::shared());
    EXPECT_TRUE(none.cards().isEmpty());
}

} // namespace
