#include "design/Theme.h"
#include "platform/Appearance.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

using namespace qv;

namespace {

struct TokenCase {
    ColorToken token;
    QRgb light; // ARGB
    QRgb dark;
};

QRgb argb(const QColor &c)
{
    return c.rgba();
}

class TokenValues : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenValues, ResolveByAppearance)
{
    const TokenCase c = GetParam();
    EXPECT_EQ(argb(Theme::adaptive(c.token).light), c.light) << int(c.token);
    EXPECT_EQ(argb(Theme::adaptive(c.token).dark), c.dark) << int(c.token);
}

constexpr QRgb a(double opacity, QRgb rgb)
{
    return (QRgb(opacity * 255 + 0.5) << 24) | (rgb & 0xffffff);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, TokenValues,
    ::testing::Values(TokenCase{ColorToken::appBackground, 0xffFAF8F5, 0xff020303},
                      TokenCase{ColorToken::sidebarBackground, 0xffF7F3EC, 0xff080A08},
                      TokenCase{ColorToken::sidebarSheen, a(0.2, 0xffffff), a(0.24, 0x000000)},
                      TokenCase{ColorToken::sidebarGlow, a(0.1, 0xD8CBB8), a(0.035, 0xC6AE8A)},
                      TokenCase{ColorToken::surface, 0xffffffff, 0xff111410},
                      TokenCase{ColorToken::surfaceRaised, 0xffFBFAF7, 0xff191F19},
                      TokenCase{ColorToken::textPrimary, 0xff1A1A1A, 0xffF5F5F7},
                      TokenCase{ColorToken::textSecondary, 0xff6B6B6B, 0xffB4B8B0},
                      TokenCase{ColorToken::textTertiary, 0xff999999, 0xff767D75},
                      TokenCase{ColorToken::accent, 0xff7A6854, 0xffC6AE8A},
                      TokenCase{ColorToken::accentSoft, 0xffEFE5D6, 0xff2A211A},
                      TokenCase{ColorToken::accentMuted, 0xffD8CBB8, 0xffA8977D},
                      TokenCase{ColorToken::terracotta, 0xffB65E3C, 0xffF19568},
                      TokenCase{ColorToken::panelStroke, a(0.08, 0), a(0.16, 0xffffff)},
                      TokenCase{ColorToken::glassHighlight, a(0.68, 0xffffff), a(0.14, 0xffffff)},
                      TokenCase{ColorToken::panelShadow, a(0.07, 0), a(0.28, 0)},
                      TokenCase{ColorToken::sidebarSelection, 0xffEEE9E0, 0xff211D18},
                      TokenCase{ColorToken::sidebarBorder, 0xffD9D1C3, a(0.16, 0xffffff)},
                      TokenCase{ColorToken::sage, 0xff4A7C59, 0xff7FA88D},
                      TokenCase{ColorToken::copper, 0xffB87333, 0xffD4935A},
                      TokenCase{ColorToken::divider, 0xffE8E4DE, a(0.12, 0xffffff)},
                      TokenCase{ColorToken::track, 0xffD8D2C8, a(0.22, 0xffffff)}));

class ThemeTest : public test::QvTest {};

TEST_F(ThemeTest, FixedColoursAreTheSameInBothAppearancesAndAliasesFollowTheAccent)
{
    Theme &theme = Theme::shared();
    EXPECT_EQ(argb(Theme::brandGold()), 0xffD9B46Au);
    EXPECT_EQ(argb(Theme::brandRose()), 0xffD86F98u);
    EXPECT_EQ(argb(Theme::brandTeal()), 0xff83B9BFu);
    EXPECT_EQ(argb(Theme::brandLavender()), 0xffA482C9u);
    EXPECT_EQ(argb(Theme::brandInk()), 0xff020303u);
    EXPECT_EQ(argb(Theme::markWarmWhite()), 0xffFFFAF1u);
    EXPECT_EQ(argb(Theme::markGold()), 0xffE0C46Fu);
    EXPECT_EQ(argb(Theme::markOlive()), 0xff7F8F68u);
    for (const char *mode : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", mode);
        EXPECT_EQ(theme.accentHighlight(), theme.accent()) << mode;
        EXPECT_EQ(theme.accentTint(), theme.accent()) << mode;
        EXPECT_EQ(theme.accentSoftTint(), theme.accentSoft()) << mode;
    }
}

