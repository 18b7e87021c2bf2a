#include "platform/sim/SimulatedMac.h"

#include "runtime/Files.h"

#include "platform/sim/DefaultsFontSmoothing.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimFramebuffer.h"
#include "platform/sim/SimHotKeys.h"
#include "platform/sim/SimPanels.h"
#include "platform/sim/SimIdle.h"
#include "platform/sim/SimAppearance.h"
#include "platform/sim/SimCamera.h"
#include "platform/sim/SimCameraScript.h"
#include "platform/sim/SimFaceLandmarks.h"
#include "platform/sim/SimKeyMonitors.h"
#include "platform/sim/SimNotifications.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimServices.h"
#include "platform/sim/SimWorkspace.h"

#include "runtime/Files.h"
#include "runtime/Logging.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

#include <cmath>

namespace qv {

namespace {
const Logger &simLog()
{
    static const Logger logger("SimulatedMac");
    return logger;
}
} // namespace

SimulatedMac::SimulatedMac()
    : m_brand(QStringLiteral("Apple M3 Pro")),
      m_hostName(QStringLiteral("Quellvista Mac")),
      m_registry(std::make_unique<SimRegistry>(*this)),
      m_displaysService(std::make_unique<SimDisplays>(*this)),
      m_screens(std::make_unique<SimScreens>(*this)),
      m_host(std::make_unique<SimHost>(*this)),
      m_processes(std::make_unique<SimProcesses>(*this)),
      m_displayProfiler(std::make_unique<SimDisplayProfiler>(*m_processes)),
      m_workspace(std::make_unique<SimWorkspace>()),
      m_panels(std::make_unique<SimPanels>()),
      m_idle(std::make_unique<SimIdle>(*this)),
      m_appearance(std::make_unique<SimAppearance>(*this)),
      m_keyMonitors(std::make_unique<SimKeyMonitors>()),
      m_notifications(std::make_unique<SimNotifications>()),
      m_powerSources(RegistryValue::array({SimPower::batteryDescription(
          QString::fromLatin1(SimPower::acPowerValue), 100, 100)})),
      m_power(std::make_unique<SimPower>(*this)),
      m_loginItem(std::make_unique<SimLoginItem>()),
      m_hotKeys(std::make_unique<SimHotKeys>()),
      m_bundle(std::make_unique<SimBundle>()),
      m_updater(std::make_unique<SimUpdater>()),
      m_camera(std::make_unique<SimCamera>()),
      m_faceLandmarks(std::make_unique<SimFaceLandmarks>()),
      m_fontSmoothing(std::make_unique<DefaultsFontSmoothing>(m_processes.get()))
{
}

SimulatedMac::~SimulatedMac()
{
    if (simulatedMac() == this)
        installSimulatedMac(nullptr);
}

std::unique_ptr<SimulatedMac> SimulatedMac::empty()
{
    return std::make_unique<SimulatedMac>();
}

PlatformServices SimulatedMac::services()
{
    PlatformServices s;
    s.registry = m_registry.get();
    s.displays = m_displaysService.get();
    s.screens = m_screens.get();
    s.host = m_host.get();
    s.processes = m_processes.get();
    s.displayProfiler = m_displayProfiler.get();
    s.workspace = m_workspace.get();
    s.panels = m_panels.get();
    s.idle = m_idle.get();
    s.appearance = m_appearance.get();
    s.keyMonitors = m_keyMonitors.get();
    s.notifications = m_notifications.get();
    s.power = m_power.get();
    s.loginItem = m_loginItem.get();
    s.hotKeys = m_hotKeys.get();
    s.bundle = m_bundle.get();
    s.updater = m_updater.get();
    s.camera = m_camera.get();
    s.faceLandmarks = m_faceLandmarks.get();
    s.fontSmoothing = m_fontSmoothing.get();
    static SimMachineWords words;
    s.words = &words;
    return s;
}

// ---- displays ----

SimDisplay *SimulatedMac::findLocked(DisplayId id)
{
    for (SimDisplay &d : m_displays)
        if (d.id == id)
            return &d;
    return nullptr;
}

const SimDisplay *SimulatedMac::findLocked(DisplayId id) const
{
    for (const SimDisplay &d : m_displays)
        if (d.id == id)
            return &d;
    return nullptr;
}

QList<SimDisplay> SimulatedMac::displays() const
{
    QMutexLocker lock(&m_mutex);
    return m_displays;
}

std::optional<SimDisplay> SimulatedMac::display(DisplayId id) const
{
    QMutexLocker lock(&m_mutex);
    if (const SimDisplay *d = findLocked(id))
        return *d;
    return std::nullopt;
}

void SimulatedMac::assignServiceLocked(SimDisplay &display)
{
    if (!display.hasFramebuffer)
        return;
    if (display.service == 0)
        display.service = m_nextService++;
    else
        m_nextService = std::max(m_nextService, display.service + 1);
    if (display.entryName.isEmpty()) {
        int index = 0;
        for (const SimDisplay &d : m_displays)
            if (d.hasFramebuffer && d.id != display.id)
                ++index;
        display.entryName = display.builtIn ? QStringLiteral("disp0") : QStringLiteral("dispext%1").arg(index);
    }
    if (display.registryEntryID == 0)
        display.registryEntryID = m_nextEntryID++;
    else
        m_nextEntryID = std::max(m_nextEntryID, display.registryEntryID + 1);
    addFramebufferProperties(display);
}

void SimulatedMac::addDisplay(SimDisplay display)
{
    {
        QMutexLocker lock(&m_mutex);
        if (findLocked(display.id))
            return;
        assignServiceLocked(display);
        m_displays << display;
        if (m_main == 0)
            m_main = display.id;
    }
    fireReconfiguration(display.id, kDisplayAddFlag | kDisplayEnabledFlag);
    notifyScreenParametersChanged();
}

void SimulatedMac::removeDisplay(DisplayId id)
{
    {
        QMutexLocker lock(&m_mutex);
        const auto before = m_displays.size();
        m_displays.removeIf([id](const SimDisplay &d) { return d.id == id; });
        if (m_displays.size() == before)
            return;
        if (m_main == id)
            m_main = m_displays.isEmpty() ? 0 : m_displays.first().id;
    }
    fireReconfiguration(id, kDisplayRemoveFlag | kDisplayDisabledFlag);
    notifyScreenParametersChanged();
}

void SimulatedMac::updateDisplay(DisplayId id, const std::function<void(SimDisplay &)> &change, quint32 flags)
{
    {
        QMutexLocker lock(&m_mutex);
        SimDisplay *d = findLocked(id);
        if (!d)
            return;
        change(*d);
    }
    fireReconfiguration(id, flags);
    notifyScreenParametersChanged();
}

DisplayId SimulatedMac::mainDisplayId() const
{
    QMutexLocker lock(&m_mutex);
    return m_main;
}

void SimulatedMac::setMainDisplay(DisplayId id)
{
    {
        QMutexLocker lock(&m_mutex);
        m_main = id;
    }
    fireReconfiguration(id, kDisplaySetMainFlag);
    notifyScreenParametersChanged();
}

void SimulatedMac::fireReconfiguration(DisplayId id, quint32 flags)
{
    QList<Displays::ReconfigurationCallback> callbacks;
    {
        QMutexLocker lock(&m_mutex);
        callbacks = m_callbacks.values();
    }
    for (const auto &callback : callbacks)
        callback(id, flags);
}

void SimulatedMac::notifyScreenParametersChanged()
{
    emit m_screens->parametersChanged();
}

void SimulatedMac::layOverScreens(const QList<QRectF> &realFrames)
{
    {
        QMutexLocker lock(&m_mutex);
        qreal right = 0;
        for (const QRectF &f : realFrames)
            right = std::max(right, f.right());
        int index = 0;
        for (SimDisplay &d : m_displays) {
            if (!d.hasScreen)
                continue;
            if (index < realFrames.size()) {
                d.frame = realFrames.at(index);
            } else {
                d.frame.moveTo(right, 0);
                right = d.frame.right();
            }
            ++index;
        }
    }
    notifyScreenParametersChanged();
}

// ---- formulas ----

std::optional<TransferFormula> SimulatedMac::formula(DisplayId id) const
{
    QMutexLocker lock(&m_mutex);
    const SimDisplay *d = findLocked(id);
    return d ? d->formula : std::nullopt;
}

int SimulatedMac::formulaCallCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_formulaCalls;
}

