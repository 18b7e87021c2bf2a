#include "display/DisplayTuning.h"

#include "display/DisplayIdentity.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "runtime/Clamp.h"
#include "runtime/Json.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

const QString kBrightnessKey = QStringLiteral("tuning.brightness");
const QString kWarmthKey = QStringLiteral("tuning.warmth");
const QString kContrastKey = QStringLiteral("tuning.contrast");
const QString kSoftWhiteKey = QStringLiteral("tuning.softWhite");
const QString kHighlightKey = QStringLiteral("tuning.highlightCompression");
const QString kBloomGuardKey = QStringLiteral("tuning.bloomGuard");
const QString kEnabledKey = QStringLiteral("tuning.enabled");
const QString kNightModeKey = QStringLiteral("tuning.nightMode");
const QString kNoBlueModeKey = QStringLiteral("tuning.noBlueMode");
const QString kRedModeIntensityKey = QStringLiteral("tuning.redModeIntensity");
const QString kSidecarOverlayKey = QStringLiteral("tuning.sidecarOverlay");

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

DisplayTuning &DisplayTuning::shared()
{
    return sharedInstance<DisplayTuning>();
}

DisplayTuning::DisplayTuning()
{
    UserDefaults &defaults = UserDefaults::standard();

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

    m_displayValues = loadPerDisplayValues();
    carryOverFormerDisplayIds();

    // Each assignment runs its change handler as a user edit does: with no display
    // selected yet, every one rewrites the all-displays set, restarts the save and applies.
    setNightModeEnabled(defaults.boolForKey(kNightModeKey));
    if (defaults.object(kBrightnessKey).isValid()) {
        setBrightness(defaults.doubleForKey(kBrightnessKey));
        if (m_brightness < 0.1)
            setBrightness(0.1);
    }
    setWarmth(defaults.doubleForKey(kWarmthKey));
    setContrastReduction(defaults.doubleForKey(kContrastKey));
    setSoftWhite(defaults.doubleForKey(kSoftWhiteKey));
    setHighlightCompression(defaults.doubleForKey(kHighlightKey));
    setBloomGuardEnabled(defaults.boolForKey(kBloomGuardKey));
    setNoBlueModeEnabled(defaults.boolForKey(kNoBlueModeKey));
    // The handler limits the value to 0...1 itself.
    setRedModeIntensity(defaults.object(kRedModeIntensityKey).isValid() ? defaults.doubleForKey(kRedModeIntensityKey) : 1.0);
    setNoBlueIntensityValue(m_noBlueModeEnabled ? m_redModeIntensity : 0);
    m_schedule.loadSwitches();
    // Its setter stores the switch (so the first launch writes it) and applies.
    setSidecarOverlayEnabled(defaults.object(kSidecarOverlayKey).isValid() ? defaults.boolForKey(kSidecarOverlayKey) : true);
    setEnabled(defaults.boolForKey(kEnabledKey));
    setWarmth(clampTo(m_warmth, 0, 1.4));

    m_globalValues = currentEditorValues();

    // A selected display that is not connected now stays selected (its values wait for its monitor).
    if (const auto selected = savedSelectedDisplayID()) {
        setSelectedDisplayID(selected);
        if (!m_displayValues.contains(*selected))
            m_displayValues.insert(*selected, m_globalValues);
        loadEditorValues(m_displayValues.value(*selected));
    }

    m_schedule.resume();
    if (m_enabled)
        apply();

    if (Workspace *workspace = platform().workspace) {
        connect(workspace, &Workspace::applicationWillTerminate, this, &DisplayTuning::handleAppWillTerminate);
        connect(workspace, &Workspace::timeZoneChanged, this, &DisplayTuning::handleTimeZoneChanged);
        connect(workspace, &Workspace::screensDidWake, this, &DisplayTuning::handleScreensDidWake);
    }
}

DisplayTuning::~DisplayTuning()
{
    m_persistenceTask.cancel();
    platform().displays->restoreColorSyncSettings();
}

// ---- editor values ----

void DisplayTuning::setBrightness(double value)
{
    m_brightness = value;
    emit brightnessChanged();
    valuesDidChange();
}

void DisplayTuning::setWarmth(double value)
{
    m_warmth = value;
    emit warmthChanged();
    valuesDidChange();
}

void DisplayTuning::setContrastReduction(double value)
{
    m_contrastReduction = value;
    emit contrastReductionChanged();
    valuesDidChange();
}

void DisplayTuning::setSoftWhite(double value)
{
    m_softWhite = value;
    emit softWhiteChanged();
    valuesDidChange();
}

void DisplayTuning::setHighlightCompression(double value)
{
    m_highlightCompression = value;
    emit highlightCompressionChanged();
    valuesDidChange();
}

