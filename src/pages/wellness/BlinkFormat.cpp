#include "pages/wellness/BlinkFormat.h"

#include <algorithm>
#include <cmath>

namespace qv::blink {

QString rateText(double perMinute)
{
    const auto rounded = perMinute >= 0 ? roundedHalfAway(perMinute) : std::nullopt;
    return rounded ? QStringLiteral("%1 / min").arg(*rounded) : dash();
}

QString countText(long long count)
{
    return count < 0 ? dash() : QString::number(count);
}

namespace {
// Whole seconds, halves away from zero, never below 0; none when not finite.
std::optional<long long> wholeSeconds(double seconds)
{
    const auto n = roundedHalfAway(seconds);
    if (!n)
        return std::nullopt;
    return std::max<long long>(*n, 0);
}
} // namespace

QString blinkDurationText(double seconds)
{
    const auto n = wholeSeconds(seconds);
    if (!n)
        return dash();
    if (*n < 60)
        return QStringLiteral("%1s").arg(*n);
    if (*n < 3600) {
        const long long r = *n % 60;
        return r ? QStringLiteral("%1m %2s").arg(*n / 60).arg(r) : QStringLiteral("%1m").arg(*n / 60);
    }
    return QStringLiteral("%1h %2m").arg(*n / 3600).arg(*n / 60 % 60);
}

QString qualityDurationText(double seconds)
{
    const auto n = wholeSeconds(seconds);
    if (!n)
        return dash();
    if (*n >= 60)
        return QStringLiteral("%1m %2s").arg(*n / 60).arg(*n % 60);
    return QStringLiteral("%1s").arg(*n);
}

QString rhythmNote(double fiveMinuteRate)
{
    return fiveMinuteRate == 0 ? QStringLiteral("Learning your pace") : QStringLiteral("5-minute active average");
}

Tint rhythmTint(double blinksPerMinute, bool faceDetected)
{
    return blinksPerMinute < 10 && faceDetected ? Tint::copper : Tint::accent;
}

QString sinceLastBlinkNote(std::optional<double> seconds)
{
    return seconds ? QStringLiteral("Long gaps raise the score gently") : QStringLiteral("No blink yet");
}

Tint sinceLastBlinkTint(std::optional<double> seconds)
{
    return seconds && *seconds > 20 ? Tint::copper : Tint::accent;
}

QString comfortScoreText(int score)
{
    return score > 0 ? QString::number(score) : dash();
}

QString comfortScoreNote(int score, bool isCalibrating)
{
    if (isCalibrating)
        return QStringLiteral("Calibrating signal");
    if (score >= 80)
        return QStringLiteral("Comfortable rhythm");
    if (score >= 55)
        return QStringLiteral("A little more blinking may help");
    if (score >= 1)
        return QStringLiteral("Consider a short eye reset");
    return QStringLiteral("Waiting for enough signal");
}

Tint comfortScoreTint(int score)
{
    if (score >= 80)
        return Tint::sage;
    return score >= 55 ? Tint::accent : Tint::copper;
}

QString rateCaption(double blinksPerMinute, const Presence &presence)
{
    if (presence.isUserAway)
        return QStringLiteral("Paused while away");
    if (!presence.isLookingAtScreen)
        return QStringLiteral("Paused while looking away");
    if (blinksPerMinute < 10 && presence.faceDetected && !presence.isCalibrating)
        return QStringLiteral("Below target range");
    return QStringLiteral("Active-window estimate");
}

QString presenceValue(const Presence &presence)
{
    if (presence.isUserAway)
        return QStringLiteral("Away");
    if (!presence.faceDetected)
        return QStringLiteral("Looking");
    return presence.isLookingAtScreen ? QStringLiteral("Here") : QStringLiteral("Offscreen");
}

QString presenceCaption(const Presence &presence, const QString &attentionStateLabel)
{
    if (presence.isUserAway)
        return QStringLiteral("Rate paused");
    if (!presence.faceDetected)
        return QStringLiteral("Position in front of camera");
    return attentionStateLabel;
}

QString confidenceText(double fraction)
{
    if (!std::isfinite(fraction))
        return dash();
    return QStringLiteral("%1%").arg(*roundedHalfAway(std::clamp(fraction, 0.0, 1.0) * 100));
}

QString earText(bool userEnabled, double ear)
{
    if (!userEnabled || !std::isfinite(ear) || ear < 0)
        return QStringLiteral("EAR ") + dash();
    return QStringLiteral("EAR %1").arg(ear, 0, 'f', 3);
}

QString baselineText(bool userEnabled, double baseline)
{
    if (std::isfinite(baseline) && baseline > 0)
        return QStringLiteral("Baseline %1").arg(baseline, 0, 'f', 3);
    return userEnabled ? QString() : QStringLiteral("Baseline ") + dash();
}

QString signalStatusText(bool userEnabled, bool isUserAway, bool isLookingAtScreen)
{
    if (!userEnabled)
        return noData();
    return isUserAway || !isLookingAtScreen ? QStringLiteral("Paused") : QStringLiteral("Open");
}

Tint signalTint(bool userEnabled, bool isUserAway, bool isLookingAtScreen, bool closed)
{
    if (!userEnabled || isUserAway || !isLookingAtScreen)
        return Tint::textTertiary;
    return closed ? Tint::copper : Tint::accent;
}

QString closureText(double milliseconds)
{
    if (milliseconds == 0)
        return dash();
    const auto rounded = milliseconds > 0 ? roundedHalfAway(milliseconds) : std::nullopt;
    return rounded ? QStringLiteral("%1 ms").arg(*rounded) : dash();
}

double meterLevelWidth(double meterWidth, bool userEnabled, double eyeOpenAmount)
{
    const double width = std::isfinite(meterWidth) ? std::max(meterWidth, 0.0) : 0.0;
    if (!userEnabled || !std::isfinite(eyeOpenAmount))
        return std::min(kMeterMinimumLevel, width);
    return std::min(std::max(width * std::clamp(eyeOpenAmount, 0.0, 1.0), kMeterMinimumLevel), std::max(width, 0.0));
}

bool triggerMarkVisible(double baseline)
{
    return std::isfinite(baseline) && baseline * 1.38 > 0;
}

double triggerMarkX(double meterWidth)
{
    // The level bar ends at kMeterMinimumLevel for an eye at the closure threshold; the
    // mark starts there, so that the bar reaches it exactly when the eye counts as closed.
    const double width = std::isfinite(meterWidth) ? meterWidth : 0.0;
    return std::clamp(kMeterMinimumLevel, 0.0, std::max(width - kTriggerMarkWidth, 0.0));
}

QList<double> normalisedBuckets(const QList<double> &values)
{
    QList<double> buckets(kCadenceBuckets, 0.0);
    const qsizetype count = std::min<qsizetype>(values.size(), kCadenceBuckets);
    for (qsizetype i = 0; i < count; ++i) {
        const double value = values[values.size() - count + i];
        buckets[kCadenceBuckets - count + i] = std::isfinite(value) ? value : 0.0;
    }
    return buckets;
}

double cadenceScale(const QList<double> &values)
{
    double scale = 24;
    for (double value : values)
        if (std::isfinite(value))
            scale = std::max(scale, value);
    return scale;
}

double cadenceBarHeight(double value, double scale, double barArea)
{
    const double area = std::isfinite(barArea) ? std::max(barArea, 0.0) : 0.0;
    double height = 0;
    if (std::isfinite(value) && scale > 0)
        height = std::clamp(value / scale, 0.0, 1.0) * area;
    return std::max(height, value > 0 ? 8.0 : 3.0);
}

Tint cadenceTint(bool isActive, double value)
{
    if (!isActive)
        return Tint::trackInactive;
    if (value == 0)
        return Tint::trackEmpty;
    if (value < 10)
        return Tint::copper;
    return value <= 24 ? Tint::accent : Tint::brandTeal;
}

} // namespace qv::blink
