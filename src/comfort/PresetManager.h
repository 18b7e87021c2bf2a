#pragma once

#include "runtime/Settings.h"

#include "comfort/ComfortPreset.h"
#include "comfort/PresetValues.h"
#include "comfort/ProfileLibrary.h"
#include "comfort/SavedComfortProfile.h"
#include "display/TuningValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <optional>

namespace qv {

// The tuning values a preset's values set over base: what applying them leaves in the
// editor (the settings a preset does not name keep base's).
TuningValues presetTuningValues(const PresetValues &values, TuningValues base = TuningValues());

// The user's comfort choices: the active preset or saved profile and the profile intensity
// that scales every built-in preset, each kept in the standard defaults store, and applying
// them. Applying a choice moves the display engine's PWM settings, display tuning and the
// comfort veil to its values, at once or in 28 eased steps of the tuning's animator. The
// saved profiles, favourites, hidden and renamed presets and edited copies of built-in
// presets are the profile library's; they are published here too.
//
// Construction only reads: it leaves the active preset, the active saved profile and the
// veil as stored and writes nothing (the tuning values come back from the launch
// snapshot).
class PresetManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString activePreset READ activePresetRawValue NOTIFY activePresetChanged)
    Q_PROPERTY(QString activeSavedProfileID READ activeSavedProfileIDText NOTIFY activeSavedProfileIDChanged)
    Q_PROPERTY(QVariantList savedProfiles READ savedProfileList NOTIFY savedProfilesChanged)
    Q_PROPERTY(QStringList favoritePresetIDs READ favoritePresetIDList NOTIFY favoritePresetIDsChanged)
    Q_PROPERTY(QStringList favoriteSavedProfileIDs READ favoriteSavedProfileIDList
                   NOTIFY favoriteSavedProfileIDsChanged)
    Q_PROPERTY(QStringList hiddenDefaultPresetIDs READ hiddenDefaultPresetIDList NOTIFY hiddenDefaultPresetIDsChanged)
    Q_PROPERTY(QVariantMap renamedPresetNames READ renamedPresetNameMap NOTIFY renamedPresetNamesChanged)
    Q_PROPERTY(QStringList customPresetProfiles READ customPresetProfileKeys NOTIFY customPresetProfilesChanged)
    Q_PROPERTY(double profileIntensity READ profileIntensity WRITE setProfileIntensity NOTIFY profileIntensityChanged)
    Q_PROPERTY(QString profileIntensityLabel READ profileIntensityLabel NOTIFY profileIntensityChanged)
    Q_PROPERTY(QString activeSelectionName READ activeSelectionName NOTIFY activeSelectionNameChanged)
