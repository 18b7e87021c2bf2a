#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace qv {

class UserDefaults;

// Every key Quellvista keeps in its user defaults, with its type, the default its readers
// fall back to while the user has not set it, and the name it was stored under before
// (if any). Models read and write through these names, never through literals.
//
// The defaults are not registered in the store: a key the user never set stays absent,
// because several readers treat an absent key in their own way (start-up stores the PWM
// switch and threshold when they are missing, the screen detector reads a missing
// "pwmAvoidanceEnabled" as off, a captured profile takes the live brightness for a missing
// "pwmThreshold"). A view's stored setting takes its default from here.
namespace settings {

enum class Type { boolean, integer, number, text, data, array, dictionary };

// A value whose reader decides what its absence means: no default.
struct NoDefault {
    Type type;
};

template <typename T>
struct Setting {
    const char *key;
    T defaultValue;
    const char *formerName = nullptr;

    QString name() const { return QString::fromLatin1(key); }
};

// ---- the application ----
inline constexpr Setting<bool> disableDithering{"disableDithering", true};
inline constexpr Setting<bool> disableUniformity2D{"disableUniformity2D", false};
inline constexpr Setting<bool> pwmAvoidanceEnabled{"pwmAvoidanceEnabled", true};
// A fraction of full brightness (0.85 = 85 %).
inline constexpr Setting<double> pwmThreshold{"pwmThreshold", 0.85};
inline constexpr Setting<bool> showBreakTimer{"showBreakTimer", true};
inline constexpr Setting<bool> appAwareComfortEnabled{"appAwareComfortEnabled", false};
inline constexpr Setting<bool> batteryAwareDimEnabled{"batteryAwareDimEnabled", false};
// A true "forceDarkAppearance" of older versions becomes "dark".
inline constexpr Setting<const char *> appAppearanceMode{"appAppearanceMode", "system", "forceDarkAppearance"};
inline constexpr Setting<bool> launchAtLoginEnabled{"launchAtLoginEnabled", true};
// What low-battery dimming changed, kept while the screen is dimmed.
inline constexpr Setting<NoDefault> batteryDimming{"batteryDimming", {Type::dictionary}};
inline constexpr Setting<const char *> selectedSection{"mainWindow.selectedSection", "Display & Comfort"};
inline constexpr Setting<bool> displayComfortGuideCompleted{"displayComfortGuideCompleted", false};
inline constexpr Setting<bool> breakRemindersGuideCompleted{"breakRemindersGuideCompleted", false};
inline constexpr Setting<bool> blinkDetectionGuideCompleted{"blinkDetectionGuideCompleted", false};

// ---- breaks and blinks ----
inline constexpr Setting<bool> breakReminderEnabled{"breakReminderEnabled", false};
inline constexpr Setting<int> workIntervalMinutes{"workIntervalMinutes", 20};
inline constexpr Setting<int> breakDurationSeconds{"breakDurationSeconds", 20};
inline constexpr Setting<const char *> reminderMode{"reminderMode", "Full Screen Overlay"};
inline constexpr Setting<int> lookAwayDistanceFeet{"lookAwayDistanceFeet", 20};
inline constexpr Setting<bool> blinkDetectionEnabled{"blinkDetectionEnabled", false};

// ---- comfort presets and profiles ----
inline constexpr Setting<NoDefault> savedComfortProfiles{"savedComfortProfiles", {Type::data}};
inline constexpr Setting<NoDefault> favoriteComfortPresets{"favoriteComfortPresets", {Type::array}};
inline constexpr Setting<NoDefault> favoriteSavedComfortProfiles{"favoriteSavedComfortProfiles", {Type::array}};
inline constexpr Setting<NoDefault> hiddenDefaultComfortPresets{"hiddenDefaultComfortPresets", {Type::array}};
inline constexpr Setting<NoDefault> renamedComfortPresets{"renamedComfortPresets", {Type::data}};
inline constexpr Setting<NoDefault> customComfortPresetProfiles{"customComfortPresetProfiles", {Type::data}};
inline constexpr Setting<double> profileIntensity{"profileIntensity", 0.65};
// A preset's raw value or a saved profile's name; none is Neutral.
inline constexpr Setting<NoDefault> activePreset{"activePreset", {Type::text}};
inline constexpr Setting<NoDefault> appAwareCustomProfiles{"appAware.customProfiles", {Type::dictionary}};

// ---- display tuning ----
inline constexpr Setting<double> tuningBrightness{"tuning.brightness", 1.0};
inline constexpr Setting<double> tuningWarmth{"tuning.warmth", 0.0};
inline constexpr Setting<double> tuningContrast{"tuning.contrast", 0.0};
inline constexpr Setting<double> tuningSoftWhite{"tuning.softWhite", 0.0};
inline constexpr Setting<double> tuningHighlightCompression{"tuning.highlightCompression", 0.0};
inline constexpr Setting<bool> tuningBloomGuard{"tuning.bloomGuard", false};
inline constexpr Setting<bool> tuningEnabled{"tuning.enabled", false};
inline constexpr Setting<bool> tuningNightMode{"tuning.nightMode", false};
inline constexpr Setting<bool> tuningNoBlueMode{"tuning.noBlueMode", false};
inline constexpr Setting<double> tuningRedModeIntensity{"tuning.redModeIntensity", 1.0};
inline constexpr Setting<bool> tuningCircadianSchedule{"tuning.circadianSchedule", false};
inline constexpr Setting<bool> tuningAmbientAwareComfort{"tuning.ambientAwareComfort", false};
inline constexpr Setting<bool> tuningSidecarOverlay{"tuning.sidecarOverlay", true};
inline constexpr Setting<NoDefault> tuningSelectedDisplayID{"tuning.selectedDisplayID", {Type::integer}};
inline constexpr Setting<NoDefault> tuningPerDisplayValues{"tuning.perDisplayValues", {Type::data}};
// Where per-display values that could not be read are kept.
inline constexpr Setting<NoDefault> tuningUnreadablePerDisplayValues{"tuning.perDisplayValues.unreadable", {Type::data}};

// ---- comfort veil ----
inline constexpr Setting<bool> veilEnabled{"comfortVeil.enabled", false};
inline constexpr Setting<bool> veilPeripheralEnabled{"comfortVeil.peripheral.enabled", true};
inline constexpr Setting<double> veilPeripheralAmount{"comfortVeil.peripheral.amount", 0.32};
inline constexpr Setting<bool> veilFocusEnabled{"comfortVeil.focus.enabled", false};
inline constexpr Setting<double> veilFocusSize{"comfortVeil.focus.size", 0.58};
inline constexpr Setting<bool> veilHighlightEnabled{"comfortVeil.highlight.enabled", true};
inline constexpr Setting<double> veilHighlightAmount{"comfortVeil.highlight.amount", 0.22};
inline constexpr Setting<bool> veilColorCalmEnabled{"comfortVeil.colorCalm.enabled", false};
inline constexpr Setting<double> veilColorCalmAmount{"comfortVeil.colorCalm.amount", 0.0};
inline constexpr Setting<bool> veilMicrotextureEnabled{"comfortVeil.microtexture.enabled", false};
inline constexpr Setting<double> veilMicrotextureAmount{"comfortVeil.microtexture.amount", 0.18};

// ---- the display pipeline ----
inline constexpr Setting<NoDefault> pipelineComfortableBaseline{"pipeline.comfortableBaseline", {Type::data}};
inline constexpr Setting<bool> pipelineGuardEnabled{"pipeline.guardEnabled", false};
// The platform's switch for font smoothing, as the store holds it.
inline constexpr Setting<bool> fontSmoothingDisabled{"CGFontRenderingFontSmoothingDisabled", false};

// A default as the store holds it (text as a QString).
inline QVariant defaultOf(const Setting<bool> &s) { return s.defaultValue; }
inline QVariant defaultOf(const Setting<int> &s) { return s.defaultValue; }
inline QVariant defaultOf(const Setting<double> &s) { return s.defaultValue; }
inline QVariant defaultOf(const Setting<const char *> &s) { return QString::fromUtf8(s.defaultValue); }
inline QVariant defaultOf(const Setting<NoDefault> &) { return {}; }

// One row of the table.
struct Entry {
    QString key;
    Type type;
    QVariant defaultValue; // invalid: none
    QString formerName;    // empty: none
};
// All of the above, in that order.
const QList<Entry> &table();

// Carries values stored under former names over to their keys, where the key holds
// nothing yet. The former value stays where it is.
void migrateFormerNames(UserDefaults &defaults);

} // namespace settings

} // namespace qv
