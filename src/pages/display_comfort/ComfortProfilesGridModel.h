#pragma once

#include "comfort/PresetManager.h"
#include "pages/display_comfort/ComfortProfileTiles.h"
#include "pages/display_comfort/FrameCoalescer.h"

#include <QAbstractListModel>
#include <QColor>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace qv {

class FrameTicker;
class PresetManager;

// The comfort profiles card: the tiles (a list model, one row per tile), each tile's
// context menu and click, the notice shown while every starter preset is hidden, the
// rename sheet and the profile intensity. Everything is read from and written to the
// shared preset manager; the only state of its own is the profile being renamed.
class ComfortProfilesGridModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    Q_PROPERTY(QString activeText READ activeText NOTIFY activeTextChanged)
    Q_PROPERTY(bool showsGrid READ showsGrid NOTIFY showsGridChanged)
    Q_PROPERTY(QString hiddenNotice READ hiddenNotice CONSTANT)
    Q_PROPERTY(QString restoreText READ restoreText CONSTANT)
    Q_PROPERTY(QString intensityTitle READ intensityTitle CONSTANT)
    Q_PROPERTY(double intensity READ intensity NOTIFY intensityChanged)
    Q_PROPERTY(QString intensityAccessibleValue READ intensityAccessibleValue NOTIFY intensityChanged)
    Q_PROPERTY(bool renaming READ renaming NOTIFY renameChanged)
    Q_PROPERTY(QString renameTargetId READ renameTargetId NOTIFY renameChanged)
    Q_PROPERTY(QString renameTitle READ renameTitle NOTIFY renameChanged)
    Q_PROPERTY(QString renameInitialName READ renameInitialName NOTIFY renameChanged)
    Q_PROPERTY(QString renamePlaceholder READ renamePlaceholder CONSTANT)
    Q_PROPERTY(int nameMaximumLength READ nameMaximumLength CONSTANT)
    Q_PROPERTY(QString nameCutNote READ nameCutNote CONSTANT)
    Q_PROPERTY(QString cancelText READ cancelText CONSTANT)
    Q_PROPERTY(QString saveText READ saveText CONSTANT)
public:
    enum Role {
        KindRole = Qt::UserRole + 1, // "preset", "saved", "new"
        KeyRole,
        TitleRole,
        SubtitleRole,
        SymbolRole,
        HintRole,
        HintOnOwnLineRole,
        ActiveRole,
        FavoriteRole,
        CustomizedRole,
        AccessibleNameRole,
        AccessibleHintRole,
        MinimumHeightRole,
        FillRole,
        StrokeRole,
        StrokeWidthRole,
        DashedRole,
        BadgeFillRole,
        SymbolColorRole,
        TitleColorRole,
        SubtitleColorRole,
        HintColorRole,
        DotColorRole,
        StarColorRole,
        MenuRole, // [{action, text, symbol, destructive}]
    };
    Q_ENUM(Role)

    // Made by QML: over the shared preset manager.
    explicit ComfortProfilesGridModel(QObject *parent = nullptr);
    explicit ComfortProfilesGridModel(PresetManager &presets, QObject *parent = nullptr);
    ~ComfortProfilesGridModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    const QList<ProfileTile> &tiles() const { return m_tiles; }

    static QString title() { return QStringLiteral("Comfort profiles"); }
    static QString subtitle() { return QStringLiteral("Start with one of four profiles, then tune or save your own."); }
    QString activeText() const;
    bool showsGrid() const;
    static QString hiddenNotice() { return QStringLiteral("All starter profiles are hidden."); }
    static QString restoreText() { return QStringLiteral("Restore starter profiles"); }
    static QString intensityTitle() { return QStringLiteral("Profile intensity"); }
    double intensity() const;
    QString intensityAccessibleValue() const;

    // A click on a tile applies its profile (animated); "New profile" saves one and asks
    // for the focus on its tile (tileToFocus).
    Q_INVOKABLE void activate(int row);
    // A context-menu entry of a tile.
    Q_INVOKABLE void trigger(int row, const QString &action);
    Q_INVOKABLE void restoreStarters();
    Q_INVOKABLE void moveIntensity(double value);
    Q_INVOKABLE void setIntensityDragging(bool dragging);

    // ---- the rename sheet ----
    bool renaming() const { return m_rename.has_value(); }
    QString renameTargetId() const { return m_rename ? m_rename->id : QString(); }
    QString renameTitle() const { return m_rename ? m_rename->title : QString(); }
    QString renameInitialName() const { return m_rename ? m_rename->currentName : QString(); }
    static QString renamePlaceholder() { return QStringLiteral("Profile name"); }
    // The rename field holds no more than a stored name keeps; a longer paste is cut,
    // and the note under the field says so.
    static int nameMaximumLength() { return int(PresetManager::kMaxProfileNameLength); }
    static QString nameCutNote()
    {
        return QStringLiteral("Cut to %1 characters, the longest a name can be.")
            .arg(PresetManager::kMaxProfileNameLength);
    }
    static QString cancelText() { return QStringLiteral("Cancel"); }
    static QString saveText() { return QStringLiteral("Save"); }
    Q_INVOKABLE bool canSave(const QString &name) const { return renameCanSave(name); }
    // Save: renames and closes the sheet; does nothing for a blank name. Return in the
    // name field does the same.
    Q_INVOKABLE void saveRename(const QString &name);
    Q_INVOKABLE void submitRename(const QString &name) { saveRename(name); }
    // Cancel, or the sheet dismissed: closes it without renaming.
    Q_INVOKABLE void cancelRename();

signals:
    void activeTextChanged();
    void showsGridChanged();
    void intensityChanged();
    void renameChanged();
    // The tile at row should take the keyboard focus: the profile just saved.
    void tileToFocus(int row);

private:
    void rebuild();
    void beginRename(const RenameTarget &target);

    PresetManager *m_presets;
    QList<ProfileTile> m_tiles;
    std::optional<RenameTarget> m_rename;
    FrameCoalescer m_intensityCoalescer;
};

// The profile intensity slider's tint, drifting between the brand rose, teal and gold.
// The colour changes (and the slider is drawn again) only when a channel moved by
// visibleLevels 8-bit levels: a small solid area shows no smaller step, and each change
// costs a frame of the whole window. In between it sleeps until the next such change.
class DriftingTint : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color NOTIFY colorChanged)
public:
    explicit DriftingTint(QQuickItem *parent = nullptr);
    QColor color() const { return m_color; }
    static constexpr int visibleLevels = 3;

signals:
    void colorChanged();

private:
    // Returns the milliseconds until the colour moves visibly again.
    qint64 refresh();
    QColor m_color;
    FrameTicker *m_ticker = nullptr;
};

} // namespace qv
