#pragma once

#include <QColor>
#include <QString>

#include <array>

namespace qv {

// The eight slider rows of the tuning panel: five on display tuning, three on the veil.
enum class TuningRow {
    brightness,
    warmth,
    blackLift,
    softWhites,
    highlightCompression,
    colorCalm,
    peripheralSoftening,
    screenUniformity,
};

inline constexpr std::array<TuningRow, 8> kTuningRows = {
    TuningRow::brightness, TuningRow::warmth,    TuningRow::blackLift,           TuningRow::softWhites,
    TuningRow::highlightCompression, TuningRow::colorCalm, TuningRow::peripheralSoftening, TuningRow::screenUniformity,
};

struct TuningRowInfo {
    QString title;
    QString symbol;
    double from = 0;
    double to = 1;
    bool veil = false; // a veil row: amount plus effect switch, looks differ
};

TuningRowInfo tuningRowInfo(TuningRow row);

// A value as the slider may show it: within the row's range, a value that is not a
// number at the lower end.
double sliderValue(TuningRow row, double value);

// The whole percentage of a fraction: fraction × 100 truncated toward zero, after a tiny
// epsilon so that binary fractions just under a whole number (0.29 × 100 =
// 28.999999999999996) count as that number. Not a number and infinities give 0.
int wholePercent(double fraction);
// wholePercent followed by "%".
QString percentText(double fraction);

// The value text of a row for a value (already within the row's range).
QString tuningValueText(TuningRow row, double value);

// The change of value that moves a row's value text by one percent: the keyboard's step.
double tuningKeyStep(TuningRow row);

// The colours the rows and the red-mode block take; resolved for one appearance.
struct TuningPalette {
    QColor accentTint, copper, terracotta, brandTeal, textSecondary, textTertiary;
    static TuningPalette current();
};

// The row's accent: its slider tint and its value text's colour (tuning rows; veil rows
// while the amount is above 0.01).
QColor tuningAccent(TuningRow row, double value, bool noBlueMode, const TuningPalette &palette);
// A veil row's effect counts as on above 0.01.
bool veilAmountIsOn(double amount);

// The red-mode block.
struct RedModeLook {
    double sliderValue = 0;
    QString valueText;
    QColor valueColor;
    QString accessibleValue; // "Off" or "<n> percent"
};
RedModeLook redModeLook(bool noBlueMode, double intensity, const TuningPalette &palette);

} // namespace qv