int SimulatedMac::restoreCallCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_restoreCalls;
}

void SimulatedMac::failFormula(DisplayId id, ResultCode code)
{
    QMutexLocker lock(&m_mutex);
    if (code == 0)
        m_formulaFailures.remove(id);
    else
        m_formulaFailures.insert(id, code);
}

// ---- registry ----

ServiceHandle SimulatedMac::addRegistryService(const QString &className, const QString &entryName,
                                               const QMap<QString, RegistryValue> &properties)
{
    QMutexLocker lock(&m_mutex);
    const ServiceHandle handle = m_nextService++;
    m_otherServices.push_back({handle, m_nextEntryID++, className, entryName, properties});
    return handle;
}

void SimulatedMac::setRegistryServiceProperty(ServiceHandle service, const QString &key, const RegistryValue &value)
{
    QMutexLocker lock(&m_mutex);
    for (RegistryService &entry : m_otherServices) {
        if (entry.handle == service)
            entry.properties.insert(key, value);
    }
}

ServiceHandle SimulatedMac::setAmbientLightReading(const RegistryValue &value, const QString &property)
{
    if (!m_ambientSensor)
        m_ambientSensor = addRegistryService(QStringLiteral("AppleSPUVD6286"), QStringLiteral("AppleSPUVD6286"), {});
    setRegistryServiceProperty(*m_ambientSensor, property, value);
    return *m_ambientSensor;
}

void SimulatedMac::setFramebufferProperty(DisplayId id, const QString &key, const RegistryValue &value)
{
    QMutexLocker lock(&m_mutex);
    if (SimDisplay *d = findLocked(id))
        d->framebufferProperties.insert(key, value);
}

void SimulatedMac::removeFramebufferProperty(DisplayId id, const QString &key)
{
    QMutexLocker lock(&m_mutex);
    if (SimDisplay *d = findLocked(id))
        d->framebufferProperties.remove(key);
}

RegistryValue SimulatedMac::framebufferProperty(DisplayId id, const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const SimDisplay *d = findLocked(id);
    return d ? d->framebufferProperties.value(key) : RegistryValue();
}

void SimulatedMac::failRegistryWrite(ServiceHandle service, const QString &key, ResultCode code)
{
    QMutexLocker lock(&m_mutex);
    if (code == 0)
        m_writeFailures[service].remove(key);
    else
        m_writeFailures[service].insert(key, code);
}

void SimulatedMac::setFramebufferProtectionsAvailable(bool available)
{
    QMutexLocker lock(&m_mutex);
    m_framebufferProtectionsAvailable = available;
}