void DisplayTuning::setBloomGuardEnabled(bool value)
{
    m_bloomGuardEnabled = value;
    emit bloomGuardEnabledChanged();
    bloomGuardEnabledDidChange();
}

void DisplayTuning::setEnabled(bool value)
{
    m_enabled = value;
    emit enabledChanged();
    valuesDidChange();
}

void DisplayTuning::setNightModeEnabled(bool value)
{
    m_nightModeEnabled = value;
    emit nightModeEnabledChanged();
    valuesDidChange();
}

void DisplayTuning::setNoBlueModeEnabled(bool value)
{
    m_noBlueModeEnabled = value;
    emit noBlueModeEnabledChanged();
    noBlueModeEnabledDidChange();
}

void DisplayTuning::setRedModeIntensity(double value)
{
    m_redModeIntensity = value;
    emit redModeIntensityChanged();
    redModeIntensityDidChange();
}

void DisplayTuning::setSelectedDisplayID(std::optional<DisplayId> id)
{
    m_selectedDisplayID = id;
    emit selectedDisplayIDChanged();
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

TuningValues DisplayTuning::currentEditorValues() const
{
    TuningValues v;
    v.brightness = m_brightness;
    v.warmth = m_warmth;
    v.contrastReduction = m_contrastReduction;
    v.softWhite = m_softWhite;
    v.highlightCompression = m_highlightCompression;
    v.bloomGuardEnabled = m_bloomGuardEnabled;
    v.enabled = m_enabled;
    v.nightModeEnabled = m_nightModeEnabled;
    v.noBlueModeEnabled = m_noBlueModeEnabled;
    v.redModeIntensity = m_redModeIntensity;
    return v;
}

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
    setNoBlueIntensityValue(m_noBlueModeEnabled ? m_redModeIntensity : 0);
    m_isLoadingEditorValues = false;
}

