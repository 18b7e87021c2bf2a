#include "comfort/PresetManager.h"

#include "runtime/Json.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QStringList sortedList(const QSet<QString> &set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

QVariantList variantList(const QStringList &list)
{
    QVariantList out;
    for (const QString &s : list)
        out << s;
    return out;
}

// The string entries of a stored array; nothing when the key holds no array.
std::optional<QStringList> storedStrings(const QString &k)
{
    const auto array = UserDefaults::standard().arrayValue(k);
    if (!array)
        return std::nullopt;
    QStringList out;
    for (const QVariant &v : *array)
        if (v.typeId() == QMetaType::QString)
            out << v.toString();
    return out;
}

// Raw values of the presets a stored list names (earlier identifiers resolved).
QSet<QString> resolvedPresetIDs(const QStringList &entries)
{
    QSet<QString> ids;
    for (const QString &entry : entries)
        if (auto preset = resolvePresetIdentifier(entry))
            ids.insert(rawValue(*preset));
    return ids;
}

bool isFiniteRecord(const SavedComfortProfile &p)
{
    for (double v : {p.tuning.brightness, p.tuning.warmth, p.tuning.contrastReduction, p.tuning.softWhite,
                     p.tuning.highlightCompression, p.tuning.redModeIntensity, p.pwm.threshold,
                     p.veil.peripheralSoftening, p.veil.highlightDampening, p.veil.colorCalm, p.veil.microtexture})
        if (!std::isfinite(v))
            return false;
    return p.createdAt.isValid();
}

// A JSON object stored under a key, with the stored value itself (kept aside when an entry
// cannot be read).
struct StoredObject {
    QVariant stored;
    QJsonObject object;
};

// Nothing when the key holds nothing, or when it holds something that is no JSON object:
// then `notAnObject` is logged and the stored value is kept in `unreadable`.
std::optional<StoredObject> storedJsonObject(const QString &k, const Logger &log, const char *notAnObject,
                                             std::optional<QVariant> &unreadable)
{
    const QVariant stored = UserDefaults::standard().object(k);
    if (!stored.isValid())
        return std::nullopt;
    const auto data = UserDefaults::standard().dataValue(k);
    const QJsonDocument document = data ? QJsonDocument::fromJson(*data) : QJsonDocument();
    if (!document.isObject()) {
        log.error("%s", notAnObject);
        unreadable = stored;
        return std::nullopt;
    }
    return StoredObject{stored, document.object()};
}

} // namespace

PresetManager &PresetManager::shared()
{
    return sharedInstance<PresetManager>();
}

PresetManager::PresetManager()
{
    UserDefaults &d = UserDefaults::standard();
    // Read everything first; construction writes nothing and applies nothing.
    if (d.object(key(profileIntensityKey)).isValid()) {
        const double stored = d.doubleForKey(key(profileIntensityKey));
        m_profileIntensity = std::isfinite(stored) ? std::clamp(stored, 0.0, 1.0) : defaultProfileIntensity;
    }
    loadSavedProfiles();
    loadFavorites();
    loadHiddenAndRenamedPresets();
    loadCustomPresetProfiles();
    loadActiveSelection();
}

// A running transition of this manager ends with it (the animator watches its owner).
PresetManager::~PresetManager() = default;

// ---- loading ----

void PresetManager::loadSavedProfiles()
{
    const QString k = key(savedProfilesKey);
    const QVariant stored = UserDefaults::standard().object(k);
    if (!stored.isValid())
        return;
    const auto data = UserDefaults::standard().dataValue(k);
    QJsonParseError parseError{};
    const QJsonDocument document = data ? QJsonDocument::fromJson(*data, &parseError) : QJsonDocument();
    if (!data || parseError.error != QJsonParseError::NoError || !document.isArray()) {
        const QString reason = !data ? QStringLiteral("the stored value is not data")
            : parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                           : QStringLiteral("the data is not a JSON array");
        m_log.error("Failed to load saved profiles: %s", qUtf8Printable(reason));
        m_unreadableSavedProfiles = stored;
        return;
    }
    const QJsonArray array = document.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString error;
        if (auto profile = SavedComfortProfile::fromJson(array.at(i), &error)) {
            m_savedProfiles << *profile;
        } else {
            m_log.error("Failed to load saved profiles: record %lld: %s", static_cast<long long>(i),
                        qUtf8Printable(error));
            m_unreadableSavedProfiles = stored;
        }
    }
}