bool SimulatedMac::framebufferProtectionsAvailable() const
{
    QMutexLocker lock(&m_mutex);
    return m_framebufferProtectionsAvailable;
}

void SimulatedMac::setMatchingFails(bool fails)
{
    QMutexLocker lock(&m_mutex);
    m_matchingFails = fails;
}

void SimulatedMac::setEntryNameUnreadable(ServiceHandle service, bool unreadable)
{
    QMutexLocker lock(&m_mutex);
    m_unreadableNames.insert(service, unreadable);
}

int SimulatedMac::registryWriteCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_registryWrites;
}

// ---- host ----

std::optional<QString> SimulatedMac::processorBrand() const
{
    QMutexLocker lock(&m_mutex);
    return m_brand;
}

void SimulatedMac::setProcessorBrand(std::optional<QString> brand)
{
    QMutexLocker lock(&m_mutex);
    m_brand = std::move(brand);
}

std::optional<QString> SimulatedMac::hostName() const
{
    QMutexLocker lock(&m_mutex);
    return m_hostName;
}

void SimulatedMac::setHostName(std::optional<QString> name)
{
    QMutexLocker lock(&m_mutex);
    m_hostName = std::move(name);
}

// ---- processes ----

void SimulatedMac::setProcessHandler(const QString &program, ProcessHandler handler)
{
    QMutexLocker lock(&m_mutex);
    if (handler)
        m_processHandlers.insert(program, std::move(handler));
    else
        m_processHandlers.remove(program);
}

int SimulatedMac::processRunCount(const QString &program) const
{
    QMutexLocker lock(&m_mutex);
    return m_processRuns.value(program);
}

std::optional<QString> SimulatedMac::globalDefault(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_globalDefaults.constFind(key);
    if (it == m_globalDefaults.constEnd())
        return std::nullopt;
    return *it;
}

void SimulatedMac::setGlobalDefault(const QString &key, std::optional<QString> printed)
{
    QMutexLocker lock(&m_mutex);
    if (printed)
        m_globalDefaults.insert(key, *printed);
    else
        m_globalDefaults.remove(key);
    // Written under the lock, so that two changes reach the file in their order.
    saveGlobalDefaults();
}

void SimulatedMac::keepGlobalDefaultsIn(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_globalDefaultsPath = path;
    m_globalDefaultsUnreadable = false;
    const files::StoredFile stored = files::readStoredFile(path);
    if (stored.state == files::StoredFile::State::absent)
        return;
    QString fault = stored.error;
    QHash<QString, QString> values;
    if (stored.state == files::StoredFile::State::read) {
        const QJsonDocument doc = QJsonDocument::fromJson(stored.bytes);
        if (!doc.isObject())
            fault = QStringLiteral("not a JSON object");
        const QJsonObject o = doc.object();
        for (auto it = o.begin(); fault.isEmpty() && it != o.end(); ++it) {
            if (!it.value().isString())
                fault = QStringLiteral("the value of \"%1\" is not text").arg(it.key());
            values.insert(it.key(), it.value().toString());
        }
    }
    if (!fault.isEmpty()) {
        // Kept as it is: the values stay in memory for this run and the file is not replaced.
        m_globalDefaultsUnreadable = true;
        simLog().error("Could not read the global defaults %s: %s; changes are not kept",
                       qUtf8Printable(path), qUtf8Printable(fault));
        return;
    }
    m_globalDefaults = values;
}

void SimulatedMac::saveGlobalDefaults()
{
    if (m_globalDefaultsPath.isEmpty() || m_globalDefaultsUnreadable)
        return;
    QJsonObject o;
    for (auto it = m_globalDefaults.cbegin(); it != m_globalDefaults.cend(); ++it)
        o.insert(it.key(), it.value());
    QString error;
    if (!files::writeAtomically(m_globalDefaultsPath, QJsonDocument(o).toJson(QJsonDocument::Compact), &error))
        simLog().error("Could not save the global defaults %s: %s", qUtf8Printable(m_globalDefaultsPath),
                       qUtf8Printable(error));
}

namespace {

ProcessResult defaultsAnswer(int exitCode, const QString &out, const QString &err = {})
{
    ProcessResult result;
    result.started = true;
    result.exitCode = exitCode;
    result.standardOutput = out.toUtf8();
    result.standardError = err.toUtf8();
    return result;
}

// The value "defaults write" stores for a type flag and its argument, as "defaults read"
// prints it; nothing when the argument does not fit the type.
std::optional<QString> printedDefault(const QString &type, const QString &value)
{
    if (type == QLatin1String("-bool") || type == QLatin1String("-boolean")) {
        const QString v = value.toLower();
        if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("1"))
            return QStringLiteral("1");
        if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("0"))
            return QStringLiteral("0");
        return std::nullopt;
    }
    bool ok = false;
    if (type == QLatin1String("-int") || type == QLatin1String("-integer")) {
        const qlonglong n = value.toLongLong(&ok);
        return ok ? std::optional<QString>(QString::number(n)) : std::nullopt;
    }
    if (type == QLatin1String("-float")) {
        const double n = value.toDouble(&ok);
        return ok ? std::optional<QString>(QString::number(n)) : std::nullopt;
    }
    if (type == QLatin1String("-string"))
        return value;
    return std::nullopt;
}

} // namespace

