#include "design/Theme.h"

#include "platform/Appearance.h"
#include "platform/Platform.h"
#include "runtime/Color.h"
#include "runtime/Settings.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <QQmlEngine>

#include <algorithm>
#include <array>
#include <cmath>

namespace qv {

namespace {

QColor hex(const char *text, double opacity = 1.0)
{
    return Theme::withOpacity(Color::hex(QString::fromLatin1(text)), opacity);
}
QColor white(double opacity = 1.0)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}
QColor black(double opacity = 1.0)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}

constexpr int kTokenCount = int(ColorToken::track) + 1;

// Built once, on first use, from the light and dark values.
const std::array<AdaptiveColor, kTokenCount> &adaptiveTokens()
{
    static const std::array<AdaptiveColor, kTokenCount> tokens = {{
        {hex("FAF8F5"), hex("020303")}, // appBackground
        {hex("F7F3EC"), hex("080A08")}, // sidebarBackground
        {white(0.2), black(0.24)}, // sidebarSheen
        {hex("D8CBB8", 0.1), hex("C6AE8A", 0.035)}, // sidebarGlow
        {white(), hex("111410")}, // surface
        {hex("FBFAF7"), hex("191F19")}, // surfaceRaised
        {hex("1A1A1A"), hex("F5F5F7")}, // textPrimary
        {hex("6B6B6B"), hex("B4B8B0")}, // textSecondary
        {hex("999999"), hex("767D75")}, // textTertiary
        {hex("7A6854"), hex("C6AE8A")}, // accent
        {hex("EFE5D6"), hex("2A211A")}, // accentSoft
        {hex("D8CBB8"), hex("A8977D")}, // accentMuted
        {hex("B65E3C"), hex("F19568")}, // terracotta
        {black(0.08), white(0.16)}, // panelStroke
        {white(0.68), white(0.14)}, // glassHighlight
        {black(0.07), black(0.28)}, // panelShadow
        {hex("EEE9E0"), hex("211D18")}, // sidebarSelection
        {hex("D9D1C3"), white(0.16)}, // sidebarBorder
        {hex("4A7C59"), hex("7FA88D")}, // sage
        {hex("B87333"), hex("D4935A")}, // copper
        {hex("E8E4DE"), white(0.12)}, // divider
        {hex("D8D2C8"), white(0.22)}, // track
    }};
    return tokens;
}

QFont makeFont(qreal size, QFont::Weight weight)
{
    QFont font(Theme::fontFamily());
    font.setPixelSize(qRound(size));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

Theme::Theme(QObject *parent) : QObject(parent)
{
    refresh();
    UserDefaults::standard().observe(settings::appAppearanceMode.name(), this, [this] { refresh(); });
    if (Appearance *appearance = platform().appearance)
        connect(appearance, &Appearance::systemAppearanceChanged, this, &Theme::refresh);
}

Theme::~Theme() = default;

Theme &Theme::shared()
{
    return sharedInstance<Theme>();
}

Theme *Theme::create(QQmlEngine *, QJSEngine *)
{
    Theme *theme = &shared();
    QQmlEngine::setObjectOwnership(theme, QQmlEngine::CppOwnership);
    return theme;
}

AppAppearanceMode Theme::appearanceModeFromStored(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QString)
        return AppAppearanceMode::system;
    return appAppearanceModeFromRawValue(stored.toString()).value_or(AppAppearanceMode::system);
}

bool Theme::appearanceNameIsDark(const QString &name)
{
    // The dark family of appearances answers dark aqua, the light family aqua; anything
    // else matches neither and draws light.
    static const QStringList darkNames = {
        QString::fromLatin1(Appearance::darkAqua),
        QStringLiteral("NSAppearanceNameVibrantDark"),
        QStringLiteral("NSAppearanceNameAccessibilityHighContrastDarkAqua"),
        QStringLiteral("NSAppearanceNameAccessibilityHighContrastVibrantDark"),
    };
    return darkNames.contains(name);
}

