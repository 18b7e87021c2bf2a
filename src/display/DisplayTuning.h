#pragma once

#include "display/DisplayTuningTarget.h"
#include "display/SidecarComfortOverlayManager.h"
#include "display/TuningAnimator.h"
#include "display/TuningSchedule.h"
#include "display/TuningStore.h"
#include "display/TuningValues.h"
#include "platform/Types.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace qv {

// Software display tuning: the values the tuning sliders and switches edit, and every
// active display's transfer formula (tuningFormula) and the Sidecar overlay made from
// them. It publishes, for the views, what its parts keep: the stored sets and the target
// being edited (TuningStore), the circadian schedule and ambient light (TuningSchedule,
// whose phases it moves to), and the one transition of the editor values (TuningAnimator,
// shared with the presets).
//
// The ten editor values (brightness ... redModeIntensity) are the live copy of the set
// being edited: the all-displays set while no display is selected, else the selected
// display's set. Every assignment of an editor value, through its setter, runs that
// value's change handler: the set being edited is updated, the 250 ms debounced save
// restarts and every display is recomputed (apply()). Code that assigns several values
// in a row wraps them in a batch so that apply() runs once at the end:
//
//     tuning.beginBatch();
//     tuning.setBrightness(0.8);
//     tuning.setWarmth(0.3);
//     tuning.endBatch();          // one apply(), when any handler asked for it
//
// or tuning.batch([&] { ... }). Batches do not nest.
class DisplayTuning : public QObject {
    Q_OBJECT
    Q_PROPERTY(double brightness READ brightness WRITE setBrightness NOTIFY brightnessChanged)
    Q_PROPERTY(double warmth READ warmth WRITE setWarmth NOTIFY warmthChanged)
    Q_PROPERTY(double contrastReduction READ contrastReduction WRITE setContrastReduction NOTIFY contrastReductionChanged)
    Q_PROPERTY(double softWhite READ softWhite WRITE setSoftWhite NOTIFY softWhiteChanged)
    Q_PROPERTY(double highlightCompression READ highlightCompression WRITE setHighlightCompression NOTIFY highlightCompressionChanged)
    Q_PROPERTY(bool bloomGuardEnabled READ bloomGuardEnabled WRITE setBloomGuardEnabled NOTIFY bloomGuardEnabledChanged)
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(bool nightModeEnabled READ nightModeEnabled WRITE setNightModeEnabled NOTIFY nightModeEnabledChanged)
    Q_PROPERTY(bool noBlueModeEnabled READ noBlueModeEnabled WRITE setNoBlueModeEnabled NOTIFY noBlueModeEnabledChanged)
    Q_PROPERTY(double redModeIntensity READ redModeIntensity WRITE setRedModeIntensity NOTIFY redModeIntensityChanged)
    Q_PROPERTY(QString selectedTargetId READ selectedTargetId NOTIFY selectedDisplayIDChanged)
    Q_PROPERTY(QString selectedTargetName READ selectedTargetName NOTIFY selectedDisplayIDChanged)
    Q_PROPERTY(bool circadianScheduleEnabled READ circadianScheduleEnabled WRITE setCircadianScheduleEnabled NOTIFY circadianScheduleEnabledChanged)
    Q_PROPERTY(bool ambientAwareComfortEnabled READ ambientAwareComfortEnabled WRITE setAmbientAwareComfortEnabled NOTIFY ambientAwareComfortEnabledChanged)
    Q_PROPERTY(bool sidecarOverlayEnabled READ sidecarOverlayEnabled WRITE setSidecarOverlayEnabled NOTIFY sidecarOverlayEnabledChanged)
    Q_PROPERTY(QVariant ambientLightLux READ ambientLightLuxVariant NOTIFY ambientLightLuxChanged)
    Q_PROPERTY(QString ambientLightStatus READ ambientLightStatus NOTIFY ambientLightStatusChanged)
    Q_PROPERTY(double ambientComfortLevel READ ambientComfortLevel NOTIFY ambientComfortLevelChanged)
    Q_PROPERTY(bool bloomGuardAutoActive READ bloomGuardAutoActive NOTIFY bloomGuardAutoActiveChanged)
    Q_PROPERTY(double noBlueIntensity READ noBlueIntensity WRITE setNoBlueIntensity NOTIFY noBlueIntensityChanged)

public:
    using CircadianTarget = TuningSchedule::CircadianTarget;

