#include "display/DisplayTuning.h"

#include "display/DisplayIdentity.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "runtime/Clamp.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"
#include "runtime/Settings.h"

namespace qv {

namespace {

const QString kSidecarOverlayKey = settings::tuningSidecarOverlay.name();

} // namespace

DisplayTuning &DisplayTuning::shared()
{
    return sharedInstance<DisplayTuning>();
}

DisplayTuning::DisplayTuning()
{
    UserDefaults &defaults = UserDefaults::standard();

    connect(&m_store, &TuningStore::selectedDisplayIDChanged, this, &DisplayTuning::selectedDisplayIDChanged);
    connect(&m_schedule, &TuningSchedule::circadianScheduleEnabledChanged, this,
            &DisplayTuning::circadianScheduleEnabledChanged);
    connect(&m_schedule, &TuningSchedule::ambientAwareComfortEnabledChanged, this,
            &DisplayTuning::ambientAwareComfortEnabledChanged);
    connect(&m_schedule, &TuningSchedule::ambientLightLuxChanged, this, &DisplayTuning::ambientLightLuxChanged);
    connect(&m_schedule, &TuningSchedule::ambientLightStatusChanged, this, &DisplayTuning::ambientLightStatusChanged);
    connect(&m_schedule, &TuningSchedule::ambientComfortLevelChanged, this, &DisplayTuning::ambientComfortLevelChanged);
    connect(&m_schedule, &TuningSchedule::switchedOn, this, [this] { setEnabled(true); });
    connect(&m_schedule, &TuningSchedule::circadianTargetDue, this, &DisplayTuning::applyCircadianTarget);
    connect(&m_schedule, &TuningSchedule::ambientChanged, this, &DisplayTuning::apply);

    m_store.load();

    // Each assignment runs its change handler as a user edit does: with no display
    // selected yet, every one rewrites the all-displays set, restarts the save and applies.
    bool brightnessStored = false;
    const TuningValues stored = TuningStore::savedGlobalValues(&brightnessStored);
    setNightModeEnabled(stored.nightModeEnabled);
    if (brightnessStored) {
        setBrightness(stored.brightness);
        if (m_values.brightness < 0.1)
            setBrightness(0.1);
    }
    setWarmth(stored.warmth);
    setContrastReduction(stored.contrastReduction);
    setSoftWhite(stored.softWhite);
    setHighlightCompression(stored.highlightCompression);
    setBloomGuardEnabled(stored.bloomGuardEnabled);
    setNoBlueModeEnabled(stored.noBlueModeEnabled);
    // The handler limits the value to 0...1 itself.
    setRedModeIntensity(stored.redModeIntensity);
    setNoBlueIntensityValue(m_values.noBlueModeEnabled ? m_values.redModeIntensity : 0);
    m_schedule.loadSwitches();
    // Its setter stores the switch (so the first launch writes it) and applies.
    setSidecarOverlayEnabled(defaults.object(kSidecarOverlayKey).isValid() ? defaults.boolForKey(kSidecarOverlayKey)
                                                                  : settings::tuningSidecarOverlay.defaultValue);
    setEnabled(stored.enabled);
    setWarmth(clampTo(m_values.warmth, 0, 1.4));

    m_store.setGlobalValues(currentEditorValues());

    // A selected display that is not connected now is not selected: the editor shows the
    // all-displays set, and the display's own set waits for it.
    m_store.restoreSelection();
    if (m_store.selectedDisplayID())
        loadEditorValues(m_store.editedValues());

    m_schedule.resume();
    if (m_values.enabled)
        apply();

    if (Screens *screens = platform().screens)
        connect(screens, &Screens::parametersChanged, this, &DisplayTuning::displaysChanged);

    if (Workspace *workspace = platform().workspace) {
        connect(workspace, &Workspace::applicationWillTerminate, this, &DisplayTuning::handleAppWillTerminate);
        connect(workspace, &Workspace::timeZoneChanged, this, &DisplayTuning::handleTimeZoneChanged);
        connect(workspace, &Workspace::screensDidWake, this, &DisplayTuning::handleScreensDidWake);
    }
}

DisplayTuning::~DisplayTuning()
{
    platform().displays->restoreColorSyncSettings();
}

// ---- editor values ----

void DisplayTuning::setBrightness(double value)
{
    m_values.brightness = value;
    emit brightnessChanged();
    valuesDidChange();
}

void DisplayTuning::setWarmth(double value)
{
    m_values.warmth = value;
    emit warmthChanged();
    valuesDidChange();
}

void DisplayTuning::setContrastReduction(double value)
{
    m_values.contrastReduction = value;
    emit contrastReductionChanged();
    valuesDidChange();
}

void DisplayTuning::setSoftWhite(double value)
{
    m_values.softWhite = value;
    emit softWhiteChanged();
    valuesDidChange();
}

void DisplayTuning::setHighlightCompression(double value)
{
    m_values.highlightCompression = value;
    emit highlightCompressionChanged();
    valuesDidChange();
}

void DisplayTuning::setBloomGuardEnabled(bool value)
{
    m_values.bloomGuardEnabled = value;
    emit bloomGuardEnabledChanged();
    bloomGuardEnabledDidChange();
}

void DisplayTuning::setEnabled(bool value)
{
    m_values.enabled = value;
    emit enabledChanged();
    valuesDidChange();
}

void DisplayTuning::setNightModeEnabled(bool value)
{
    m_values.nightModeEnabled = value;
    emit nightModeEnabledChanged();
    valuesDidChange();
}

void DisplayTuning::setNoBlueModeEnabled(bool value)
{
    m_values.noBlueModeEnabled = value;
    emit noBlueModeEnabledChanged();
    noBlueModeEnabledDidChange();
}

void DisplayTuning::setRedModeIntensity(double value)
{
    m_values.redModeIntensity = value;
    emit redModeIntensityChanged();
    redModeIntensityDidChange();
}

void DisplayTuning::setBloomGuardAutoActive(bool value)
{
    m_bloomGuardAutoActive = value;
    emit bloomGuardAutoActiveChanged();
}

void DisplayTuning::setNoBlueIntensityValue(double value)
{
    m_noBlueIntensity = value;
    emit noBlueIntensityChanged();
}

void DisplayTuning::setSidecarOverlayEnabled(bool value)
{
    m_sidecarOverlayEnabled = value;
    emit sidecarOverlayEnabledChanged();
    UserDefaults::standard().setBool(kSidecarOverlayKey, value);
    apply();
}

QVariant DisplayTuning::ambientLightLuxVariant() const
{
    const std::optional<double> lux = m_schedule.ambientLightLux();
    return lux ? QVariant(*lux) : QVariant();
}

// ---- the stored sets ----

void DisplayTuning::loadEditorValues(const TuningValues &values)
{
    m_isLoadingEditorValues = true;
    setBrightness(clampTo(values.brightness, 0.1, 1.0));
    setWarmth(clampTo(values.warmth, 0, 1.4));
    setContrastReduction(clampTo(values.contrastReduction, 0, 0.4));
    setSoftWhite(clamp01(values.softWhite));
    setHighlightCompression(clamp01(values.highlightCompression));
    setBloomGuardEnabled(values.bloomGuardEnabled);
    setEnabled(values.enabled);
    setNightModeEnabled(values.nightModeEnabled);
    setRedModeIntensity(clamp01(values.redModeIntensity));
    setNoBlueModeEnabled(values.noBlueModeEnabled);
    setNoBlueIntensityValue(m_values.noBlueModeEnabled ? m_values.redModeIntensity : 0);
    m_isLoadingEditorValues = false;
}

void DisplayTuning::storeEditorValues()
{
    if (!m_isLoadingEditorValues)
        m_store.storeEdited(currentEditorValues());
}

// ---- change handling and batching ----

void DisplayTuning::applyOrMark()
{
    if (m_isBatchingApply)
        m_needsApplyAfterBatch = true;
    else
        apply();
}

void DisplayTuning::valuesDidChange()
{
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::bloomGuardEnabledDidChange()
{
    if (m_values.bloomGuardEnabled)
        setEnabled(true);
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::noBlueModeEnabledDidChange()
{
    if (m_values.noBlueModeEnabled)
        setEnabled(true);
    if (!m_isAnimatingNoBlueTransition)
        setNoBlueIntensityValue(m_values.noBlueModeEnabled ? m_values.redModeIntensity : 0);
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::redModeIntensityDidChange()
{
    const double limited = clamp01(m_values.redModeIntensity);
    if (limited != m_values.redModeIntensity) {
        setRedModeIntensity(limited);
        return;
    }
    if (m_values.noBlueModeEnabled && !m_isAnimatingNoBlueTransition)
        setNoBlueIntensityValue(m_values.redModeIntensity);
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::beginBatch()
{
    m_isBatchingApply = true;
    m_needsApplyAfterBatch = false;
}

void DisplayTuning::endBatch()
{
    m_isBatchingApply = false;
    if (m_needsApplyAfterBatch) {
        m_needsApplyAfterBatch = false;
        apply();
    }
}

// ---- targets ----

QVariantList DisplayTuning::availableTargetList() const
{
    QVariantList list;
    for (const DisplayTuningTarget &target : TuningStore::availableTargets())
        list << QVariant::fromValue(target);
    return list;
}

void DisplayTuning::selectTarget(const QString &id)
{
    std::optional<DisplayId> selection = DisplayTuningTarget::parseTargetId(id);
    if (selection) {
        // A display that is not connected cannot be edited; its target is all displays.
        const QList<DisplayId> active = activeDisplayIDs();
        if (!active.isEmpty() && !active.contains(*selection))
            selection.reset();
    }
    m_store.forgetAwaitedDisplay();
    if (selection == m_store.selectedDisplayID())
        return;
    loadEditorValues(m_store.select(selection));
    apply();
}

void DisplayTuning::displaysChanged()
{
    // A monitor that left is off the picker at once, one that arrived on it, not when the
    // identities would be read again anyway.
    DisplayIdentityProvider::shared().invalidate();
    if (m_store.followDisplays()) {
        // The editor shows the selected monitor's values under its id now, and every
        // display gets its set under its id now at once.
        beginBatch();
        loadEditorValues(m_store.editedValues());
        m_needsApplyAfterBatch = true;
        endBatch();
    }
    if (const QStringList names = targetNames(); names != m_targetNames) {
        m_targetNames = names;
        m_log.info("Displays to tune: %s", qUtf8Printable(names.join(QStringLiteral(", "))));
        emit targetsChanged();
    }
}

QStringList DisplayTuning::targetNames() const
{
    QStringList names;
    for (const DisplayTuningTarget &target : TuningStore::availableTargets())
        names << QStringLiteral("%1 (%2)").arg(target.name, target.id);
    return names;
}

void DisplayTuning::switchOffAllDisplays()
{
    m_store.switchOffAll();
    if (m_values.enabled)
        setEnabled(false);
    m_store.schedulePersistence();
    restoreSystemOutput();
}

// ---- no-blue level and the circadian transition ----

void DisplayTuning::setNoBlueIntensity(double level)
{
    cancelNoBlueTransition();
    level = clamp01(level);
    beginBatch();
    applyNoBlueLevel(level);
    endBatch();
}

void DisplayTuning::applyNoBlueLevel(double level)
{
    const bool on = level > 0.01;
    m_isAnimatingNoBlueTransition = true;
    setRedModeIntensity(on ? level : 1.0);
    setNoBlueModeEnabled(on);
    setNoBlueIntensityValue(on ? level : 0);
    if (on)
        setEnabled(true);
    m_isAnimatingNoBlueTransition = false;
}

void DisplayTuning::cancelNoBlueTransition()
{
    if (m_animator.isRunning(this))
        m_animator.end();
}

void DisplayTuning::applyCircadianTarget(const CircadianTarget &target)
{
    m_animator.end();
    setEnabled(true);

    m_transition.from = m_values;
    m_transition.to = target.values;
    m_transition.noBlueFrom = m_noBlueIntensity;
    m_transition.noBlueTo = target.values.noBlueModeEnabled ? 1.0 : 0.0;

    beginBatch();
    m_isAnimatingNoBlueTransition = true;
    if (target.values.noBlueModeEnabled)
        setRedModeIntensity(1.0);
    setNoBlueModeEnabled(target.values.noBlueModeEnabled);
    endBatch();

    m_animator.run(
        this, transitionStepCount, [this](double t) { runTransitionStep(t); }, [this] { settleTransition(); },
        [this] { m_isAnimatingNoBlueTransition = false; });
}

void DisplayTuning::runTransitionStep(double t)
{
    const Transition &tr = m_transition;
    const auto at = [t](double from, double to) { return from + t * (to - from); };
    beginBatch();
    setNoBlueIntensityValue(at(tr.noBlueFrom, tr.noBlueTo));
    setBrightness(at(tr.from.brightness, tr.to.brightness));
    setWarmth(at(tr.from.warmth, tr.to.warmth));
    setContrastReduction(at(tr.from.contrastReduction, tr.to.contrastReduction));
    setSoftWhite(at(tr.from.softWhite, tr.to.softWhite));
    setHighlightCompression(at(tr.from.highlightCompression, tr.to.highlightCompression));
    endBatch();
}

void DisplayTuning::settleTransition()
{
    const Transition tr = m_transition;
    beginBatch();
    setNoBlueIntensityValue(tr.noBlueTo);
    if (tr.to.noBlueModeEnabled)
        setRedModeIntensity(1.0);
    setBrightness(tr.to.brightness);
    setWarmth(tr.to.warmth);
    setContrastReduction(tr.to.contrastReduction);
    setSoftWhite(tr.to.softWhite);
    setHighlightCompression(tr.to.highlightCompression);
    m_isAnimatingNoBlueTransition = false;
    endBatch();
}

// ---- snapshot and reset ----

void DisplayTuning::applySnapshot(const TuningValues &snapshot)
{
    beginBatch();
    setBrightness(clampTo(snapshot.brightness, 0.1, 1.0));
    setWarmth(clampTo(snapshot.warmth, 0, 1.4));
    setContrastReduction(clampTo(snapshot.contrastReduction, 0, 0.4));
    setSoftWhite(clamp01(snapshot.softWhite));
    setHighlightCompression(clamp01(snapshot.highlightCompression));
    setBloomGuardEnabled(snapshot.bloomGuardEnabled);
    setNightModeEnabled(snapshot.nightModeEnabled);
    setRedModeIntensity(clamp01(snapshot.redModeIntensity));
    setNoBlueModeEnabled(snapshot.noBlueModeEnabled);
    setEnabled(snapshot.enabled);
    endBatch();

    if (!snapshot.enabled)
        restoreSystemOutput();
}

void DisplayTuning::resetAll()
{
    m_store.reset();

    setBrightness(1.0);
    setWarmth(0);
    setContrastReduction(0);
    setSoftWhite(0);
    setHighlightCompression(0);
    setBloomGuardEnabled(false);
    setBloomGuardAutoActive(false);
    setEnabled(false);
    setNightModeEnabled(false);

    // A preset's transition ends here too: it would carry on from the reset values.
    m_animator.end();
    setNoBlueIntensityValue(0);
    setNoBlueModeEnabled(false);
    setRedModeIntensity(1.0);

    setCircadianScheduleEnabled(false);
    setAmbientAwareComfortEnabled(false);

    restoreSystemOutput();
}

// ---- persistence ----

// ---- notifications ----

void DisplayTuning::handleAppWillTerminate()
{
    emit terminating();
    m_store.persistNow();
    restoreSystemOutput();
}

void DisplayTuning::handleScreensDidWake()
{
    // On a later turn: the display services first hear of the wake and forget what they
    // wrote, so that every formula is written again.
    scheduler().post(this, [this] { apply(); });
}


} // namespace qv
