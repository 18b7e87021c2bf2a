#include "platform/host/HostPower.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

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

RegistryValue description(std::optional<bool> onBattery, std::optional<int> percent)
{
    QMap<QString, RegistryValue> entries;
    if (onBattery)
        entries.insert(QString::fromLatin1(Power::powerSourceStateKey),
                       RegistryValue::string(QString::fromLatin1(*onBattery ? Power::batteryPowerValue
                                                                            : Power::acPowerValue)));
    if (percent) {
        entries.insert(QString::fromLatin1(Power::currentCapacityKey), RegistryValue::number(*percent));
        entries.insert(QString::fromLatin1(Power::maxCapacityKey), RegistryValue::number(100));
    }
    return RegistryValue::dictionary(entries);
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
}

HostPower::~HostPower()
{
    m_thermalTimer.cancel();
}

// ---- battery ----

std::optional<RegistryValue> HostPower::powerSourceList()
{
    const UPowerAnswer answer = upowerSources();
    if (answer.answered)
        return answer.sources;
    return powerSupplySources();
}

HostPower::UPowerAnswer HostPower::upowerSources()
{
    if (!m_bus.isConnected()) {
        m_sourceNote(m_logger, QStringLiteral("No system bus: the battery is read from %1").arg(m_folders.powerSupply));
        return {};
    }
    QString fault;
    const std::optional<QVariantMap> device =
        bus::allProperties(m_bus, kUPowerService, kDisplayDevicePath, kDeviceInterface, &fault);
    if (!device && fault.startsWith(QLatin1String("org.freedesktop.DBus.Error."))) {
        m_sourceNote(m_logger, QStringLiteral("UPower does not answer (%1): the battery is read from %2")
                                   .arg(fault, m_folders.powerSupply));
        return {};
    }
    m_sourceNote(m_logger, QString());
    if (!device) {
        m_readingNote(m_logger, QStringLiteral("UPower's display device gives %1; the battery is not read").arg(fault));
        return {true, std::nullopt};
    }

    // A display device that is no battery, or none present: a computer without one.
    const QVariant kind = bus::unwrapped(device->value(QStringLiteral("Type")));
    const std::optional<double> kindNumber = bus::number(kind);
    if (!kindNumber) {
        m_readingNote(m_logger, QStringLiteral("UPower's display device gives %1 as its type; no battery is listed")
                                    .arg(bus::typeText(kind)));
        return {true, RegistryValue::array({})};
    }
    const QVariant present = bus::unwrapped(device->value(QStringLiteral("IsPresent"), true));
    if (uint(*kindNumber) != kDeviceKindBattery || (present.userType() == QMetaType::Bool && !present.toBool())) {
        m_readingNote(m_logger, QString());
        return {true, RegistryValue::array({})};
    }

    QStringList faults;
    std::optional<int> percent;
    const QVariant percentage = bus::unwrapped(device->value(QStringLiteral("Percentage")));
    const std::optional<double> percentageNumber = bus::number(percentage);
    if (!percentageNumber)
        faults << QStringLiteral("a percentage of %1").arg(bus::typeText(percentage));
    else if (!std::isfinite(*percentageNumber) || *percentageNumber < 0 || *percentageNumber > 100)
        faults << QStringLiteral("a percentage of %1").arg(*percentageNumber);
    else
        percent = int(std::lround(*percentageNumber));

    std::optional<bool> onBattery;
    QString managerFault;
    const std::optional<QVariantMap> manager = bus::allProperties(m_bus, kUPowerService, kUPowerPath, kUPowerService, &managerFault);
    const QVariant onBatteryValue = manager ? bus::unwrapped(manager->value(QStringLiteral("OnBattery"))) : QVariant();
    if (!manager)
        faults << QStringLiteral("%1 for its own properties").arg(managerFault);
    else if (onBatteryValue.userType() != QMetaType::Bool)
        faults << QStringLiteral("%1 for on battery").arg(bus::typeText(onBatteryValue));
    else
        onBattery = onBatteryValue.toBool();

    m_readingNote(m_logger, faults.isEmpty() ? QString()
                                             : QStringLiteral("UPower gives %1; that part of the battery is not read")
                                                   .arg(faults.join(QStringLiteral(", "))));
    return {true, RegistryValue::array({description(onBattery, percent)})};
}

RegistryValue HostPower::powerSupplySources()
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

    QStringList faults;
    QList<RegistryValue> sources;
    for (const QString &path : std::as_const(batteries)) {
        const QString status = readAttribute(path + QStringLiteral("/status")).value_or(QString());
        const bool onBattery = mainsFound ? !mainsOnline : status == QLatin1String("Discharging");
        std::optional<int> percent;
        const std::optional<QString> capacityText = readAttribute(path + QStringLiteral("/capacity"));
        const std::optional<qint64> capacity = integerAttribute(path + QStringLiteral("/capacity"));
        if (capacity && *capacity >= 0 && *capacity <= 100)
            percent = int(*capacity);
        else
            faults << QStringLiteral("%1 gives a capacity of \"%2\"")
                          .arg(path, capacityText.value_or(QStringLiteral("(unreadable)")).left(40));
        sources << description(onBattery, percent);
    }
    m_readingNote(m_logger, faults.isEmpty() ? QString()
                                             : faults.join(QStringLiteral("; ")) + QStringLiteral("; the charge is not read"));
    return RegistryValue::array(sources);
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
