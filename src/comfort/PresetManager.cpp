#include "comfort/PresetManager.h"

#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <algorithm>
#include <cmath>

namespace qv {

PresetManager &PresetManager::shared()
{
    return sharedInstance<PresetManager>();
}

PresetManager::PresetManager()
{
    // The library's changes are published as this manager's.
    connect(&m_library, &ProfileLibrary::savedProfilesChanged, this, &PresetManager::savedProfilesChanged);
    connect(&m_library, &ProfileLibrary::favoritePresetIDsChanged, this, &PresetManager::favoritePresetIDsChanged);
    connect(&m_library, &ProfileLibrary::favoriteSavedProfileIDsChanged, this,
            &PresetManager::favoriteSavedProfileIDsChanged);
    connect(&m_library, &ProfileLibrary::hiddenDefaultPresetIDsChanged, this,
            &PresetManager::hiddenDefaultPresetIDsChanged);
    connect(&m_library, &ProfileLibrary::renamedPresetNamesChanged, this, &PresetManager::renamedPresetNamesChanged);
    connect(&m_library, &ProfileLibrary::customPresetProfilesChanged, this,
            &PresetManager::customPresetProfilesChanged);

    // Read everything first; construction writes nothing and applies nothing.
    UserDefaults &d = UserDefaults::standard();
    if (d.object(QString::fromLatin1(profileIntensityKey)).isValid()) {
        const double stored = d.doubleForKey(QString::fromLatin1(profileIntensityKey));
        m_profileIntensity = std::isfinite(stored) ? std::clamp(stored, 0.0, 1.0) : defaultProfileIntensity;
    }
    loadActiveSelection();
}

// A running transition of this manager ends with it (the animator watches its owner).
PresetManager::~PresetManager() = default;

void PresetManager::loadActiveSelection()
{
    const auto stored = UserDefaults::standard().stringValue(QString::fromLatin1(activePresetKey));
    if (!stored)
        return;
    if (auto preset = resolvePresetIdentifier(*stored)) {
        m_activePreset = *preset;
        return;
    }
    // Applying a saved profile stores its name: that profile is still the active one.
    m_activeSavedProfileID = m_library.savedProfileNamed(*stored);
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
    UserDefaults::standard().setDouble(QString::fromLatin1(profileIntensityKey), m_profileIntensity);
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

QString PresetManager::activeSelectionName() const
{
    if (m_activeSavedProfileID)
        if (auto profile = savedProfile(*m_activeSavedProfileID))
            return profile->name;
    return displayName(m_activePreset);
}

// ---- operations ----

void PresetManager::renamePreset(ComfortPreset preset, const QString &name)
{
    m_library.renamePreset(preset, name);
    emit activeSelectionNameChanged();
}

void PresetManager::saveCurrentToPreset(ComfortPreset preset)
{
    const std::optional<SavedComfortProfile> existing = m_library.customProfile(preset);
    const QUuid id = existing ? existing->id : QUuid::createUuid();
    const QDateTime createdAt = existing ? existing->createdAt : scheduler().now();
    m_library.setCustomProfile(preset, captureCurrentProfile(id, displayName(preset), createdAt));
    applyPreset(preset, false);
}

void PresetManager::resetPresetProfile(ComfortPreset preset)
{
    m_library.removeCustomProfile(preset);
    if (!m_activeSavedProfileID && m_activePreset == preset)
        applyPreset(preset, true);
}

void PresetManager::saveCurrentAsNewProfile(const std::optional<QString> &name)
{
    QString text = ProfileLibrary::profileName(name.value_or(QString()));
    if (text.isEmpty())
        text = QStringLiteral("Saved %1").arg(m_library.savedProfiles().size() + 1);
    const SavedComfortProfile profile = captureCurrentProfile(QUuid::createUuid(), text, scheduler().now());
    m_library.addSavedProfile(profile);
    applySavedProfile(profile, true);
}

void PresetManager::updateSavedProfile(const QUuid &id, const std::optional<QString> &name)
{
    const std::optional<SavedComfortProfile> existing = m_library.savedProfile(id);
    if (!existing)
        return;
    const QString text = ProfileLibrary::profileName(name.value_or(QString()));
    const SavedComfortProfile updated =
        captureCurrentProfile(id, text.isEmpty() ? existing->name : text, existing->createdAt);
    m_library.replaceSavedProfile(updated);
    emit activeSelectionNameChanged();
    applySavedProfile(updated, false);
}

void PresetManager::renameSavedProfile(const QUuid &id, const QString &name)
{
    const std::optional<QString> text = m_library.renameSavedProfile(id, name);
    if (!text)
        return;
    emit activeSelectionNameChanged();
    // "activePreset" names the active profile; it follows the rename so that the next
    // start still finds it.
    if (m_activeSavedProfileID == id)
        UserDefaults::standard().setString(QString::fromLatin1(activePresetKey), *text);
}

void PresetManager::deleteSavedProfile(const QUuid &id)
{
    m_library.deleteSavedProfile(id);
    const bool wasActive = m_activeSavedProfileID == id;
    if (wasActive)
        setActiveSavedProfileID(std::nullopt);
    else
        emit activeSelectionNameChanged();
    // "activePreset" named the deleted profile: it names the active preset again, so the
    // next start selects what is selected now (nothing is applied).
    if (wasActive)
        UserDefaults::standard().setString(QString::fromLatin1(activePresetKey), rawValue(m_activePreset));
}

void PresetManager::togglePreset(ComfortPreset preset)
{
    if (!m_activeSavedProfileID && m_activePreset == preset)
        applyPreset(ComfortPreset::neutral, true);
    else
        applyPreset(preset, true);
}

} // namespace qv
