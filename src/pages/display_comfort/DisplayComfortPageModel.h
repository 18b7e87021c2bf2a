#pragma once

#include "comfort/ComfortPreset.h"
#include "design/GuidedTour.h"

#include <QColor>
#include <QObject>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace qv {

class DisplayTuning;
class PresetManager;

// The Display & Comfort page's own state: the master switch "Display comfort tuning" with
// what switching it on again restores, and the page's guided tour. One lives as long as
// the page: leaving the section and coming back starts afresh (Focus remembered, no
// saved profile, tour closed).
//
// The switch shows the shared tuning's `enabled`, whoever changed it. Switching off
// remembers the active saved profile, or else the active preset when it is not Neutral,
// and applies Neutral (animated). Switching on keeps the current selection when one is
// active (a preset other than Neutral, or a saved profile) and only turns tuning on;
// from Neutral it applies the remembered saved profile when it still exists, else the
// remembered preset (animated).
class DisplayComfortPageModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString pageTitle READ pageTitle CONSTANT)
    Q_PROPERTY(bool comfortTuningEnabled READ comfortTuningEnabled WRITE setComfortTuningEnabled NOTIFY
                   comfortTuningEnabledChanged)
    Q_PROPERTY(QString stateText READ stateText NOTIFY comfortTuningEnabledChanged)
    Q_PROPERTY(QColor stateColor READ stateColor NOTIFY stateColorChanged)
    Q_PROPERTY(QString switchAccessibleLabel READ switchAccessibleLabel CONSTANT)
    Q_PROPERTY(QString switchAccessibleHint READ switchAccessibleHint CONSTANT)
    Q_PROPERTY(QString guideAccessibleName READ guideAccessibleName CONSTANT)
    Q_PROPERTY(qv::GuidedTour *tour READ tour CONSTANT)
    Q_PROPERTY(QString lastEnabledPreset READ lastEnabledPresetRaw NOTIFY rememberedChanged)
public:
    explicit DisplayComfortPageModel(QObject *parent = nullptr);
    DisplayComfortPageModel(DisplayTuning &tuning, PresetManager &presets, QObject *parent = nullptr);
    ~DisplayComfortPageModel() override;

    static QString pageTitle() { return QStringLiteral("Display & Comfort"); }
    bool comfortTuningEnabled() const;
    void setComfortTuningEnabled(bool on);
    QString stateText() const;
    QColor stateColor() const;
    static QString switchAccessibleLabel() { return QStringLiteral("Display comfort tuning"); }
    static QString switchAccessibleHint()
    {
        return QStringLiteral("Turns display comfort tuning on or returns it to Neutral.");
    }
    static QString guideAccessibleName() { return QStringLiteral("Open Display and Comfort guide"); }
    GuidedTour *tour() { return &m_tour; }

    ComfortPreset lastEnabledPreset() const { return m_lastEnabledPreset; }
    QString lastEnabledPresetRaw() const { return rawValue(m_lastEnabledPreset); }
    std::optional<QUuid> lastEnabledSavedProfileID() const { return m_lastEnabledSavedProfileID; }

signals:
    void comfortTuningEnabledChanged();
    void stateColorChanged();
    void rememberedChanged();

private:
    DisplayTuning &m_tuning;
    PresetManager &m_presets;
    GuidedTour m_tour;
    ComfortPreset m_lastEnabledPreset = ComfortPreset::focus;
    std::optional<QUuid> m_lastEnabledSavedProfileID;
};

} // namespace qv
