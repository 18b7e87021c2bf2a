#include "comfort/ProfileLibrary.h"

#include "runtime/Json.h"
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

ProfileLibrary::ProfileLibrary()
{
    loadSavedProfiles();
    loadFavorites();
    loadHiddenAndRenamedPresets();
    loadCustomPresetProfiles();
}

// ---- loading ----

void ProfileLibrary::loadSavedProfiles()
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

void ProfileLibrary::loadFavorites()
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

void ProfileLibrary::loadHiddenAndRenamedPresets()
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

void ProfileLibrary::loadCustomPresetProfiles()
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

void ProfileLibrary::preserveUnreadable(const QString &k, std::optional<QVariant> &original)
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

QVariantList ProfileLibrary::savedProfileList() const
{
    QVariantList out;
    for (const SavedComfortProfile &p : m_savedProfiles)
        out << QVariantMap{{"id", uuidText(p.id)}, {"name", p.name}, {"summary", p.summary()}};
    return out;
}

QStringList ProfileLibrary::favoritePresetIDList() const
{
    return sortedList(m_favoritePresetIDs);
}

QStringList ProfileLibrary::favoriteSavedProfileIDList() const
{
    QStringList out;
    for (const QUuid &id : m_favoriteSavedProfileIDs)
        out << uuidText(id);
    out.sort();
    return out;
}

QStringList ProfileLibrary::hiddenDefaultPresetIDList() const
{
    return sortedList(m_hiddenDefaultPresetIDs);
}

QVariantMap ProfileLibrary::renamedPresetNameMap() const
{
    QVariantMap out;
    for (auto it = m_renamedPresetNames.begin(); it != m_renamedPresetNames.end(); ++it)
        out.insert(it.key(), it.value());
    return out;
}

// ---- derived values ----

QList<ComfortPreset> ProfileLibrary::visiblePresets() const
{
    QList<ComfortPreset> out;
    for (ComfortPreset preset : defaultVisiblePresets)
        if (!m_hiddenDefaultPresetIDs.contains(rawValue(preset)))
            out << preset;
    return out;
}

QList<ComfortPreset> ProfileLibrary::menuBarPresets() const
{
    QList<ComfortPreset> out;
    for (ComfortPreset preset : kAllComfortPresets)
        if (m_favoritePresetIDs.contains(rawValue(preset)))
            out << preset;
    return out;
}

QList<SavedComfortProfile> ProfileLibrary::menuBarSavedProfiles() const
{
    QList<SavedComfortProfile> out;
    for (const SavedComfortProfile &p : m_savedProfiles)
        if (m_favoriteSavedProfileIDs.contains(p.id))
            out << p;
    return out;
}

QString ProfileLibrary::displayName(ComfortPreset preset) const
{
    const auto it = m_renamedPresetNames.find(rawValue(preset));
    return it != m_renamedPresetNames.end() ? it.value() : defaultTitle(preset);
}

bool ProfileLibrary::isFavorite(ComfortPreset preset) const
{
    return m_favoritePresetIDs.contains(rawValue(preset));
}

bool ProfileLibrary::hasCustomProfile(ComfortPreset preset) const
{
    return m_customPresetProfiles.contains(rawValue(preset));
}

std::optional<SavedComfortProfile> ProfileLibrary::savedProfile(const QUuid &id) const
{
    for (const SavedComfortProfile &p : m_savedProfiles)
        if (p.id == id)
            return p;
    return std::nullopt;
}

std::optional<SavedComfortProfile> ProfileLibrary::customProfile(ComfortPreset preset) const
{
    const auto it = m_customPresetProfiles.find(rawValue(preset));
    if (it == m_customPresetProfiles.end())
        return std::nullopt;
    return it.value();
}

std::optional<QUuid> ProfileLibrary::savedProfileNamed(const QString &name) const
{
    for (const SavedComfortProfile &profile : m_savedProfiles)
        if (profile.name == name)
            return profile.id;
    return std::nullopt;
}

// ---- changes ----

QString ProfileLibrary::profileName(const QString &name)
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

void ProfileLibrary::renamePreset(ComfortPreset preset, const QString &name)
{
    const QString text = profileName(name);
    if (text.isEmpty() || text == rawValue(preset))
        m_renamedPresetNames.remove(rawValue(preset));
    else
        m_renamedPresetNames.insert(rawValue(preset), text);
    emit renamedPresetNamesChanged();
    saveRenamedPresets();
}

