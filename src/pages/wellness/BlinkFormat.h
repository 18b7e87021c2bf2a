#pragma once

#include "pages/wellness/NumberText.h"

#include <QList>
#include <QString>

#include <optional>

// The rules behind the Blink Detection page's texts, colours and geometry, as plain
// functions of the detector's values. The detector publishes finite numbers; anything
// else (NaN, infinity, a negative count or rate) shows the placeholder dash.
namespace qv::blink {

using numbertext::dash;
using numbertext::roundedHalfAway;

inline const QString &noData()
{
    static const QString text = QStringLiteral("No data available");
    return text;
}

// The colours the page chooses by state; the view-models resolve them in the current
// appearance.
enum class Tint {
    accent,
    copper,
    sage,
    brandTeal,
    textTertiary,
    trackInactive, // the track colour at 0.42: a bar while detection is off
    trackEmpty,    // the track colour at 0.45: an empty bucket
};

// "12 / min" from a rate; the dash for a rate that is not a finite number of 0 or more.
QString rateText(double perMinute);
// A count as a decimal integer; the dash below 0.
QString countText(long long count);

// The metric tiles' durations, with hours: 59s, 1m, 1m 1s, 1h 0m.
QString blinkDurationText(double seconds);
// The quality card's durations, without hours: 59s, 1m 0s, 62m 5s.
QString qualityDurationText(double seconds);

// ---- metric tiles ----
QString rhythmNote(double fiveMinuteRate);
Tint rhythmTint(double blinksPerMinute, bool faceDetected);
QString sinceLastBlinkNote(std::optional<double> seconds);
Tint sinceLastBlinkTint(std::optional<double> seconds);
QString comfortScoreText(int score);
QString comfortScoreNote(int score, bool isCalibrating);
Tint comfortScoreTint(int score);

// ---- panel statistics ----
struct Presence {
    bool isUserAway = false;
    bool isLookingAtScreen = true;
    bool faceDetected = false;
    bool isCalibrating = false;
};
QString rateCaption(double blinksPerMinute, const Presence &presence);
QString presenceValue(const Presence &presence);
QString presenceCaption(const Presence &presence, const QString &attentionStateLabel);
// "73%" from 0.726; the fraction is limited to 0...1.
QString confidenceText(double fraction);

// ---- signal and quality cards ----
QString earText(bool userEnabled, double ear);
// The legend's baseline; empty while switched on without a baseline.
QString baselineText(bool userEnabled, double baseline);
QString signalStatusText(bool userEnabled, bool isUserAway, bool isLookingAtScreen);
Tint signalTint(bool userEnabled, bool isUserAway, bool isLookingAtScreen, bool closed);
QString closureText(double milliseconds);

// The openness meter. The level bar is never narrower than kMeterMinimumLevel, which is
// where an eye at the closure threshold (openness 0) leaves it; the trigger mark stands
// there.
constexpr double kMeterMinimumLevel = 8;
constexpr double kTriggerMarkWidth = 2;
double meterLevelWidth(double meterWidth, bool userEnabled, double eyeOpenAmount);
bool triggerMarkVisible(double baseline);
double triggerMarkX(double meterWidth);

// ---- cadence ----
constexpr int kCadenceBuckets = 10;
// Exactly ten buckets: the newest ten of a longer list, zeros before the oldest of a
// shorter one; a value that is not finite counts as an empty bucket.
QList<double> normalisedBuckets(const QList<double> &values);
double cadenceScale(const QList<double> &values);
// The bar's height in a bar area of the given height (the chart less its label row).
double cadenceBarHeight(double value, double scale, double barArea);
Tint cadenceTint(bool isActive, double value);

} // namespace qv::blink
