#include "runtime/Settings.h"

#include "runtime/UserDefaults.h"

namespace qv::settings {

namespace {

Type rowType(const Setting<bool> &) { return Type::boolean; }
Type rowType(const Setting<int> &) { return Type::integer; }
Type rowType(const Setting<double> &) { return Type::number; }
Type rowType(const Setting<const char *> &) { return Type::text; }
Type rowType(const Setting<NoDefault> &s) { return s.defaultValue.type; }

template <typename T>
Entry tableRow(const Setting<T> &s)
{
    return {s.name(), rowType(s), defaultOf(s), QString::fromLatin1(s.formerName)};
}

// The value stored under a former name as its new key holds it; invalid when there is
// nothing to carry over.
QVariant carriedOver(const Entry &e, const QVariant &former)
{
    // "forceDarkAppearance" was a switch: on meant dark, off meant follow the system.
    if (e.key == QLatin1String(appAppearanceMode.key))
        return former.typeId() == QMetaType::Bool && former.toBool() ? QVariant(QStringLiteral("dark")) : QVariant();
    return former;
}

} // namespace

const QList<Entry> &table()
{
    static const QList<Entry> entries{
        tableRow(disableDithering),
        tableRow(disableUniformity2D),
        tableRow(pwmAvoidanceEnabled),
        tableRow(pwmThreshold),
        tableRow(showBreakTimer),
        tableRow(appAwareComfortEnabled),
        tableRow(batteryAwareDimEnabled),
        tableRow(appAppearanceMode),
        tableRow(launchAtLoginEnabled),
        tableRow(batteryDimming),
        tableRow(selectedSection),
        tableRow(displayComfortGuideCompleted),
        tableRow(breakRemindersGuideCompleted),
        tableRow(blinkDetectionGuideCompleted),
        tableRow(breakReminderEnabled),
        tableRow(workIntervalMinutes),
        tableRow(breakDurationSeconds),
        tableRow(reminderMode),
        tableRow(lookAwayDistanceFeet),
        tableRow(blinkDetectionEnabled),
        tableRow(savedComfortProfiles),
        tableRow(favoriteComfortPresets),
        tableRow(favoriteSavedComfortProfiles),
        tableRow(hiddenDefaultComfortPresets),
        tableRow(renamedComfortPresets),
        tableRow(customComfortPresetProfiles),
        tableRow(profileIntensity),
        tableRow(activePreset),
        tableRow(appAwareCustomProfiles),
        tableRow(tuningBrightness),
        tableRow(tuningWarmth),
        tableRow(tuningContrast),
        tableRow(tuningSoftWhite),
        tableRow(tuningHighlightCompression),
        tableRow(tuningBloomGuard),
        tableRow(tuningEnabled),
        tableRow(tuningNightMode),
        tableRow(tuningNoBlueMode),
        tableRow(tuningRedModeIntensity),
        tableRow(tuningCircadianSchedule),
        tableRow(tuningAmbientAwareComfort),
        tableRow(tuningSidecarOverlay),
        tableRow(tuningSelectedDisplayID),
        tableRow(tuningPerDisplayValues),
        tableRow(tuningUnreadablePerDisplayValues),
        tableRow(veilEnabled),
        tableRow(veilPeripheralEnabled),
        tableRow(veilPeripheralAmount),
        tableRow(veilFocusEnabled),
        tableRow(veilFocusSize),
        tableRow(veilHighlightEnabled),
        tableRow(veilHighlightAmount),
        tableRow(veilColorCalmEnabled),
        tableRow(veilColorCalmAmount),
        tableRow(veilMicrotextureEnabled),
        tableRow(veilMicrotextureAmount),
        tableRow(pipelineComfortableBaseline),
        tableRow(pipelineGuardEnabled),
        tableRow(fontSmoothingDisabled),
    };
    return entries;
}

void migrateFormerNames(UserDefaults &defaults)
{
    for (const Entry &e : table()) {
        if (e.formerName.isEmpty() || defaults.hasStoredValue(e.key) || !defaults.hasStoredValue(e.formerName))
            continue;
        const QVariant value = carriedOver(e, defaults.object(e.formerName));
        if (value.isValid())
            defaults.set(e.key, value);
    }
}

} // namespace qv::settings