ProcessResult SimulatedMac::defaultsCommand(const QStringList &arguments)
{
    const QString usage = QStringLiteral("Command line interface to a user's defaults.\n");
    if (arguments.size() < 3 || arguments.at(1) != QLatin1String("-g"))
        return defaultsAnswer(1, {}, usage);
    const QString &verb = arguments.at(0);
    const QString &key = arguments.at(2);
    if (verb == QLatin1String("read") && arguments.size() == 3) {
        if (const std::optional<QString> value = globalDefault(key))
            return defaultsAnswer(0, *value + QLatin1Char('\n'));
        return defaultsAnswer(
            1, {}, QStringLiteral("\nThe domain/default pair of (kCFPreferencesAnyApplication, %1) does not exist\n").arg(key));
    }
    if (verb == QLatin1String("write") && (arguments.size() == 4 || arguments.size() == 5)) {
        const std::optional<QString> printed = arguments.size() == 4
                                                   ? std::optional<QString>(arguments.at(3))
                                                   : printedDefault(arguments.at(3), arguments.at(4));
        if (!printed)
            return defaultsAnswer(1, {}, usage);
        setGlobalDefault(key, printed);
        return defaultsAnswer(0, {});
    }
    return defaultsAnswer(1, {}, usage);
}

QByteArray SimulatedMac::profilerOutput() const
{
    QMutexLocker lock(&m_mutex);
    QJsonArray drivers;
    for (const SimDisplay &d : m_displays) {
        if (!d.inProfiler)
            continue;
        QJsonObject e;
        e["_name"] = d.profilerName.isEmpty() ? d.name : d.profilerName;
        e["_spdisplays_displayID"] = QString::number(d.id);
        if (d.vendor)
            e["_spdisplays_display-vendor-id"] = QString::number(d.vendor, 16);
        if (d.model)
            e["_spdisplays_display-product-id"] = QString::number(d.model, 16);
        if (d.serial)
            e["_spdisplays_display-serial-number"] = QString::number(d.serial, 16);
        const QSize panel = d.panelPixels.isEmpty() ? QSize(d.pixelsWide, d.pixelsHigh) : d.panelPixels;
        if (panel.width() > 0 && panel.height() > 0)
            e["_spdisplays_pixels"] = QStringLiteral("%1 x %2").arg(panel.width()).arg(panel.height());
        if (d.currentMode >= 0 && d.currentMode < d.modes.size()) {
            const DisplayMode &m = d.modes.at(d.currentMode);
            e["_spdisplays_resolution"] =
                QStringLiteral("%1 x %2 @ %3Hz").arg(m.width).arg(m.height).arg(m.refreshRate, 0, 'f', 2);
        }
        if (!d.connectionType.isEmpty())
            e["spdisplays_connection_type"] = d.connectionType;
        if (!d.displayType.isEmpty())
            e["spdisplays_display_type"] = d.displayType;
        e["spdisplays_main"] = d.id == m_main ? "spdisplays_yes" : "spdisplays_no";
        e["spdisplays_mirror"] = d.mirrored ? "spdisplays_on" : "spdisplays_off";
        e["spdisplays_online"] = "spdisplays_yes";
        if (d.isVirtual)
            e["spdisplays_virtualdevice"] = "spdisplays_yes";
        if (panel.width() > 0 && panel.height() > 0)
            e["spdisplays_pixelresolution"] =
                QStringLiteral("spdisplays_%1x%2%3").arg(panel.width()).arg(panel.height()).arg(d.backingScale > 1 ? "Retina" : "");
        drivers.append(e);
    }
    QJsonObject gpu;
    const QString chip = m_brand.value_or(QStringLiteral("Apple GPU"));
    gpu["_name"] = chip;
    gpu["sppci_model"] = chip;
    gpu["sppci_device_type"] = "spdisplays_gpu";
    gpu["spdisplays_mtlgpufamilysupport"] = "spdisplays_metal3";
    if (!drivers.isEmpty())
        gpu["spdisplays_ndrvs"] = drivers;
    QJsonObject root;
    root["SPDisplaysDataType"] = QJsonArray{gpu};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// ---- machine descriptions ----

// What a description may change while the machine runs; each is absent when not described.
struct MachineConditions {
    std::optional<std::optional<RegistryValue>> powerSources; // inner nothing: no battery
    std::optional<ThermalState> thermalState;
    std::optional<double> ambientLux;
    // The front application: inner nothing for none.
    std::optional<std::optional<std::pair<std::optional<QString>, std::optional<QString>>>> frontApplication;
    std::optional<double> idleSeconds;
};


namespace {
bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool readUInt(const QJsonObject &o, const QString &key, quint32 &out, QString *error, const QString &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return true;
    if (v.isDouble() && v.toDouble() >= 0 && v.toDouble() <= 4294967295.0 && v.toDouble() == double(qint64(v.toDouble()))) {
        out = quint32(v.toDouble());
        return true;
    }
    if (v.isString()) {
        bool ok = false;
        const uint n = v.toString().toUInt(&ok, 0);
        if (ok) {
            out = n;
            return true;
        }
    }
    return fail(error, QStringLiteral("%1: \"%2\" must be a whole number from 0 to 4294967295").arg(where, key));
}

// A key the description does not know is a fault (a misspelt key would otherwise leave the
// machine as it was, with nothing said).
bool onlyKnownKeys(const QJsonObject &o, std::initializer_list<const char *> known, const QString &where,
                   QString *error)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool found = false;
        for (const char *key : known)
            found = found || it.key() == QLatin1String(key);
        if (!found)
            return fail(error, QStringLiteral("%1: unknown key \"%2\"").arg(where, it.key()));
    }
    return true;
}