public:
    static constexpr const char *profileIntensityKey = settings::profileIntensity.key;
    static constexpr const char *activePresetKey = settings::activePreset.key;
    static constexpr qsizetype kMaxProfileNameLength = ProfileLibrary::kMaxProfileNameLength;
    static constexpr double defaultProfileIntensity = settings::profileIntensity.defaultValue;
    static constexpr int transitionStepCount = 28;
    // How long the intensity rests before its change is logged.
    static constexpr qint64 intensityNoteDelayMs = 1'000;

    PresetManager();
    ~PresetManager() override;

    static PresetManager &shared();

    // ---- state ----
    ComfortPreset activePreset() const { return m_activePreset; }
    std::optional<QUuid> activeSavedProfileID() const { return m_activeSavedProfileID; }
    ProfileLibrary &library() { return m_library; }
    const ProfileLibrary &library() const { return m_library; }
    const QList<SavedComfortProfile> &savedProfiles() const { return m_library.savedProfiles(); }
    const QSet<QString> &favoritePresetIDs() const { return m_library.favoritePresetIDs(); }
    const QSet<QUuid> &favoriteSavedProfileIDs() const { return m_library.favoriteSavedProfileIDs(); }
    const QSet<QString> &hiddenDefaultPresetIDs() const { return m_library.hiddenDefaultPresetIDs(); }
    const QMap<QString, QString> &renamedPresetNames() const { return m_library.renamedPresetNames(); }
    const QMap<QString, SavedComfortProfile> &customPresetProfiles() const { return m_library.customPresetProfiles(); }
    double profileIntensity() const { return m_profileIntensity; }
    // Clamps to 0...1, stores "profileIntensity" and, while no saved profile is active,
    // applies the active preset again with animation. Every assignment does this.
    void setProfileIntensity(double value);

    // ---- derived values (the library's, but for the active selection) ----
    QList<ComfortPreset> visiblePresets() const { return m_library.visiblePresets(); }
    QList<ComfortPreset> menuBarPresets() const { return m_library.menuBarPresets(); }
    QList<SavedComfortProfile> menuBarSavedProfiles() const { return m_library.menuBarSavedProfiles(); }
    QString displayName(ComfortPreset preset) const { return m_library.displayName(preset); }
    QString activeSelectionName() const;
    bool isFavorite(ComfortPreset preset) const { return m_library.isFavorite(preset); }
    bool hasCustomProfile(ComfortPreset preset) const { return m_library.hasCustomProfile(preset); }
    QString profileIntensityLabel() const { return intensityLabel(m_profileIntensity); }
    std::optional<SavedComfortProfile> savedProfile(const QUuid &id) const { return m_library.savedProfile(id); }

    // ---- operations ----
    void renamePreset(ComfortPreset preset, const QString &name);
    void resetName(ComfortPreset preset) { renamePreset(preset, QString()); }
    void toggleFavorite(ComfortPreset preset) { m_library.toggleFavorite(preset); }
    // The presets panel changes the hidden set, then saves it.
    void setHiddenDefaultPresetIDs(const QSet<QString> &ids) { m_library.setHiddenDefaultPresetIDs(ids); }
    void saveHiddenPresets() { m_library.saveHiddenPresets(); }
    void saveCurrentToPreset(ComfortPreset preset);
    void resetPresetProfile(ComfortPreset preset);
    void saveCurrentAsNewProfile(const std::optional<QString> &name = std::nullopt);
    void updateSavedProfile(const QUuid &id, const std::optional<QString> &name = std::nullopt);
    void renameSavedProfile(const QUuid &id, const QString &name);
    void toggleFavoriteSavedProfile(const QUuid &id) { m_library.toggleFavoriteSavedProfile(id); }
    void deleteSavedProfile(const QUuid &id);
    // The hot-key action: the active preset again returns to Neutral while no saved
    // profile is active; always animated.
    void togglePreset(ComfortPreset preset);

    // A record of the live tuning, PWM and veil values.
    SavedComfortProfile captureCurrentProfile(const QUuid &id, const QString &name, const QDateTime &createdAt) const;

    // ---- applying ----
    void applyPreset(ComfortPreset preset, bool animated);
    void applySavedProfile(const SavedComfortProfile &profile, bool animated);
    void applyPresetValues(ComfortPreset preset, bool animated);
    void applyProfileValues(const PresetValues &values, bool animated);
    PresetValues presetValues(ComfortPreset preset) const;
    bool isTransitionRunning() const;

signals:
    void activePresetChanged();
    void activeSavedProfileIDChanged();
    void savedProfilesChanged();
    void favoritePresetIDsChanged();
    void favoriteSavedProfileIDsChanged();
    void hiddenDefaultPresetIDsChanged();
    void renamedPresetNamesChanged();
    void customPresetProfilesChanged();
    void profileIntensityChanged();
    void activeSelectionNameChanged();

private:
    void loadActiveSelection();

    // applyPreset without its log line (a change of the intensity applies the preset again).
    void selectPreset(ComfortPreset preset, bool animated);
    void setActivePreset(ComfortPreset preset);
    void setActiveSavedProfileID(const std::optional<QUuid> &id);
    void setVeilFromProfile(const SavedComfortProfile &profile);
    void applyFinalValues(const PresetValues &values);
    // The tuning values a value set ends at (what applyFinalValues leaves in the editor).
    static TuningValues finalTuningValues(const PresetValues &values);
    void runTransitionStep(double e, const PresetValues &start, const PresetValues &target);
    void finishTransition(const PresetValues &target);
    // Quitting mid-transition: the target values are set (and so stored), never the ones
    // of the step it had reached.
    void finishTransitionBeforeQuit();

    QString activePresetRawValue() const { return rawValue(m_activePreset); }
    QString activeSavedProfileIDText() const;
    QVariantList savedProfileList() const { return m_library.savedProfileList(); }
    QStringList favoritePresetIDList() const { return m_library.favoritePresetIDList(); }
    QStringList favoriteSavedProfileIDList() const { return m_library.favoriteSavedProfileIDList(); }
    QStringList hiddenDefaultPresetIDList() const { return m_library.hiddenDefaultPresetIDList(); }
    QVariantMap renamedPresetNameMap() const { return m_library.renamedPresetNameMap(); }
    QStringList customPresetProfileKeys() const { return m_library.customPresetProfiles().keys(); }

    Logger m_log{"PresetManager"};

    ComfortPreset m_activePreset = ComfortPreset::neutral;
    std::optional<QUuid> m_activeSavedProfileID;
    ProfileLibrary m_library;
    double m_profileIntensity = defaultProfileIntensity;

    TaskHandle m_intensityNote; // the log line of an intensity change, once the slider rests

};

} // namespace qv
