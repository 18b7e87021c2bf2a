#include "pages/display_comfort/ComfortProfilesGridModel.h"
#include "platform/HotKeyAvailability.h"

#include "comfort/PresetManager.h"
#include "design/FrameTicker.h"
#include "design/Theme.h"
#include "runtime/Clamp.h"

#include <QVariantMap>

#include <algorithm>
#include <cstdlib>

namespace qv {

namespace {

QString kindText(ProfileTileKind kind)
{
    switch (kind) {
    case ProfileTileKind::preset: return QStringLiteral("preset");
    case ProfileTileKind::saved: return QStringLiteral("saved");
    case ProfileTileKind::newProfile: return QStringLiteral("new");
    }
    return {};
}

QVariantList menuList(const QList<ProfileMenuEntry> &menu)
{
    QVariantList list;
    for (const ProfileMenuEntry &entry : menu)
        list << QVariantMap{{QStringLiteral("action"), entry.action},
                            {QStringLiteral("text"), entry.text},
                            {QStringLiteral("symbol"), entry.symbol},
                            {QStringLiteral("destructive"), entry.destructive}};
    return list;
}

} // namespace

ComfortProfilesGridModel::ComfortProfilesGridModel(QObject *parent)
    : ComfortProfilesGridModel(PresetManager::shared(), parent)
{
}

ComfortProfilesGridModel::ComfortProfilesGridModel(PresetManager &presets, QObject *parent)
    : QAbstractListModel(parent), m_presets(&presets),
      m_intensityCoalescer([this](double v) { m_presets->setProfileIntensity(v); })
{
    m_tiles = profileTiles(*m_presets, Theme::shared().isDark());
    for (auto signal : {&PresetManager::activePresetChanged, &PresetManager::activeSavedProfileIDChanged,
                        &PresetManager::savedProfilesChanged, &PresetManager::favoritePresetIDsChanged,
                        &PresetManager::favoriteSavedProfileIDsChanged, &PresetManager::hiddenDefaultPresetIDsChanged,
                        &PresetManager::renamedPresetNamesChanged, &PresetManager::customPresetProfilesChanged})
        connect(m_presets, signal, this, &ComfortProfilesGridModel::rebuild);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &ComfortProfilesGridModel::rebuild);
    // A hot key that comes or goes changes the tiles' hints.
    connect(&HotKeyAvailability::shared(), &HotKeyAvailability::changed, this, &ComfortProfilesGridModel::rebuild);
    for (auto signal : {&PresetManager::activeSelectionNameChanged, &PresetManager::savedProfilesChanged,
                        &PresetManager::renamedPresetNamesChanged, &PresetManager::activePresetChanged,
                        &PresetManager::activeSavedProfileIDChanged})
        connect(m_presets, signal, this, &ComfortProfilesGridModel::activeTextChanged);
    connect(m_presets, &PresetManager::hiddenDefaultPresetIDsChanged, this,
            &ComfortProfilesGridModel::showsGridChanged);
    connect(m_presets, &PresetManager::profileIntensityChanged, this, &ComfortProfilesGridModel::intensityChanged);
}

ComfortProfilesGridModel::~ComfortProfilesGridModel() = default;

void ComfortProfilesGridModel::rebuild()
{
    QList<ProfileTile> tiles = profileTiles(*m_presets, Theme::shared().isDark());
    bool sameShape = tiles.size() == m_tiles.size();
    for (qsizetype i = 0; sameShape && i < tiles.size(); ++i)
        sameShape = tiles[i].key == m_tiles[i].key;
    if (!sameShape) {
        beginResetModel();
        m_tiles = std::move(tiles);
        endResetModel();
        return;
    }
    m_tiles = std::move(tiles);
    if (!m_tiles.isEmpty())
        emit dataChanged(index(0), index(int(m_tiles.size()) - 1));
}

int ComfortProfilesGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_tiles.size());
}