// Limits of a described display: sizes in pixels and points, and where a screen may lie.
constexpr int kMaxSize = 32767;
constexpr double kMaxCoordinate = 1'000'000;
constexpr double kMinScale = 1;
constexpr double kMaxScale = 4;

// A whole JSON number within [low, high].
bool isWholeIn(const QJsonValue &v, double low, double high)
{
    return v.isDouble() && v.toDouble() >= low && v.toDouble() <= high && v.toDouble() == std::trunc(v.toDouble());
}

// A JSON number within [low, high] (never infinite nor NaN).
bool isNumberIn(const QJsonValue &v, double low, double high)
{
    return v.isDouble() && v.toDouble() >= low && v.toDouble() <= high;
}

bool readMode(const QJsonValue &value, const QString &where, DisplayMode &mode, QString *error)
{
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 must be an object").arg(where));
    const QJsonObject mo = value.toObject();
    if (!onlyKnownKeys(mo, {"width", "height", "pixelWidth", "pixelHeight", "refreshRate", "ioFlags"}, where, error))
        return false;
    if (!isWholeIn(mo.value("width"), 1, kMaxSize) || !isWholeIn(mo.value("height"), 1, kMaxSize))
        return fail(error, QStringLiteral("%1: width and height must be whole numbers from 1 to %2").arg(where).arg(kMaxSize));
    mode.width = mo.value("width").toInt();
    mode.height = mo.value("height").toInt();
    for (const char *key : {"pixelWidth", "pixelHeight"})
        if (mo.contains(key) && !isWholeIn(mo.value(key), 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"%2\" must be a whole number from 1 to %3").arg(where, key).arg(kMaxSize));
    mode.pixelWidth = mo.value("pixelWidth").toInt(mode.width);
    mode.pixelHeight = mo.value("pixelHeight").toInt(mode.height);
    if (mo.contains("refreshRate") && !isNumberIn(mo.value("refreshRate"), 0, kMaxRefreshRate))
        return fail(error, QStringLiteral("%1: \"refreshRate\" must be a number from 0 to %2").arg(where).arg(kMaxRefreshRate));
    mode.refreshRate = mo.value("refreshRate").toDouble(60);
    return readUInt(mo, "ioFlags", mode.ioFlags, error, where);
}

// A registry value from JSON: true/false, numbers, text, lists and objects as themselves;
// {"$data": "<base64>"} for data. Null has no registry type.
bool readRegistryValue(const QJsonValue &value, const QString &where, RegistryValue &out, QString *error)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        out = RegistryValue::boolean(value.toBool());
        return true;
    case QJsonValue::Double:
        out = RegistryValue::number(value.toDouble());
        return true;
    case QJsonValue::String:
        out = RegistryValue::string(value.toString());
        return true;
    case QJsonValue::Array: {
        QList<RegistryValue> items;
        int i = 0;
        for (const QJsonValue &item : value.toArray()) {
            RegistryValue v;
            if (!readRegistryValue(item, QStringLiteral("%1[%2]").arg(where).arg(i++), v, error))
                return false;
            items << v;
        }
        out = RegistryValue::array(items);
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject o = value.toObject();
        if (o.size() == 1 && o.contains("$data")) {
            const auto decoded = QByteArray::fromBase64Encoding(o.value("$data").toString().toLatin1(),
                                                                QByteArray::AbortOnBase64DecodingErrors);
            if (!o.value("$data").isString() || !decoded)
                return fail(error, QStringLiteral("%1: \"$data\" must be base64 text").arg(where));
            out = RegistryValue::data(*decoded);
            return true;
        }
        QMap<QString, RegistryValue> entries;
        for (auto it = o.begin(); it != o.end(); ++it) {
            RegistryValue v;
            if (!readRegistryValue(it.value(), QStringLiteral("%1.%2").arg(where, it.key()), v, error))
                return false;
            entries.insert(it.key(), v);
        }
        out = RegistryValue::dictionary(entries);
        return true;
    }
    default:
        return fail(error, QStringLiteral("%1: null and missing values have no registry type").arg(where));
    }
}

