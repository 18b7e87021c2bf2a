#include "platform/host/HostPower.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qv {

namespace {

const QString kUPowerService = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDisplayDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
constexpr uint kDeviceKindBattery = 2;

// Below the serious threshold by this much (thousandths of a degree) is fair.
constexpr qint64 kFairMargin = 10'000;
// A zone with a critical trip point but no passive one turns serious this far below it.
constexpr qint64 kSeriousMarginWithoutPassive = 15'000;

// The first line of a small kernel attribute file, trimmed; nothing when it cannot be read.
std::optional<QString> readAttribute(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.read(256)).section(QLatin1Char('\n'), 0, 0).trimmed();
}

std::optional<qint64> integerAttribute(const QString &path)
{
    const std::optional<QString> text = readAttribute(path);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const qint64 value = text->toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

QStringList sortedEntries(const QString &folder, const QString &pattern)
{
    QDir dir(folder);
    QStringList names = dir.entryList({pattern}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    // thermal_zone10 after thermal_zone9.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

} // namespace

HostPower::HostPower(const QDBusConnection &systemBus, QObject *parent) : HostPower(systemBus, Folders(), parent) {}

HostPower::HostPower(const QDBusConnection &systemBus, Folders folders, QObject *parent)
    : Power(parent), m_bus(systemBus), m_folders(std::move(folders))
{
    QStringList faults;
    m_thermalState = thermalStateOfZones(m_folders.thermal, &faults);
    m_thermalNote(m_logger, faults.join(QStringLiteral("; ")));
    // The kernel announces no temperature change: the zones are read on the battery's
    // pace, and only when there are any.
    if (!sortedEntries(m_folders.thermal, QStringLiteral("thermal_zone*")).isEmpty())
        m_thermalTimer = scheduler().every(kThermalIntervalMs, this, [this] { refreshThermalState(); });

    if (!m_bus.isConnected()) {
        m_sourceNote(m_logger, QStringLiteral("No system bus: the battery is read from %1").arg(m_folders.powerSupply));
        return;
    }
    // Changes first, then the properties as they stand: a change in between is read
    // twice, never missed.
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    for (const QString &path : {kDisplayDevicePath, kUPowerPath})
        m_bus.connect(kUPowerService, path, properties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(propertiesChanged(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(kUPowerService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { ownerChanged(newOwner); });
    read(Object::device);
    read(Object::manager);
}

HostPower::~HostPower()
{
    m_thermalTimer.cancel();
    m_retry.cancel();
}

// ---- battery ----

BatteryReading HostPower::battery()
{
    if (m_upower.present)
        return upowerBattery();
    return powerSupplyBattery();
}

void HostPower::read(Object object)
{
    const bool device = object == Object::device;
    QDBusMessage message = QDBusMessage::createMethodCall(kUPowerService, device ? kDisplayDevicePath : kUPowerPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
    message << (device ? kDeviceInterface : kUPowerService);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kReadTimeoutMs), this);
    ++m_pendingReads;
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, object, generation](QDBusPendingCallWatcher *call) { readFinished(call, object, generation); });
}

void HostPower::readFinished(QDBusPendingCallWatcher *call, Object object, int generation)
{
    call->deleteLater();
    if (generation != m_generation)
        return; // asked of a UPower that has gone since
    const bool device = object == Object::device;
    m_pendingReads = std::max(0, m_pendingReads - 1);
    const QDBusMessage reply = call->reply();
    std::optional<QVariantMap> map;
    QString fault;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        fault = reply.errorName().isEmpty() ? QStringLiteral("no answer") : reply.errorName();
        // A UPower that holds its name but did not answer in time is asked again later:
        // no change signal or change of owner may ever come to say it is back.
        if (bus::timedOut(fault) && !m_retry.isActive())
            m_retry = scheduler().after(bus::kRetryMs, this, [this] {
                read(Object::device);
                read(Object::manager);
            });
        if (device && fault.startsWith(QLatin1String("org.freedesktop.DBus.Error."))) {
            // Not there, or not answering: the kernel's folder answers until UPower
            // starts again.
            m_sourceNote(m_logger, QStringLiteral("UPower does not answer (%1): the battery is read from %2")
                                       .arg(fault, m_folders.powerSupply));
            m_upower = UPowerCache();
            if (m_pendingReads == 0)
                announce();
            return;
        }
    } else {
        map = reply.arguments().isEmpty() ? std::nullopt : bus::propertyMap(reply.arguments().first());
        if (!map)
            fault = QStringLiteral("an answer of signature \"%1\" in place of a property list").arg(reply.signature());
    }
    if (device) {
        m_upower.present = true;
        m_upower.device = map;
        m_upower.deviceFault = fault;
        m_sourceNote(m_logger, QString());
    } else {
        m_upower.manager = map;
        m_upower.managerFault = fault;
    }
    if (m_pendingReads > 0)
        return;
    if (m_changedWhileReading) {
        m_changedWhileReading = false;
        read(Object::device);
        read(Object::manager);
    }
    // Both objects read (or failed): one announcement for the whole answer.
    announce();
}

void HostPower::propertiesChanged(const QDBusMessage &message)
{
    const bool device = message.path() == kDisplayDevicePath;
    if (!device && message.path() != kUPowerPath)
        return;
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty() || arguments.first().userType() != QMetaType::QString)
        return;
    if (arguments.first().toString() != (device ? kDeviceInterface : kUPowerService))
        return;
    const std::optional<QVariantMap> changed = arguments.size() > 1 ? bus::propertyMap(arguments.at(1)) : std::nullopt;
    if (!changed) {
        m_signalNote(m_logger, QStringLiteral("UPower reports a change with %1 in place of the properties; its "
                                              "properties are read again")
                                   .arg(bus::typeText(arguments.value(1))));
        read(device ? Object::device : Object::manager);
        return;
    }
    std::optional<QVariantMap> &properties = device ? m_upower.device : m_upower.manager;
    if (m_pendingReads > 0) {
        // A read under way may have been answered before this change: read once more
        // when it is done.
        m_changedWhileReading = true;
        return;
    }
    if (!properties || (device && !m_upower.present)) {
        read(device ? Object::device : Object::manager);
        return;
    }
    for (auto it = changed->cbegin(); it != changed->cend(); ++it)
        properties->insert(it.key(), it.value());
    // Properties said to have changed without their values are read again.
    if (arguments.size() > 2 && !arguments.at(2).toStringList().isEmpty())
        read(device ? Object::device : Object::manager);
    announce();
}

