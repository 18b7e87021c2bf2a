#include "app/QuellvistaApp.h"

#include "app/AppUpdater.h"
#include "app/BreakPanelPresenter.h"
#include "app/GlobalShortcuts.h"

#include "comfort/AppAwareComfort.h"
#include "comfort/BatteryMonitor.h"
#include "comfort/PresetManager.h"
#include "comfort/ThermalMonitor.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/FontSmoothingController.h"
#include "display/IntegerScalingController.h"
#include "display/PipelineMonitor.h"
#include "display/ProtectionSettings.h"
#include "display/ScreenDetector.h"
#include "design/AppAppearanceMode.h"
#include "platform/LoginItem.h"
#include "platform/Platform.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Settings.h"
#include "runtime/UserDefaults.h"
#include "wellness/BlinkDetector.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"
#include "wellness/SessionHistory.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
QuellvistaApp *s_current = nullptr;

const Logger &quellvistaAppLog()
{
    static const Logger logger("App");
    return logger;
}

const QString kLaunchAtLoginEnabled = settings::launchAtLoginEnabled.name();
// What low-battery dimming changed, kept while the screen is dimmed so that a later start
// can put it back.
const QString kBatteryDimmingKey = settings::batteryDimming.name();

std::optional<double> finiteNumber(const QVariant &value)
{
    const int type = value.typeId();
    if (type != QMetaType::Double && type != QMetaType::Int && type != QMetaType::LongLong)
        return std::nullopt;
    const double number = value.toDouble();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}
} // namespace

QuellvistaApp *QuellvistaApp::current()
{
    return s_current;
}

QuellvistaApp::QuellvistaApp(QObject *parent)
    : QObject(parent),
      m_disableDithering(settings::disableDithering),
      m_disableUniformity2D(settings::disableUniformity2D),
      m_pwmAvoidanceEnabled(settings::pwmAvoidanceEnabled),
      m_pwmThreshold(settings::pwmThreshold),
      m_showBreakTimer(settings::showBreakTimer),
      m_appAwareComfortEnabled(settings::appAwareComfortEnabled),
      m_batteryAwareDimEnabled(settings::batteryAwareDimEnabled),
      m_appAppearanceModeRaw(settings::appAppearanceMode)
{
    // The long-lived models, in this order. The break schedule reads today's figures from
    // the session history, so the history exists first.
    m_engine = &DisplayEngine::shared();
    SessionHistory::shared();
    m_breakPresenter = std::make_unique<BreakPanelPresenter>();
    m_breakReminder = std::make_unique<BreakReminder>(m_breakPresenter.get());
    m_menuBarBlinker = std::make_unique<MenuBarBlinker>();
    m_menuBarBlinker->follow(m_breakReminder.get());
    m_presets = &PresetManager::shared();
    m_comfortVeil = &ComfortVeilController::shared();
    m_blinkDetector = &BlinkDetector::shared();
    m_appAware = std::make_unique<AppAwareComfort>();
    m_battery = std::make_unique<BatteryMonitor>();
    m_thermal = std::make_unique<ThermalMonitor>();
    m_integerScaling = std::make_unique<IntegerScalingController>();
    m_fontSmoothing = std::make_unique<FontSmoothingController>();
    m_appUpdater = std::make_unique<AppUpdater>();
    m_pipelineMonitor = &PipelineMonitor::shared();

    // The saved tuning as it stands before anything above has moved it.
    m_launchTuningSnapshot = TuningStore::savedSnapshot();
    m_launchTuningTargeted = TuningStore::savedSelectedDisplayID().has_value();

    m_detector = std::make_unique<ScreenDetector>(*m_engine);
    m_detector->registerForReconfiguration();

    configureLoginItem();
    settings::migrateFormerNames(UserDefaults::standard());
    applyStoredProtectionSettings(*m_engine, UserDefaults::standard());
    reportIllTypedSettings();
    applyAppAppearance();
    connect(&m_appAppearanceModeRaw, &StoredSetting::valueChanged, this, &QuellvistaApp::applyAppAppearance);

    // The switch's later changes (not its first value) reach app-aware comfort.
    connect(&m_appAwareComfortEnabled, &StoredSetting::valueChanged, this,
            [this] { appAwareComfortEnabledDidChange(m_appAwareComfortEnabled.value().toBool()); });
    s_current = this;
}

QuellvistaApp::~QuellvistaApp()
{
    if (s_current == this)
        s_current = nullptr;
}

