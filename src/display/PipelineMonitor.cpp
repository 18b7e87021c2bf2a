#include "display/PipelineMonitor.h"

#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/FontSmoothingController.h"
#include "display/IORegistryPropertyHelper.h"
#include "platform/Host.h"
#include "platform/MachineWords.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "runtime/Logging.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <cmath>

namespace qv {

namespace {

const QString kDisplayListChanged = QStringLiteral("display list changed");
const QString kScreenParametersChanged = QStringLiteral("screen parameters changed");
const QString kWake = QStringLiteral("wake");
const QString kFrontApplicationChanged = QStringLiteral("foreground app changed");
const QString kRestore = QStringLiteral("restore");

} // namespace

PipelineDisplaySnapshot PipelineMonitor::displaySnapshot(const DisplayInfo &info)
{
    PipelineDisplaySnapshot display;
    display.id = QString::number(info.id) + QLatin1Char('-') + info.name;
    display.name = info.name;
    display.role = info.isBuiltIn ? QStringLiteral("Built-in") : QStringLiteral("External");
    display.connection = info.connection.value_or(QStringLiteral("Unknown connection"));
    display.resolution = info.resolution.value_or(QStringLiteral("Unknown resolution"));
    display.ditheringEnabled = info.ditherEnabled;
    display.uniformityEnabled = info.uniformity2DEnabled;
    return display;
}

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("Now on") : QStringLiteral("Now off");
}

// A fraction as a whole percentage cut toward zero (0.999 gives 99). Written from the
// double, so that no stored value can overflow an integer.
QString truncatedPercent(double fraction)
{
    return QString::number(std::trunc(fraction * 100) + 0.0, 'f', 0);
}

QString savedAndActive(double saved, double active)
{
    return truncatedPercent(saved) + QStringLiteral("% saved, ") + truncatedPercent(active)
        + QStringLiteral("% active");
}

PipelineDriftItem item(PipelineDriftItem::Severity severity, const QString &title, const QString &detail)
{
    return PipelineDriftItem{QUuid::createUuid(), severity, title, detail};
}

} // namespace

PipelineMonitor::PipelineMonitor()
{
    const UserDefaults &defaults = UserDefaults::standard();
    if (const auto data = defaults.dataValue(kBaselineKey)) {
        m_baseline = PipelineSnapshot::decode(*data);
        if (!m_baseline)
            Logger("PipelineMonitor").debug("The stored comfortable baseline cannot be read; there is none");
    } else if (defaults.hasStoredValue(kBaselineKey)) {
        Logger("PipelineMonitor").debug("The stored comfortable baseline is not data; there is none");
    }
    if (defaults.hasStoredValue(kGuardKey) && !defaults.boolValue(kGuardKey))
        Logger("PipelineMonitor").error("%s is not a Boolean; the comfort guard is off", qUtf8Printable(kGuardKey));
}

PipelineMonitor::~PipelineMonitor()
{
    disconnectTriggers();
}

PipelineMonitor &PipelineMonitor::shared()
{
    return sharedInstance<PipelineMonitor>();
}

void PipelineMonitor::setBaseline(const std::optional<PipelineSnapshot> &baseline)
{
    if (m_baseline == baseline)
        return;
    m_baseline = baseline;
    emit baselineChanged();
}

QVariantList PipelineMonitor::driftItemsList() const
{
    QVariantList list;
    for (const PipelineDriftItem &drift : m_driftItems)
        list << QVariant::fromValue(drift);
    return list;
}

bool PipelineMonitor::guardEnabled() const
{
    return UserDefaults::standard().boolValue(kGuardKey).value_or(false);
}

void PipelineMonitor::disconnectTriggers()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    m_displayListDebounce.cancel();
    m_frontApplicationDebounce.cancel();
}

void PipelineMonitor::configure(DisplayEngine *engine, FontSmoothingController *fontSmoothing)
{
    m_engine = engine;
    m_fontSmoothing = fontSmoothing;
    disconnectTriggers();
    m_seenDisplays.reset();

    if (engine) {
        m_connections << connect(engine, &DisplayEngine::connectedDisplaysChanged, this,
                                 &PipelineMonitor::displayListPublished);
    }
    if (Screens *screens = platform().screens) {
        m_connections << connect(screens, &Screens::parametersChanged, this,
                                 [this] { scheduleRefresh(kScreenParametersChanged); });
    }
    if (Workspace *workspace = platform().workspace) {
        m_connections << connect(workspace, &Workspace::screensDidWake, this, [this] { scheduleRefresh(kWake); });
        m_connections << connect(workspace, &Workspace::applicationActivated, this, [this] {
            debounce(m_frontApplicationDebounce, kFrontApplicationDebounceMs, kFrontApplicationChanged);
        });
    }
    // The display list's current value arrives at once.
    if (engine)
        displayListPublished();
}