void DisplayTuning::storeEditorValues()
{
    if (m_isLoadingEditorValues)
        return;
    if (m_selectedDisplayID)
        m_displayValues.insert(*m_selectedDisplayID, currentEditorValues());
    else
        m_globalValues = currentEditorValues();
    schedulePersistence();
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
    if (m_bloomGuardEnabled)
        setEnabled(true);
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::noBlueModeEnabledDidChange()
{
    if (m_noBlueModeEnabled)
        setEnabled(true);
    if (!m_isAnimatingNoBlueTransition)
        setNoBlueIntensityValue(m_noBlueModeEnabled ? m_redModeIntensity : 0);
    storeEditorValues();
    applyOrMark();
}

void DisplayTuning::redModeIntensityDidChange()
{
    const double limited = clamp01(m_redModeIntensity);
    if (limited != m_redModeIntensity) {
        setRedModeIntensity(limited);
        return;
    }
    if (m_noBlueModeEnabled && !m_isAnimatingNoBlueTransition)
        setNoBlueIntensityValue(m_redModeIntensity);
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

QString DisplayTuning::selectedTargetId() const
{
    return m_selectedDisplayID ? QString::number(*m_selectedDisplayID) : QStringLiteral("all");
}

QString DisplayTuning::selectedTargetName() const
{
    const QString id = selectedTargetId();
    for (const DisplayTuningTarget &target : availableTargets()) {
        if (target.id == id)
            return target.name;
    }
    return DisplayTuningTarget::all().name;
}

QList<DisplayTuningTarget> DisplayTuning::availableTargets() const
{
    QList<DisplayTuningTarget> targets{DisplayTuningTarget::all()};
    for (const DisplayIdentity &identity : DisplayIdentityProvider::shared().identities(false)) {
        if (auto target = DisplayTuningTarget::fromIdentity(identity))
            targets << *target;
    }
    return targets;
}

QVariantList DisplayTuning::availableTargetList() const
{
    QVariantList list;
    for (const DisplayTuningTarget &target : availableTargets())
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
    if (selection == m_selectedDisplayID)
        return;

    setSelectedDisplayID(selection);
    UserDefaults &defaults = UserDefaults::standard();
    if (selection) {
        if (!m_displayValues.contains(*selection)) {
            m_displayValues.insert(*selection, m_globalValues);
            savePerDisplayValues();
        }
        loadEditorValues(m_displayValues.value(*selection, m_globalValues));
        defaults.setInteger(key(selectedDisplayIDKey), *selection);
    } else {
        loadEditorValues(m_globalValues);
        defaults.remove(key(selectedDisplayIDKey));
    }
    apply();
}

void DisplayTuning::carryOverFormerDisplayIds()
{
    Displays *displays = platform().displays;
    if (!displays)
        return;
    UserDefaults &defaults = UserDefaults::standard();
    const std::optional<DisplayId> selected = savedSelectedDisplayID();
    bool moved = false;
    for (const DisplayId display : displays->activeDisplays()) {
        const std::optional<DisplayId> former = displays->formerDisplayId(display);
        if (!former || *former == display)
            continue;
        if (const auto it = m_displayValues.constFind(*former); it != m_displayValues.constEnd()) {
            // Values already stored under the monitor's id are newer than the port's.
            if (!m_displayValues.contains(display))
                m_displayValues.insert(display, *it);
            m_displayValues.remove(*former);
            moved = true;
            m_log.info("Tuning values of display %u now follow its monitor (%u)", *former, display);
        }
        if (selected == *former) {
            defaults.setInteger(key(selectedDisplayIDKey), display);
            m_log.info("The selected display %u now follows its monitor (%u)", *former, display);
        }
    }
    if (moved)
        savePerDisplayValues();
}

void DisplayTuning::switchOffAllDisplays()
{
    m_globalValues.enabled = false;
    for (TuningValues &values : m_displayValues)
        values.enabled = false;
    if (m_enabled)
        setEnabled(false);
    schedulePersistence();
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

    m_transition.from = {QString(), m_brightness, m_warmth, m_contrastReduction, m_softWhite, m_highlightCompression,
                         false};
    m_transition.to = target;
    m_transition.noBlueFrom = m_noBlueIntensity;
    m_transition.noBlueTo = target.noBlue ? 1.0 : 0.0;

    beginBatch();
    m_isAnimatingNoBlueTransition = true;
    if (target.noBlue)
        setRedModeIntensity(1.0);
    setNoBlueModeEnabled(target.noBlue);
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
    setContrastReduction(at(tr.from.contrast, tr.to.contrast));
    setSoftWhite(at(tr.from.softWhite, tr.to.softWhite));
    setHighlightCompression(at(tr.from.highlightCompression, tr.to.highlightCompression));
    endBatch();
}

void DisplayTuning::settleTransition()
{
    const Transition tr = m_transition;
    beginBatch();
    setNoBlueIntensityValue(tr.noBlueTo);
    if (tr.to.noBlue)
        setRedModeIntensity(1.0);
    setBrightness(tr.to.brightness);
    setWarmth(tr.to.warmth);
    setContrastReduction(tr.to.contrast);
    setSoftWhite(tr.to.softWhite);
    setHighlightCompression(tr.to.highlightCompression);
    m_isAnimatingNoBlueTransition = false;
    endBatch();
}

// ---- snapshot and reset ----

TuningValues DisplayTuning::savedSnapshot()
{
    const UserDefaults &d = UserDefaults::standard();
    TuningValues s;
    // A targeted display's own set is what the editor shows and what the snapshot puts
    // back: the global values would replace that display's (selection and map share
    // their keys, before or after they follow the monitors).
    if (const auto selected = savedSelectedDisplayID()) {
        const std::optional<QByteArray> data = d.dataValue(key(perDisplayValuesKey));
        const QJsonObject map = data ? QJsonDocument::fromJson(*data).object() : QJsonObject();
        if (const auto own = TuningValues::fromJson(map.value(QString::number(*selected))))
            return *own;
    }
    s.brightness = d.object(kBrightnessKey).isValid() ? d.doubleForKey(kBrightnessKey) : 1.0;
    s.warmth = d.doubleForKey(kWarmthKey);
    s.contrastReduction = d.doubleForKey(kContrastKey);
    s.softWhite = d.doubleForKey(kSoftWhiteKey);
    s.highlightCompression = d.doubleForKey(kHighlightKey);
    s.bloomGuardEnabled = d.boolForKey(kBloomGuardKey);
    s.enabled = d.boolForKey(kEnabledKey);
    s.nightModeEnabled = d.boolForKey(kNightModeKey);
    s.noBlueModeEnabled = d.boolForKey(kNoBlueModeKey);
    s.redModeIntensity = d.object(kRedModeIntensityKey).isValid() ? d.doubleForKey(kRedModeIntensityKey) : 1.0;
    return s;
}

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
    m_persistenceTask.cancel();
    m_persistenceTask = TaskHandle();
    setSelectedDisplayID(std::nullopt);
    m_displayValues.clear();
    savePerDisplayValues();
    UserDefaults::standard().remove(key(selectedDisplayIDKey));

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

void DisplayTuning::schedulePersistence()
{
    m_persistenceTask.cancel();
    m_persistenceTask = scheduler().after(persistenceDelayMs, this, [this] { persistNow(); });
}

void DisplayTuning::persistNow()
{
    m_persistenceTask.cancel();
    m_persistenceTask = TaskHandle();
    saveGlobalValues(m_globalValues);
    savePerDisplayValues();
}

void DisplayTuning::saveGlobalValues(const TuningValues &values)
{
    UserDefaults &d = UserDefaults::standard();
    d.setDouble(kBrightnessKey, values.brightness);
    d.setDouble(kWarmthKey, values.warmth);
    d.setDouble(kContrastKey, values.contrastReduction);
    d.setDouble(kSoftWhiteKey, values.softWhite);
    d.setDouble(kHighlightKey, values.highlightCompression);
    d.setBool(kBloomGuardKey, values.bloomGuardEnabled);
    d.setBool(kEnabledKey, values.enabled);
    d.setBool(kNightModeKey, values.nightModeEnabled);
    d.setBool(kNoBlueModeKey, values.noBlueModeEnabled);
    d.setDouble(kRedModeIntensityKey, values.redModeIntensity);
}

void DisplayTuning::savePerDisplayValues()
{
    writePerDisplayValues(m_displayValues);
}

void DisplayTuning::storeTargetValues(const TuningValues &values)
{
    QHash<DisplayId, TuningValues> map = m_displayValues;
    TuningValues global = m_globalValues;
    // Values with tuning off end in switchOffAllDisplays().
    if (!values.enabled) {
        global.enabled = false;
        for (TuningValues &other : map)
            other.enabled = false;
    }
    if (m_selectedDisplayID)
        map.insert(*m_selectedDisplayID, values);
    else
        global = values;
    saveGlobalValues(global);
    if (map != m_displayValues || m_selectedDisplayID)
        writePerDisplayValues(map);
}

void DisplayTuning::writePerDisplayValues(const QHash<DisplayId, TuningValues> &values)
{
    UserDefaults &d = UserDefaults::standard();
    QByteArray data;
    if (!values.isEmpty()) {
        QJsonObject map;
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            const TuningValues &v = it.value();
            // JSON has no numbers that are not finite: such a map cannot be encoded.
            for (const double n : {v.brightness, v.warmth, v.contrastReduction, v.softWhite, v.highlightCompression,
                                   v.redModeIntensity}) {
                if (!std::isfinite(n))
                    return;
            }
            map.insert(QString::number(it.key()), v.toJson());
        }
        data = json::encodeCompact(map);
    }
    // This save replaces data that could not be read in full: keep that data aside first.
    if (m_unreadablePerDisplayData) {
        d.set(key(unreadablePerDisplayValuesKey), *m_unreadablePerDisplayData);
        m_log.info("Kept unreadable per-display tuning values under %s", unreadablePerDisplayValuesKey);
        m_unreadablePerDisplayData.reset();
    }
    if (values.isEmpty())
        d.remove(key(perDisplayValuesKey));
    else
        d.setData(key(perDisplayValuesKey), data);
}

QHash<DisplayId, TuningValues> DisplayTuning::loadPerDisplayValues()
{
    const UserDefaults &d = UserDefaults::standard();
    const QString mapKey = key(perDisplayValuesKey);
    QHash<DisplayId, TuningValues> result;
    if (!d.object(mapKey).isValid())
        return result;

    const std::optional<QByteArray> data = d.dataValue(mapKey);
    if (!data) {
        m_log.error("Could not read %s: not data", perDisplayValuesKey);
        m_unreadablePerDisplayData = d.object(mapKey);
        return result;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        m_log.error("Could not read %s: %s", perDisplayValuesKey,
                    qUtf8Printable(error.error != QJsonParseError::NoError ? error.errorString()
                                                                           : QStringLiteral("not an object")));
        m_unreadablePerDisplayData = QVariant(*data);
        return result;
    }
    const QJsonObject map = document.object();
    bool lostSome = false;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const std::optional<DisplayId> id = DisplayTuningTarget::parseTargetId(it.key()); // nothing for "all"
        const std::optional<TuningValues> values = TuningValues::fromJson(it.value());
        if (!id || !values) {
            m_log.error("Skipped unreadable tuning values for display %s", qUtf8Printable(it.key()));
            lostSome = true;
            continue;
        }
        result.insert(*id, *values);
    }
    if (lostSome)
        m_unreadablePerDisplayData = QVariant(*data);
    return result;
}

std::optional<DisplayId> DisplayTuning::savedSelectedDisplayID()
{
    const qint64 value = UserDefaults::standard().integerForKey(key(selectedDisplayIDKey));
    if (value < 1 || value > qint64(0xFFFFFFFF))
        return std::nullopt;
    return DisplayId(value);
}

// ---- notifications ----

void DisplayTuning::handleAppWillTerminate()
{
    emit terminating();
    persistNow();
    restoreSystemOutput();
}

void DisplayTuning::handleScreensDidWake()
{
    // On a later turn: the display services first hear of the wake and forget what they
    // wrote, so that every formula is written again.
    scheduler().post(this, [this] { apply(); });
}


} // namespace qv