void HostPower::ownerChanged(const QString &newOwner)
{
    // A UPower that went or came back has forgotten nothing we asked, but what it said
    // before may be old: read it all again.
    ++m_generation;
    m_pendingReads = 0;
    m_changedWhileReading = false;
    m_retry.cancel();
    if (newOwner.isEmpty()) {
        m_upower = UPowerCache();
        m_sourceNote(m_logger, QStringLiteral("UPower stopped: the battery is read from %1 until it is back")
                                   .arg(m_folders.powerSupply));
        announce();
        return;
    }
    read(Object::device);
    read(Object::manager);
}

void HostPower::announce()
{
    if (m_announcing)
        return;
    m_announcing = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_announcing = false;
            emit powerSourcesChanged();
        },
        Qt::QueuedConnection);
}

BatteryReading HostPower::upowerBattery()
{
    const std::optional<QVariantMap> &device = m_upower.device;
    if (!device) {
        m_readingNote(m_logger, QStringLiteral("UPower's display device gives %1; the battery is not read")
                                    .arg(m_upower.deviceFault));
        return {};
    }

    // A display device that is no battery, or none present: a computer on AC power
    // without a battery.
    const BatteryReading noBattery{false, std::nullopt, QString()};
    const QVariant kind = bus::unwrapped(device->value(QStringLiteral("Type")));
    const std::optional<double> kindNumber = bus::number(kind);
    if (!kindNumber) {
        m_readingNote(m_logger, QStringLiteral("UPower's display device gives %1 as its type; no battery is listed")
                                    .arg(bus::typeText(kind)));
        return noBattery;
    }
    // The type is an unsigned 32-bit number; anything else is no type at all.
    if (!std::isfinite(*kindNumber) || *kindNumber < 0 || *kindNumber > double(std::numeric_limits<quint32>::max())
        || *kindNumber != std::trunc(*kindNumber)) {
        m_readingNote(m_logger, QStringLiteral("UPower's display device gives the type %1, which is no device type; "
                                               "no battery is listed")
                                    .arg(QString::number(*kindNumber, 'g', 12)));
        return noBattery;
    }
    const QVariant present = bus::unwrapped(device->value(QStringLiteral("IsPresent"), true));
    if (quint32(*kindNumber) != kDeviceKindBattery || (present.userType() == QMetaType::Bool && !present.toBool())) {
        m_readingNote(m_logger, QString());
        return noBattery;
    }

    QStringList faults;
    // A presence of another type says nothing: the battery the type names is read.
    if (present.userType() != QMetaType::Bool)
        faults << QStringLiteral("%1 for present").arg(bus::typeText(present));
    BatteryReading reading;
    const QVariant percentage = bus::unwrapped(device->value(QStringLiteral("Percentage")));
    const std::optional<double> percentageNumber = bus::number(percentage);
    if (!percentageNumber)
        faults << QStringLiteral("a percentage of %1").arg(bus::typeText(percentage));
    else if (!std::isfinite(*percentageNumber) || *percentageNumber < 0 || *percentageNumber > 100)
        faults << QStringLiteral("a percentage of %1").arg(*percentageNumber);
    else
        reading.percent = int(std::trunc(*percentageNumber)); // cut toward zero: 29.6 % is 29 %

    const std::optional<QVariantMap> &manager = m_upower.manager;
    const QVariant onBatteryValue = manager ? bus::unwrapped(manager->value(QStringLiteral("OnBattery"))) : QVariant();
    if (!manager)
        faults << QStringLiteral("%1 for its own properties")
                      .arg(m_upower.managerFault.isEmpty() ? QStringLiteral("no answer yet") : m_upower.managerFault);
    else if (onBatteryValue.userType() != QMetaType::Bool)
        faults << QStringLiteral("%1 for on battery").arg(bus::typeText(onBatteryValue));
    else
        reading.onBattery = onBatteryValue.toBool();

    m_readingNote(m_logger, faults.isEmpty() ? QString()
                                             : QStringLiteral("UPower gives %1; that part of the battery is not read")
                                                   .arg(faults.join(QStringLiteral(", "))));
    return reading;
}

