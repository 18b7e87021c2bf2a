#pragma once

#include "app/DeepDisplayDiagnostics.h"
#include "platform/HotKeys.h"
#include "platform/MachineWords.h"
#include "runtime/StoredSetting.h"

#include <QColor>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>

namespace qv {

class BatteryMonitor;
class FontSmoothingController;

// One switch row of the Settings page: its symbol and colours follow the switch.
class SettingsToggleRow : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Rows belong to the Settings page's model")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString symbol READ symbol NOTIFY changed)
    Q_PROPERTY(QString detail READ detail NOTIFY changed)
    Q_PROPERTY(bool isOn READ isOn NOTIFY changed)
    Q_PROPERTY(bool shown READ isShown NOTIFY changed)
    Q_PROPERTY(bool switchable READ isSwitchable NOTIFY changed)
    Q_PROPERTY(QColor tint READ tint NOTIFY changed)
    Q_PROPERTY(QColor symbolColor READ symbolColor NOTIFY changed)
    Q_PROPERTY(QColor fillColor READ fillColor NOTIFY changed)
    Q_PROPERTY(QColor strokeColor READ strokeColor NOTIFY changed)
public:
    struct Behaviour {
        QString title;
        std::function<QString()> symbol;
        std::function<QColor()> tint;
        std::function<bool()> read;
        std::function<QString()> detail;
        std::function<void(bool)> write;
        std::function<bool()> shown; // unset: always
        std::function<bool()> switchable; // unset: always
    };
    SettingsToggleRow(Behaviour behaviour, QObject *parent);

    QString title() const { return m_behaviour.title; }
    QString symbol() const { return m_symbol; }
    QString detail() const { return m_detail; }
    bool isOn() const { return m_isOn; }
    bool isShown() const { return m_shown; }
    // Whether the switch can be used; one that cannot ignores setOn().
    bool isSwitchable() const { return m_switchable; }
    QColor tint() const { return m_tint; }
    QColor symbolColor() const;
    QColor fillColor() const;
    QColor strokeColor() const;

    // The switch asks for a new value; what the row shows follows the model.
    Q_INVOKABLE void setOn(bool on);
    // Reads the model again; emits changed() when anything differs.
    void update();

signals:
    void changed();

private:
    Behaviour m_behaviour;
    QString m_symbol;
    QString m_detail;
    QColor m_tint;
    bool m_isOn = false;
    bool m_shown = true;
    bool m_switchable = true;
    bool m_dark = false;
};

// The Settings page: the computer-wide comfort switches and the read-only deep display
// diagnostics. It owns no model: every switch writes a model of display control, comfort
// or the application's stored settings. The diagnostics are captured when the page is
// shown and on Refresh, never while the page merely redraws.
class SettingsSectionModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString pageTitle READ pageTitle CONSTANT)
    Q_PROPERTY(QString pageSubtitle READ pageSubtitle CONSTANT)
    Q_PROPERTY(QString experienceTitle READ experienceTitle CONSTANT)
    Q_PROPERTY(QString experienceSubtitle READ experienceSubtitle CONSTANT)
    Q_PROPERTY(QString experienceIntro READ experienceIntro CONSTANT)
    Q_PROPERTY(QString diagnosticsTitle READ diagnosticsTitle CONSTANT)
    Q_PROPERTY(QString diagnosticsSubtitle READ diagnosticsSubtitle CONSTANT)
    Q_PROPERTY(QString appearanceTitle READ appearanceTitle CONSTANT)
    Q_PROPERTY(QString appearanceSubtitle READ appearanceSubtitle CONSTANT)
    Q_PROPERTY(QStringList appearanceOptions READ appearanceOptions CONSTANT)
    Q_PROPERTY(int appearanceIndex READ appearanceIndex NOTIFY appearanceChanged)
    Q_PROPERTY(QString appearanceSymbol READ appearanceSymbol NOTIFY appearanceChanged)
    Q_PROPERTY(qv::SettingsToggleRow *ambientRow READ ambientRow CONSTANT)
    Q_PROPERTY(qv::SettingsToggleRow *textureRow READ textureRow CONSTANT)
    Q_PROPERTY(qv::SettingsToggleRow *crisperTextRow READ crisperTextRow CONSTANT)
    Q_PROPERTY(qv::SettingsToggleRow *batteryRow READ batteryRow CONSTANT)
    Q_PROPERTY(qv::SettingsToggleRow *sidecarRow READ sidecarRow CONSTANT)
    Q_PROPERTY(QString hotKeysTitle READ hotKeysTitle CONSTANT)
    Q_PROPERTY(QString hotKeysDetail READ hotKeysDetail NOTIFY hotKeysChanged)
    Q_PROPERTY(QString diagnosticsNote READ diagnosticsNote CONSTANT)
    Q_PROPERTY(QString refreshTitle READ refreshTitle CONSTANT)
    Q_PROPERTY(QString refreshHint READ refreshHint CONSTANT)
    Q_PROPERTY(QVariantList summaryTiles READ summaryTiles NOTIFY diagnosticsChanged)
    Q_PROPERTY(QVariantList diagnosticDisplays READ diagnosticDisplays NOTIFY diagnosticsChanged)