void ProfileLibrary::toggleFavorite(ComfortPreset preset)
{
    const QString id = rawValue(preset);
    if (!m_favoritePresetIDs.remove(id))
        m_favoritePresetIDs.insert(id);
    emit favoritePresetIDsChanged();
    UserDefaults::standard().set(key(favoritePresetsKey), variantList(sortedList(m_favoritePresetIDs)));
}

void ProfileLibrary::setHiddenDefaultPresetIDs(const QSet<QString> &ids)
{
    m_hiddenDefaultPresetIDs = ids;
    emit hiddenDefaultPresetIDsChanged();
}

void ProfileLibrary::saveHiddenPresets()
{
    UserDefaults::standard().set(key(hiddenDefaultPresetsKey), variantList(sortedList(m_hiddenDefaultPresetIDs)));
}

void ProfileLibrary::setCustomProfile(ComfortPreset preset, const SavedComfortProfile &profile)
{
    m_customPresetProfiles.insert(rawValue(preset), profile);
    emit customPresetProfilesChanged();
    saveCustomPresetProfiles();
}

void ProfileLibrary::removeCustomProfile(ComfortPreset preset)
{
    m_customPresetProfiles.remove(rawValue(preset));
    emit customPresetProfilesChanged();
    saveCustomPresetProfiles();
}

void ProfileLibrary::addSavedProfile(const SavedComfortProfile &profile)
{
    m_savedProfiles << profile;
    m_favoriteSavedProfileIDs.insert(profile.id);
    emit savedProfilesChanged();
    emit favoriteSavedProfileIDsChanged();
    saveProfiles();
    saveFavoriteSavedProfiles();
}

bool ProfileLibrary::replaceSavedProfile(const SavedComfortProfile &profile)
{
    const auto it = std::find_if(m_savedProfiles.begin(), m_savedProfiles.end(),
                                 [&](const SavedComfortProfile &p) { return p.id == profile.id; });
    if (it == m_savedProfiles.end())
        return false;
    *it = profile;
    emit savedProfilesChanged();
    saveProfiles();
    return true;
}

std::optional<QString> ProfileLibrary::renameSavedProfile(const QUuid &id, const QString &name)
{
    const auto it = std::find_if(m_savedProfiles.begin(), m_savedProfiles.end(),
                                 [&](const SavedComfortProfile &p) { return p.id == id; });
    if (it == m_savedProfiles.end())
        return std::nullopt;
    const QString text = profileName(name);
    if (text.isEmpty())
        return std::nullopt;
    it->name = text;
    emit savedProfilesChanged();
    saveProfiles();
    return text;
}

void ProfileLibrary::toggleFavoriteSavedProfile(const QUuid &id)
{
    if (!m_favoriteSavedProfileIDs.remove(id))
        m_favoriteSavedProfileIDs.insert(id);
    emit favoriteSavedProfileIDsChanged();
    saveFavoriteSavedProfiles();
}

void ProfileLibrary::deleteSavedProfile(const QUuid &id)
{
    m_savedProfiles.removeIf([&](const SavedComfortProfile &p) { return p.id == id; });
    m_favoriteSavedProfileIDs.remove(id);
    emit savedProfilesChanged();
    emit favoriteSavedProfileIDsChanged();
    saveProfiles();
    saveFavoriteSavedProfiles();
}

// ---- persistence ----

void ProfileLibrary::saveProfiles()
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

void ProfileLibrary::saveFavoriteSavedProfiles()
{
    UserDefaults::standard().set(key(favoriteSavedProfilesKey), variantList(favoriteSavedProfileIDList()));
}

void ProfileLibrary::saveRenamedPresets()
{
    QJsonObject object;
    for (auto it = m_renamedPresetNames.begin(); it != m_renamedPresetNames.end(); ++it)
        object.insert(it.key(), it.value());
    preserveUnreadable(key(renamedPresetsKey), m_unreadableRenamedPresets);
    UserDefaults::standard().setData(key(renamedPresetsKey), json::encodeCompact(object));
}

void ProfileLibrary::saveCustomPresetProfiles()
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