void QuellvistaApp::configureLoginItem()
{
    UserDefaults &defaults = UserDefaults::standard();
    if (!defaults.hasStoredValue(kLaunchAtLoginEnabled))
        defaults.setBool(kLaunchAtLoginEnabled, true);
    const std::optional<bool> wanted = defaults.boolValue(kLaunchAtLoginEnabled);
    if (!wanted) {
        // Nothing is guessed from a value of another type, and nothing is overwritten.
        quellvistaAppLog().error("launchAtLoginEnabled is not a Boolean; the login item is left as it is");
        return;
    }
    LoginItem *item = platform().loginItem;
    if (!item)
        return;
    if (*wanted && item->switchedOffByUser()) {
        // Switched off in the desktop's settings: that is the user's answer, and the entry
        // they left is not written over.
        defaults.setBool(kLaunchAtLoginEnabled, false);
        quellvistaAppLog().info("The login item was switched off in the desktop's settings; Quellvista no longer starts at "
                   "login");
        return;
    }
    const bool registered = item->status() == LoginItem::Status::enabled;
    QString error;
    if (*wanted && registered && item->needsRenewal()) {
        // An entry an older or another copy wrote, naming a program that is gone or not
        // the installed one.
        if (item->registerItem(&error))
            quellvistaAppLog().info("The login item named another copy of Quellvista; it now starts this one");
        else
            quellvistaAppLog().error("Quellvista could not register as a login item: %s", qUtf8Printable(error));
    } else if (*wanted && !registered) {
        if (!item->registerItem(&error))
            quellvistaAppLog().error("Quellvista could not register as a login item: %s", qUtf8Printable(error));
    } else if (!*wanted && registered) {
        item->unregisterItem(&error); // a failure is dropped; the next start tries again
    }
}

void QuellvistaApp::reportIllTypedSettings()
{
    const UserDefaults &defaults = UserDefaults::standard();
    const QString appearanceKey = settings::appAppearanceMode.name();
    if (defaults.hasStoredValue(appearanceKey) && !defaults.stringValue(appearanceKey))
        quellvistaAppLog().error("appAppearanceMode is not a text; the appearance follows the system");
    else if (defaults.hasStoredValue(appearanceKey) &&
             !appAppearanceModeFromRawValue(*defaults.stringValue(appearanceKey)))
        quellvistaAppLog().error("appAppearanceMode \"%s\" is unknown; the appearance follows the system",
                    qUtf8Printable(*defaults.stringValue(appearanceKey)));
    if (defaults.hasStoredValue(m_showBreakTimer.key()) && !defaults.boolValue(m_showBreakTimer.key()))
        quellvistaAppLog().error("showBreakTimer is not a Boolean; the countdown is shown");
}

void QuellvistaApp::applyAppAppearance()
{
    const QString name = forcedAppearanceName(
        appAppearanceModeFromRawValue(m_appAppearanceModeRaw.value().toString()).value_or(AppAppearanceMode::system));
    if (name == m_applicationAppearance)
        return;
    m_applicationAppearance = name;
    emit applicationAppearanceChanged();
}

void QuellvistaApp::openMainWindow()
{
    emit mainWindowRequested();
}

void QuellvistaApp::quit()
{
    emit quitRequested();
}

void QuellvistaApp::performLaunchSetup()
{
    if (m_launchSetupDone)
        return;
    m_launchSetupDone = true;

    installGlobalShortcuts();

    // App-aware comfort: the switch is read when a change arrives, the preset applied on a
    // later turn.
    QPointer<QuellvistaApp> self(this);
    m_appAware->onProfileChange = [self](const QString &, ComfortPreset preset) {
        if (!self || !self->m_appAwareComfortEnabled.value().toBool())
            return;
        scheduler().post(self, [self, preset] { self->applyAppAwarePreset(preset); });
    };
    m_appAware->refresh(true);
    if (m_appAwareComfortEnabled.value().toBool())
        applyAppAwarePreset(m_appAware->currentProfile());

    m_battery->onLowBattery = [self](bool isLow) {
        if (self)
            self->handleLowBatteryChange(isLow);
    };
    // A display targeted then that is not connected (the displays were known only later) is
    // not the target now: its set is no longer what the editor shows, the all-displays set is.
    if (m_launchTuningTargeted && !DisplayTuning::shared().selectedDisplayID())
        m_launchTuningSnapshot = TuningStore::savedSnapshot();
    DisplayTuning::shared().applySnapshot(m_launchTuningSnapshot);
    // A dimming the last run left behind, and a battery that was low before anyone
    // listened, are acted on as if they had just happened (after the saved tuning).
    if (const std::optional<QVariantMap> kept = UserDefaults::standard().dictionaryValue(kBatteryDimmingKey)) {
        const std::optional<double> before = finiteNumber(kept->value(QStringLiteral("brightnessBefore")));
        const std::optional<double> dimmedTo = finiteNumber(kept->value(QStringLiteral("dimmedTo")));
        const QVariant enabledBefore = kept->value(QStringLiteral("enabledBefore"));
        if (before && dimmedTo && enabledBefore.typeId() == QMetaType::Bool)
            m_batteryDim = BatteryDim{std::clamp(*before, 0.1, 1.0), enabledBefore.toBool(), *dimmedTo};
        else
            UserDefaults::standard().remove(kBatteryDimmingKey);
        if (m_batteryDim && !m_battery->lastLowState())
            scheduler().post(this, [self] {
                if (self)
                    self->applyBatteryDimming(false);
            });
    }
    if (m_battery->lastLowState())
        handleLowBatteryChange(true);
    m_integerScaling->refresh();
    m_fontSmoothing->refresh();
    m_pipelineMonitor->configure(m_engine, m_fontSmoothing.get());
    m_pipelineMonitor->scheduleRefresh(QStringLiteral("launch"));
}

