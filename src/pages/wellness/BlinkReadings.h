#pragma once

#include "pages/wellness/NumberText.h"

#include <QList>
#include <QString>

#include <optional>

namespace qv {

// What the Blink Detection page reads of the blink detector, as plain values: the page's
// view-models compute every text, colour and size from one of these.
struct BlinkReadings {
    bool userEnabled = false;
    bool isCalibrating = false;
    bool faceDetected = false;
    bool isUserAway = false;
    bool isLookingAtScreen = true;
    QString attentionStateLabel = numbertext::dash();
    QString eyeStateLabel = numbertext::dash();
    double blinksPerMinute = 0;
    double fiveMinuteBlinkRate = 0;
    long long sessionBlinkCount = 0;
    std::optional<double> secondsSinceLastBlink;
    double attentionSecondsThisSession = 0;
    double pausedSecondsThisSession = 0;
    QList<double> blinkRateBuckets = QList<double>(10, 0.0);
    double averageClosureMilliseconds = 0;
    long long partialBlinkCandidateCount = 0;
    double calibrationConfidence = 0;
    int blinkComfortScore = 0;
    double currentEAR = 0;
    double baselineEAR = 0;
    double eyeOpenAmount = 1;
    // Why detection turned itself off after being switched on; empty when it did not.
    QString startFailure;
};

} // namespace qv
