#pragma once

#include "design/AppAppearanceMode.h"

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace qv {

// The adaptive colour tokens: each has a light and a dark value.
enum class ColorToken {
    appBackground,
    sidebarBackground,
    sidebarSheen,
    sidebarGlow,
    surface,
    surfaceRaised,
    textPrimary,
    textSecondary,
    textTertiary,
    accent,
    accentSoft,
    accentMuted,
    terracotta,
    panelStroke,
    glassHighlight,
    panelShadow,
    sidebarSelection,
    sidebarBorder,
    sage,
    copper,
    divider,
    track,
};

struct AdaptiveColor {
    QColor light;
    QColor dark;
    const QColor &resolve(bool isDark) const { return isDark ? dark : light; }
};

// The materials the surfaces sit on. Behind our surfaces lies only the soft backdrop,
// whose blur changes nothing visible, so a material is drawn as its tint alone.
enum class Material { ultraThin, thin };

// The shared look: colour tokens resolved by the current appearance, the fixed brand and
// logo colours, the type tokens (sizes in points, used as pixel sizes, in Inter) and the
// current appearance itself. One instance, shared with QML as the singleton "Theme".
//
// The appearance follows "appAppearanceMode": "light" and "dark" force one, "system" (the
// default, and any text that is not one of the three) follows the system appearance.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ isDark NOTIFY appearanceChanged)
    Q_PROPERTY(QString appearanceMode READ appearanceModeRawValue NOTIFY appearanceModeChanged)
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QString symbolFontFamily READ symbolFontFamily CONSTANT)
    Q_PROPERTY(QColor appBackground READ appBackground NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sidebarBackground READ sidebarBackground NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sidebarSheen READ sidebarSheen NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sidebarGlow READ sidebarGlow NOTIFY appearanceChanged)
    Q_PROPERTY(QColor surface READ surface NOTIFY appearanceChanged)
    Q_PROPERTY(QColor surfaceRaised READ surfaceRaised NOTIFY appearanceChanged)
    Q_PROPERTY(QColor textPrimary READ textPrimary NOTIFY appearanceChanged)
    Q_PROPERTY(QColor textSecondary READ textSecondary NOTIFY appearanceChanged)
    Q_PROPERTY(QColor textTertiary READ textTertiary NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accent READ accent NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accentSoft READ accentSoft NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accentMuted READ accentMuted NOTIFY appearanceChanged)
    Q_PROPERTY(QColor terracotta READ terracotta NOTIFY appearanceChanged)
    Q_PROPERTY(QColor panelStroke READ panelStroke NOTIFY appearanceChanged)
    Q_PROPERTY(QColor glassHighlight READ glassHighlight NOTIFY appearanceChanged)
    Q_PROPERTY(QColor panelShadow READ panelShadow NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sidebarSelection READ sidebarSelection NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sidebarBorder READ sidebarBorder NOTIFY appearanceChanged)
    Q_PROPERTY(QColor sage READ sage NOTIFY appearanceChanged)
    Q_PROPERTY(QColor copper READ copper NOTIFY appearanceChanged)
    Q_PROPERTY(QColor divider READ divider NOTIFY appearanceChanged)
    Q_PROPERTY(QColor track READ track NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accentTint READ accentTint NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accentSoftTint READ accentSoftTint NOTIFY appearanceChanged)
    Q_PROPERTY(QColor accentHighlight READ accentHighlight NOTIFY appearanceChanged)
    Q_PROPERTY(QColor brandGold READ brandGold CONSTANT)
    Q_PROPERTY(QColor brandRose READ brandRose CONSTANT)
    Q_PROPERTY(QColor brandTeal READ brandTeal CONSTANT)
    Q_PROPERTY(QColor brandLavender READ brandLavender CONSTANT)
    Q_PROPERTY(QColor brandInk READ brandInk CONSTANT)
    Q_PROPERTY(QColor markWarmWhite READ markWarmWhite CONSTANT)
    Q_PROPERTY(QColor markGold READ markGold CONSTANT)
    Q_PROPERTY(QColor markRose READ markRose CONSTANT)
    Q_PROPERTY(QColor markTeal READ markTeal CONSTANT)
    Q_PROPERTY(QColor markLavender READ markLavender CONSTANT)
    Q_PROPERTY(QColor markOlive READ markOlive CONSTANT)
    Q_PROPERTY(QFont pageTitle READ pageTitle CONSTANT)
    Q_PROPERTY(QFont sheetTitle READ sheetTitle CONSTANT)
    Q_PROPERTY(QFont cardTitle READ cardTitle CONSTANT)
    Q_PROPERTY(QFont bodyRegular READ bodyRegular CONSTANT)
    Q_PROPERTY(QFont bodyMedium READ bodyMedium CONSTANT)
    Q_PROPERTY(QFont detailRegular READ detailRegular CONSTANT)
    Q_PROPERTY(QFont detailMedium READ detailMedium CONSTANT)
    Q_PROPERTY(QFont captionRegular READ captionRegular CONSTANT)
    Q_PROPERTY(QFont metricValue READ metricValue CONSTANT)
    Q_PROPERTY(QColor ultraThinMaterial READ ultraThinMaterial NOTIFY appearanceChanged)
    Q_PROPERTY(QColor thinMaterial READ thinMaterial NOTIFY appearanceChanged)
    Q_PROPERTY(QEasingCurve toggleSpring READ toggleSpring CONSTANT)
    Q_PROPERTY(int toggleSpringDuration READ toggleSpringDuration CONSTANT)