bool readDisplay(const QJsonValue &value, int index, SimDisplay &d, QString *error)
{
    const QString where = QStringLiteral("displays[%1]").arg(index);
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 must be an object").arg(where));
    const QJsonObject o = value.toObject();
    if (!onlyKnownKeys(o,
                       {"id", "name", "builtIn", "mirrored", "virtual", "vendor", "model", "serial", "pixels", "scale",
                        "modes", "currentMode", "frame", "screen", "inProfiler", "profilerName", "connection",
                        "displayType", "framebuffer", "miniLED", "framebufferProperties"},
                       where, error))
        return false;
    quint32 id = 0;
    if (!readUInt(o, "id", id, error, where))
        return false;
    if (id == 0)
        return fail(error, QStringLiteral("%1: \"id\" is required and must not be 0").arg(where));
    d.id = id;
    if (!o.value("name").isString())
        return fail(error, QStringLiteral("%1: \"name\" is required and must be text").arg(where));
    d.name = o.value("name").toString();
    d.builtIn = o.value("builtIn").toBool(false);
    d.mirrored = o.value("mirrored").toBool(false);
    d.isVirtual = o.value("virtual").toBool(false);
    if (!readUInt(o, "vendor", d.vendor, error, where) || !readUInt(o, "model", d.model, error, where) ||
        !readUInt(o, "serial", d.serial, error, where))
        return false;
    if (o.contains("pixels")) {
        const QJsonArray pixels = o.value("pixels").toArray();
        if (pixels.size() != 2 || !isWholeIn(pixels[0], 1, kMaxSize) || !isWholeIn(pixels[1], 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"pixels\" must be [width, height], whole numbers from 1 to %2")
                                   .arg(where).arg(kMaxSize));
        d.pixelsWide = pixels[0].toInt();
        d.pixelsHigh = pixels[1].toInt();
    }
    if (o.contains("scale") && !isNumberIn(o.value("scale"), kMinScale, kMaxScale))
        return fail(error, QStringLiteral("%1: \"scale\" must be a number from %2 to %3").arg(where).arg(kMinScale).arg(kMaxScale));
    d.backingScale = o.value("scale").toDouble(2.0);
    const QJsonValue modes = o.value("modes");
    if (!modes.isUndefined() && !modes.isArray())
        return fail(error, QStringLiteral("%1: \"modes\" must be a list").arg(where));
    int m = 0;
    for (const QJsonValue &mv : modes.toArray()) {
        DisplayMode mode;
        if (!readMode(mv, QStringLiteral("%1.modes[%2]").arg(where).arg(m), mode, error))
            return false;
        d.modes << mode;
        ++m;
    }
    const QJsonValue currentMode = o.value("currentMode");
    if (!currentMode.isUndefined() && !isWholeIn(currentMode, -1, double(d.modes.size()) - 1))
        return fail(error, QStringLiteral("%1: \"currentMode\" is not one of its modes (nor -1 for none)").arg(where));
    d.currentMode = currentMode.toInt(d.modes.isEmpty() ? -1 : 0);
    // "pixels" is the panel's resolution; the system gives a display's size as its current
    // mode's size in points.
    if (d.currentMode >= 0) {
        const DisplayMode &current = d.modes[d.currentMode];
        d.panelPixels = o.contains("pixels") ? QSize(d.pixelsWide, d.pixelsHigh)
                                             : QSize(current.pixelWidth, current.pixelHeight);
        d.pixelsWide = d.modes[d.currentMode].width;
        d.pixelsHigh = d.modes[d.currentMode].height;
    }
    if (o.contains("frame")) {
        const QJsonArray f = o.value("frame").toArray();
        if (f.size() != 4 || !isNumberIn(f[0], -kMaxCoordinate, kMaxCoordinate) ||
            !isNumberIn(f[1], -kMaxCoordinate, kMaxCoordinate) || !isNumberIn(f[2], 1, kMaxSize) ||
            !isNumberIn(f[3], 1, kMaxSize))
            return fail(error, QStringLiteral("%1: \"frame\" must be [x, y, width, height], x and y from %2 to %3, "
                                              "width and height from 1 to %4")
                                   .arg(where).arg(-kMaxCoordinate, 0, 'f', 0).arg(kMaxCoordinate, 0, 'f', 0).arg(kMaxSize));
        d.frame = QRectF(f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble());
    } else if (d.currentMode >= 0) {
        d.frame = QRectF(0, 0, d.modes[d.currentMode].width, d.modes[d.currentMode].height);
    }
    d.hasScreen = o.value("screen").toBool(true);
    d.inProfiler = o.value("inProfiler").toBool(true);
    d.profilerName = o.value("profilerName").toString();
    d.connectionType = o.value("connection").toString(d.builtIn ? "spdisplays_internal" : "");
    d.displayType = o.value("displayType").toString();
    d.hasFramebuffer = o.value("framebuffer").toBool(!d.isVirtual);
    if (d.builtIn && o.value("miniLED").toBool(false))
        d.framebufferProperties.insert("uniformity2D", RegistryValue::boolean(true));
    // Properties of the framebuffer beyond (or in place of) the ones every framebuffer gets.
    const QJsonValue properties = o.value("framebufferProperties");
    if (!properties.isUndefined() && !properties.isObject())
        return fail(error, QStringLiteral("%1: \"framebufferProperties\" must be an object").arg(where));
    const QJsonObject props = properties.toObject();
    for (auto it = props.begin(); it != props.end(); ++it) {
        RegistryValue v;
        if (!readRegistryValue(it.value(), QStringLiteral("%1.framebufferProperties.%2").arg(where, it.key()), v, error))
            return false;
        d.framebufferProperties.insert(it.key(), v);
    }
    return true;
}
constexpr const char *kConditionKeys[] = {"battery", "thermalState", "ambientLight", "frontApplication", "idleSeconds"};
constexpr double kMaxLux = 1'000'000;
constexpr double kMaxIdleSeconds = 1e9;