void QuellvistaApp::installGlobalShortcuts()
{
    GlobalShortcuts &shortcuts = GlobalShortcuts::shared();
    QPointer<QuellvistaApp> self(this);
    // The shortcuts call these on a later turn already, after the platform's handler.
    shortcuts.onTakeBreak = [self] {
        if (self)
            self->m_breakReminder->startBreak();
    };
    shortcuts.onTogglePreset = [self](ComfortPreset preset) {
        if (self)
            self->m_presets->togglePreset(preset);
    };
    shortcuts.registerHotKeys();
}

void QuellvistaApp::applyAppAwarePreset(ComfortPreset preset)
{
    std::optional<ComfortPreset> &last = m_appAware->lastAppliedPreset;
    const ComfortPreset active = m_presets->activePreset();
    if (preset != ComfortPreset::neutral) {
        if (active != ComfortPreset::neutral && (!last || active != *last))
            return; // the user chose something else since
        m_presets->applyPreset(preset, true);
        last = preset;
        return;
    }
    if (last && active == *last)
        m_presets->applyPreset(ComfortPreset::neutral, true);
    last.reset();
}

void QuellvistaApp::appAwareComfortEnabledDidChange(bool enabled)
{
    if (enabled) {
        m_appAware->refresh(true);
        applyAppAwarePreset(m_appAware->currentProfile());
        return;
    }
    std::optional<ComfortPreset> &last = m_appAware->lastAppliedPreset;
    if (!last || m_presets->activePreset() != *last)
        return;
    m_presets->applyPreset(ComfortPreset::neutral, true);
    last.reset();
}

void QuellvistaApp::handleLowBatteryChange(bool isLow)
{
    if (!m_batteryAwareDimEnabled.value().toBool())
        return;
    QPointer<QuellvistaApp> self(this);
    scheduler().post(this, [self, isLow] {
        if (self)
            self->applyBatteryDimming(isLow);
    });
}

void QuellvistaApp::applyBatteryDimming(bool isLow)
{
    // Low battery never brightens the screen: it dims to the lower of the current
    // brightness and 0.7. Recovery puts back what was there before, unless the user
    // changed the brightness in between (then their choice stays).
    DisplayTuning &tuning = DisplayTuning::shared();
    if (isLow) {
        if (m_batteryDim && qFuzzyCompare(tuning.brightness(), m_batteryDim->dimmedTo))
            return; // already dimmed by us
        BatteryDim dim{tuning.brightness(), tuning.enabled(), 0.7};
        tuning.setBrightness(std::min(dim.brightnessBefore, 0.7));
        tuning.setEnabled(true);
        dim.dimmedTo = tuning.brightness();
        m_batteryDim = dim;
        UserDefaults::standard().set(kBatteryDimmingKey, QVariantMap{{QStringLiteral("brightnessBefore"), dim.brightnessBefore},
                                                                     {QStringLiteral("enabledBefore"), dim.enabledBefore},
                                                                     {QStringLiteral("dimmedTo"), dim.dimmedTo}});
        return;
    }
    if (!m_batteryDim)
        return;
    const BatteryDim dim = *m_batteryDim;
    m_batteryDim.reset();
    UserDefaults::standard().remove(kBatteryDimmingKey);
    if (!qFuzzyCompare(tuning.brightness(), dim.dimmedTo))
        return;
    tuning.setBrightness(dim.brightnessBefore);
    tuning.setEnabled(dim.enabledBefore);
}

} // namespace qv