void PresetManager::loadFavorites()
{
    if (const auto entries = storedStrings(key(favoritePresetsKey))) {
        m_favoritePresetIDs = resolvedPresetIDs(*entries);
    } else {
        // Not written here: the defaults hold until the user changes a favourite.
        for (ComfortPreset preset : defaultFavoritePresets)
            m_favoritePresetIDs.insert(rawValue(preset));
    }
    if (const auto entries = storedStrings(key(favoriteSavedProfilesKey)))
        for (const QString &entry : *entries)
            if (auto id = parseUuid(entry))
                m_favoriteSavedProfileIDs.insert(*id);
}

void PresetManager::loadHiddenAndRenamedPresets()
{
    if (const auto entries = storedStrings(key(hiddenDefaultPresetsKey)))
        m_hiddenDefaultPresetIDs = resolvedPresetIDs(*entries);

    const auto loaded =
        storedJsonObject(key(renamedPresetsKey), m_log,
                         "Failed to load renamed presets: the stored value is not a JSON object",
                         m_unreadableRenamedPresets);
    if (!loaded)
        return;
    for (auto it = loaded->object.begin(); it != loaded->object.end(); ++it) {
        if (it.value().isString()) {
            m_renamedPresetNames.insert(it.key(), it.value().toString());
        } else {
            m_log.error("Failed to load renamed presets: \"%s\" is not a string", qUtf8Printable(it.key()));
            m_unreadableRenamedPresets = loaded->stored;
        }
    }
}

void PresetManager::loadCustomPresetProfiles()
{
    const auto loaded =
        storedJsonObject(key(customPresetProfilesKey), m_log,
                         "Failed to load custom preset profiles: the stored value is not a JSON object",
                         m_unreadableCustomPresetProfiles);
    if (!loaded)
        return;
    for (auto it = loaded->object.begin(); it != loaded->object.end(); ++it) {
        QString error;
        const auto profile = SavedComfortProfile::fromJson(it.value(), &error);
        if (!profile) {
            m_log.error("Failed to load custom preset profiles: \"%s\": %s", qUtf8Printable(it.key()),
                        qUtf8Printable(error));
            m_unreadableCustomPresetProfiles = loaded->stored;
            continue;
        }
        if (resolvePresetIdentifier(it.key()))
            m_customPresetProfiles.insert(it.key(), *profile);
    }
}

void PresetManager::loadActiveSelection()
{
    const auto stored = UserDefaults::standard().stringValue(key(activePresetKey));
    if (!stored)
        return;
    if (auto preset = resolvePresetIdentifier(*stored)) {
        m_activePreset = *preset;
        return;
    }
    // Applying a saved profile stores its name: that profile is still the active one.
    for (const SavedComfortProfile &profile : std::as_const(m_savedProfiles)) {
        if (profile.name == *stored) {
            m_activeSavedProfileID = profile.id;
            return;
        }
    }
}

void PresetManager::preserveUnreadable(const QString &k, std::optional<QVariant> &original)
{
    if (!original)
        return;
    UserDefaults &d = UserDefaults::standard();
    const QString firstKey = k + QLatin1String(unreadableSuffix);
    QString backupKey = firstKey;
    for (int n = 2; d.hasStoredValue(backupKey); ++n) {
        const QVariant kept = d.object(backupKey);
        if (kept.typeId() == original->typeId() && kept == *original)
            break;
        backupKey = firstKey + QStringLiteral("-%1").arg(n);
    }
    if (!d.hasStoredValue(backupKey))
        d.set(backupKey, *original);
    original.reset();
}