QVariant ComfortProfilesGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_tiles.size())
        return {};
    const ProfileTile &t = m_tiles.at(index.row());
    switch (role) {
    case KindRole: return kindText(t.kind);
    case KeyRole: return t.key;
    case TitleRole: return t.title;
    case SubtitleRole: return t.subtitle;
    case SymbolRole: return t.symbol;
    case HintRole: return t.hint;
    case HintOnOwnLineRole: return t.hintOnOwnLine;
    case ActiveRole: return t.active;
    case FavoriteRole: return t.favorite;
    case CustomizedRole: return t.customized;
    case AccessibleNameRole: return t.accessibleName;
    case AccessibleHintRole: return t.accessibleHint;
    case MinimumHeightRole: return t.minimumHeight;
    case FillRole: return t.fill;
    case StrokeRole: return t.stroke;
    case StrokeWidthRole: return t.strokeWidth;
    case DashedRole: return t.dashed;
    case BadgeFillRole: return t.badgeFill;
    case SymbolColorRole: return t.symbolColor;
    case TitleColorRole: return t.titleColor;
    case SubtitleColorRole: return t.subtitleColor;
    case HintColorRole: return t.hintColor;
    case DotColorRole: return t.dotColor;
    case StarColorRole: return t.starColor;
    case MenuRole: return menuList(t.menu);
    default: return {};
    }
}

QHash<int, QByteArray> ComfortProfilesGridModel::roleNames() const
{
    return {{KindRole, "kind"},
            {KeyRole, "key"},
            {TitleRole, "title"},
            {SubtitleRole, "subtitle"},
            {SymbolRole, "symbol"},
            {HintRole, "hint"},
            {HintOnOwnLineRole, "hintOnOwnLine"},
            {ActiveRole, "active"},
            {FavoriteRole, "favorite"},
            {CustomizedRole, "customized"},
            {AccessibleNameRole, "accessibleName"},
            {AccessibleHintRole, "accessibleHint"},
            {MinimumHeightRole, "minimumHeight"},
            {FillRole, "fill"},
            {StrokeRole, "stroke"},
            {StrokeWidthRole, "strokeWidth"},
            {DashedRole, "dashed"},
            {BadgeFillRole, "badgeFill"},
            {SymbolColorRole, "symbolColor"},
            {TitleColorRole, "titleColor"},
            {SubtitleColorRole, "subtitleColor"},
            {HintColorRole, "hintColor"},
            {DotColorRole, "dotColor"},
            {StarColorRole, "starColor"},
            {MenuRole, "menu"}};
}

QString ComfortProfilesGridModel::activeText() const
{
    return QStringLiteral("Active: ") + SavedComfortProfile::shownName(m_presets->activeSelectionName());
}

bool ComfortProfilesGridModel::showsGrid() const
{
    return !m_presets->visiblePresets().isEmpty();
}

double ComfortProfilesGridModel::intensity() const
{
    return clampTo(m_presets->profileIntensity(), 0, 1);
}

QString ComfortProfilesGridModel::intensityAccessibleValue() const
{
    return qv::intensityAccessibleValue(intensity());
}

void ComfortProfilesGridModel::activate(int row)
{
    if (row < 0 || row >= m_tiles.size())
        return;
    const ProfileTile tile = m_tiles.at(row);
    switch (tile.kind) {
    case ProfileTileKind::preset: m_presets->applyPreset(*tile.preset, true); break;
    case ProfileTileKind::saved: m_presets->applySavedProfile(*tile.profile, true); break;
    case ProfileTileKind::newProfile: {
        QSet<QString> before;
        for (const ProfileTile &t : std::as_const(m_tiles))
            before.insert(t.key);
        m_presets->saveCurrentAsNewProfile(std::nullopt);
        for (qsizetype i = 0; i < m_tiles.size(); ++i)
            if (!before.contains(m_tiles[i].key)) {
                emit tileToFocus(int(i));
                break;
            }
        break;
    }
    }
}