bool readConditions(const QJsonObject &root, MachineConditions &c, QString *error)
{
    if (root.contains("battery")) {
        const QJsonValue v = root.value("battery");
        if (v.isNull()) {
            c.powerSources = std::optional<RegistryValue>(RegistryValue::array({}));
        } else {
            const QJsonObject b = v.toObject();
            if (!v.isObject() || !onlyKnownKeys(b, {"onBattery", "current", "max"}, QStringLiteral("battery"), error))
                return v.isObject() ? false
                                    : fail(error, QStringLiteral("\"battery\" must be an object (or null for none)"));
            if (!b.value("onBattery").isBool())
                return fail(error, QStringLiteral("battery: \"onBattery\" is required and must be true or false"));
            if (!isWholeIn(b.value("current"), 0, 1e9) || !isWholeIn(b.value("max"), 1, 1e9))
                return fail(error, QStringLiteral("battery: \"current\" and \"max\" must be whole numbers from 0 and "
                                                  "from 1 to 1000000000"));
            const QString state = QString::fromLatin1(b.value("onBattery").toBool() ? SimPower::batteryPowerValue
                                                                                    : SimPower::acPowerValue);
            c.powerSources = std::optional<RegistryValue>(RegistryValue::array({SimPower::batteryDescription(
                state, b.value("current").toDouble(), b.value("max").toDouble())}));
        }
    }
    if (root.contains("thermalState")) {
        static const std::pair<const char *, ThermalState> names[] = {{"nominal", ThermalState::Nominal},
                                                                      {"fair", ThermalState::Fair},
                                                                      {"serious", ThermalState::Serious},
                                                                      {"critical", ThermalState::Critical}};
        const QString name = root.value("thermalState").toString();
        for (const auto &[text, state] : names)
            if (name == QLatin1String(text))
                c.thermalState = state;
        if (!c.thermalState)
            return fail(error, QStringLiteral("\"thermalState\" must be \"nominal\", \"fair\", \"serious\" or \"critical\""));
    }
    if (root.contains("ambientLight")) {
        if (!isNumberIn(root.value("ambientLight"), 0, kMaxLux))
            return fail(error, QStringLiteral("\"ambientLight\" must be a number of lux from 0 to %1").arg(kMaxLux, 0, 'f', 0));
        c.ambientLux = root.value("ambientLight").toDouble();
    }
    if (root.contains("frontApplication")) {
        const QJsonValue v = root.value("frontApplication");
        if (v.isNull()) {
            c.frontApplication.emplace(std::nullopt);
        } else {
            const QJsonObject a = v.toObject();
            if (!v.isObject())
                return fail(error, QStringLiteral("\"frontApplication\" must be an object (or null for none)"));
            if (!onlyKnownKeys(a, {"bundleIdentifier", "name"}, QStringLiteral("frontApplication"), error))
                return false;
            std::optional<QString> bundle, name;
            for (const auto &[key, out] : {std::pair{"bundleIdentifier", &bundle}, std::pair{"name", &name}}) {
                const QJsonValue text = a.value(QLatin1String(key));
                if (text.isUndefined())
                    continue;
                if (!text.isString())
                    return fail(error, QStringLiteral("frontApplication: \"%1\" must be text").arg(QLatin1String(key)));
                *out = text.toString();
            }
            if (!bundle && !name)
                return fail(error, QStringLiteral("frontApplication: give \"bundleIdentifier\", \"name\" or both"));
            c.frontApplication.emplace(std::pair{bundle, name});
        }
    }
    if (root.contains("idleSeconds")) {
        if (!isNumberIn(root.value("idleSeconds"), 0, kMaxIdleSeconds))
            return fail(error, QStringLiteral("\"idleSeconds\" must be a number from 0 to %1").arg(kMaxIdleSeconds, 0, 'f', 0));
        c.idleSeconds = root.value("idleSeconds").toDouble();
    }
    return true;
}

bool readRootKeys(const QJsonObject &root, QString *error)
{
    for (auto it = root.begin(); it != root.end(); ++it) {
        bool found = false;
        for (const char *key : {"host", "mainDisplay", "displays", "camera"})
            found = found || it.key() == QLatin1String(key);
        for (const char *key : kConditionKeys)
            found = found || it.key() == QLatin1String(key);
        if (!found)
            return fail(error, QStringLiteral("unknown key \"%1\"").arg(it.key()));
    }
    if (root.contains("host") && !root.value("host").isObject())
        return fail(error, QStringLiteral("\"host\" must be an object"));
    if (root.contains("camera") && !root.value("camera").isObject())
        return fail(error, QStringLiteral("\"camera\" must be an object"));
    return onlyKnownKeys(root.value("host").toObject(), {"processorBrand", "name"}, QStringLiteral("host"), error) &&
           onlyKnownKeys(root.value("camera").toObject(), {"script"}, QStringLiteral("camera"), error);
}

std::optional<QJsonObject> parseRoot(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, QStringLiteral("not valid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString()));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        fail(error, QStringLiteral("the description must be a JSON object"));
        return std::nullopt;
    }
    if (!readRootKeys(doc.object(), error))
        return std::nullopt;
    return doc.object();
}
} // namespace

std::unique_ptr<SimulatedMac> SimulatedMac::fromDescription(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> parsed = parseRoot(json, error);
    if (!parsed)
        return nullptr;
    const QJsonObject root = *parsed;
    MachineConditions conditions;
    if (!readConditions(root, conditions, error))
        return nullptr;
    auto mac = std::make_unique<SimulatedMac>();
    const QJsonObject host = root.value("host").toObject();
    if (host.contains("processorBrand"))
        mac->m_brand = host.value("processorBrand").isString() ? std::optional(host.value("processorBrand").toString())
                                                               : std::nullopt;
    if (host.contains("name"))
        mac->m_hostName = host.value("name").isString() ? std::optional(host.value("name").toString()) : std::nullopt;
    const QJsonValue displays = root.value("displays");
    if (!displays.isArray()) {
        fail(error, QStringLiteral("\"displays\" must be a list"));
        return nullptr;
    }
    int index = 0;
    for (const QJsonValue &v : displays.toArray()) {
        SimDisplay d;
        if (!readDisplay(v, index, d, error))
            return nullptr;
        if (mac->findLocked(d.id)) {
            fail(error, QStringLiteral("displays[%1]: display id %2 is listed twice").arg(index).arg(d.id));
            return nullptr;
        }
        mac->assignServiceLocked(d);
        mac->m_displays << d;
        ++index;
    }
    quint32 main = mac->m_displays.isEmpty() ? 0 : mac->m_displays.first().id;
    if (!readUInt(root, "mainDisplay", main, error, QStringLiteral("machine")))
        return nullptr;
    if (main != 0 && !mac->findLocked(main)) {
        fail(error, QStringLiteral("\"mainDisplay\" %1 is not one of the displays").arg(main));
        return nullptr;
    }
    mac->m_main = main;
    if (root.value("camera").toObject().value("script").toString() == QLatin1String("blinking"))
        mac->m_cameraScript = std::make_unique<SimCameraScript>(*mac->m_camera, *mac->m_faceLandmarks);
    mac->takeConditions(conditions);
    return mac;
}