void Theme::refresh()
{
    const QString key = settings::appAppearanceMode.name();
    const UserDefaults &store = UserDefaults::standard();
    const AppAppearanceMode mode = appearanceModeFromStored(store.object(key));
    QString name = forcedAppearanceName(mode);
    if (mode == AppAppearanceMode::system)
        if (Appearance *appearance = platform().appearance)
            name = appearance->systemAppearanceName();
    const bool dark = appearanceNameIsDark(name);
    const bool modeChanged = mode != m_mode;
    const bool darkChanged = dark != m_dark;
    m_mode = mode;
    m_dark = dark;
    if (modeChanged)
        emit appearanceModeChanged();
    if (darkChanged)
        emit appearanceChanged();
}

const AdaptiveColor &Theme::adaptive(ColorToken token)
{
    return adaptiveTokens()[size_t(token)];
}

QColor Theme::withOpacity(const QColor &colour, double k)
{
    QColor result = colour.toRgb();
    result.setAlphaF(float(result.alphaF() * std::clamp(k, 0.0, 1.0)));
    return result;
}

namespace {

double relativeLuminance(const QColor &colour)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

} // namespace

double Theme::contrast(const QColor &a, const QColor &b) const
{
    const QColor ground = appBackground();
    const double la = relativeLuminance(over(a, ground));
    const double lb = relativeLuminance(over(b, ground));
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Theme::focusRing(const QColor &fill, const QColor &background) const
{
    // What lies under the control where it is not filled.
    const QColor under = over(background, appBackground());
    const QColor filled = over(fill, under);
    auto weaker = [&](const QColor &ring) { return std::min(contrast(ring, filled), contrast(ring, under)); };
    const double enough = 3.0;
    for (const QColor &ring : {accent(), textPrimary()})
        if (weaker(ring) >= enough)
            return ring;
    QColor best = accent();
    for (const QColor &ring : {textPrimary(), QColor(Qt::white), QColor(Qt::black)})
        if (weaker(ring) > weaker(best))
            best = ring;
    return best;
}

QColor Theme::focusRingGap(const QColor &fill, const QColor &background) const
{
    const QColor under = over(background, appBackground());
    const QColor filled = over(fill, under);
    if (contrast(focusRing(fill, background), filled) >= 3.0)
        return Qt::transparent;
    if (contrast(under, filled) >= 3.0)
        return under;
    return contrast(Qt::white, filled) > contrast(Qt::black, filled) ? QColor(Qt::white) : QColor(Qt::black);
}

QColor Theme::over(const QColor &top, const QColor &bottom)
{
    const QColor t = top.toRgb();
    const QColor b = bottom.toRgb();
    const float alpha = t.alphaF() + b.alphaF() * (1 - t.alphaF());
    if (alpha <= 0)
        return QColor::fromRgbF(0, 0, 0, 0);
    auto channel = [&](float top, float bottom) {
        return (top * t.alphaF() + bottom * b.alphaF() * (1 - t.alphaF())) / alpha;
    };
    return QColor::fromRgbF(channel(t.redF(), b.redF()), channel(t.greenF(), b.greenF()),
                            channel(t.blueF(), b.blueF()), alpha);
}

QColor Theme::material(Material material, bool isDark)
{
    // Tints close to what the system's materials leave over a soft background.
    if (isDark)
        return material == Material::thin ? QColor(30, 32, 30, 115) : QColor(30, 32, 30, 70);
    return material == Material::thin ? QColor(255, 255, 255, 128) : QColor(255, 255, 255, 64);
}

QFont Theme::systemFont(qreal size, int weight)
{
    return makeFont(size, QFont::Weight(weight));
}

QString Theme::fontFamily()
{
    return QStringLiteral("Inter");
}

QString Theme::symbolFontFamily()
{
    return QStringLiteral("Material Icons");
}

QColor Theme::brandGold()
{
    static const QColor colour = hex("D9B46A");
    return colour;
}

QColor Theme::brandRose()
{
    static const QColor colour = hex("D86F98");
    return colour;
}

QColor Theme::brandTeal()
{
    static const QColor colour = hex("83B9BF");
    return colour;
}

QColor Theme::brandLavender()
{
    static const QColor colour = hex("A482C9");
    return colour;
}

QColor Theme::brandInk()
{
    static const QColor colour = hex("020303");
    return colour;
}

QColor Theme::markWarmWhite()
{
    static const QColor colour = QColor::fromRgbF(255 / 255.0f, 250 / 255.0f, 241 / 255.0f, 1.0f);
    return colour;
}

QColor Theme::markGold()
{
    static const QColor colour = QColor::fromRgbF(224 / 255.0f, 196 / 255.0f, 111 / 255.0f, 1.0f);
    return colour;
}

QColor Theme::markRose()
{
    static const QColor colour = QColor::fromRgbF(216 / 255.0f, 111 / 255.0f, 152 / 255.0f, 1.0f);
    return colour;
}

QColor Theme::markTeal()
{
    static const QColor colour = QColor::fromRgbF(131 / 255.0f, 185 / 255.0f, 191 / 255.0f, 1.0f);
    return colour;
}

QColor Theme::markLavender()
{
    static const QColor colour = QColor::fromRgbF(164 / 255.0f, 130 / 255.0f, 201 / 255.0f, 1.0f);
    return colour;
}

QColor Theme::markOlive()
{
    static const QColor colour = QColor::fromRgbF(127 / 255.0f, 143 / 255.0f, 104 / 255.0f, 1.0f);
    return colour;
}

QFont Theme::pageTitle()
{
    static const QFont font = makeFont(28, QFont::DemiBold);
    return font;
}

QFont Theme::sheetTitle()
{
    static const QFont font = makeFont(20, QFont::DemiBold);
    return font;
}

QFont Theme::cardTitle()
{
    static const QFont font = makeFont(15, QFont::DemiBold);
    return font;
}

QFont Theme::bodyRegular()
{
    static const QFont font = makeFont(13, QFont::Normal);
    return font;
}

QFont Theme::bodyMedium()
{
    static const QFont font = makeFont(13, QFont::Medium);
    return font;
}

QFont Theme::detailRegular()
{
    static const QFont font = makeFont(12, QFont::Normal);
    return font;
}

QFont Theme::detailMedium()
{
    static const QFont font = makeFont(12, QFont::Medium);
    return font;
}

QFont Theme::captionRegular()
{
    static const QFont font = makeFont(11, QFont::Normal);
    return font;
}

QFont Theme::metricValue()
{
    static const QFont font = makeFont(22, QFont::DemiBold);
    return font;
}

double Theme::springPosition(double t, double response, double dampingFraction)
{
    // A damped spring released at rest from 0 towards 1.
    const double omega = 2 * M_PI / response;
    const double zeta = dampingFraction;
    if (zeta >= 1.0)
        return 1 - std::exp(-omega * t) * (1 + omega * t);
    const double omegaD = omega * std::sqrt(1 - zeta * zeta);
    return 1 - std::exp(-zeta * omega * t) * (std::cos(omegaD * t) + zeta * omega / omegaD * std::sin(omegaD * t));
}

int Theme::toggleSpringDuration()
{
    return 360;
}

namespace {
qreal toggleSpringCurve(qreal progress)
{
    const double seconds = Theme::toggleSpringDuration() / 1000.0;
    if (progress >= 1.0)
        return 1.0;
    return Theme::springPosition(progress * seconds, 0.25, 0.8);
}
} // namespace

QEasingCurve Theme::toggleSpring()
{
    QEasingCurve curve;
    curve.setCustomType(&toggleSpringCurve);
    return curve;
}

} // namespace qv