void PipelineMonitor::displayListPublished()
{
    if (!m_engine)
        return;
    // The engine publishes its list after every re-read, the monitor's own included: only
    // a list that says something new is a change, or every refresh would ask for the next.
    const QList<DisplayInfo> &displays = m_engine->connectedDisplays();
    if (m_seenDisplays && sameContent(*m_seenDisplays, displays))
        return;
    m_seenDisplays = displays;
    debounce(m_displayListDebounce, kDisplayListDebounceMs, kDisplayListChanged);
}

void PipelineMonitor::debounce(TaskHandle &task, qint64 delayMs, const QString &reason)
{
    task.cancel();
    task = scheduler().after(delayMs, this, [this, reason] { scheduleRefresh(reason); });
}

void PipelineMonitor::scheduleRefresh(const QString &reason)
{
    m_refreshTask.cancel();
    m_refreshTask = scheduler().after(kRefreshDelayMs, this, [this, reason] { refresh(reason); });
}

void PipelineMonitor::refresh(const QString &reason)
{
    ++m_refreshCount;
    m_lastRefreshReason = reason;
    if (m_engine)
        m_engine->refreshDisplays();
    if (m_fontSmoothing)
        m_fontSmoothing->refresh();

    m_currentSnapshot = captureSnapshot();
    emit currentSnapshotChanged();
    m_lastCheckedAt = scheduler().now();
    emit lastCheckedAtChanged();
    m_driftItems = driftItems(*m_currentSnapshot, m_baseline);
    emit driftItemsChanged();

    if (guardEnabled() && m_baseline && !m_driftItems.isEmpty() && reason != kRestore)
        restoreBaseline();
}

PipelineSnapshot PipelineMonitor::captureSnapshot() const
{
    const DisplayEngine &engine = m_engine ? *m_engine : DisplayEngine::shared();
    const DisplayTuning &tuning = DisplayTuning::shared();

    PipelineSnapshot snapshot;
    for (const DisplayInfo &info : engine.connectedDisplays())
        snapshot.displays << displaySnapshot(info);
    snapshot.capturedAt = scheduler().now();
    const std::optional<QString> hostName = platform().host ? platform().host->localizedHostName() : std::nullopt;
    snapshot.macName = hostName && !hostName->isEmpty() ? *hostName
                                                        : QStringLiteral("This %1").arg(machineWords().machine());
    snapshot.chipFamily = chipFamilyRawValue(engine.chipFamily());
    snapshot.pwmAvoidanceEnabled = engine.pwmAvoidanceEnabled();
    snapshot.pwmThresholdPercent = engine.pwmThresholdPercent();
    snapshot.tuningEnabled = tuning.enabled();
    snapshot.brightness = tuning.brightness();
    snapshot.warmth = tuning.warmth();
    snapshot.contrastReduction = tuning.contrastReduction();
    snapshot.softWhite = tuning.softWhite();
    snapshot.highlightCompression = tuning.highlightCompression();
    snapshot.redModeEnabled = tuning.noBlueModeEnabled();
    snapshot.redModeIntensity = tuning.noBlueModeEnabled() ? tuning.redModeIntensity() : 0;
    snapshot.fontSmoothingDisabled = m_fontSmoothing
        ? m_fontSmoothing->isDisabled()
        : UserDefaults::standard().boolForKey(FontSmoothingController::kKey);
    return snapshot;
}

