#include "display/ScreenDetector.h"

#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/IORegistryPropertyHelper.h"
#include "display/ProtectionSettings.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "runtime/UserDefaults.h"

namespace qv {

ScreenDetector::ScreenDetector(DisplayEngine &engine, QObject *parent) : QObject(parent), m_engine(engine) {}

ScreenDetector::~ScreenDetector()
{
    m_self->store(nullptr);
    m_debounceTimer.cancel();
}

void ScreenDetector::registerForReconfiguration()
{
    if (m_registered)
        return;
    m_registered = true;
    platform().displays->registerReconfigurationCallback([self = m_self](DisplayId display, quint32 flags) {
        displayReconfigurationCallback(display, flags, self->load());
    });
}

void ScreenDetector::displayReconfigurationCallback(DisplayId display, quint32 flags, ScreenDetector *detector)
{
    Q_UNUSED(display);
    if (!detector)
        return;
    detector->handleReconfiguration(flags);
}

void ScreenDetector::handleReconfiguration(quint32 flags)
{
    if ((flags & kReconfigurationMask) == 0)
        return;
    postToMainThread([self = m_self] {
        if (ScreenDetector *detector = self->load())
            detector->scheduleReapply();
    });
}

void ScreenDetector::scheduleReapply()
{
    m_debounceTimer.cancel();
    m_debounceTimer = scheduler().after(kDebounceMs, this, [this] { reapplyAllSettings(); });
}

void ScreenDetector::reapplyAllSettings()
{
    using namespace protection;
    const UserDefaults &defaults = UserDefaults::standard();

    const bool disableDithering = storedBool(defaults, kDisableDithering).value_or(kDefaultDisableDithering);
    m_engine.setDither(!disableDithering, DisplayEngine::Target::all());

    const bool disableUniformity = storedBool(defaults, kDisableUniformity2D).value_or(kDefaultDisableUniformity2D);
    m_engine.applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(!disableUniformity)}},
                             DisplayEngine::Target::builtIn());

    m_engine.refreshDisplays();

    // The PWM-safe floor and the transfer formulas for the new display set, on a later turn.
    // A missing "pwmAvoidanceEnabled" reads as off here; the launch rule stores it.
    scheduler().post(this, [] {
        const UserDefaults &store = UserDefaults::standard();
        const bool pwmEnabled = storedBool(store, kPwmAvoidanceEnabled).value_or(false);
        DisplayTuning &tuning = DisplayTuning::shared();
        // A floor at full brightness (Neutral's) dims nothing: it does not switch tuning
        // on, which would give the edited display a neutral formula in place of its own
        // colours, a linear ramp where a host's original is another.
        const double floor = pwmFloor(storedDouble(store, kPwmThreshold));
        if (pwmEnabled && !tuning.enabled() && floor < 1.0) {
            tuning.setBrightness(floor);
            tuning.setEnabled(true);
        }
        tuning.apply();
    });

    scheduler().post(this, [this] {
        ++m_displayChangeCount;
        emit displayChangeCountChanged();
    });

    m_debounceTimer.cancel();
}

} // namespace qv