    static constexpr int transitionStepCount = 48; // of the circadian transition

    static DisplayTuning &shared();

    DisplayTuning();
    ~DisplayTuning() override;

    // ---- editor values (setters run the change handlers on every assignment) ----
    double brightness() const { return m_values.brightness; }
    double warmth() const { return m_values.warmth; }
    double contrastReduction() const { return m_values.contrastReduction; }
    double softWhite() const { return m_values.softWhite; }
    double highlightCompression() const { return m_values.highlightCompression; }
    bool bloomGuardEnabled() const { return m_values.bloomGuardEnabled; }
    bool enabled() const { return m_values.enabled; }
    bool nightModeEnabled() const { return m_values.nightModeEnabled; }
    bool noBlueModeEnabled() const { return m_values.noBlueModeEnabled; }
    double redModeIntensity() const { return m_values.redModeIntensity; }

    void setBrightness(double value);
    void setWarmth(double value);
    void setContrastReduction(double value);
    void setSoftWhite(double value);
    void setHighlightCompression(double value);
    void setBloomGuardEnabled(bool value);
    void setEnabled(bool value);
    void setNightModeEnabled(bool value);
    void setNoBlueModeEnabled(bool value);
    void setRedModeIntensity(double value);

    // ---- target being edited (the store's) ----
    std::optional<DisplayId> selectedDisplayID() const { return m_store.selectedDisplayID(); }
    QString selectedTargetId() const { return m_store.selectedTargetId(); }
    QString selectedTargetName() const { return m_store.selectedTargetName(); }
    QList<DisplayTuningTarget> availableTargets() const { return TuningStore::availableTargets(); }
    Q_INVOKABLE QVariantList availableTargetList() const;
    Q_INVOKABLE void selectTarget(const QString &id);

    // ---- circadian schedule and ambient light (the schedule's, published here) ----
    TuningSchedule &schedule() { return m_schedule; }
    bool circadianScheduleEnabled() const { return m_schedule.circadianScheduleEnabled(); }
    void setCircadianScheduleEnabled(bool value) { m_schedule.setCircadianScheduleEnabled(value); }
    bool ambientAwareComfortEnabled() const { return m_schedule.ambientAwareComfortEnabled(); }
    void setAmbientAwareComfortEnabled(bool value) { m_schedule.setAmbientAwareComfortEnabled(value); }
    std::optional<double> ambientLightLux() const { return m_schedule.ambientLightLux(); }
    QString ambientLightStatus() const { return m_schedule.ambientLightStatus(); }
    double ambientComfortLevel() const { return m_schedule.ambientComfortLevel(); }
    QString ambientComfortLabel() const { return m_schedule.ambientComfortLabel(); }
    // Switches tuning on and moves the editor values to the target in 48 eased steps of
    // the animator, switching the red mode at the start. A new call, setNoBlueIntensity()
    // and resetAll() end a running circadian transition.
    void applyCircadianTarget(const CircadianTarget &target);
    bool isAnimatingNoBlueTransition() const { return m_isAnimatingNoBlueTransition; }
    bool isNoBlueTransitionRunning() const { return m_animator.isRunning(this); }

    // The one transition of the editor values: a preset's or the circadian one.
    TuningAnimator &animator() { return m_animator; }
    const TuningAnimator &animator() const { return m_animator; }

    // ---- Sidecar overlay ----
    bool sidecarOverlayEnabled() const { return m_sidecarOverlayEnabled; }
    void setSidecarOverlayEnabled(bool value);
    // Any display of the cached identity list is a Sidecar display.
    bool hasSidecarDisplay() const;

    bool bloomGuardAutoActive() const { return m_bloomGuardAutoActive; }
    double noBlueIntensity() const { return m_noBlueIntensity; }
    // The tuning panel's no-blue level: above 0.01 switches no-blue mode and tuning on at
    // that level, else switches no-blue mode off.
    void setNoBlueIntensity(double level);

    // ---- the stored sets ----
    TuningValues currentEditorValues() const { return m_values; }
    void loadEditorValues(const TuningValues &values);
    TuningStore &store() { return m_store; }
    const TuningValues &globalValues() const { return m_store.globalValues(); }
    const QHash<DisplayId, TuningValues> &displayValues() const { return m_store.displayValues(); }

