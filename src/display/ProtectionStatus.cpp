#include "display/ProtectionStatus.h"

#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/PwmDimmingActs.h"

namespace qv {

ProtectionStatus::ProtectionStatus(QObject *parent) : ProtectionStatus(DisplayTuning::shared(), parent) {}

ProtectionStatus::ProtectionStatus(DisplayTuning &tuning, QObject *parent)
    : QObject(parent),
      m_disableDithering(settings::disableDithering),
      m_disableUniformity2D(settings::disableUniformity2D),
      m_pwmAvoidanceEnabled(settings::pwmAvoidanceEnabled),
      m_pwmDimming(new PwmDimmingActs(tuning, this))
{
    for (StoredSetting *setting : {&m_disableDithering, &m_disableUniformity2D, &m_pwmAvoidanceEnabled})
        connect(setting, &StoredSetting::valueChanged, this, &ProtectionStatus::changed);
    connect(m_pwmDimming, &PwmDimmingActs::changed, this, &ProtectionStatus::changed);
    // The veil standing in turns with the veil's panels, and with a back-end's later answer
    // whether a screen took its formula (a compositor's): said only when it turns.
    m_veilStoodIn = veilStandsIn();
    connect(&ComfortVeilController::shared(), &ComfortVeilController::tintsChanged, this,
            &ProtectionStatus::checkVeil);
    connect(m_pwmDimming, &PwmDimmingActs::formulaNoteChanged, this, &ProtectionStatus::checkVeil);
}

ProtectionStatus::~ProtectionStatus() = default;

bool ProtectionStatus::ditheringActs() const
{
    return DisplayEngine::framebufferProtectionsAvailable() && m_disableDithering.value().toBool();
}

bool ProtectionStatus::pwmActs() const
{
    return m_pwmAvoidanceEnabled.value().toBool() && m_pwmDimming->value();
}

bool ProtectionStatus::uniformityActs() const
{
    return DisplayEngine::framebufferProtectionsAvailable() && m_disableUniformity2D.value().toBool();
}

int ProtectionStatus::activeCount() const
{
    return int(ditheringActs()) + int(pwmActs()) + int(uniformityActs());
}

void ProtectionStatus::checkVeil()
{
    if (veilStandsIn() == m_veilStoodIn)
        return;
    m_veilStoodIn = !m_veilStoodIn;
    emit changed();
}

bool ProtectionStatus::veilStandsIn() const
{
    return ComfortVeilController::shared().tints() && !PwmDimmingActs::aScreenTakesFormula();
}

int ProtectionStatus::availableCount()
{
    return DisplayEngine::availableProtectionCount();
}

QString ProtectionStatus::title() const
{
    const int count = activeCount();
    if (count == availableCount())
        return tr("Eye Comfort: Active");
    return anyActs() ? tr("Partial protection") : tr("Protection off");
}

QString ProtectionStatus::countLine() const
{
    if (availableCount() == 1)
        return pwmActs() ? tr("PWM-safe dimming is on") : tr("PWM-safe dimming is off");
    if (allActive())
        return tr("All protections are enabled");
    return tr("%1 of %2 protections active").arg(activeCount()).arg(availableCount());
}

} // namespace qv
