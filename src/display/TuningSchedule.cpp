#include "display/TuningSchedule.h"

#include "display/AmbientLightSensor.h"
#include "platform/AmbientLight.h"
#include "platform/Platform.h"
#include "runtime/Clamp.h"
#include "runtime/UserDefaults.h"
#include "runtime/Settings.h"

#include <QPointer>

namespace qv {

namespace {
const QString kCircadianKey = settings::tuningCircadianSchedule.name();
const QString kAmbientKey = settings::tuningAmbientAwareComfort.name();
constexpr qint64 kCircadianIntervalMs = 300'000;
constexpr qint64 kAmbientIntervalMs = 12'000;
} // namespace

TuningSchedule::~TuningSchedule()
{
    m_circadianTimer.cancel();
    m_ambientTimer.cancel();
}

TuningSchedule::CircadianTarget TuningSchedule::circadianTarget(const QDateTime &date)
{
    // The hour in the current time zone (Qt reads the process's zone on every conversion,
    // so a zone change is followed without restarting).
    const int hour = date.toLocalTime().time().hour();
    if (hour >= 7 && hour <= 15)
        return {QStringLiteral("Daylight"), {.brightness = 0.96, .warmth = 0.08, .contrastReduction = 0.02,
                                             .softWhite = 0.06, .highlightCompression = 0.05}};
    if (hour >= 16 && hour <= 18)
        return {QStringLiteral("Late day"), {.brightness = 0.86, .warmth = 0.32, .contrastReduction = 0.05,
                                             .softWhite = 0.16, .highlightCompression = 0.12}};
    if (hour >= 19 && hour <= 22)
        return {QStringLiteral("Evening"), {.brightness = 0.70, .warmth = 0.64, .contrastReduction = 0.08,
                                            .softWhite = 0.20, .highlightCompression = 0.14}};
    return {QStringLiteral("No blue"), {.brightness = 0.40, .warmth = 1.40, .contrastReduction = 0.10,
                                        .softWhite = 0.30, .highlightCompression = 0.22, .noBlueModeEnabled = true}};
}

void TuningSchedule::loadSwitches()
{
    const UserDefaults &defaults = UserDefaults::standard();
    for (const QString &key : {kCircadianKey, kAmbientKey})
        if (defaults.hasStoredValue(key) && !defaults.boolValue(key))
            m_log.error("%s is not a Boolean; read as %s", qUtf8Printable(key),
                        defaults.boolForKey(key) ? "on" : "off");
    setCircadianScheduleEnabled(defaults.boolForKey(kCircadianKey));
    setAmbientAwareComfortEnabled(defaults.boolForKey(kAmbientKey));
}

void TuningSchedule::resume()
{
    if (m_circadianScheduleEnabled) {
        startCircadianTimer();
        emit circadianTargetDue(circadianTarget(scheduler().now()));
    }
    if (m_ambientAwareComfortEnabled) {
        startAmbientTimer();
        refreshAmbientLight();
    }
}

// ---- values ----

void TuningSchedule::setCircadianScheduleEnabled(bool value)
{
    m_circadianScheduleEnabled = value;
    emit circadianScheduleEnabledChanged();
    circadianScheduleEnabledDidChange();
}

void TuningSchedule::setAmbientAwareComfortEnabled(bool value)
{
    m_ambientAwareComfortEnabled = value;
    emit ambientAwareComfortEnabledChanged();
    ambientAwareComfortEnabledDidChange();
}

void TuningSchedule::setReading(std::optional<double> lux, const QString &status, double level)
{
    m_ambientLightLux = lux;
    m_ambientLightStatus = status;
    m_ambientComfortLevel = level;
    emit ambientLightLuxChanged();
    emit ambientLightStatusChanged();
    emit ambientComfortLevelChanged();
}

// ---- the circadian schedule ----

void TuningSchedule::circadianScheduleEnabledDidChange()
{
    UserDefaults::standard().setBool(kCircadianKey, m_circadianScheduleEnabled);
    if (!m_circadianScheduleEnabled) {
        // The values reached so far stay.
        m_circadianTimer.cancel();
        m_circadianTimer = TaskHandle();
        return;
    }
    emit switchedOn();
    startCircadianTimer();
    emit circadianTargetDue(circadianTarget(scheduler().now()));
}

void TuningSchedule::startCircadianTimer()
{
    m_circadianTimer.cancel();
    // Every firing feeds the current phase again, so manual changes made meanwhile are
    // overridden. The scheduler holds this object weakly.
    m_circadianTimer = scheduler().every(kCircadianIntervalMs, this, [this] {
        if (m_circadianScheduleEnabled)
            emit circadianTargetDue(circadianTarget(scheduler().now()));
    });
}

void TuningSchedule::handleTimeZoneChanged()
{
    if (m_circadianScheduleEnabled)
        emit circadianTargetDue(circadianTarget(scheduler().now()));
}

// ---- ambient light ----

void TuningSchedule::ambientAwareComfortEnabledDidChange()
{
    UserDefaults::standard().setBool(kAmbientKey, m_ambientAwareComfortEnabled);
    if (!m_ambientAwareComfortEnabled) {
        m_ambientTimer.cancel();
        m_ambientTimer = TaskHandle();
        setReading(std::nullopt, QStringLiteral("Manual"), 0);
        m_ambientLoggedRoom.clear();
        emit ambientChanged();
        return;
    }
    emit switchedOn();
    startAmbientTimer();
    refreshAmbientLight();
}

void TuningSchedule::startAmbientTimer()
{
    // A sensor that answers later (claimed on the first reading, started after the
    // program) is read as soon as it does.
    if (AmbientLight *sensor = platform().ambientLight) {
        QPointer<TuningSchedule> self(this);
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

void TuningSchedule::refreshAmbientLight()
{
    if (const std::optional<double> lux = ambientLight::readLux())
        setReading(lux, ambientLight::statusText(*lux), ambientLight::comfortLevel(*lux));
    else
        setReading(std::nullopt, QStringLiteral("Sensor unavailable"), 0);
    // Said when the room's level changes, not at every drift of the sensor.
    const QString room = ambientComfortLabel();
    if (room != m_ambientLoggedRoom) {
        m_ambientLoggedRoom = room;
        m_log.info("Ambient comfort: %s (level %.2f, %s)", qUtf8Printable(room), m_ambientComfortLevel,
                   qUtf8Printable(m_ambientLightStatus));
    }
    emit ambientChanged();
}

double TuningSchedule::ambientAmount() const
{
    return m_ambientAwareComfortEnabled ? clamp01(m_ambientComfortLevel) : 0;
}

QString TuningSchedule::ambientComfortLabel() const
{
    if (!m_ambientAwareComfortEnabled)
        return QStringLiteral("Manual");
    if (!m_ambientLightLux)
        return m_ambientLightStatus;
    return ambientLight::roomLabel(m_ambientComfortLevel);
}

} // namespace qv
