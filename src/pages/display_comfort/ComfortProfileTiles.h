#pragma once

#include "comfort/ComfortPreset.h"
#include "comfort/SavedComfortProfile.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace qv {

class PresetManager;

// What a tile of the comfort profiles grid is for.
enum class ProfileTileKind { preset, saved, newProfile };

// One entry of a tile's context menu.
struct ProfileMenuEntry {
    QString action; // "rename", "saveToProfile", "saveAsNew", "favorite", "resetName", "resetProfile", "delete"
    QString text;
    QString symbol;
    bool destructive = false;
    bool operator==(const ProfileMenuEntry &) const = default;
};

// One tile as drawn: texts, states and the colours chosen by those states.
struct ProfileTile {
    ProfileTileKind kind = ProfileTileKind::preset;
    QString key; // the preset's raw value, the profile's id text, "new"
    std::optional<ComfortPreset> preset;
    std::optional<SavedComfortProfile> profile;
    QString title;
    QString subtitle;
    QString symbol;
    QString hint; // the hot key, e.g. "⌘⇧D"; empty when there is none
    // A hint too long for the title's line ("Super+Shift+D" on the host) has a line of
    // its own under the subtitle, so that the name keeps its room.
    bool hintOnOwnLine = false;
    bool active = false;
    bool favorite = false;
    bool customized = false;
    QString accessibleName;
    QString accessibleHint;
    int minimumHeight = 54;
    QColor fill, stroke, badgeFill, symbolColor, titleColor, subtitleColor, hintColor, dotColor, starColor;
    qreal strokeWidth = 0.5;
    bool dashed = false;
    QList<ProfileMenuEntry> menu;
};

// The fixed look of a preset: symbol, subtitle and hot key (empty for none).
struct PresetTileInfo {
    QString symbol;
    QString subtitle;
    QString hintKey;
};
PresetTileInfo presetTileInfo(ComfortPreset preset);
// "⌘⇧" and the key (on the host "Super+Shift+" and the key), or empty.
QString shortcutHint(ComfortPreset preset);

// The grid's tiles in order: the visible starter presets, the saved profiles in stored
// order, then "New profile". At most one tile is active. Empty while every starter preset
// is hidden (the notice stands in place of the whole grid).
QList<ProfileTile> profileTiles(const PresetManager &presets, bool dark);

// What the rename sheet edits.
struct RenameTarget {
    QString id; // "preset-<raw value>" or "saved-<UUID>"
    QString title;
    QString currentName;
    std::optional<ComfortPreset> preset;
    std::optional<SavedComfortProfile> profile;
};
RenameTarget renameTarget(const PresetManager &presets, ComfortPreset preset);
RenameTarget renameTarget(const SavedComfortProfile &profile);
// Save, and Return in the name field, need a name with something besides white space.
bool renameCanSave(const QString &name);

// The intensity slider's accessible value: "65 percent, Strong".
QString intensityAccessibleValue(double intensity);

// The intensity slider's tint at a time: the brand rose, teal and gold mixed by three
// slow sine weights of the seconds since 2001-01-01 00:00:00 UTC.
QColor driftingTint(const QDateTime &when);

} // namespace qv
