// The circadian schedule and ambient-light comfort of display tuning: the phases of the
// day, the switches' handlers, their timers and the sensor reading.

#include "display/DisplayTuning.h"

namespace qv {

DisplayTuning::CircadianTarget DisplayTuning::circadianTarget(const QDateTime &date)
{
    const int hour = date.toLocalTime().time().hour();
    if (hour >= 7 && hour <= 15)
        return {QStringLiteral("Daylight"), 0.96, 0.08, 0.02, 0.06, 0.05, false};
    if (hour >= 16 && hour <= 18)
        return {QStringLiteral("Late day"), 0.86, 0.32, 0.05, 0.16, 0.12, false};
    if (hour >= 19 && hour <= 22)
        return {QStringLiteral("Evening"), 0.70, 0.64, 0.08, 0.20, 0.14, false};
    return {QStringLiteral("No blue"), 0.40, 1.40, 0.10, 0.30, 0.22, true};
}

// The switches' handlers, the timers and the sensor reading are still to come: until
// then the switches only hold their value.
void DisplayTuning::circadianScheduleEnabledDidChange() {}
void DisplayTuning::ambientAwareComfortEnabledDidChange() {}
void DisplayTuning::startCircadianTimer() {}
void DisplayTuning::startAmbientTimer() {}
void DisplayTuning::refreshAmbientLight() {}

} // namespace qv
