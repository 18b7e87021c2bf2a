#pragma once

#include "app/AppUpdater.h"
#include "comfort/ComfortPreset.h"
#include "display/TuningValues.h"
#include "runtime/StoredSetting.h"
#include "wellness/BlinkDetector.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"

#include <QObject>

#include <memory>
#include <optional>

namespace qv {

class BreakPanelPresenter;
class AppAwareComfort;
class BatteryMonitor;
class ComfortVeilController;
class FontSmoothingController;
class IntegerScalingController;
class PipelineMonitor;
class ThermalMonitor;
class DisplayEngine;
class PresetManager;
class ScreenDetector;

// The application object: it declares the application's own stored settings, creates
// every long-lived model in a fixed order and keeps them for the life of the process,
// takes the snapshot of the saved display tuning, watches display reconfiguration and
// hands the stored protection switches to the display engine. The windows and the
// menu-bar extra read what is declared here; performLaunchSetup() runs the first time the
// main window's content is shown.
class QuellvistaApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(qv::StoredSetting *disableDithering READ disableDithering CONSTANT)
    Q_PROPERTY(qv::StoredSetting *disableUniformity2D READ disableUniformity2D CONSTANT)
    Q_PROPERTY(qv::StoredSetting *pwmAvoidanceEnabled READ pwmAvoidanceEnabled CONSTANT)
    Q_PROPERTY(qv::StoredSetting *pwmThreshold READ pwmThreshold CONSTANT)
    Q_PROPERTY(qv::StoredSetting *showBreakTimer READ showBreakTimer CONSTANT)
    Q_PROPERTY(qv::StoredSetting *appAwareComfortEnabled READ appAwareComfortEnabled CONSTANT)
    Q_PROPERTY(qv::StoredSetting *batteryAwareDimEnabled READ batteryAwareDimEnabled CONSTANT)
    Q_PROPERTY(qv::StoredSetting *appAppearanceModeRaw READ appAppearanceModeRaw CONSTANT)
    Q_PROPERTY(qv::BreakReminder *breakReminder READ breakReminderObject CONSTANT)
    Q_PROPERTY(qv::MenuBarBlinker *menuBarBlinker READ menuBarBlinkerObject CONSTANT)
    Q_PROPERTY(QString applicationAppearance READ applicationAppearance NOTIFY applicationAppearanceChanged)
    Q_PROPERTY(qv::AppUpdater *appUpdater READ appUpdaterObject CONSTANT)
    Q_PROPERTY(qv::BlinkDetector *blinkDetector READ blinkDetectorObject CONSTANT)

public:
    // Runs the whole start-up; the platform services and the defaults store in use must
    // be installed first.
    explicit QuellvistaApp(QObject *parent = nullptr);
    ~QuellvistaApp() override;

    // The application object of this process while it exists (views' models reach the
    // application's own settings and models through it), or null.
    static QuellvistaApp *current();

    StoredSetting *disableDithering() { return &m_disableDithering; }
    StoredSetting *disableUniformity2D() { return &m_disableUniformity2D; }
    StoredSetting *pwmAvoidanceEnabled() { return &m_pwmAvoidanceEnabled; }
    StoredSetting *pwmThreshold() { return &m_pwmThreshold; }
    StoredSetting *showBreakTimer() { return &m_showBreakTimer; }
    StoredSetting *appAwareComfortEnabled() { return &m_appAwareComfortEnabled; }
    StoredSetting *batteryAwareDimEnabled() { return &m_batteryAwareDimEnabled; }
    StoredSetting *appAppearanceModeRaw() { return &m_appAppearanceModeRaw; }

    DisplayEngine &engine() const { return *m_engine; }
    BreakReminder &breakReminder() const { return *m_breakReminder; }
    BreakPanelPresenter &breakPresenter() const { return *m_breakPresenter; }
    MenuBarBlinker &menuBarBlinker() const { return *m_menuBarBlinker; }
    PresetManager &presets() const { return *m_presets; }
    ComfortVeilController &comfortVeil() const { return *m_comfortVeil; }
    BlinkDetector &blinkDetector() const { return *m_blinkDetector; }
    AppAwareComfort &appAware() const { return *m_appAware; }
    BatteryMonitor &battery() const { return *m_battery; }
    ThermalMonitor &thermal() const { return *m_thermal; }
    IntegerScalingController &integerScaling() const { return *m_integerScaling; }
    FontSmoothingController &fontSmoothing() const { return *m_fontSmoothing; }
    PipelineMonitor &pipelineMonitor() const { return *m_pipelineMonitor; }
    AppUpdater &appUpdater() const { return *m_appUpdater; }
    ScreenDetector &detector() const { return *m_detector; }
    const TuningValues &launchTuningSnapshot() const { return m_launchTuningSnapshot; }

