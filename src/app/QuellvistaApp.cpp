#include "app/QuellvistaApp.h"

#include "app/BreakPanelPresenter.h"

#include "comfort/PresetManager.h"
#include "display/ComfortVeilController.h"
#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/ProtectionSettings.h"
#include "display/ScreenDetector.h"
#include "runtime/UserDefaults.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"
#include "wellness/SessionHistory.h"

namespace qv {

QuellvistaApp::QuellvistaApp(QObject *parent)
    : QObject(parent),
      m_disableDithering(protection::kDisableDithering, protection::kDefaultDisableDithering),
      m_disableUniformity2D(protection::kDisableUniformity2D, protection::kDefaultDisableUniformity2D),
      m_pwmAvoidanceEnabled(protection::kPwmAvoidanceEnabled, protection::kDefaultPwmAvoidanceEnabled),
      m_pwmThreshold(protection::kPwmThreshold, protection::kDefaultPwmThreshold),
      m_showBreakTimer(QStringLiteral("showBreakTimer"), true),
      m_appAwareComfortEnabled(QStringLiteral("appAwareComfortEnabled"), false),
      m_batteryAwareDimEnabled(QStringLiteral("batteryAwareDimEnabled"), false),
      m_appAppearanceModeRaw(QStringLiteral("appAppearanceMode"), QStringLiteral("system"))
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

    // The saved tuning as it stands before anything above has moved it.
    m_launchTuningSnapshot = DisplayTuning::savedSnapshot();

    m_detector = std::make_unique<ScreenDetector>(*m_engine);
    m_detector->registerForReconfiguration();

    applyStoredProtectionSettings(*m_engine, UserDefaults::standard());
}

QuellvistaApp::~QuellvistaApp() = default;

void QuellvistaApp::performLaunchSetup()
{
    if (m_launchSetupDone)
        return;
    m_launchSetupDone = true;
    DisplayTuning::shared().applySnapshot(m_launchTuningSnapshot);
}

} // namespace qv
