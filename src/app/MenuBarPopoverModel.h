#pragma once

#include "comfort/ComfortPreset.h"
#include "design/ViewValue.h"
#include "display/ProtectionStatus.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace qv {

class QuellvistaApp;

// Everything the menu-bar pop-over shows and does: the status header over the three
// protections, the comfort switch with its memory of the last preset or saved profile,
// the "Mode" row, the favourite rows, the break section, the gear menu and the footer.
// It works on the application object of the process (or the one given).
class MenuBarPopoverModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int activeProtectionCount READ activeProtectionCount NOTIFY changed)
    Q_PROPERTY(QString statusTitle READ statusTitle NOTIFY changed)
    Q_PROPERTY(QString statusSubtitle READ statusSubtitle NOTIFY changed)
    Q_PROPERTY(double logoOpacity READ logoOpacity NOTIFY changed)
    Q_PROPERTY(bool comfortTuningOn READ isComfortTuningOn NOTIFY changed)
    Q_PROPERTY(QString comfortLabel READ comfortLabel NOTIFY changed)
    Q_PROPERTY(QColor comfortLabelColor READ comfortLabelColor NOTIFY changed)
    Q_PROPERTY(QString comfortToolTip READ comfortToolTip NOTIFY changed)
    Q_PROPERTY(QString modeText READ modeText NOTIFY changed)
    Q_PROPERTY(QVariantList favorites READ favorites NOTIFY changed)
    Q_PROPERTY(bool showsFavoritesHint READ showsFavoritesHint NOTIFY changed)
    Q_PROPERTY(double favoritesHeight READ favoritesHeight NOTIFY changed)
    Q_PROPERTY(double favoriteRowHeight READ favoriteRowHeight CONSTANT)
    Q_PROPERTY(double favoriteRowPitch READ favoriteRowPitch CONSTANT)
    Q_PROPERTY(bool breakRemindersOn READ breakRemindersOn NOTIFY changed)
    Q_PROPERTY(QString nextBreakText READ nextBreakText NOTIFY breakFiguresChanged)
    Q_PROPERTY(QString breaksTodayText READ breaksTodayText NOTIFY breakFiguresChanged)
    Q_PROPERTY(QString screenTimeText READ screenTimeText NOTIFY breakFiguresChanged)
    Q_PROPERTY(QVariantList gearMenuItems READ gearMenuItems NOTIFY changed)
    Q_PROPERTY(QColor panelVeil READ panelVeil NOTIFY changed)
    // The fixed texts
    QV_VIEW_TEXT(windowTitle, "Quellvista pop-over")
    QV_VIEW_TEXT(comfortSwitchName, "Comfort tuning")
    QV_VIEW_TEXT(comfortSwitchDescription, "Turns display comfort tuning on or returns it to Neutral.")
    QV_VIEW_TEXT(modeTitle, "Mode")
    QV_VIEW_TEXT(favoritesTitle, "Favorite profiles")
    QV_VIEW_TEXT(favoritesHint, "Star profiles in Display & Comfort to show them here.")
    QV_VIEW_TEXT(nextBreakTitle, "Next Break")
    QV_VIEW_TEXT(breaksTodayTitle, "Breaks Today")
    QV_VIEW_TEXT(screenTimeTitle, "Screen Time")
    QV_VIEW_TEXT(resetTimerTitle, "Reset Timer")
    QV_VIEW_TEXT(pauseForOneHourTitle, "Pause for 1 Hour")
    QV_VIEW_TEXT(turnOffRemindersTitle, "Turn Off Break Reminders")
    QV_VIEW_TEXT(remindersOffText, "Break reminders are off")
    QV_VIEW_TEXT(turnOnRemindersTitle, "Turn On Break Reminders")
    QV_VIEW_TEXT(openMainWindowTitle, "Open Quellvista")
    QV_VIEW_TEXT(gearMenuName, "Options")