BatteryReading HostPower::powerSupplyBattery()
{
    const QDir folder(m_folders.powerSupply);
    QList<QString> batteries;
    bool mainsFound = false;
    bool mainsOnline = false;
    for (const QString &name : sortedEntries(m_folders.powerSupply, QStringLiteral("*"))) {
        const QString path = folder.filePath(name);
        const QString type = readAttribute(path + QStringLiteral("/type")).value_or(QString());
        if (type == QLatin1String("Mains") || type == QLatin1String("USB")) {
            mainsFound = true;
            mainsOnline = mainsOnline || integerAttribute(path + QStringLiteral("/online")).value_or(0) == 1;
        } else if (type == QLatin1String("Battery")
                   && readAttribute(path + QStringLiteral("/scope")).value_or(QString()) != QLatin1String("Device")) {
            // A battery of the computer itself, not of a mouse or a keyboard.
            batteries << path;
        }
    }
    if (batteries.isEmpty()) {
        m_readingNote(m_logger, QString());
        return {false, std::nullopt, QString()};
    }

    // Several batteries are one charge: their energies (else their charges) added up
    // decide, so that a full small battery does not hide an empty large one.
    QStringList faults;
    bool discharging = false;
    bool energyKnown = true, chargeKnown = true;
    qint64 energyNow = 0, energyFull = 0, chargeNow = 0, chargeFull = 0;
    qint64 capacitySum = 0;
    int capacities = 0;
    for (const QString &path : std::as_const(batteries)) {
        discharging = discharging
                      || readAttribute(path + QStringLiteral("/status")).value_or(QString()) == QLatin1String("Discharging");
        const auto pair = [&](const char *now, const char *full, qint64 *nowSum, qint64 *fullSum) {
            const std::optional<qint64> n = integerAttribute(path + QLatin1Char('/') + QLatin1String(now));
            const std::optional<qint64> f = integerAttribute(path + QLatin1Char('/') + QLatin1String(full));
            // Micro-units of a laptop battery: far below a range that could overflow.
            if (!n || !f || *n < 0 || *f <= 0 || *n > (qint64(1) << 40) || *f > (qint64(1) << 40))
                return false;
            *nowSum += std::min(*n, *f);
            *fullSum += *f;
            return true;
        };
        energyKnown = pair("energy_now", "energy_full", &energyNow, &energyFull) && energyKnown;
        chargeKnown = pair("charge_now", "charge_full", &chargeNow, &chargeFull) && chargeKnown;
        const std::optional<qint64> capacity = integerAttribute(path + QStringLiteral("/capacity"));
        if (capacity && *capacity >= 0 && *capacity <= 100) {
            capacitySum += *capacity;
            ++capacities;
        } else {
            faults << QStringLiteral("%1 gives a capacity of \"%2\"")
                          .arg(path, readAttribute(path + QStringLiteral("/capacity"))
                                         .value_or(QStringLiteral("(unreadable)"))
                                         .left(40));
        }
    }
    BatteryReading reading{mainsFound ? !mainsOnline : discharging, std::nullopt, QString()};
    std::optional<std::pair<qint64, qint64>> charge;
    if (batteries.size() > 1 && energyKnown)
        charge = std::pair(energyNow, energyFull);
    else if (batteries.size() > 1 && chargeKnown)
        charge = std::pair(chargeNow, chargeFull);
    else if (capacities == batteries.size())
        charge = std::pair(capacitySum, qint64(capacities) * 100);
    if (charge) {
        faults.clear();
        // Whole-number arithmetic, cut toward zero: 2999 of 10000 is 29 %.
        reading.percent = int(charge->first * 100 / charge->second);
    }
    m_readingNote(m_logger, faults.isEmpty() ? QString()
                                             : faults.join(QStringLiteral("; ")) + QStringLiteral("; the charge is not read"));
    return reading;
}