public:
    explicit Theme(QObject *parent = nullptr);
    ~Theme() override;

    static Theme &shared();
    // The QML singleton is the shared instance.
    static Theme *create(QQmlEngine *, QJSEngine *);

    // ---- appearance ----
    bool isDark() const { return m_dark; }
    AppAppearanceMode appearanceMode() const { return m_mode; }
    QString appearanceModeRawValue() const { return appAppearanceModeRawValue(m_mode); }
    // The mode a stored value reads as: the exact raw value, else system.
    static AppAppearanceMode appearanceModeFromStored(const QVariant &stored);
    // Whether an appearance name resolves to the dark values: the best match among
    // [dark aqua, aqua]; a name that matches neither resolves to light.
    static bool appearanceNameIsDark(const QString &appearanceName);
    // Reads the stored mode and the system appearance again.
    void refresh();

    // ---- colours ----
    static const AdaptiveColor &adaptive(ColorToken token);
    QColor color(ColorToken token) const { return adaptive(token).resolve(m_dark); }
    // Multiplies the colour's alpha by k (k clamped to 0...1).
    Q_INVOKABLE static QColor withOpacity(const QColor &colour, double k);
    // The one colour that paints what `top` painted over `bottom` paints.
    static QColor over(const QColor &top, const QColor &bottom);
    static QColor material(Material material, bool isDark);
    // WCAG's contrast ratio of two colours (1 to 21), each made opaque over the app's
    // background of the current appearance first.
    double contrast(const QColor &a, const QColor &b) const;
    // The colour of the keyboard focus ring round a control filled with `fill` (transparent:
    // none) on `background`: the accent where it stands out from both by 3:1, else the
    // primary text colour, else whichever of the two, white and black stands out most
    // from the weaker of the two. A ring in the fill's own colour would only make the
    // control look a pixel larger.
    Q_INVOKABLE QColor focusRing(const QColor &fill, const QColor &background) const;
    // The line between the ring and the control: transparent (the background shows) where
    // the ring stands out from the fill by 3:1, else the background made opaque, which
    // does when no one colour stands out from both (a light fill on a dark background).
    Q_INVOKABLE QColor focusRingGap(const QColor &fill, const QColor &background) const;
    // A font of the system family at a size in points (used as pixels) and weight.
    Q_INVOKABLE static QFont systemFont(qreal size, int weight = QFont::Normal);

    QColor appBackground() const { return color(ColorToken::appBackground); }
    QColor sidebarBackground() const { return color(ColorToken::sidebarBackground); }
    QColor sidebarSheen() const { return color(ColorToken::sidebarSheen); }
    QColor sidebarGlow() const { return color(ColorToken::sidebarGlow); }
    QColor surface() const { return color(ColorToken::surface); }
    QColor surfaceRaised() const { return color(ColorToken::surfaceRaised); }
    QColor textPrimary() const { return color(ColorToken::textPrimary); }
    QColor textSecondary() const { return color(ColorToken::textSecondary); }
    QColor textTertiary() const { return color(ColorToken::textTertiary); }
    QColor accent() const { return color(ColorToken::accent); }
    QColor accentSoft() const { return color(ColorToken::accentSoft); }
    QColor accentMuted() const { return color(ColorToken::accentMuted); }
    QColor terracotta() const { return color(ColorToken::terracotta); }
    QColor panelStroke() const { return color(ColorToken::panelStroke); }
    QColor glassHighlight() const { return color(ColorToken::glassHighlight); }
    QColor panelShadow() const { return color(ColorToken::panelShadow); }
    QColor sidebarSelection() const { return color(ColorToken::sidebarSelection); }
    QColor sidebarBorder() const { return color(ColorToken::sidebarBorder); }
    QColor sage() const { return color(ColorToken::sage); }
    QColor copper() const { return color(ColorToken::copper); }
    QColor divider() const { return color(ColorToken::divider); }
    QColor track() const { return color(ColorToken::track); }
    QColor accentTint() const { return accent(); }
    QColor accentSoftTint() const { return accentSoft(); }
    QColor accentHighlight() const { return accentTint(); }
    static QColor brandGold();
    static QColor brandRose();
    static QColor brandTeal();
    static QColor brandLavender();
    static QColor brandInk();
    static QColor markWarmWhite();
    static QColor markGold();
    static QColor markRose();
    static QColor markTeal();
    static QColor markLavender();
    static QColor markOlive();
    static QFont pageTitle();
    static QFont sheetTitle();
    static QFont cardTitle();
    static QFont bodyRegular();
    static QFont bodyMedium();
    static QFont detailRegular();
    static QFont detailMedium();
    static QFont captionRegular();
    static QFont metricValue();
    static QString fontFamily();
    static QString symbolFontFamily();
    QColor ultraThinMaterial() const { return material(Material::ultraThin, m_dark); }
    QColor thinMaterial() const { return material(Material::thin, m_dark); }
    // The toggle's spring (response 0.25 s, damping fraction 0.8) as an easing curve over
    // toggleSpringDuration milliseconds.
    static QEasingCurve toggleSpring();
    static int toggleSpringDuration();
    static double springPosition(double seconds, double response, double dampingFraction);

signals:
    void appearanceChanged();
    void appearanceModeChanged();

private:
    bool m_dark = false;
    AppAppearanceMode m_mode = AppAppearanceMode::system;
};

} // namespace qv
