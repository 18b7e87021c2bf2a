#pragma once

#include "display/TuningValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// The automatic comfort sources of display tuning. The circadian schedule feeds the phase
// of the day to the tuning (circadianTargetDue) when it is switched on, every 300 s and when
// the time zone changes. Ambient-aware comfort reads the light sensor every 12 s (and as soon
// as a late sensor answers) into a comfort level the transfer formula uses
// (ambientChanged). Turning either on switches tuning on (switchedOn).
class TuningSchedule : public QObject {
    Q_OBJECT
public:
    // One phase of the circadian schedule and the values a circadian transition moves to:
    // brightness, warmth, contrast reduction, soft white and highlight compression, with
    // no-blue mode on or off (the other values are not used).
    struct CircadianTarget {
        QString label;
        TuningValues values;
        bool operator==(const CircadianTarget &) const = default;
    };

    ~TuningSchedule() override;

    // The phase of the day for a date (by its hour in the current time zone).
    static CircadianTarget circadianTarget(const QDateTime &date);

    // Reads both stored switches and assigns them (a switch of another type is read
    // leniently and logged, and replaced by a Boolean as it is stored).
    void loadSwitches();
    // Starts the timers of the switches that are on, feeds the current phase and reads the
    // sensor: what a start with the switches on does once the tuning is loaded.
    void resume();

    bool circadianScheduleEnabled() const { return m_circadianScheduleEnabled; }
    // Every assignment stores the switch; on, it switches tuning on, starts the timer and
    // feeds the current phase; off, the values reached so far stay.
    void setCircadianScheduleEnabled(bool value);
    bool ambientAwareComfortEnabled() const { return m_ambientAwareComfortEnabled; }
    // Every assignment stores the switch; on, it switches tuning on, starts the timer and
    // reads the sensor; off, the reading is dropped and the level back at 0.
    void setAmbientAwareComfortEnabled(bool value);
    std::optional<double> ambientLightLux() const { return m_ambientLightLux; }
    QString ambientLightStatus() const { return m_ambientLightStatus; }
    double ambientComfortLevel() const { return m_ambientComfortLevel; }
    // The ambient comfort amount the formula is given: 0 while ambient-aware comfort is off.
    double ambientAmount() const;
    // The room label of the settings view: "Manual" while ambient comfort is off, the
    // status while there is no reading, else "Dark room", "Dim room" or "Bright room".
    QString ambientComfortLabel() const;

    // The system time zone changed: the current phase again when the schedule is on.
    void handleTimeZoneChanged();

signals:
    void circadianScheduleEnabledChanged();
    void ambientAwareComfortEnabledChanged();
    void ambientLightLuxChanged();
    void ambientLightStatusChanged();
    void ambientComfortLevelChanged();
    // A switch was turned on: tuning goes on.
    void switchedOn();
    // A phase of the day for the tuning to move to.
    void circadianTargetDue(const qv::TuningSchedule::CircadianTarget &target);
    // The ambient comfort amount may have changed: the screens are recomputed.
    void ambientChanged();

private:
    void circadianScheduleEnabledDidChange();
    void ambientAwareComfortEnabledDidChange();
    void startCircadianTimer();
    void startAmbientTimer();
    void refreshAmbientLight();
    // Publishes a reading: the illuminance, its status text and the comfort level.
    void setReading(std::optional<double> lux, const QString &status, double level);

    Logger m_log{"DisplayTuning"};

    bool m_circadianScheduleEnabled = false;
    bool m_ambientAwareComfortEnabled = false;
    std::optional<double> m_ambientLightLux;
    QString m_ambientLightStatus = QStringLiteral("Manual");
    double m_ambientComfortLevel = 0;
    QString m_ambientLoggedRoom; // the room label last logged
    TaskHandle m_circadianTimer;
    TaskHandle m_ambientTimer;
};

} // namespace qv
