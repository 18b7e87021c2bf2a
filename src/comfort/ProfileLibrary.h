#pragma once

#include "runtime/Settings.h"

#include "comfort/ComfortPreset.h"
#include "comfort/SavedComfortProfile.h"
#include "runtime/Logging.h"

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

// The user's library of comfort profiles: the saved profiles, the menu-bar favourites, the
// starter presets hidden or renamed and the edited copies of built-in presets, each kept in
// the standard defaults store. Construction only reads; every change is saved at once. Stored
// data that could not be read in full is kept aside before the first save that would drop it.
class ProfileLibrary : public QObject {
    Q_OBJECT
public:
    static constexpr const char *savedProfilesKey = settings::savedComfortProfiles.key;
    static constexpr const char *favoritePresetsKey = settings::favoriteComfortPresets.key;
    static constexpr const char *favoriteSavedProfilesKey = settings::favoriteSavedComfortProfiles.key;
    static constexpr const char *hiddenDefaultPresetsKey = settings::hiddenDefaultComfortPresets.key;
    static constexpr const char *renamedPresetsKey = settings::renamedComfortPresets.key;
    static constexpr const char *customPresetProfilesKey = settings::customComfortPresetProfiles.key;
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

    static inline const QList<ComfortPreset> defaultVisiblePresets = {
        ComfortPreset::focus, ComfortPreset::pwmSafe, ComfortPreset::lowStimulus, ComfortPreset::evening};
    static inline const QList<ComfortPreset> defaultFavoritePresets = defaultVisiblePresets;

    ProfileLibrary();

    // ---- state ----
    const QList<SavedComfortProfile> &savedProfiles() const { return m_savedProfiles; }
    const QSet<QString> &favoritePresetIDs() const { return m_favoritePresetIDs; }
    const QSet<QUuid> &favoriteSavedProfileIDs() const { return m_favoriteSavedProfileIDs; }
    const QSet<QString> &hiddenDefaultPresetIDs() const { return m_hiddenDefaultPresetIDs; }
    const QMap<QString, QString> &renamedPresetNames() const { return m_renamedPresetNames; }
    const QMap<QString, SavedComfortProfile> &customPresetProfiles() const { return m_customPresetProfiles; }

    // ---- derived values ----
    QList<ComfortPreset> visiblePresets() const;
    QList<ComfortPreset> menuBarPresets() const;
    QList<SavedComfortProfile> menuBarSavedProfiles() const;
    QString displayName(ComfortPreset preset) const;
    bool isFavorite(ComfortPreset preset) const;
    bool hasCustomProfile(ComfortPreset preset) const;
    std::optional<SavedComfortProfile> customProfile(ComfortPreset preset) const;
    std::optional<SavedComfortProfile> savedProfile(const QUuid &id) const;
    // The saved profile a stored name names, if any.
    std::optional<QUuid> savedProfileNamed(const QString &name) const;
    // The published lists: ids sorted, profiles as {id, name, summary} maps.
    QVariantList savedProfileList() const;
    QStringList favoritePresetIDList() const;
    QStringList favoriteSavedProfileIDList() const;
    QStringList hiddenDefaultPresetIDList() const;
    QVariantMap renamedPresetNameMap() const;

    // ---- changes ----
    void renamePreset(ComfortPreset preset, const QString &name);
    void toggleFavorite(ComfortPreset preset);
    // The presets panel changes the hidden set, then saves it.
    void setHiddenDefaultPresetIDs(const QSet<QString> &ids);
    void saveHiddenPresets();
    // The edited copy of a built-in preset, stored or dropped.
    void setCustomProfile(ComfortPreset preset, const SavedComfortProfile &profile);
    void removeCustomProfile(ComfortPreset preset);
    // Adds a saved profile, a favourite from the start.
    void addSavedProfile(const SavedComfortProfile &profile);
    // Replaces the saved profile of the same id; false when there is none.
    bool replaceSavedProfile(const SavedComfortProfile &profile);
    // The new name, trimmed and cut, or nothing when there is no such profile or the name is blank.
    std::optional<QString> renameSavedProfile(const QUuid &id, const QString &name);
    void toggleFavoriteSavedProfile(const QUuid &id);
    void deleteSavedProfile(const QUuid &id);

    // ---- persistence ----
    void saveProfiles();
    void saveFavoriteSavedProfiles();
    void saveRenamedPresets();
    void saveCustomPresetProfiles();

signals:
    void savedProfilesChanged();
    void favoritePresetIDsChanged();
    void favoriteSavedProfileIDsChanged();
    void hiddenDefaultPresetIDsChanged();
    void renamedPresetNamesChanged();
    void customPresetProfilesChanged();

private:
    void loadSavedProfiles();
    void loadFavorites();
    void loadHiddenAndRenamedPresets();
    void loadCustomPresetProfiles();
    // Keeps a stored value that could not be read in full under a key of its own:
    // key + ".unreadable", or when that holds an earlier one, key + ".unreadable-2", "-3",
    // ... A copy already kept is never replaced, and the same value is not kept twice.
    void preserveUnreadable(const QString &key, std::optional<QVariant> &original);

    Logger m_log{"PresetManager"};

    QList<SavedComfortProfile> m_savedProfiles;
    QSet<QString> m_favoritePresetIDs;
    QSet<QUuid> m_favoriteSavedProfileIDs;
    QSet<QString> m_hiddenDefaultPresetIDs;
    QMap<QString, QString> m_renamedPresetNames;
    QMap<QString, SavedComfortProfile> m_customPresetProfiles;

    // Stored data that could not be read in full, kept until the first save.
    std::optional<QVariant> m_unreadableSavedProfiles;
    std::optional<QVariant> m_unreadableRenamedPresets;
    std::optional<QVariant> m_unreadableCustomPresetProfiles;
};

} // namespace qv
