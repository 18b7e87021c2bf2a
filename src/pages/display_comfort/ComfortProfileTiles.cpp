#include "pages/display_comfort/ComfortProfileTiles.h"

#include "platform/HotKeyAvailability.h"
#include "platform/HotKeys.h"
#include "platform/KeyCodes.h"
#include "platform/MachineWords.h"

#include "comfort/PresetManager.h"
#include "design/Theme.h"
#include "pages/display_comfort/TuningRows.h"
#include "runtime/Clamp.h"

#include <cmath>

namespace qv {

namespace {

QColor token(ColorToken t, bool dark)
{
    return Theme::adaptive(t).resolve(dark);
}

QColor white(double opacity)
{
    return Theme::withOpacity(Qt::white, opacity);
}

// Fill, outline and star, shared by preset and saved-profile tiles.
void paintCommon(ProfileTile &tile, double idleFillOpacity, bool dark)
{
    tile.fill = tile.active ? token(ColorToken::accent, dark)
                            : Theme::withOpacity(token(ColorToken::accentSoft, dark), idleFillOpacity);
    tile.stroke = tile.active ? QColor(Qt::transparent) : token(ColorToken::divider, dark);
    tile.starColor = tile.active ? white(0.72) : token(ColorToken::copper, dark);
}

ProfileMenuEntry favoriteEntry(bool favorite)
{
    const MachineWords &words = machineWords();
    return favorite ? ProfileMenuEntry{"favorite", words.say(MacText::removeFromMenuBar, "Remove from Menu Bar"),
                                       "star.slash"}
                    : ProfileMenuEntry{"favorite", words.say(MacText::showInMenuBar, "Show in Menu Bar"), "star"};
}

ProfileTile presetTile(const PresetManager &presets, ComfortPreset preset, bool dark)
{
    const PresetTileInfo info = presetTileInfo(preset);
    ProfileTile tile;
    tile.kind = ProfileTileKind::preset;
    tile.key = rawValue(preset);
    tile.preset = preset;
    tile.title = SavedComfortProfile::shownName(presets.displayName(preset));
    tile.subtitle = info.subtitle;
    tile.symbol = info.symbol;
    tile.hint = shortcutHint(preset);
    tile.hintOnOwnLine = tile.hint.size() > 4;
    tile.active = !presets.activeSavedProfileID() && presets.activePreset() == preset;
    tile.favorite = presets.isFavorite(preset);
    tile.customized = presets.hasCustomProfile(preset);
    tile.accessibleName = tile.title + QStringLiteral(" comfort profile");
    tile.accessibleHint = QStringLiteral("Applies this profile. Right-click to rename, update, favorite, or reset it.");
    tile.minimumHeight = 54;
    paintCommon(tile, 0.42, dark);
    tile.badgeFill = tile.active ? white(0.18) : Theme::withOpacity(token(ColorToken::accentSoft, dark), 0.7);
    tile.symbolColor = tile.active ? QColor(Qt::white) : token(ColorToken::accent, dark);
    tile.titleColor = tile.active ? QColor(Qt::white) : token(ColorToken::textPrimary, dark);
    tile.subtitleColor = tile.active ? white(0.78) : token(ColorToken::textSecondary, dark);
    tile.hintColor = tile.active ? white(0.72) : token(ColorToken::textTertiary, dark);
    tile.dotColor = tile.active ? white(0.76) : token(ColorToken::accent, dark);
    tile.menu = {{"rename", "Rename", "pencil"},
                 {"saveToProfile", "Save Current Settings to This Profile", "square.and.arrow.down"},
                 {"saveAsNew", "Save Current Settings as New Profile", "plus.square.on.square"},
                 favoriteEntry(tile.favorite)};
    if (presets.renamedPresetNames().contains(tile.key))
        tile.menu << ProfileMenuEntry{"resetName", "Reset Name", "arrow.counterclockwise"};
    tile.menu << ProfileMenuEntry{"resetProfile", "Reset Profile Settings", "arrow.uturn.backward", true};
    return tile;
}

ProfileTile savedTile(const PresetManager &presets, const SavedComfortProfile &profile, bool dark)
{
    ProfileTile tile;
    tile.kind = ProfileTileKind::saved;
    tile.key = uuidText(profile.id);
    tile.profile = profile;
    tile.title = SavedComfortProfile::shownName(profile.name);
    tile.subtitle = profile.summary();
    tile.symbol = QStringLiteral("slider.horizontal.3");
    tile.active = presets.activeSavedProfileID() == profile.id;
    tile.favorite = presets.favoriteSavedProfileIDs().contains(profile.id);
    tile.accessibleName = tile.title + QStringLiteral(" saved comfort profile");
    tile.accessibleHint =
        QStringLiteral("Applies this profile. Right-click for rename, update, favorite, or delete actions.");
    tile.minimumHeight = 50;
    paintCommon(tile, 0.35, dark);
    const QColor foreground = tile.active ? QColor(Qt::white) : token(ColorToken::textPrimary, dark);
    tile.symbolColor = tile.titleColor = tile.subtitleColor = foreground;
    tile.menu = {{"rename", "Rename", "pencil"},
                 {"saveToProfile", "Save Current Settings to This Profile", "square.and.arrow.down"},
                 favoriteEntry(tile.favorite),
                 {"delete", "Delete", "trash", true}};
    return tile;
}

ProfileTile newProfileTile(bool dark)
{
    ProfileTile tile;
    tile.kind = ProfileTileKind::newProfile;
    tile.key = QStringLiteral("new");
    tile.title = QStringLiteral("New profile");
    tile.subtitle = QStringLiteral("Save current");
    tile.symbol = QStringLiteral("plus");
    tile.accessibleName = QStringLiteral("Create new comfort profile");
    tile.accessibleHint = QStringLiteral("Saves the current display settings as a new profile.");
    tile.minimumHeight = 54;
    tile.fill = Theme::withOpacity(token(ColorToken::accentSoft, dark), 0.18);
    tile.stroke = Theme::withOpacity(token(ColorToken::divider, dark), 0.8);
    tile.strokeWidth = 0.7;
    tile.dashed = true;
    tile.badgeFill = Theme::withOpacity(token(ColorToken::accentSoft, dark), 0.7);
    tile.symbolColor = token(ColorToken::accent, dark);
    tile.titleColor = token(ColorToken::textPrimary, dark);
    tile.subtitleColor = token(ColorToken::textSecondary, dark);
    return tile;
}

} // namespace

PresetTileInfo presetTileInfo(ComfortPreset preset)
{
    switch (preset) {
    case ComfortPreset::neutral:
        return {"circle", machineWords().say(MacText::neutralPresetDetail, QStringLiteral("Apple defaults")), "0"};
    case ComfortPreset::reading: return {"book", "Soft text work", "R"};
    case ComfortPreset::focus: return {"brain.head.profile", "Dense work", "D"};
    case ComfortPreset::evening: return {"moon.stars", "Warm wind-down", "N"};
    case ComfortPreset::lowStimulus: return {"eye.trianglebadge.exclamationmark", "Calmest view", ""};
    case ComfortPreset::colorWork: return {"paintpalette", "Color-aware", ""};
    case ComfortPreset::pwmSafe: return {"waveform.path.ecg", "Backlight assist", "P"};
    }
    return {};
}

QString shortcutHint(ComfortPreset preset)
{
    const QString key = presetTileInfo(preset).hintKey;
    return key.isEmpty() ? QString()
                         : HotKeyAvailability::shared().hint(kHotKeyCommand | kHotKeyShift,
                                                             keyCodeForCharacter(key.front()));
}

QList<ProfileTile> profileTiles(const PresetManager &presets, bool dark)
{
    QList<ProfileTile> tiles;
    const QList<ComfortPreset> visible = presets.visiblePresets();
    if (visible.isEmpty())
        return tiles;
    for (ComfortPreset preset : visible)
        tiles << presetTile(presets, preset, dark);
    for (const SavedComfortProfile &profile : presets.savedProfiles())
        tiles << savedTile(presets, profile, dark);
    tiles << newProfileTile(dark);
    return tiles;
}

RenameTarget renameTarget(const PresetManager &presets, ComfortPreset preset)
{
    return {QStringLiteral("preset-") + rawValue(preset), QStringLiteral("Rename Profile"),
            presets.displayName(preset), preset, std::nullopt};
}

RenameTarget renameTarget(const SavedComfortProfile &profile)
{
    return {QStringLiteral("saved-") + uuidText(profile.id), QStringLiteral("Rename Saved Profile"), profile.name,
            std::nullopt, profile};
}

bool renameCanSave(const QString &name)
{
    return !name.trimmed().isEmpty();
}

QString intensityAccessibleValue(double intensity)
{
    const double level = clamp01(intensity);
    return QString::number(wholePercent(level)) + QStringLiteral(" percent, ") + intensityLabel(level);
}

QColor driftingTint(const QDateTime &when)
{
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    const double t = reference.msecsTo(when) / 1000.0;
    const double a = (std::sin(t / 3.8) + 1) / 2;
    const double b = (std::sin(t / 4.6 + 1.7) + 1) / 2;
    const double c = (std::sin(t / 5.4 + 3.1) + 1) / 2;
    const double sum = a + b + c;
    if (!(sum > 1e-9))
        return Theme::brandTeal();
    const QColor rose = Theme::brandRose(), teal = Theme::brandTeal(), gold = Theme::brandGold();
    auto channel = [&](int r, int t2, int g) { return (a * r + b * t2 + c * g) / sum / 255.0; };
    return QColor::fromRgbF(float(channel(rose.red(), teal.red(), gold.red())),
                            float(channel(rose.green(), teal.green(), gold.green())),
                            float(channel(rose.blue(), teal.blue(), gold.blue())), 1.0f);
}

} // namespace qv
