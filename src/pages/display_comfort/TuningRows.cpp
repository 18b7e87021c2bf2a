#include "pages/display_comfort/TuningRows.h"

#include "design/Theme.h"
#include "runtime/Clamp.h"

#include <cmath>

namespace qv {

TuningRowInfo tuningRowInfo(TuningRow row)
{
    switch (row) {
    case TuningRow::brightness:
        return {QStringLiteral("Software Brightness"), QStringLiteral("sun.max"), 0.1, 1.0, false};
    case TuningRow::warmth:
        return {QStringLiteral("Warmth"), QStringLiteral("thermometer.sun"), 0, 1.4, false};
    case TuningRow::blackLift:
        return {QStringLiteral("Black Lift"), QStringLiteral("circle.lefthalf.filled"), 0, 0.4, false};
    case TuningRow::softWhites:
        return {QStringLiteral("Soft Whites"), QStringLiteral("sun.haze"), 0, 1.0, false};
    case TuningRow::highlightCompression:
        return {QStringLiteral("Highlight Compression"), QStringLiteral("sparkle.magnifyingglass"), 0, 1.0, false};
    case TuningRow::colorCalm:
        return {QStringLiteral("Color Calm"), QStringLiteral("paintpalette"), 0, 2.0, true};
    case TuningRow::peripheralSoftening:
        return {QStringLiteral("Peripheral Softening"), QStringLiteral("moon.stars"), 0, 1.4, true};
    case TuningRow::screenUniformity:
        return {QStringLiteral("Screen Uniformity"), QStringLiteral("sun.haze"), 0, 1.0, true};
    }
    return {};
}

double sliderValue(TuningRow row, double value)
{
    const TuningRowInfo info = tuningRowInfo(row);
    return clampTo(value, info.from, info.to);
}

int wholePercent(double fraction)
{
    const double percent = fraction * 100.0;
    if (!std::isfinite(percent) || std::fabs(percent) > 1e9)
        return 0;
    constexpr double epsilon = 1e-9;
    return int(std::trunc(percent + (percent < 0 ? -epsilon : epsilon)));
}

QString percentText(double fraction)
{
    return QString::number(wholePercent(fraction)) + u'%';
}

QString tuningValueText(TuningRow row, double value)
{
    const QString off = QStringLiteral("Off");
    switch (row) {
    case TuningRow::brightness:
        return percentText(value);
    case TuningRow::warmth:
        return value < 0.05 ? QStringLiteral("Neutral") : percentText(value);
    case TuningRow::blackLift:
        return value < 0.02 ? off : percentText(value / 0.4);
    case TuningRow::softWhites:
    case TuningRow::highlightCompression:
    case TuningRow::colorCalm:
    case TuningRow::peripheralSoftening:
    case TuningRow::screenUniformity:
        return value < 0.03 ? off : percentText(value);
    }
    return off;
}

double tuningKeyStep(TuningRow row)
{
    // Black lift shows its share of the 0.4 maximum; every other row shows the value itself.
    return row == TuningRow::blackLift ? 0.004 : 0.01;
}

TuningPalette TuningPalette::current()
{
    const Theme &theme = Theme::shared();
    return {theme.accentTint(), theme.copper(), theme.terracotta(), Theme::brandTeal(), theme.textSecondary(),
            theme.textTertiary()};
}

QColor tuningAccent(TuningRow row, double value, bool noBlueMode, const TuningPalette &palette)
{
    switch (row) {
    case TuningRow::warmth:
        if (noBlueMode)
            return palette.terracotta;
        return value > 1.0 ? palette.copper : palette.accentTint;
    case TuningRow::colorCalm:
        return value > 1.0 ? palette.terracotta : palette.brandTeal;
    case TuningRow::peripheralSoftening:
        return value > 1.0 ? palette.terracotta : palette.accentTint;
    default:
        return palette.accentTint;
    }
}

bool veilAmountIsOn(double amount)
{
    return amount > 0.01;
}

RedModeLook redModeLook(bool noBlueMode, double intensity, const TuningPalette &palette)
{
    const double level = clamp01(intensity);
    RedModeLook look;
    look.sliderValue = noBlueMode ? level : 0;
    const bool shown = noBlueMode && level >= 0.02;
    look.valueText = shown ? percentText(level) : QStringLiteral("Off");
    look.accessibleValue =
        shown ? QString::number(wholePercent(level)) + QStringLiteral(" percent") : QStringLiteral("Off");
    look.valueColor = noBlueMode && level > 0.02 ? palette.terracotta : palette.textTertiary;
    return look;
}

} // namespace qv
