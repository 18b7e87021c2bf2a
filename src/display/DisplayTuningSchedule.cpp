// The circadian schedule and ambient-light comfort of display tuning: the phases of the
// day, the switches' handlers, their timers and the sensor reading.

#include "display/AmbientLightSensor.h"
#include "display/DisplayTuning.h"
#include "platform/AmbientLight.h"
#include "platform/Platform.h"
#include "runtime/Clamp.h"
#include "runtime/UserDefaults.h"

#include <QPointer>

#include <cmath>

namespace qv {

namespace {
constexpr qint64 kCircadianIntervalMs = 300'000;
constexpr qint64 kAmbientIntervalMs = 12'000;
} // namespace

DisplayTuning::CircadianTarget DisplayTuning::circadianTarget(const QDateTime &date)
{
    // The hour in the current time zone (Qt reads the process's zone on every conversion,
    // so a zone change is followed without restarting).
    const int hour = date.toLocalTime().time().hour();
    if (hour >= 7 && hour <= 15)
        return {QStringLiteral("Daylight"), 0.96, 0.08, 0.02, 0.06, 0.05, false};
    if (hour >= 16 && hour <= 18)
        return {QStringLiteral("Late day"), 0.86, 0.32, 0.05, 0.16, 0.12, false};
    if (hour >= 19 && hour <= 22)
        return {QStringLiteral("Evening"), 0.70, 0.64, 0.08, 0.20, 0.14, false};
    return {QStringLiteral("No blue"), 0.40, 1.40, 0.10, 0.30, 0.22, true};
}

void DisplayTuning::circadianScheduleEnabledDidChange()
{
    UserDefaults::standard().setBool(QStringLiteral("tuning.circadianSchedule"), m_circadianScheduleEnabled);
    if (!m_circadianScheduleEnabled) {
        // The values reached so far stay.
        m_circadianTimer.cancel();
        m_circadianTimer = TaskHandle();
        return;
    }
    setEnabled(true);
    startCircadianTimer();
    applyCircadianTarget(circadianTarget(scheduler().now()));
}

void DisplayTuning::startCircadianTimer()
{
    m_circadianTimer.cancel();
    // Every firing re-applies the current phase, so manual changes made meanwhile are
    // overridden. The scheduler holds this object weakly.
    m_circadianTimer = scheduler().every(kCircadianIntervalMs, this, [this] {
        if (m_circadianScheduleEnabled)
            applyCircadianTarget(circadianTarget(scheduler().now()));
    });
}

void DisplayTuning::ambientAwareComfortEnabledDidChange()
{
    UserDefaults::standard().setBool(QStringLiteral("tuning.ambientAwareComfort"), m_ambientAwareComfortEnabled);
    if (!m_ambientAwareComfortEnabled) {
        m_ambientTimer.cancel();
        m_ambientTimer = TaskHandle();
        setAmbientComfortLevel(0);
        setAmbientLightStatus(QStringLiteral("Manual"));
        setAmbientLightLux(std::nullopt);
        m_ambientLoggedRoom.clear();
        apply();
        return;
    }
    setEnabled(true);
    startAmbientTimer();
    refreshAmbientLight();
}

void DisplayTuning::startAmbientTimer()
{
    // A sensor that answers later (claimed on the first reading, started after the
    // program) is read as soon as it does.
    if (AmbientLight *sensor = platform().ambientLight) {
        QPointer<DisplayTuning> self(this);
        sensor->onReadingReady = [self] {
            if (self && self->m_ambientAwareComfortEnabled)
                self->refreshAmbientLight();
        };
    }
    m_ambientTimer.cancel();
    m_ambientTimer = scheduler().every(kAmbientIntervalMs, this, [this] {
        if (m_ambientAwareComfortEnabled)
            refreshAmbientLight();
    });
}

void DisplayTuning::refreshAmbientLight()
{
    if (const std::optional<double> lux = ambientLight::readLux()) {
        setAmbientLightLux(lux);
        setAmbientLightStatus(ambientLight::statusText(*lux));
        setAmbientComfortLevel(ambientLight::comfortLevel(*lux));
    } else {
        setAmbientLightLux(std::nullopt);
        setAmbientLightStatus(QStringLiteral("Sensor unavailable"));
        setAmbientComfortLevel(0);
    }
    // Said when the room's level changes, not at every drift of the sensor.
    const QString room = ambientComfortLabel();
    if (room != m_ambientLoggedRoom) {
        m_ambientLoggedRoom = room;
        m_log.info("Ambient comfort: %s (level %.2f, %s)", qUtf8Printable(room), m_ambientComfortLevel,
                   qUtf8Printable(m_ambientLightStatus));
    }
    apply();
}

QString DisplayTuning::ambientComfortLabel() const
{
    if (!m_ambientAwareComfortEnabled)
        return QStringLiteral("Manual");
    if (!m_ambientLightLux)
        return m_ambientLightStatus;
    return ambientLight::roomLabel(m_ambientComfortLevel);
}

} // namespace qv
