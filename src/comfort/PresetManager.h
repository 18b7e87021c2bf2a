#pragma once

#include "comfort/ComfortPreset.h"
#include "comfort/PresetValues.h"
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

// The user's comfort choices: the active preset or saved profile, the saved profiles,
// the menu-bar favourites, the starter presets hidden or renamed, the edited copies of
// built-in presets and the profile intensity that scales every built-in preset. Each is
// kept in the standard defaults store. Applying a choice moves the display engine's PWM
// settings, display tuning and the comfort veil to its values, at once or in 28 eased
// steps of the tuning's animator.
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
    static constexpr const char *savedProfilesKey = "savedComfortProfiles";
    static constexpr const char *favoritePresetsKey = "favoriteComfortPresets";
    static constexpr const char *favoriteSavedProfilesKey = "favoriteSavedComfortProfiles";
    static constexpr const char *hiddenDefaultPresetsKey = "hiddenDefaultComfortPresets";
    static constexpr const char *renamedPresetsKey = "renamedComfortPresets";
    static constexpr const char *customPresetProfilesKey = "customComfortPresetProfiles";
    static constexpr const char *profileIntensityKey = "profileIntensity";
    static constexpr const char *activePresetKey = "activePreset";
    // The longest profile name kept, in UTF-16 units: twice the longest name that fits a
    // tile's title at the window's minimum width (about 32 of the narrowest letters at the
    // smallest size the title shrinks to). Names are trimmed and cut to it on every rename.
    static constexpr qsizetype kMaxProfileNameLength = 64;
    // name trimmed and cut to kMaxProfileNameLength, never inside a character.
    static QString profileName(const QString &name);
    // Appended to a key whose stored data could not be read in full: the original data
    // is kept there before the first save that would drop what could not be read (a later
    // one under the suffix and "-2", "-3", ...).
    static constexpr const char *unreadableSuffix = ".unreadable";
    static constexpr double defaultProfileIntensity = 0.65;
    static constexpr int transitionStepCount = 28;
    // How long the intensity rests before its change is logged.
    static constexpr qint64 intensityNoteDelayMs = 1'000;

    static inline const QList<ComfortPreset> defaultVisiblePresets = {
        ComfortPreset::focus, ComfortPreset::pwmSafe, ComfortPreset::lowStimulus, ComfortPreset::evening};
    static inline const QList<ComfortPreset> defaultFavoritePresets = defaultVisiblePresets;

    PresetManager();
    ~PresetManager() override;

    static PresetManager &shared();

    // ---- state ----
    ComfortPreset activePreset() const { return m_activePreset; }
    std::optional<QUuid> activeSavedProfileID() const { return m_activeSavedProfileID; }
    const QList<SavedComfortProfile> &savedProfiles() const { return m_savedProfiles; }
    const QSet<QString> &favoritePresetIDs() const { return m_favoritePresetIDs; }
    const QSet<QUuid> &favoriteSavedProfileIDs() const { return m_favoriteSavedProfileIDs; }
    const QSet<QString> &hiddenDefaultPresetIDs() const { return m_hiddenDefaultPresetIDs; }
    const QMap<QString, QString> &renamedPresetNames() const { return m_renamedPresetNames; }
    const QMap<QString, SavedComfortProfile> &customPresetProfiles() const { return m_customPresetProfiles; }
    double profileIntensity() const { return m_profileIntensity; }
    // Clamps to 0...1, stores "profileIntensity" and, while no saved profile is active,
    // applies the active preset again with animation. Every assignment does this.
    void setProfileIntensity(double value);

    // ---- derived values ----
    QList<ComfortPreset> visiblePresets() const;
    QList<ComfortPreset> menuBarPresets() const;
    QList<SavedComfortProfile> menuBarSavedProfiles() const;
    QString displayName(ComfortPreset preset) const;
    QString activeSelectionName() const;
    bool isFavorite(ComfortPreset preset) const;
    bool hasCustomProfile(ComfortPreset preset) const;
    QString profileIntensityLabel() const { return intensityLabel(m_profileIntensity); }
    std::optional<SavedComfortProfile> savedProfile(const QUuid &id) const;

    // ---- operations ----
    void renamePreset(ComfortPreset preset, const QString &name);
    void resetName(ComfortPreset preset);
    void toggleFavorite(ComfortPreset preset);
    // The presets panel changes the hidden set, then saves it.
    void setHiddenDefaultPresetIDs(const QSet<QString> &ids);
    void saveHiddenPresets();
    void saveCurrentToPreset(ComfortPreset preset);
    void resetPresetProfile(ComfortPreset preset);
    void saveCurrentAsNewProfile(const std::optional<QString> &name = std::nullopt);
    void updateSavedProfile(const QUuid &id, const std::optional<QString> &name = std::nullopt);
    void renameSavedProfile(const QUuid &id, const QString &name);
    void toggleFavoriteSavedProfile(const QUuid &id);
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

    // ---- persistence ----
    void saveProfiles();
    void saveFavoriteSavedProfiles();
    void saveRenamedPresets();
    void saveCustomPresetProfiles();

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
    struct TransitionStart {
        double brightness = 1, warmth = 0, contrastReduction = 0, softWhite = 0, highlightCompression = 0;
        double redModeIntensity = 0, colorCalm = 0;
    };

    void loadSavedProfiles();
    void loadFavorites();
    void loadHiddenAndRenamedPresets();
    void loadCustomPresetProfiles();
    void loadActiveSelection();
    // Keeps a stored value that could not be read in full under a key of its own:
    // key + ".unreadable", or when that holds an earlier one, key + ".unreadable-2", "-3",
    // ... A copy already kept is never replaced, and the same value is not kept twice.
    void preserveUnreadable(const QString &key, std::optional<QVariant> &original);

    // applyPreset without its log line (a change of the intensity applies the preset again).
    void selectPreset(ComfortPreset preset, bool animated);
    void setActivePreset(ComfortPreset preset);
    void setActiveSavedProfileID(const std::optional<QUuid> &id);
    void setVeilFromProfile(const SavedComfortProfile &profile);
    void applyFinalValues(const PresetValues &values);
    // The tuning values a value set ends at (what applyFinalValues leaves in the editor).
    static TuningValues finalTuningValues(const PresetValues &values);
    void runTransitionStep(double e, const TransitionStart &start, const PresetValues &target);
    void finishTransition(const PresetValues &target);
    // Quitting mid-transition: the target values are set (and so stored), never the ones
    // of the step it had reached.
    void finishTransitionBeforeQuit();

    QString activePresetRawValue() const { return rawValue(m_activePreset); }
    QString activeSavedProfileIDText() const;
    QVariantList savedProfileList() const;
    QStringList favoritePresetIDList() const;
    QStringList favoriteSavedProfileIDList() const;
    QStringList hiddenDefaultPresetIDList() const;
    QVariantMap renamedPresetNameMap() const;
    QStringList customPresetProfileKeys() const { return m_customPresetProfiles.keys(); }

    Logger m_log{"PresetManager"};

    ComfortPreset m_activePreset = ComfortPreset::neutral;
    std::optional<QUuid> m_activeSavedProfileID;
    QList<SavedComfortProfile> m_savedProfiles;
    QSet<QString> m_favoritePresetIDs;
    QSet<QUuid> m_favoriteSavedProfileIDs;
    QSet<QString> m_hiddenDefaultPresetIDs;
    QMap<QString, QString> m_renamedPresetNames;
    QMap<QString, SavedComfortProfile> m_customPresetProfiles;
    double m_profileIntensity = defaultProfileIntensity;

    TaskHandle m_intensityNote; // the log line of an intensity change, once the slider rests

    // Stored data that could not be read in full, kept until the first save.
    std::optional<QVariant> m_unreadableSavedProfiles;
    std::optional<QVariant> m_unreadableRenamedPresets;
    std::optional<QVariant> m_unreadableCustomPresetProfiles;
};

} // namespace qv
