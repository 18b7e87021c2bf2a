#include "platform/sim/SimServices.h"

#include "platform/sim/SimulatedMac.h"

#include <QMutexLocker>

namespace qv {

namespace {
constexpr ResultCode kNoSuchService = int(0xe00002c0); // kIOReturnNoDevice
}

// ---- registry ----

std::optional<QList<ServiceHandle>> SimRegistry::matchingServices(const QString &className)
{
    QMutexLocker lock(&m_mac.m_mutex);
    if (m_mac.m_matchingFails)
        return std::nullopt;
    QList<ServiceHandle> handles;
    if (className == QLatin1String("IOMobileFramebufferAP")) {
        for (const SimDisplay &d : m_mac.m_displays)
            if (d.hasFramebuffer)
                handles << d.service;
    }
    for (const auto &s : m_mac.m_otherServices)
        if (s.className == className)
            handles << s.handle;
    return handles;
}

std::optional<QString> SimRegistry::entryName(ServiceHandle service)
{
    QMutexLocker lock(&m_mac.m_mutex);
    if (m_mac.m_unreadableNames.value(service))
        return std::nullopt;
    for (const SimDisplay &d : m_mac.m_displays)
        if (d.hasFramebuffer && d.service == service)
            return d.entryName;
    for (const auto &s : m_mac.m_otherServices)
        if (s.handle == service)
            return s.entryName;
    return std::nullopt;
}

std::optional<quint64> SimRegistry::entryID(ServiceHandle service)
{
    QMutexLocker lock(&m_mac.m_mutex);
    for (const SimDisplay &d : m_mac.m_displays)
        if (d.hasFramebuffer && d.service == service)
            return d.registryEntryID;
    for (const auto &s : m_mac.m_otherServices)
        if (s.handle == service)
            return s.entryID;
    return std::nullopt;
}

QMap<QString, RegistryValue> SimRegistry::properties(ServiceHandle service)
{
    QMutexLocker lock(&m_mac.m_mutex);
    for (const SimDisplay &d : m_mac.m_displays)
        if (d.hasFramebuffer && d.service == service)
            return d.framebufferProperties;
    for (const auto &s : m_mac.m_otherServices)
        if (s.handle == service)
            return s.properties;
    return {};
}

RegistryValue SimRegistry::property(ServiceHandle service, const QString &key)
{
    return properties(service).value(key);
}

RegistryWrite SimRegistry::setProperty(ServiceHandle service, const QString &key, const RegistryValue &value)
{
    QMutexLocker lock(&m_mac.m_mutex);
    ++m_mac.m_registryWrites;
    if (const ResultCode code = m_mac.m_writeFailures.value(service).value(key); code != 0)
        return {code == kNoSuchService ? RegistryWrite::Result::noSuchService : RegistryWrite::Result::refused,
                errorText(code)};
    for (SimDisplay &d : m_mac.m_displays) {
        if (d.hasFramebuffer && d.service == service) {
            d.framebufferProperties.insert(key, value);
            return {};
        }
    }
    for (auto &s : m_mac.m_otherServices) {
        if (s.handle == service) {
            s.properties.insert(key, value);
            return {};
        }
    }
    return {RegistryWrite::Result::noSuchService, errorText(kNoSuchService)};
}

bool SimRegistry::framebufferProtectionsAvailable()
{
    return m_mac.framebufferProtectionsAvailable();
}

QString SimRegistry::errorText(ResultCode code)
{
    switch (quint32(code)) {
    case 0:
        return QStringLiteral("(os/kern) successful");
    case 0xe00002bc:
        return QStringLiteral("(iokit/common) general error");
    case 0xe00002c0:
        return QStringLiteral("(iokit/common) no such device");
    case 0xe00002c1:
        return QStringLiteral("(iokit/common) privilege violation");
    case 0xe00002c2:
        return QStringLiteral("(iokit/common) invalid argument");
    case 0xe00002c7:
        return QStringLiteral("(iokit/common) unsupported function");
    case 0xe00002e2:
        return QStringLiteral("(iokit/common) not permitted");
    case 0xe00002d8:
        return QStringLiteral("(iokit/common) device not open");
    default:
        return QStringLiteral("unknown error code");
    }
}

// ---- displays ----

QList<DisplayId> SimDisplays::activeDisplays()
{
    QMutexLocker lock(&m_mac.m_mutex);
    QList<DisplayId> ids;
    for (const SimDisplay &d : m_mac.m_displays)
        ids << d.id;
    return ids;
}

DisplayId SimDisplays::mainDisplay()
{
    return m_mac.mainDisplayId();
}

#define SIM_DISPLAY_FIELD(method, type, expr, fallback)          \
    type SimDisplays::method(DisplayId display)                  \
    {                                                            \
        QMutexLocker lock(&m_mac.m_mutex);                       \
        const SimDisplay *d = m_mac.findLocked(display);         \
        return d ? type(expr) : type(fallback);                  \
    }

SIM_DISPLAY_FIELD(isBuiltin, bool, d->builtIn, false)
SIM_DISPLAY_FIELD(isInMirrorSet, bool, d->mirrored, false)
SIM_DISPLAY_FIELD(vendorNumber, quint32, d->vendor, 0)
SIM_DISPLAY_FIELD(modelNumber, quint32, d->model, 0)
SIM_DISPLAY_FIELD(serialNumber, quint32, d->serial, 0)
SIM_DISPLAY_FIELD(pixelsWide, int, d->pixelsWide, 0)
SIM_DISPLAY_FIELD(pixelsHigh, int, d->pixelsHigh, 0)
SIM_DISPLAY_FIELD(formerDisplayId, std::optional<DisplayId>, d->formerId, std::nullopt)
SIM_DISPLAY_FIELD(loneDisplayId, std::optional<DisplayId>, d->loneId, std::nullopt)
SIM_DISPLAY_FIELD(previousDisplayId, std::optional<DisplayId>, d->previousId, std::nullopt)
SIM_DISPLAY_FIELD(twinDisplayId, std::optional<DisplayId>, d->twinId, std::nullopt)
#undef SIM_DISPLAY_FIELD

std::optional<DisplayMode> SimDisplays::currentMode(DisplayId display)
{
    QMutexLocker lock(&m_mac.m_mutex);
    const SimDisplay *d = m_mac.findLocked(display);
    if (!d || d->currentMode < 0 || d->currentMode >= d->modes.size())
        return std::nullopt;
    return d->modes.at(d->currentMode);
}

QList<DisplayMode> SimDisplays::allModes(DisplayId display, bool includeDuplicateLowResolution)
{
    QMutexLocker lock(&m_mac.m_mutex);
    const SimDisplay *d = m_mac.findLocked(display);
    if (!d)
        return {};
    if (includeDuplicateLowResolution)
        return d->modes;
    // Without the option, a low-resolution duplicate (same point size as a HiDPI mode) is hidden.
    QList<DisplayMode> modes;
    for (const DisplayMode &m : d->modes) {
        const bool lowResDuplicate = m.pixelWidth == m.width && std::any_of(d->modes.begin(), d->modes.end(), [&](const DisplayMode &o) {
            return o.width == m.width && o.height == m.height && o.pixelWidth > o.width;
        });
        if (!lowResDuplicate)
            modes << m;
    }
    return modes;
}

DisplayResult SimDisplays::setTransferFormula(DisplayId display, const TransferFormula &formula)
{
    QMutexLocker lock(&m_mac.m_mutex);
    ++m_mac.m_formulaCalls;
    // Core Graphics answers with an error code; its callers log the code.
    const auto failure = [](DisplayResult::Status status, ResultCode code) {
        return DisplayResult{status, QStringLiteral("Core Graphics error %1").arg(code), code};
    };
    if (const ResultCode code = m_mac.m_formulaFailures.value(display); code != 0)
        return failure(DisplayResult::Status::refused, code);
    SimDisplay *d = m_mac.findLocked(display);
    if (!d)
        return failure(DisplayResult::Status::noDisplay, 1001); // kCGErrorIllegalArgument
    d->formula = formula;
    return {};
}

bool SimDisplays::takesTransferFormula(DisplayId display)
{
    QMutexLocker lock(&m_mac.m_mutex);
    return m_mac.m_formulaFailures.value(display) == 0 && m_mac.findLocked(display);
}

void SimDisplays::restoreColorSyncSettings()
{
    QMutexLocker lock(&m_mac.m_mutex);
    ++m_mac.m_restoreCalls;
    for (SimDisplay &d : m_mac.m_displays)
        d.formula.reset();
}

int SimDisplays::registerReconfigurationCallback(ReconfigurationCallback callback)
{
    QMutexLocker lock(&m_mac.m_mutex);
    const int token = m_mac.m_nextCallbackToken++;
    m_mac.m_callbacks.insert(token, std::move(callback));
    return token;
}

void SimDisplays::removeReconfigurationCallback(int token)
{
    QMutexLocker lock(&m_mac.m_mutex);
    m_mac.m_callbacks.remove(token);
}

// ---- screens ----

QList<ScreenInfo> SimScreens::screens()
{
    QMutexLocker lock(&m_mac.m_mutex);
    QList<ScreenInfo> list;
    // The main display's screen comes first, as the system lists them.
    QList<const SimDisplay *> ordered;
    for (const SimDisplay &d : m_mac.m_displays)
        if (d.hasScreen && d.id == m_mac.m_main)
            ordered << &d;
    for (const SimDisplay &d : m_mac.m_displays)
        if (d.hasScreen && d.id != m_mac.m_main)
            ordered << &d;
    for (const SimDisplay *d : ordered) {
        ScreenInfo s;
        if (d->hasScreenNumber)
            s.displayNumber = d->id;
        s.localizedName = d->name;
        s.frame = d->frame;
        s.visibleFrame = d->frame.adjusted(0, d->id == m_mac.m_main ? 24 : 0, 0, 0);
        s.backingScaleFactor = d->backingScale;
        list << s;
    }
    return list;
}

// ---- host ----

std::optional<QString> SimHost::processorBrandString()
{
    return m_mac.processorBrand();
}

std::optional<QString> SimHost::localizedHostName()
{
    return m_mac.hostName();
}

// ---- processes ----

ProcessResult SimProcesses::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    SimulatedMac::ProcessHandler handler;
    {
        QMutexLocker lock(&m_mac.m_mutex);
        m_mac.m_processRuns[program] += 1;
        handler = m_mac.m_processHandlers.value(program);
    }
    if (handler)
        return handler(arguments);
    ProcessResult result;
    if (program == QLatin1String("/usr/sbin/system_profiler") && arguments == QStringList{"SPDisplaysDataType", "-json"}) {
        result.started = true;
        result.exitCode = 0;
        result.standardOutput = m_mac.profilerOutput();
        return result;
    }
    if (program == QLatin1String("/usr/bin/defaults"))
        return m_mac.defaultsCommand(arguments);
    result.errorText = QStringLiteral("%1: no such program on this machine").arg(program);
    return result;
}

} // namespace qv