// ---- published values ----

void PresetManager::setActivePreset(ComfortPreset preset)
{
    m_activePreset = preset;
    emit activePresetChanged();
    emit activeSelectionNameChanged();
}

void PresetManager::setActiveSavedProfileID(const std::optional<QUuid> &id)
{
    m_activeSavedProfileID = id;
    emit activeSavedProfileIDChanged();
    emit activeSelectionNameChanged();
}

void PresetManager::setProfileIntensity(double value)
{
    if (std::isnan(value))
        return; // not a number: the intensity stays as it is
    m_profileIntensity = std::clamp(value, 0.0, 1.0);
    emit profileIntensityChanged();
    UserDefaults::standard().setDouble(key(profileIntensityKey), m_profileIntensity);
    if (!m_activeSavedProfileID)
        selectPreset(m_activePreset, true);
    // A drag of the slider sets the intensity many times a second: one line once it rests.
    m_intensityNote.cancel();
    m_intensityNote = scheduler().after(intensityNoteDelayMs, this, [this] {
        m_log.info("Profile intensity %d %% (%s)", int(m_profileIntensity * 100),
                   qUtf8Printable(profileIntensityLabel()));
    });
}

QString PresetManager::activeSavedProfileIDText() const
{
    return m_activeSavedProfileID ? uuidText(*m_activeSavedProfileID) : QString();
}

QVariantList PresetManager::savedProfileList() const
{
    QVariantList out;
    for (const SavedComfortProfile &p : m_savedProfiles)
        out << QVariantMap{{"id", uuidText(p.id)}, {"name", p.name}, {"summary", p.summary()}};
    return out;
}

QStringList PresetManager::favoritePresetIDList() const
{
    return sortedList(m_favoritePresetIDs);
}

QStringList PresetManager::favoriteSavedProfileIDList() const
{
    QStringList out;
    for (const QUuid &id : m_favoriteSavedProfileIDs)
        out << uuidText(id);
    out.sort();
    return out;
}

QStringList PresetManager::hiddenDefaultPresetIDList() const
{
    return sortedList(m_hiddenDefaultPresetIDs);
}

QVariantMap PresetManager::renamedPresetNameMap() const
{
    QVariantMap out;
    for (auto it = m_renamedPresetNames.begin(); it != m_renamedPresetNames.end(); ++it)
        out.insert(it.key(), it.value());
    return out;
}

// ---- derived values ----

QList<ComfortPreset> PresetManager::visiblePresets() const
{
    QList<ComfortPreset> out;
    for (ComfortPreset preset : defaultVisiblePresets)
        if (!m_hiddenDefaultPresetIDs.contains(rawValue(preset)))
            out << preset;
    return out;
}

QList<ComfortPreset> PresetManager::menuBarPresets() const
{
    QList<ComfortPreset> out;
    for (ComfortPreset preset : kAllComfortPresets)
        if (m_favoritePresetIDs.contains(rawValue(preset)))
            out << preset;
    return out;
}

QList<SavedComfortProfile> PresetManager::menuBarSavedProfiles() const
{
    QList<SavedComfortProfile> out;
    for (const SavedComfortProfile &p : m_savedProfiles)
        if (m_favoriteSavedProfileIDs.contains(p.id))
            out << p;
    return out;
}

QString PresetManager::displayName(ComfortPreset preset) const
{
    const auto it = m_renamedPresetNames.find(rawValue(preset));
    return it != m_renamedPresetNames.end() ? it.value() : defaultTitle(preset);
}

QString PresetManager::activeSelectionName() const
{
    if (m_activeSavedProfileID)
        if (auto profile = savedProfile(*m_activeSavedProfileID))
            return profile->name;
    return displayName(m_activePreset);
}

bool PresetManager::isFavorite(ComfortPreset preset) const
{
    return m_favoritePresetIDs.contains(rawValue(preset));
}

bool PresetManager::hasCustomProfile(ComfortPreset preset) const
{
    return m_customPresetProfiles.contains(rawValue(preset));
}