QList<PipelineDriftItem> PipelineMonitor::driftItems(const PipelineSnapshot &current,
                                                     const std::optional<PipelineSnapshot> &baseline)
{
    using Severity = PipelineDriftItem::Severity;
    QList<PipelineDriftItem> items;
    if (!baseline)
        return items;
    const PipelineSnapshot &saved = *baseline;

    const auto names = [](const PipelineSnapshot &s) {
        QStringList list;
        for (const PipelineDisplaySnapshot &display : s.displays)
            list << display.name;
        return list;
    };
    if (names(current) != names(saved)) {
        items << item(Severity::important, QStringLiteral("Display setup changed"),
                      QString::number(saved.displays.size()) + QStringLiteral(" saved, ")
                          + QString::number(current.displays.size()) + QStringLiteral(" active."));
    }

    for (const PipelineDisplaySnapshot &display : current.displays) {
        const auto match = std::find_if(saved.displays.begin(), saved.displays.end(),
                                        [&](const PipelineDisplaySnapshot &s) { return s.name == display.name; });
        if (match == saved.displays.end())
            continue;
        if (display.connection != match->connection || display.resolution != match->resolution) {
            items << item(Severity::warning, display.name + QStringLiteral(" mode changed"),
                          display.connection + QStringLiteral(", ") + display.resolution);
        }
        if (display.ditheringEnabled != match->ditheringEnabled) {
            items << item(Severity::important, QStringLiteral("Dithering changed on ") + display.name,
                          onOff(display.ditheringEnabled));
        }
        if (display.uniformityEnabled != match->uniformityEnabled) {
            items << item(Severity::notice, QStringLiteral("Uniformity changed on ") + display.name,
                          onOff(display.uniformityEnabled));
        }
    }

    if (current.pwmAvoidanceEnabled != saved.pwmAvoidanceEnabled)
        items << item(Severity::notice, QStringLiteral("PWM-safe dimming changed"), onOff(current.pwmAvoidanceEnabled));

    struct Compared {
        double saved;
        double active;
        double threshold;
        const char *title;
    };
    const Compared compared[] = {
        {saved.brightness, current.brightness, 0.04, "Software brightness changed"},
        {saved.warmth, current.warmth, 0.05, "Warmth changed"},
        {saved.highlightCompression, current.highlightCompression, 0.05, "Highlight compression changed"},
        {saved.redModeIntensity, current.redModeIntensity, 0.05, "Red mode changed"},
    };
    for (const Compared &c : compared) {
        // A difference that is not a number fails the comparison: no item.
        if (std::abs(c.active - c.saved) >= c.threshold)
            items << item(Severity::notice, QLatin1String(c.title), savedAndActive(c.saved, c.active));
    }

    if (current.fontSmoothingDisabled != saved.fontSmoothingDisabled)
        items << item(Severity::notice, QStringLiteral("Font smoothing changed"), onOff(!current.fontSmoothingDisabled));
    return items;
}

void PipelineMonitor::restoreBaseline()
{
    if (!m_baseline || !m_engine)
        return;
    const PipelineSnapshot baseline = *m_baseline;
    DisplayEngine &engine = *m_engine;

    const bool dither = std::any_of(baseline.displays.begin(), baseline.displays.end(),
                                    [](const PipelineDisplaySnapshot &d) { return d.ditheringEnabled; });
    engine.setDither(dither, DisplayEngine::Target::all());
    const bool uniformity = std::any_of(baseline.displays.begin(), baseline.displays.end(),
                                        [](const PipelineDisplaySnapshot &d) { return d.uniformityEnabled; });
    engine.applyProperties({{framebuffer::kUniformity2D, RegistryValue::boolean(uniformity)}},
                           DisplayEngine::Target::all());

    // The engine hands its PWM state to the tuning on a later turn; the baseline's tuning
    // goes after it, so that one restore leaves the baseline's brightness in place.
    if (baseline.pwmAvoidanceEnabled)
        engine.enablePWMAvoidance(baseline.pwmThresholdPercent / 100);
    else
        engine.disablePWMAvoidance();

    const UserDefaults &defaults = UserDefaults::standard();
    TuningValues tuning;
    tuning.brightness = baseline.brightness;
    tuning.warmth = baseline.warmth;
    tuning.contrastReduction = baseline.contrastReduction;
    tuning.softWhite = baseline.softWhite;
    tuning.highlightCompression = baseline.highlightCompression;
    tuning.bloomGuardEnabled = defaults.boolForKey(settings::tuningBloomGuard.name());
    tuning.enabled = baseline.tuningEnabled;
    tuning.nightModeEnabled = defaults.boolForKey(settings::tuningNightMode.name());
    tuning.noBlueModeEnabled = baseline.redModeEnabled;
    tuning.redModeIntensity = baseline.redModeIntensity;
    scheduler().post(this, [tuning] { DisplayTuning::shared().applySnapshot(tuning); });

    scheduleRefresh(kRestore);
}

} // namespace qv