void SimulatedMac::takeConditions(const MachineConditions &c)
{
    if (c.powerSources)
        setPowerSources(*c.powerSources);
    if (c.thermalState)
        setThermalState(*c.thermalState);
    if (c.ambientLux)
        setAmbientLightReading(RegistryValue::number(*c.ambientLux));
    if (c.idleSeconds)
        setIdleSeconds(*c.idleSeconds);
    if (c.frontApplication) {
        if (*c.frontApplication)
            bringToFront((*c.frontApplication)->first, (*c.frontApplication)->second);
        else if (const std::optional<RunningApplication> front = m_workspace->frontmostApplication())
            m_workspace->deactivate(front->processIdentifier);
    }
}

void SimulatedMac::bringToFront(const std::optional<QString> &bundleIdentifier, const std::optional<QString> &name)
{
    for (const RunningApplication &app : m_workspace->runningApplications()) {
        if (app.bundleIdentifier == bundleIdentifier && app.localizedName == name) {
            m_workspace->activate(app.processIdentifier);
            return;
        }
    }
    m_workspace->launch(bundleIdentifier, name, true);
}

bool SimulatedMac::applyConditions(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> root = parseRoot(json, error);
    MachineConditions conditions;
    if (!root || !readConditions(*root, conditions, error))
        return false;
    takeConditions(conditions);
    return true;
}

void SimulatedMac::followDescriptionFile(const QString &path)
{
    m_descriptionPath = QFileInfo(path).absoluteFilePath();
    delete m_descriptionWatcher;
    m_descriptionWatcher = new QFileSystemWatcher(this);
    // The folder too: a file replaced by renaming (as editors and atomic writes do) drops
    // out of the watch, and comes back through the folder's change.
    m_descriptionWatcher->addPath(QFileInfo(m_descriptionPath).absolutePath());
    m_descriptionWatcher->addPath(m_descriptionPath);
    m_descriptionBytes = files::readStoredFile(m_descriptionPath).bytes;
    connect(m_descriptionWatcher, &QFileSystemWatcher::fileChanged, this, &SimulatedMac::reloadDescription);
    connect(m_descriptionWatcher, &QFileSystemWatcher::directoryChanged, this, &SimulatedMac::reloadDescription);
}

void SimulatedMac::reloadDescription()
{
    if (!m_descriptionWatcher->files().contains(m_descriptionPath) && QFileInfo::exists(m_descriptionPath))
        m_descriptionWatcher->addPath(m_descriptionPath);
    const files::StoredFile stored = files::readStoredFile(m_descriptionPath);
    if (stored.state == files::StoredFile::State::absent)
        return; // between the removal and the rename of a replacement
    if (stored.state == files::StoredFile::State::read && stored.bytes == m_descriptionBytes)
        return; // another file of the folder changed
    m_descriptionBytes = stored.bytes;
    QString error = stored.error;
    if (stored.state == files::StoredFile::State::read && applyConditions(stored.bytes, &error)) {
        simLog().info("Read the machine description %s again", qUtf8Printable(m_descriptionPath));
        return;
    }
    simLog().error("Could not read the machine description %s again: %s; the machine stays as it was",
                   qUtf8Printable(m_descriptionPath), qUtf8Printable(error));
}

std::unique_ptr<SimulatedMac> SimulatedMac::fromFile(const QString &path, QString *error)
{
    QByteArray bytes;
    if (path.startsWith(u':')) { // compiled in
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            fail(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
            return nullptr;
        }
        bytes = file.readAll();
    } else {
        // As the stores read theirs: a regular file of a bounded size, never a pipe or a
        // device that would block the start or never end.
        files::StoredFile file = files::readStoredFile(path);
        if (file.state != files::StoredFile::State::read) {
            fail(error, file.state == files::StoredFile::State::absent
                            ? QStringLiteral("%1: No such file or directory").arg(path)
                            : QStringLiteral("%1: %2").arg(path, file.error));
            return nullptr;
        }
        bytes = std::move(file.bytes);
    }
    QString inner;
    auto mac = fromDescription(bytes, &inner);
    if (!mac)
        fail(error, QStringLiteral("%1: %2").arg(path, inner));
    return mac;
}

std::unique_ptr<SimulatedMac> SimulatedMac::standard()
{
    QString error;
    auto mac = fromFile(QStringLiteral(":/machines/default.json"), &error);
    Q_ASSERT_X(mac, "SimulatedMac::standard", qPrintable(error));
    return mac ? std::move(mac) : empty();
}

// ---- idle ----

double SimulatedMac::idleSeconds() const
{
    QMutexLocker lock(&m_mutex);
    return m_idleSeconds;
}

void SimulatedMac::setIdleSeconds(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_idleSeconds = seconds;
}

} // namespace qv