std::optional<SavedComfortProfile> PresetManager::savedProfile(const QUuid &id) const
{
    for (const SavedComfortProfile &p : m_savedProfiles)
        if (p.id == id)
            return p;
    return std::nullopt;
}

// ---- operations ----

QString PresetManager::profileName(const QString &name)
{
    QString text = name.trimmed();
    if (text.size() > kMaxProfileNameLength) {
        qsizetype end = kMaxProfileNameLength;
        if (text.at(end - 1).isHighSurrogate())
            --end;
        text = text.left(end).trimmed();
    }
    return text;
}

void PresetManager::renamePreset(ComfortPreset preset, const QString &name)
{
    const QString text = profileName(name);
    if (text.isEmpty() || text == rawValue(preset))
        m_renamedPresetNames.remove(rawValue(preset));
    else
        m_renamedPresetNames.insert(rawValue(preset), text);
    emit renamedPresetNamesChanged();
    emit activeSelectionNameChanged();
    saveRenamedPresets();
}

void PresetManager::resetName(ComfortPreset preset)
{
    renamePreset(preset, QString());
}

void PresetManager::toggleFavorite(ComfortPreset preset)
{
    const QString id = rawValue(preset);
    if (!m_favoritePresetIDs.remove(id))
        m_favoritePresetIDs.insert(id);
    emit favoritePresetIDsChanged();
    UserDefaults::standard().set(key(favoritePresetsKey), variantList(sortedList(m_favoritePresetIDs)));
}

void PresetManager::setHiddenDefaultPresetIDs(const QSet<QString> &ids)
{
    m_hiddenDefaultPresetIDs = ids;
    emit hiddenDefaultPresetIDsChanged();
}

void PresetManager::saveHiddenPresets()
{
    UserDefaults::standard().set(key(hiddenDefaultPresetsKey), variantList(sortedList(m_hiddenDefaultPresetIDs)));
}

void PresetManager::saveCurrentToPreset(ComfortPreset preset)
{
    const auto existing = m_customPresetProfiles.find(rawValue(preset));
    const bool has = existing != m_customPresetProfiles.end();
    const QUuid id = has ? existing->id : QUuid::createUuid();
    const QDateTime createdAt = has ? existing->createdAt : scheduler().now();
    m_customPresetProfiles.insert(rawValue(preset), captureCurrentProfile(id, displayName(preset), createdAt));
    emit customPresetProfilesChanged();
    saveCustomPresetProfiles();
    applyPreset(preset, false);
}

void PresetManager::resetPresetProfile(ComfortPreset preset)
{
    m_customPresetProfiles.remove(rawValue(preset));
    emit customPresetProfilesChanged();
    saveCustomPresetProfiles();
    if (!m_activeSavedProfileID && m_activePreset == preset)
        applyPreset(preset, true);
}

void PresetManager::saveCurrentAsNewProfile(const std::optional<QString> &name)
{
    QString text = profileName(name.value_or(QString()));
    if (text.isEmpty())
        text = QStringLiteral("Saved %1").arg(m_savedProfiles.size() + 1);
    const SavedComfortProfile profile = captureCurrentProfile(QUuid::createUuid(), text, scheduler().now());
    m_savedProfiles << profile;
    m_favoriteSavedProfileIDs.insert(profile.id);
    emit savedProfilesChanged();
    emit favoriteSavedProfileIDsChanged();
    saveProfiles();
    saveFavoriteSavedProfiles();
    applySavedProfile(profile, true);
}

void PresetManager::updateSavedProfile(const QUuid &id, const std::optional<QString> &name)
{
    const auto it = std::find_if(m_savedProfiles.begin(), m_savedProfiles.end(),
                                 [&](const SavedComfortProfile &p) { return p.id == id; });
    if (it == m_savedProfiles.end())
        return;
    const QString text = profileName(name.value_or(QString()));
    const SavedComfortProfile updated = captureCurrentProfile(id, text.isEmpty() ? it->name : text, it->createdAt);
    *it = updated;
    emit savedProfilesChanged();
    emit activeSelectionNameChanged();
    saveProfiles();
    applySavedProfile(updated, false);
}

