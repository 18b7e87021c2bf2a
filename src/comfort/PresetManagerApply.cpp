// Applying presets and profiles: the road from a user's choice to display control.

#include "comfort/PresetManager.h"

#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/ProtectionSettings.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "runtime/UserDefaults.h"

#include <algorithm>

namespace qv {


PresetValues PresetManager::presetValues(ComfortPreset preset) const
{
    return computedPresetValues(preset, m_profileIntensity);
}

SavedComfortProfile PresetManager::captureCurrentProfile(const QUuid &id, const QString &name,
                                                         const QDateTime &createdAt) const
{
    const DisplayTuning &tuning = DisplayTuning::shared();
    const ComfortVeilController &veil = ComfortVeilController::shared();
    const UserDefaults &d = UserDefaults::standard();
    SavedComfortProfile p;
    p.id = id;
    p.name = name;
    p.tuning = tuning.currentEditorValues();
    p.tuning.bloomGuardEnabled = false;
    if (!p.tuning.noBlueModeEnabled)
        p.tuning.redModeIntensity = 0.0;
    // Only what the user stored counts: a switch never stored reads as on, a threshold
    // never stored as the live brightness.
    p.pwm.enabled = protection::storedBool(d, protection::kPwmAvoidanceEnabled).value_or(true);
    p.pwm.threshold = d.hasStoredValue(protection::kPwmThreshold) ? d.doubleForKey(protection::kPwmThreshold)
                                                                 : tuning.brightness();
    p.veil = veil.values();
    // The focus window is no part of a profile.
    p.veil.focusWindowEnabled = ComfortVeilState().focusWindowEnabled;
    p.veil.focusWindowSize = ComfortVeilState().focusWindowSize;
    p.createdAt = createdAt;
    return p;
}

void PresetManager::applyPreset(ComfortPreset preset, bool animated)
{
    m_log.info("Applying preset: %s", qUtf8Printable(rawValue(preset)));
    selectPreset(preset, animated);
}

void PresetManager::selectPreset(ComfortPreset preset, bool animated)
{
    setActivePreset(preset);
    setActiveSavedProfileID(std::nullopt);
    UserDefaults::standard().setString(QString::fromLatin1(activePresetKey), rawValue(preset));

    if (preset == ComfortPreset::neutral) {
        ComfortVeilController &veil = ComfortVeilController::shared();
        veil.setEnabled(false);
        veil.setPeripheralSofteningEnabled(false);
        veil.setPeripheralSoftening(0);
        veil.setFocusWindowEnabled(false);
        veil.setFocusWindowSize(0.58);
        veil.setHighlightDampeningEnabled(false);
        veil.setHighlightDampening(0);
        veil.setColorCalmEnabled(false);
        veil.setColorCalm(0);
        veil.setMicrotextureEnabled(false);
        veil.setMicrotexture(0);
        veil.clearLatestState();
        veil.removeAllWindows();
    }
    applyPresetValues(preset, animated);
}

void PresetManager::applyPresetValues(ComfortPreset preset, bool animated)
{
    if (const std::optional<SavedComfortProfile> custom = m_library.customProfile(preset)) {
        applyProfileValues(custom->presetValues(), animated);
        setVeilFromProfile(*custom);
        return;
    }
    applyProfileValues(presetValues(preset), animated);
}

void PresetManager::applySavedProfile(const SavedComfortProfile &profile, bool animated)
{
    m_log.info("Applying saved profile: %s", qUtf8Printable(profile.name));
    setActiveSavedProfileID(profile.id);
    UserDefaults::standard().setString(QString::fromLatin1(activePresetKey), profile.name);
    applyProfileValues(profile.presetValues(), animated);
    setVeilFromProfile(profile);
}

void PresetManager::setVeilFromProfile(const SavedComfortProfile &profile)
{
    ComfortVeilController &veil = ComfortVeilController::shared();
    veil.setPeripheralSofteningEnabled(profile.veil.peripheralSofteningEnabled);
    veil.setPeripheralSoftening(profile.veil.peripheralSoftening);
    veil.setHighlightDampeningEnabled(profile.veil.highlightDampeningEnabled);
    veil.setHighlightDampening(profile.veil.highlightDampening);
    veil.setColorCalmEnabled(profile.veil.colorCalmEnabled);
    veil.setColorCalm(profile.veil.colorCalm);
    veil.setMicrotextureEnabled(profile.veil.microtextureEnabled);
    veil.setMicrotexture(profile.veil.microtexture);
    veil.setEnabled(profile.veil.enabled);
}

void PresetManager::applyProfileValues(const PresetValues &values, bool animated)
{
    // The circadian transition writes the same values: it ends here too.
    DisplayTuning::shared().animator().end();

    DisplayEngine &engine = DisplayEngine::shared();
    engine.setPwmAvoidanceEnabled(values.pwm.enabled);
    engine.setPwmThresholdPercent(values.pwm.threshold * 100);
    UserDefaults &d = UserDefaults::standard();
    d.setBool(protection::kPwmAvoidanceEnabled, values.pwm.enabled);
    d.setDouble(protection::kPwmThreshold, values.pwm.threshold);

    if (!animated) {
        applyFinalValues(values);
        ComfortVeilController &veil = ComfortVeilController::shared();
        veil.setColorCalm(values.colorCalm);
        veil.setColorCalmEnabled(values.colorCalm > 0.01);
        if (values.colorCalm > 0.01)
            veil.setEnabled(true);
        if (!values.tuning.enabled)
            DisplayTuning::shared().switchOffAllDisplays();
        return;
    }

    DisplayTuning &tuning = DisplayTuning::shared();
    ComfortVeilController &veil = ComfortVeilController::shared();
    PresetValues start; // where the values start from (its PWM part is not used)
    if (tuning.enabled())
        start.tuning = tuning.currentEditorValues();
    start.tuning.redModeIntensity = tuning.noBlueModeEnabled() ? tuning.redModeIntensity() : 0.0;
    start.colorCalm = veil.colorCalmEnabled() ? veil.colorCalm() : 0.0;

    const bool rampNightMode = tuning.nightModeEnabled() || values.tuning.nightModeEnabled || start.tuning.warmth > 1.0
        || values.tuning.warmth > 1.0 || start.tuning.brightness < 0.25 || values.tuning.brightness < 0.25;
    tuning.beginBatch();
    tuning.setNightModeEnabled(rampNightMode);
    if (values.tuning.noBlueModeEnabled) {
        tuning.setRedModeIntensity(std::max(values.tuning.redModeIntensity, 0.01));
        tuning.setNoBlueModeEnabled(true);
    } else if (tuning.noBlueModeEnabled()) {
        tuning.setNoBlueModeEnabled(false);
    }
    tuning.setEnabled(true);
    tuning.endBatch();

    const double calm = std::max(values.colorCalm, start.colorCalm);
    veil.setColorCalmEnabled(calm > 0.01);
    if (calm > 0.01)
        veil.setEnabled(true);

    // The end values are stored now, beside the preset's name: a process killed while the
    // values move finds the preset's values, not the ones it left.
    tuning.store().storeTargetValues(finalTuningValues(values));

    connect(&tuning, &DisplayTuning::terminating, this, &PresetManager::finishTransitionBeforeQuit,
            Qt::UniqueConnection);
    tuning.animator().run(
        this, transitionStepCount, [this, start, values](double e) { runTransitionStep(e, start, values); },
        [this, values] { finishTransition(values); });
}

bool PresetManager::isTransitionRunning() const
{
    return DisplayTuning::shared().animator().isRunning(this);
}

TuningValues PresetManager::finalTuningValues(const PresetValues &values)
{
    return presetTuningValues(values, DisplayTuning::shared().currentEditorValues());
}

TuningValues presetTuningValues(const PresetValues &values, TuningValues base)
{
    TuningValues v = values.tuning;
    v.bloomGuardEnabled = base.bloomGuardEnabled;
    v.redModeIntensity = v.noBlueModeEnabled ? std::max(v.redModeIntensity, 0.01) : 1.0;
    return v;
}

void PresetManager::runTransitionStep(double e, const PresetValues &start, const PresetValues &target)
{
    const auto ease = [e](double from, double to) { return from + (to - from) * e; };

    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.beginBatch();
    tuning.setBrightness(ease(start.tuning.brightness, target.tuning.brightness));
    tuning.setWarmth(ease(start.tuning.warmth, target.tuning.warmth));
    tuning.setContrastReduction(ease(start.tuning.contrastReduction, target.tuning.contrastReduction));
    tuning.setSoftWhite(ease(start.tuning.softWhite, target.tuning.softWhite));
    tuning.setHighlightCompression(ease(start.tuning.highlightCompression, target.tuning.highlightCompression));
    if (target.tuning.noBlueModeEnabled)
        tuning.setRedModeIntensity(ease(start.tuning.redModeIntensity, std::max(target.tuning.redModeIntensity, 0.01)));
    tuning.endBatch();

    // The veil's setter stores the amount and redraws.
    ComfortVeilController::shared().setColorCalm(ease(start.colorCalm, target.colorCalm));
}

void PresetManager::finishTransition(const PresetValues &target)
{
    applyFinalValues(target);
    ComfortVeilController &veil = ComfortVeilController::shared();
    veil.setColorCalm(target.colorCalm);
    veil.setColorCalmEnabled(target.colorCalm > 0.01);
    // Every display gets its system colours back, so no display keeps tuning on.
    if (!target.tuning.enabled)
        DisplayTuning::shared().switchOffAllDisplays();
}

void PresetManager::finishTransitionBeforeQuit()
{
    TuningAnimator &animator = DisplayTuning::shared().animator();
    if (!animator.isRunning(this))
        return;
    m_log.info("Quitting during a transition; its final values are set and stored");
    animator.finishNow();
}

void PresetManager::applyFinalValues(const PresetValues &values)
{
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.beginBatch();
    if (values.tuning.nightModeEnabled)
        tuning.setNightModeEnabled(true);
    tuning.setBrightness(values.tuning.brightness);
    tuning.setWarmth(values.tuning.warmth);
    tuning.setContrastReduction(values.tuning.contrastReduction);
    tuning.setSoftWhite(values.tuning.softWhite);
    tuning.setHighlightCompression(values.tuning.highlightCompression);
    tuning.setNightModeEnabled(values.tuning.nightModeEnabled);
    tuning.setRedModeIntensity(values.tuning.noBlueModeEnabled ? std::max(values.tuning.redModeIntensity, 0.01) : 1.0);
    tuning.setNoBlueModeEnabled(values.tuning.noBlueModeEnabled);
    tuning.setEnabled(values.tuning.enabled);
    tuning.endBatch();
}

} // namespace qv