TEST_F(ThemeTest, WithOpacityMultipliesAlpha)
{
    EXPECT_NEAR(Theme::withOpacity(QColor(255, 255, 255), 0.2).alphaF(), 0.2, 1e-3);
    // A translucent token keeps its own alpha in the product: white 0.16 at 0.5 is 0.08.
    const QColor stroke = Theme::adaptive(ColorToken::panelStroke).dark;
    EXPECT_NEAR(Theme::withOpacity(stroke, 0.5).alphaF(), 0.08, 2e-3);
    EXPECT_EQ(Theme::withOpacity(stroke, 0.5).rgb(), stroke.rgb());
    EXPECT_EQ(Theme::withOpacity(stroke, 2.0).alpha(), stroke.alpha());
    EXPECT_EQ(Theme::withOpacity(stroke, -1.0).alpha(), 0);
}

// One colour for a colour painted over another: what painting both, in turn, gives.
TEST_F(ThemeTest, OverComposesTwoColoursIntoOne)
{
    const QColor halfWhite = QColor::fromRgbF(1, 1, 1, 0.5);
    const QColor quarterBlack = QColor::fromRgbF(0, 0, 0, 0.25);
    // Over black: 0.5 white; over white: 0.5 + 0.5 x 0.75 of white.
    const QColor both = Theme::over(halfWhite, quarterBlack);
    EXPECT_NEAR(both.alphaF(), 0.625, 1e-3);
    EXPECT_NEAR(both.redF() * both.alphaF(), 0.5, 1e-3);
    EXPECT_NEAR(both.redF() * both.alphaF() + (1 - both.alphaF()), 0.875, 1e-3);
    EXPECT_EQ(Theme::over(Qt::red, halfWhite), QColor(Qt::red));
    EXPECT_EQ(Theme::over(Qt::transparent, Qt::red), QColor(Qt::red));
    EXPECT_EQ(Theme::over(Qt::transparent, Qt::transparent).alpha(), 0);
}

// The focus ring stands out by 3:1 from both the control's fill and what lies round it, in
// both appearances, where needed with the line between ring and control opaque: round the
// accent-filled "On" switch it cannot be the accent; round an unfilled control it is.
TEST_F(ThemeTest, TheFocusRingStandsOutFromTheFillAndTheBackground)
{
    Theme &theme = Theme::shared();
    for (const char *mode : {"light", "dark"}) {
        defaults->setString("appAppearanceMode", mode);
        const QColor surface = theme.surface();
        const QColor track = Theme::over(Theme::withOpacity(theme.track(), 0.55), surface);
        const struct {
            const char *control;
            QColor fill, background;
        } cases[] = {{"On switch", theme.accent(), surface},
                     {"Off switch", theme.track(), surface},
                     {"selected segment", theme.surfaceRaised(), track},
                     {"primary button", theme.accentTint(), theme.appBackground()},
                     {"plain button", Qt::transparent, surface}};
        for (const auto &c : cases) {
            const QColor ring = theme.focusRing(c.fill, c.background);
            const QColor gap = theme.focusRingGap(c.fill, c.background);
            const QColor inner = gap.alpha() == 0 ? ring : gap;
            EXPECT_GE(theme.contrast(inner, Theme::over(c.fill, c.background)), 3.0) << mode << " " << c.control;
            EXPECT_GE(theme.contrast(ring, c.background), 3.0) << mode << " " << c.control;
        }
        EXPECT_NE(theme.focusRing(theme.accent(), surface), theme.accent()) << mode;
        EXPECT_EQ(theme.focusRing(Qt::transparent, surface), theme.accent()) << mode;
    }
    EXPECT_NEAR(theme.contrast(Qt::black, Qt::white), 21.0, 1e-6);
}

struct ModeCase {
    const char *name;
    QVariant stored; // invalid: nothing stored
    QString system;
    bool dark;
    AppAppearanceMode mode;
};