    // What the shell does once the main window's content first appears: app-aware comfort
    // and battery-aware dimming are hooked up, the saved tuning snapshot is applied,
    // integer scaling and font smoothing are read and the pipeline watch starts. Later
    // showings do not repeat it.
    Q_INVOKABLE void performLaunchSetup();

    // App-aware comfort applies its preset only over Neutral or over the preset it applied
    // itself; Neutral undoes only its own preset.
    void applyAppAwarePreset(ComfortPreset preset);
    // The "appAwareComfortEnabled" switch changed.
    void appAwareComfortEnabledDidChange(bool enabled);
    // The battery monitor's low state changed: dims while "batteryAwareDimEnabled" is on.
    void handleLowBatteryChange(bool isLow);
    void applyBatteryDimming(bool isLow);
    bool launchSetupDone() const { return m_launchSetupDone; }

    // The global hot keys: take a break (whether or not break reminders are on) and
    // toggle a preset, each on a later turn of the main loop.
    void installGlobalShortcuts();

    // The appearance the application is given from "appAppearanceMode": "light" gives
    // the light appearance's name, "dark" the dark one's, anything else nothing (follow
    // the system). Applied at start, whenever the main window appears and on each change.
    Q_INVOKABLE void applyAppAppearance();
    QString applicationAppearance() const { return m_applicationAppearance; }
    // Brings the application forward and the window "main" up (asks the scenes).
    Q_INVOKABLE void openMainWindow();
    // Ends the application.
    Q_INVOKABLE void quit();

signals:
    void applicationAppearanceChanged();
    // The scenes show the main window when asked.
    void mainWindowRequested();
    void quitRequested();

private:
    // The login item brought in line with "launchAtLoginEnabled" (stored true when
    // absent).
    void configureLoginItem();
    // One log line for each of the shell's switches stored with a type it cannot read.
    void reportIllTypedSettings();

    BreakReminder *breakReminderObject() const { return m_breakReminder.get(); }
    MenuBarBlinker *menuBarBlinkerObject() const { return m_menuBarBlinker.get(); }
    AppUpdater *appUpdaterObject() const { return m_appUpdater.get(); }
    BlinkDetector *blinkDetectorObject() const { return m_blinkDetector; }

    StoredSetting m_disableDithering;
    StoredSetting m_disableUniformity2D;
    StoredSetting m_pwmAvoidanceEnabled;
    StoredSetting m_pwmThreshold;
    StoredSetting m_showBreakTimer;
    StoredSetting m_appAwareComfortEnabled;
    StoredSetting m_batteryAwareDimEnabled;
    StoredSetting m_appAppearanceModeRaw;

    DisplayEngine *m_engine = nullptr; // shared
    std::unique_ptr<BreakPanelPresenter> m_breakPresenter; // shows the reminder's breaks
    std::unique_ptr<BreakReminder> m_breakReminder;
    std::unique_ptr<MenuBarBlinker> m_menuBarBlinker;
    PresetManager *m_presets = nullptr;             // shared
    ComfortVeilController *m_comfortVeil = nullptr; // shared, driven by the presets
    BlinkDetector *m_blinkDetector = nullptr;       // shared; starts when its stored switch is on
    std::unique_ptr<AppAwareComfort> m_appAware;
    std::unique_ptr<BatteryMonitor> m_battery;
    std::unique_ptr<ThermalMonitor> m_thermal;
    std::unique_ptr<IntegerScalingController> m_integerScaling;
    std::unique_ptr<FontSmoothingController> m_fontSmoothing;
    PipelineMonitor *m_pipelineMonitor = nullptr; // shared
    std::unique_ptr<AppUpdater> m_appUpdater;

    std::unique_ptr<ScreenDetector> m_detector;
    TuningValues m_launchTuningSnapshot;
    bool m_launchTuningTargeted = false; // a display was the stored target when it was read
    bool m_launchSetupDone = false;
    QString m_applicationAppearance;

    // What battery-aware dimming changed, so that recovery can put it back: the
    // brightness and tuning switch before the dim, and the brightness it set.
    struct BatteryDim {
        double brightnessBefore = 1.0;
        bool enabledBefore = false;
        double dimmedTo = 0.7;
    };
    std::optional<BatteryDim> m_batteryDim;
};

} // namespace qv