public:
    explicit SettingsSectionModel(QObject *parent = nullptr);
    ~SettingsSectionModel() override;

    static QString pageTitle() { return QStringLiteral("Settings"); }
    // On the computer itself the texts speak of the computer, not of a Mac.
    static QString pageSubtitle()
    {
        return QStringLiteral("Adjust how Quellvista behaves across your %1.").arg(machineWords().machine());
    }
    static QString experienceTitle() { return QStringLiteral("Computer Experience"); }
    static QString experienceSubtitle()
    {
        return QStringLiteral("Comfort helpers that affect your %1 outside this window").arg(machineWords().machine());
    }
    static QString diagnosticsTitle() { return QStringLiteral("Deep Display Diagnostics"); }
    static QString diagnosticsSubtitle()
    {
        return QStringLiteral("Read-only pipeline signals for advanced troubleshooting");
    }
    static QString experienceIntro()
    {
        return QStringLiteral("Use these only when they make the whole computer feel easier to look at.");
    }
    static QString appearanceTitle() { return QStringLiteral("Appearance"); }
    static QString appearanceSubtitle() { return QStringLiteral("Choose how Quellvista looks"); }
    static QStringList appearanceOptions();
    int appearanceIndex() const;
    QString appearanceSymbol() const;
    // Writes the raw value of the chosen segment ("system", "light", "dark").
    Q_INVOKABLE void chooseAppearance(int index);

    SettingsToggleRow *ambientRow() const { return m_ambient; }
    SettingsToggleRow *textureRow() const { return m_texture; }
    SettingsToggleRow *crisperTextRow() const { return m_crisperText; }
    SettingsToggleRow *batteryRow() const { return m_battery; }
    SettingsToggleRow *sidecarRow() const { return m_sidecar; }

    // "Restart apps to see change" once switched during this run, "Applies to newly opened
    // apps" while smoothing is off, else "System default"; "Not available on this desktop"
    // where the desktop has no such setting; why the last switch did not take while it did not.
    static QString fontSmoothingStatus(bool changedThisRun, bool isDisabled, bool isAvailable = true,
                                       const QString &failure = {});
    // "Dim on low battery" while the switch is on, "42% battery" on battery, else "Off".
    static QString batteryDetail(bool dimEnabled, bool onBattery, int percent);
    // Surface texture on: the microtexture at 0.55 and the veil on; off changes nothing else.
    static void applySurfaceTexture(bool on);

    // How the global hot keys work on this desktop, and which of them cannot be pressed.
    static QString hotKeysTitle() { return QStringLiteral("Global hot keys"); }
    QString hotKeysDetail() const;
    static QString hotKeysDetail(HotKeyWay way, const QMap<int, ResultCode> &unavailable);

    static QString diagnosticsNote()
    {
        return QStringLiteral("These values are inspected only. Quellvista does not change these "
                              "experimental display-pipeline properties.");
    }
    static QString refreshTitle() { return QStringLiteral("Refresh"); }
    static QString refreshHint() { return QStringLiteral("Refreshes the read-only display diagnostics snapshot."); }
    QString framebufferCount() const { return QString::number(m_snapshot.displays.size()); }
    QString capturedTime() const;
    static QString modeText() { return QStringLiteral("Read-only"); }
    // The three summary tiles: label and value of "Framebuffers", "Captured" and "Mode".
    QVariantList summaryTiles() const;
    QVariantList diagnosticDisplays() const;
    const DeepDisplayDiagnosticsSnapshot &snapshot() const { return m_snapshot; }

    // The page came into view: font smoothing is read again and the diagnostics captured.
    Q_INVOKABLE void pageShown();
    // Captures the diagnostics again.
    Q_INVOKABLE void refreshDiagnostics();

signals:
    void appearanceChanged();
    void diagnosticsChanged();
    void hotKeysChanged();

private:
    void updateRows();

    std::unique_ptr<FontSmoothingController> m_ownFontSmoothing; // without an application object
    std::unique_ptr<BatteryMonitor> m_ownBattery;
    std::unique_ptr<StoredSetting> m_ownBatteryAwareDim;
    FontSmoothingController *m_fontSmoothing = nullptr;
    BatteryMonitor *m_batteryMonitor = nullptr;
    StoredSetting *m_batteryAwareDim = nullptr;
    StoredSetting m_appearanceRaw;

    SettingsToggleRow *m_ambient = nullptr;
    SettingsToggleRow *m_texture = nullptr;
    SettingsToggleRow *m_crisperText = nullptr;
    SettingsToggleRow *m_battery = nullptr;
    SettingsToggleRow *m_sidecar = nullptr;

    DeepDisplayDiagnosticsSnapshot m_snapshot;
};

} // namespace qv