void PresetManager::renameSavedProfile(const QUuid &id, const QString &name)
{
    const auto it = std::find_if(m_savedProfiles.begin(), m_savedProfiles.end(),
                                 [&](const SavedComfortProfile &p) { return p.id == id; });
    if (it == m_savedProfiles.end())
        return;
    const QString text = profileName(name);
    if (text.isEmpty())
        return;
    it->name = text;
    emit savedProfilesChanged();
    emit activeSelectionNameChanged();
    saveProfiles();
    // "activePreset" names the active profile; it follows the rename so that the next
    // start still finds it.
    if (m_activeSavedProfileID == id)
        UserDefaults::standard().setString(key(activePresetKey), text);
}

void PresetManager::toggleFavoriteSavedProfile(const QUuid &id)
{
    if (!m_favoriteSavedProfileIDs.remove(id))
        m_favoriteSavedProfileIDs.insert(id);
    emit favoriteSavedProfileIDsChanged();
    saveFavoriteSavedProfiles();
}

void PresetManager::deleteSavedProfile(const QUuid &id)
{
    m_savedProfiles.removeIf([&](const SavedComfortProfile &p) { return p.id == id; });
    m_favoriteSavedProfileIDs.remove(id);
    emit savedProfilesChanged();
    emit favoriteSavedProfileIDsChanged();
    const bool wasActive = m_activeSavedProfileID == id;
    if (wasActive)
        setActiveSavedProfileID(std::nullopt);
    else
        emit activeSelectionNameChanged();
    saveProfiles();
    saveFavoriteSavedProfiles();
    // "activePreset" named the deleted profile: it names the active preset again, so the
    // next start selects what is selected now (nothing is applied).
    if (wasActive)
        UserDefaults::standard().setString(key(activePresetKey), rawValue(m_activePreset));
}

void PresetManager::togglePreset(ComfortPreset preset)
{
    if (!m_activeSavedProfileID && m_activePreset == preset)
        applyPreset(ComfortPreset::neutral, true);
    else
        applyPreset(preset, true);
}

// ---- persistence ----

void PresetManager::saveProfiles()
{
    QJsonArray array;
    for (const SavedComfortProfile &p : std::as_const(m_savedProfiles)) {
        if (!isFiniteRecord(p)) {
            m_log.error("Failed to save profiles: %s",
                        qUtf8Printable(QStringLiteral("\"%1\" holds a value JSON cannot represent").arg(p.name)));
            return;
        }
        array.append(p.toJson());
    }
    preserveUnreadable(key(savedProfilesKey), m_unreadableSavedProfiles);
    UserDefaults::standard().setData(key(savedProfilesKey), json::encodeCompact(array));
}

void PresetManager::saveFavoriteSavedProfiles()
{
    UserDefaults::standard().set(key(favoriteSavedProfilesKey), variantList(favoriteSavedProfileIDList()));
}

void PresetManager::saveRenamedPresets()
{
    QJsonObject object;
    for (auto it = m_renamedPresetNames.begin(); it != m_renamedPresetNames.end(); ++it)
        object.insert(it.key(), it.value());
    preserveUnreadable(key(renamedPresetsKey), m_unreadableRenamedPresets);
    UserDefaults::standard().setData(key(renamedPresetsKey), json::encodeCompact(object));
}

void PresetManager::saveCustomPresetProfiles()
{
    QJsonObject object;
    for (auto it = m_customPresetProfiles.begin(); it != m_customPresetProfiles.end(); ++it) {
        if (!isFiniteRecord(it.value()))
            return; // an edited copy JSON cannot represent: nothing is written
        object.insert(it.key(), it.value().toJson());
    }
    preserveUnreadable(key(customPresetProfilesKey), m_unreadableCustomPresetProfiles);
    UserDefaults::standard().setData(key(customPresetProfilesKey), json::encodeCompact(object));
}

} // namespace qv