public:
    // app null: the application object of the process.
    explicit MenuBarPopoverModel(QObject *parent = nullptr);
    explicit MenuBarPopoverModel(QuellvistaApp *app, QObject *parent = nullptr);

    // ---- status header ----
    int activeProtectionCount() const;
    QString statusTitle() const;
    QString statusSubtitle() const;
    double logoOpacity() const;

    // ---- comfort switch ----
    bool isComfortTuningOn() const;
    QString comfortLabel() const;
    QColor comfortLabelColor() const;
    QString comfortToolTip() const;
    // Off remembers the current selection and applies Neutral; on applies the remembered
    // saved profile when it still exists, else the remembered preset (Focus for Neutral).
    Q_INVOKABLE void setComfortTuning(bool on);
    ComfortPreset lastEnabledPreset() const { return m_lastEnabledPreset; }
    std::optional<QUuid> lastEnabledSavedProfileID() const { return m_lastEnabledSavedProfileID; }

    // ---- "Mode" and favourites ----
    QString modeText() const;
    // One map per row, presets first: kind ("preset"/"profile"), key (raw value or id),
    // symbol, name, hint, active, and the row's colours and leading padding.
    QVariantList favorites() const;
    bool showsFavoritesHint() const;
    // The favourite rows are placed by their index, one pitch apart, not by a layout: the
    // pop-over's window may rebuild them many times before it is first shown, and a Qt
    // Quick layout that never arranged its rows keeps the deleted ones (and crashes on
    // them at the first arrangement). favoritesHeight is the rows' height together.
    static constexpr double kFavoriteRowHeight = 27;
    static constexpr double kFavoriteRowSpacing = 6;
    double favoritesHeight() const;
    static double favoriteRowHeight() { return kFavoriteRowHeight; }
    static double favoriteRowPitch() { return kFavoriteRowHeight + kFavoriteRowSpacing; }
    // Applies the favourite row at index (animated); out of range does nothing.
    Q_INVOKABLE void activateFavorite(int index);

    // ---- break section ----
    bool breakRemindersOn() const;
    QString nextBreakText() const;
    QString breaksTodayText() const;
    QString screenTimeText() const;
    Q_INVOKABLE void resetTimer();
    Q_INVOKABLE void pauseForOneHour();
    Q_INVOKABLE void setBreakRemindersOn(bool on);

    // ---- gear menu ----
    // The items in order: kind ("toggle"/"button"/"divider"), id, title, checked, enabled.
    QVariantList gearMenuItems() const;
    Q_INVOKABLE void setDitheringProtection(bool on);
    Q_INVOKABLE void setPwmAvoidance(bool on);
    Q_INVOKABLE void setEdgeUniformity(bool on);
    Q_INVOKABLE void setShowBreakTimer(bool on);
    bool canCheckForUpdates() const;
    Q_INVOKABLE void checkForUpdates();
    // Runs the gear-menu item with this id with the value a toggle would take.
    Q_INVOKABLE void triggerGearItem(const QString &id, bool checked);
    // Opens the gear menu as a menu of the desktop at a global position.
    Q_INVOKABLE void popUpGearMenu(qreal globalX, qreal globalY);
    Q_INVOKABLE void quit();

    // The dark veil over the panel's material. Our material is drawn as an opaque tint
    // (there is no blur of the desktop behind it), so the light appearance takes a much
    // lighter veil than the dark one to keep its dark text readable.
    QColor panelVeil() const;

    // The break section's buttons: plate and outline, pressed or not.
    Q_INVOKABLE static QColor actionButtonFill(bool pressed);
    Q_INVOKABLE static QColor actionButtonStroke(bool pressed);

    // ---- footer ----
    Q_INVOKABLE void openMainWindow();

signals:
    void changed();
    // The break figures move every second while reminders run: they have a signal of their
    // own, so that the rows, the favourites and the gear menu are not rebuilt each time.
    void breakFiguresChanged();

private:
    QuellvistaApp *app() const;
    void watch(QuellvistaApp *app);

    QPointer<QuellvistaApp> m_app;
    ComfortPreset m_lastEnabledPreset = ComfortPreset::focus;
    std::optional<QUuid> m_lastEnabledSavedProfileID;
    std::unique_ptr<ProtectionStatus> m_protections;
};

// The row symbol of a preset.
QString favoriteSymbol(ComfortPreset preset);

} // namespace qv
