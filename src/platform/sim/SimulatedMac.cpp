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
#include <utility>

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


std::unique_ptr<SimulatedMac> SimulatedMac::fromDescription(const QByteArray &json, QString *error)
{
    std::optional<MachineDescription> machine = readMachineDescription(json, error);
    if (!machine)
        return nullptr;
    auto mac = std::make_unique<SimulatedMac>();
    if (machine->processorBrand)
        mac->m_brand = *machine->processorBrand;
    if (machine->hostName)
        mac->m_hostName = *machine->hostName;
    for (SimDisplay &d : machine->displays) {
        mac->assignServiceLocked(d);
        mac->m_displays << d;
    }
    mac->m_main = machine->mainDisplay;
    if (machine->blinkingCamera)
        mac->m_cameraScript = std::make_unique<SimCameraScript>(*mac->m_camera, *mac->m_faceLandmarks);
    mac->takeConditions(machine->conditions);
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
    const std::optional<MachineConditions> conditions = readMachineConditions(json, error);
    if (!conditions)
        return false;
    takeConditions(*conditions);
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
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
    };
    QByteArray bytes;
    if (path.startsWith(u':')) { // compiled in
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
            return nullptr;
        }
        bytes = file.readAll();
    } else {
        // As the stores read theirs: a regular file of a bounded size, never a pipe or a
        // device that would block the start or never end.
        files::StoredFile file = files::readStoredFile(path);
        if (file.state != files::StoredFile::State::read) {
            fail(file.state == files::StoredFile::State::absent
                     ? QStringLiteral("%1: No such file or directory").arg(path)
                     : QStringLiteral("%1: %2").arg(path, file.error));
            return nullptr;
        }
        bytes = std::move(file.bytes);
    }
    QString inner;
    auto mac = fromDescription(bytes, &inner);
    if (!mac)
        fail(QStringLiteral("%1: %2").arg(path, inner));
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
    double before;
    {
        QMutexLocker lock(&m_mutex);
        before = std::exchange(m_idleSeconds, seconds);
    }
    m_idle->changed(before, seconds);
}

} // namespace qv