void ComfortProfilesGridModel::trigger(int row, const QString &action)
{
    if (row < 0 || row >= m_tiles.size())
        return;
    // A copy: every call below may rebuild the tiles.
    const ProfileTile tile = m_tiles.at(row);
    const bool known = std::any_of(tile.menu.begin(), tile.menu.end(),
                                   [&](const ProfileMenuEntry &e) { return e.action == action; });
    if (!known)
        return;
    if (tile.preset) {
        const ComfortPreset preset = *tile.preset;
        if (action == u"rename")
            beginRename(renameTarget(*m_presets, preset));
        else if (action == u"saveToProfile")
            m_presets->saveCurrentToPreset(preset);
        else if (action == u"saveAsNew")
            m_presets->saveCurrentAsNewProfile(m_presets->displayName(preset));
        else if (action == u"favorite")
            m_presets->toggleFavorite(preset);
        else if (action == u"resetName")
            m_presets->resetName(preset);
        else if (action == u"resetProfile")
            m_presets->resetPresetProfile(preset);
    } else if (tile.profile) {
        const SavedComfortProfile &profile = *tile.profile;
        if (action == u"rename")
            beginRename(renameTarget(profile));
        else if (action == u"saveToProfile")
            m_presets->updateSavedProfile(profile.id, std::nullopt);
        else if (action == u"favorite")
            m_presets->toggleFavoriteSavedProfile(profile.id);
        else if (action == u"delete")
            m_presets->deleteSavedProfile(profile.id);
    }
}

void ComfortProfilesGridModel::restoreStarters()
{
    m_presets->setHiddenDefaultPresetIDs({});
    m_presets->saveHiddenPresets();
}

void ComfortProfilesGridModel::moveIntensity(double value)
{
    m_intensityCoalescer.submit(clamp01(value));
}

void ComfortProfilesGridModel::setIntensityDragging(bool dragging)
{
    m_intensityCoalescer.setDragging(dragging);
}

void ComfortProfilesGridModel::beginRename(const RenameTarget &target)
{
    m_rename = target;
    emit renameChanged();
}

void ComfortProfilesGridModel::saveRename(const QString &name)
{
    if (!m_rename || !renameCanSave(name))
        return;
    const RenameTarget target = *m_rename;
    if (target.preset)
        m_presets->renamePreset(*target.preset, name);
    else if (target.profile)
        m_presets->renameSavedProfile(target.profile->id, name);
    m_rename.reset();
    emit renameChanged();
}

void ComfortProfilesGridModel::cancelRename()
{
    if (!m_rename)
        return;
    m_rename.reset();
    emit renameChanged();
}

// ---- the drifting tint ----

DriftingTint::DriftingTint(QQuickItem *parent) : QQuickItem(parent), m_color(driftingTint(scheduler().now()))
{
    m_ticker = new FrameTicker(this, [this] { return refresh(); });
}

qint64 DriftingTint::refresh()
{
    const QDateTime now = scheduler().now();
    const auto moved = [this](const QColor &next) {
        return std::max({std::abs(next.red() - m_color.red()), std::abs(next.green() - m_color.green()),
                         std::abs(next.blue() - m_color.blue())});
    };
    // A grid step ahead, so that the shown colour never lags by a whole step.
    const qint64 ahead = FrameTicker::kGridMs;
    if (moved(driftingTint(now.addMSecs(ahead))) >= visibleLevels) {
        m_color = driftingTint(now);
        emit colorChanged();
    }
    // Asleep until the colour has moved far enough again.
    return FrameTicker::untilChange(FrameTicker::kGridMs, FrameTicker::kMaxSleepMs, FrameTicker::kGridMs, [&](qint64 ms) {
        return moved(driftingTint(now.addMSecs(ms + ahead))) >= visibleLevels;
    });
}

} // namespace qv