// ---- thermal state ----

ThermalState HostPower::zoneState(qint64 temperature, std::optional<qint64> passive, std::optional<qint64> critical)
{
    if (passive && *passive <= 0)
        passive.reset();
    if (critical && *critical <= 0)
        critical.reset();
    if (critical && temperature >= *critical)
        return ThermalState::Critical;
    std::optional<qint64> serious = passive;
    if (!serious && critical)
        serious = *critical - kSeriousMarginWithoutPassive;
    if (!serious)
        return ThermalState::Nominal;
    if (temperature >= *serious)
        return ThermalState::Serious;
    if (temperature >= *serious - kFairMargin)
        return ThermalState::Fair;
    return ThermalState::Nominal;
}

ThermalState HostPower::thermalStateOfZones(const QString &folder, QStringList *faults)
{
    static const QRegularExpression tripType(QStringLiteral("^trip_point_(\\d+)_type$"));
    ThermalState worst = ThermalState::Nominal;
    const QDir root(folder);
    for (const QString &zone : sortedEntries(folder, QStringLiteral("thermal_zone*"))) {
        const QDir dir(root.filePath(zone));
        const std::optional<qint64> temperature = integerAttribute(dir.filePath(QStringLiteral("temp")));
        if (!temperature) {
            if (faults)
                *faults << QStringLiteral("%1 gives no temperature").arg(zone);
            continue;
        }
        std::optional<qint64> passive;
        std::optional<qint64> critical;
        for (const QString &file : dir.entryList({QStringLiteral("trip_point_*_type")}, QDir::Files)) {
            const QRegularExpressionMatch match = tripType.match(file);
            if (!match.hasMatch())
                continue;
            const QString type = readAttribute(dir.filePath(file)).value_or(QString());
            if (type != QLatin1String("passive") && type != QLatin1String("critical"))
                continue;
            const QString tempFile = QStringLiteral("trip_point_%1_temp").arg(match.captured(1));
            const std::optional<qint64> trip = integerAttribute(dir.filePath(tempFile));
            if (!trip || *trip <= 0) {
                if (faults)
                    *faults << QStringLiteral("%1 has a %2 trip point of \"%3\", left out")
                                   .arg(zone, type, readAttribute(dir.filePath(tempFile)).value_or(QString()).left(40));
                continue;
            }
            std::optional<qint64> &slot = type == QLatin1String("passive") ? passive : critical;
            slot = slot ? std::min(*slot, *trip) : *trip;
        }
        worst = std::max(worst, zoneState(*temperature, passive, critical));
    }
    return worst;
}

void HostPower::refreshThermalState()
{
    QStringList faults;
    const ThermalState state = thermalStateOfZones(m_folders.thermal, &faults);
    m_thermalNote(m_logger, faults.join(QStringLiteral("; ")));
    if (state == m_thermalState)
        return;
    m_thermalState = state;
    emit thermalStateChanged();
}

} // namespace qv