    // ---- change handling and batching ----
    void valuesDidChange();
    void bloomGuardEnabledDidChange();
    void noBlueModeEnabledDidChange();
    void redModeIntensityDidChange();
    void beginBatch();
    void endBatch();
    template <typename F>
    void batch(F &&assignments)
    {
        beginBatch();
        assignments();
        endBatch();
    }
    bool isBatchingApply() const { return m_isBatchingApply; }
    bool needsApplyAfterBatch() const { return m_needsApplyAfterBatch; }

    // ---- the screens ----
    // Recomputes every active display.
    Q_INVOKABLE void apply();
    QList<DisplayId> activeDisplayIDs() const;
    void applyTransferFormula(const TuningValues &values, DisplayId displayID);
    void resetTransferFormula(DisplayId displayID);
    void updateSidecarOverlay(const TuningValues &values);
    bool isMiniLEDDisplay(DisplayId displayID) const;
    // Whether the transfer formulas reach the screens (a desktop may give no way to set
    // them; the comfort veil still works there).
    static bool formulasReachScreens();

    // ---- snapshot and reset ----
    void applySnapshot(const TuningValues &snapshot);
    Q_INVOKABLE void resetAll();
    // Tuning off in every stored set, the editor's included, and every display back to
    // its system colour settings: what a preset or profile with tuning off leaves, so that
    // no display's set keeps tuning on that the screens no longer show.
    void switchOffAllDisplays();

    // ---- persistence (the store's) ----
    void persistNow() { m_store.persistNow(); }
    bool isPersistencePending() const { return m_store.isPersistencePending(); }

public slots:
    // The application is about to quit: save now, hide the Sidecar overlays and give the
    // displays back their system colour settings.
    void handleAppWillTerminate();
    // The system time zone changed: re-apply the circadian phase when the schedule is on.
    void handleTimeZoneChanged() { m_schedule.handleTimeZoneChanged(); }
    // Sleep or a switch to another virtual terminal may have reset the screens' ramps.
    void handleScreensDidWake();

signals:
    // The application is about to quit, before the values are saved and the displays get
    // their colours back: a change in progress may set its final values now.
    void terminating();
    void brightnessChanged();
    void warmthChanged();
    void contrastReductionChanged();
    void softWhiteChanged();
    void highlightCompressionChanged();
    void bloomGuardEnabledChanged();
    void enabledChanged();
    void nightModeEnabledChanged();
    void noBlueModeEnabledChanged();
    void redModeIntensityChanged();
    void selectedDisplayIDChanged();
    // The displays the picker offers changed (one arrived, left or has another id).
    void targetsChanged();
    void circadianScheduleEnabledChanged();
    void ambientAwareComfortEnabledChanged();
    void sidecarOverlayEnabledChanged();
    void ambientLightLuxChanged();
    void ambientLightStatusChanged();
    void ambientComfortLevelChanged();
    void bloomGuardAutoActiveChanged();
    void noBlueIntensityChanged();

private:
    void storeEditorValues();
    void applyOrMark();
    void setBloomGuardAutoActive(bool value);
    void setNoBlueIntensityValue(double value);
    void applyNoBlueLevel(double level);
    void cancelNoBlueTransition();
    void runTransitionStep(double t);
    void settleTransition();
    QVariant ambientLightLuxVariant() const;
    // The Sidecar overlays hidden with their state dropped, and the system colour settings back.
    void restoreSystemOutput();
    // The screens changed: the stored sets and the selection follow a monitor whose id
    // changed, and the picker's displays are read again.
    void displaysChanged();
    QStringList targetNames() const;

    Logger m_log{"DisplayTuning"};

    TuningValues m_values; // the editor values
    bool m_sidecarOverlayEnabled = true;
    bool m_bloomGuardAutoActive = false;

    double m_noBlueIntensity = 0;
    TuningAnimator m_animator;
    bool m_isAnimatingNoBlueTransition = false;
    bool m_isBatchingApply = false;
    bool m_needsApplyAfterBatch = false;
    bool m_isLoadingEditorValues = false;
    QStringList m_targetNames; // the picker's, as last told
    TuningStore m_store;
    TuningSchedule m_schedule;

    // The running circadian transition: where it started and where it goes.
    struct Transition {
        TuningValues from, to;
        double noBlueFrom = 0, noBlueTo = 0;
    };
    Transition m_transition;

};

} // namespace qv