TEST_F(ThemeTest, StoredModeChoosesAndUnknownTextsFollowTheSystem)
{
    const QString aqua = Appearance::aqua, darkAqua = Appearance::darkAqua;
    const ModeCase cases[] = {
        {"absent, light system", QVariant(), aqua, false, AppAppearanceMode::system},
        {"absent, dark system", QVariant(), darkAqua, true, AppAppearanceMode::system},
        {"system", "system", darkAqua, true, AppAppearanceMode::system},
        {"light on a dark system", "light", darkAqua, false, AppAppearanceMode::light},
        {"dark on a light system", "dark", aqua, true, AppAppearanceMode::dark},
        {"other case", "Dark", aqua, false, AppAppearanceMode::system},
        {"other type", true, aqua, false, AppAppearanceMode::system},
        {"empty", "", darkAqua, true, AppAppearanceMode::system},
        {"unknown appearance name", QVariant(), "NSAppearanceNameSomethingElse", false, AppAppearanceMode::system},
        {"vibrant dark", QVariant(), "NSAppearanceNameVibrantDark", true, AppAppearanceMode::system},
    };
    for (const ModeCase &c : cases) {
        restart();
        mac->setSystemAppearance(c.system);
        if (c.stored.isValid())
            defaults->set("appAppearanceMode", c.stored);
        else
            defaults->remove("appAppearanceMode");
        Theme &theme = Theme::shared();
        EXPECT_EQ(theme.isDark(), c.dark) << c.name;
        EXPECT_EQ(theme.appearanceMode(), c.mode) << c.name;
        EXPECT_EQ(theme.color(ColorToken::appBackground),
                  c.dark ? Theme::adaptive(ColorToken::appBackground).dark
                         : Theme::adaptive(ColorToken::appBackground).light)
            << c.name;
        // Reading never rewrites what is stored.
        EXPECT_EQ(defaults->object("appAppearanceMode"), c.stored) << c.name;
    }
}

TEST_F(ThemeTest, FollowsChangesOfTheSettingAndOfTheSystem)
{
    Theme &theme = Theme::shared();
    QSignalSpy changes(&theme, &Theme::appearanceChanged);
    ASSERT_FALSE(theme.isDark());
    mac->setSystemAppearance(Appearance::darkAqua);
    EXPECT_TRUE(theme.isDark());
    defaults->setString("appAppearanceMode", "light");
    EXPECT_FALSE(theme.isDark());
    // The system no longer matters while the mode is forced.
    mac->setSystemAppearance(Appearance::aqua);
    mac->setSystemAppearance(Appearance::darkAqua);
    EXPECT_FALSE(theme.isDark());
    defaults->setString("appAppearanceMode", "system");
    EXPECT_TRUE(theme.isDark());
    EXPECT_EQ(changes.count(), 3);
}

TEST_F(ThemeTest, TypeTokensAreInterAtTheirSizes)
{
    struct FontCase {
        QFont font;
        int size;
        QFont::Weight weight;
    };
    const FontCase cases[] = {
        {Theme::pageTitle(), 28, QFont::DemiBold},     {Theme::sheetTitle(), 20, QFont::DemiBold},
        {Theme::cardTitle(), 15, QFont::DemiBold},     {Theme::bodyRegular(), 13, QFont::Normal},
        {Theme::bodyMedium(), 13, QFont::Medium},      {Theme::detailRegular(), 12, QFont::Normal},
        {Theme::detailMedium(), 12, QFont::Medium},    {Theme::captionRegular(), 11, QFont::Normal},
        {Theme::metricValue(), 22, QFont::DemiBold},
    };
    for (const FontCase &c : cases) {
        EXPECT_EQ(c.font.family(), "Inter");
        EXPECT_EQ(c.font.pixelSize(), c.size);
        EXPECT_EQ(c.font.weight(), c.weight);
    }
}

TEST(ThemeSpring, SettlesAtTheEndOfItsDuration)
{
    const QEasingCurve spring = Theme::toggleSpring();
    EXPECT_DOUBLE_EQ(spring.valueForProgress(0), 0.0);
    EXPECT_DOUBLE_EQ(spring.valueForProgress(1), 1.0);
    // Damping 0.8 overshoots by about 1.5 % on the way.
    double peak = 0;
    for (int i = 0; i <= 100; ++i)
        peak = std::max(peak, spring.valueForProgress(i / 100.0));
    EXPECT_GT(peak, 1.005);
    EXPECT_LT(peak, 1.03);
    EXPECT_NEAR(spring.valueForProgress(0.98), 1.0, 0.01);
}

} // namespace
