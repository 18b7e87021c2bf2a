// The preset manager's stored lists: saved profiles, edited built-in presets, names,
// favourites, hidden presets and the active selection. An input that is a JSON object
// gives each key it names its value (lists of profiles and name maps as the stored JSON
// data, the other lists and texts as they are); any other input is the stored data of
// the saved profiles. The lists are read, shown, saved and read again.
#include "FuzzInput.h"

#include "comfort/PresetManager.h"
#include "comfort/SavedComfortProfile.h"
#include "runtime/Json.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace qv;

namespace {
void store(UserDefaults &defaults, const QByteArray &bytes, const QJsonObject &object)
{
    if (object.isEmpty()) {
        defaults.setData(ProfileLibrary::savedProfilesKey, bytes);
        return;
    }
    for (const char *key : {ProfileLibrary::savedProfilesKey, ProfileLibrary::customPresetProfilesKey,
                            ProfileLibrary::renamedPresetsKey}) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (v.isArray())
            defaults.setData(key, json::encodeCompact(v.toArray()));
        else if (v.isObject())
            defaults.setData(key, json::encodeCompact(v.toObject()));
        else if (!v.isUndefined())
            defaults.set(key, v.toVariant());
    }
    for (const char *key : {ProfileLibrary::favoritePresetsKey, ProfileLibrary::favoriteSavedProfilesKey,
                            ProfileLibrary::hiddenDefaultPresetsKey, PresetManager::activePresetKey,
                            PresetManager::profileIntensityKey})
        if (object.contains(QLatin1String(key)))
            defaults.set(key, object.value(QLatin1String(key)).toVariant());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    store(input.defaults(), input.bytes(), input.jsonObject());

    PresetManager manager;
    manager.visiblePresets();
    manager.menuBarPresets();
    manager.menuBarSavedProfiles();
    manager.activeSelectionName();
    for (const ComfortPreset preset : manager.visiblePresets()) {
        manager.displayName(preset);
        manager.presetValues(preset);
    }
    for (const SavedComfortProfile &profile : manager.savedProfiles()) {
        profile.summary();
        profile.presetValues();
        fuzz::require(SavedComfortProfile::fromJson(profile.toJson()) == profile, "a profile's record reads back as the profile");
    }
    manager.library().saveProfiles();
    manager.library().saveFavoriteSavedProfiles();
    manager.library().saveRenamedPresets();
    manager.library().saveCustomPresetProfiles();

    PresetManager again;
    fuzz::require(again.savedProfiles() == manager.savedProfiles(), "saved profiles read back as saved");
    fuzz::require(again.customPresetProfiles() == manager.customPresetProfiles(), "edited presets read back as saved");
    fuzz::require(again.renamedPresetNames() == manager.renamedPresetNames(), "preset names read back as saved");
    fuzz::require(again.favoriteSavedProfileIDs() == manager.favoriteSavedProfileIDs(), "favourites read back as saved");
    return 0;
}
