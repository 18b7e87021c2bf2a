#include "platform/host/HostAmbientLight.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

const QString kInterface = QString::fromLatin1(HostAmbientLight::kService);

std::optional<double> numberFile(const QString &path, QString *text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    *text = QString::fromUtf8(file.read(64)).trimmed();
    bool ok = false;
    const double value = text->toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// The channel's own attribute, else the one its device shares between channels
// (in_illuminance0_scale, then in_illuminance_scale).
QString attributePath(const QDir &device, const QString &channel, const QString &attribute)
{
    const QString own = device.filePath(QStringLiteral("%1_%2").arg(channel, attribute));
    if (QFile::exists(own))
        return own;
    return device.filePath(QStringLiteral("in_illuminance_%1").arg(attribute));
}

} // namespace

HostAmbientLight::HostAmbientLight(const QDBusConnection &systemBus, QString iioFolder, QObject *parent)
    : QObject(parent), m_bus(systemBus), m_iioFolder(std::move(iioFolder))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QDBusMessage)));
    auto *watcher = new QDBusServiceWatcher(QLatin1String(kService), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                // A restarted proxy has forgotten the claim; one that stopped leaves the
                // kernel's channel.
                ++m_generation;
                m_claiming = false;
                m_retry.cancel();
                m_properties.clear();
                m_proxy = newOwner.isEmpty() ? Proxy::absent : Proxy::unknown;
                if (!newOwner.isEmpty() && m_releaseTask.isActive())
                    claim();
                else if (onReadingReady)
                    onReadingReady();
            });
}

HostAmbientLight::~HostAmbientLight()
{
    m_releaseTask.cancel();
    m_retry.cancel();
    release();
}

void HostAmbientLight::release()
{
    if (m_proxy != Proxy::claimed || !m_bus.isConnected())
        return;
    m_proxy = Proxy::unknown;
    m_properties.clear();
    m_bus.send(QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath), kInterface,
                                              QStringLiteral("ReleaseLight")));
}

std::optional<AmbientLightReading> HostAmbientLight::currentReading()
{
    if (!m_bus.isConnected()) {
        m_sourceNote(m_logger, QStringLiteral("No system bus: the light level is read from %1").arg(m_iioFolder));
    } else {
        // The sensor runs while it is claimed: it goes back when ambient comfort stops asking.
        m_releaseTask.cancel();
        m_releaseTask = scheduler().after(kReleaseAfterMs, this, [this] { release(); });
        switch (m_proxy) {
        case Proxy::claimed:
            return proxyReading();
        case Proxy::refused:
            return std::nullopt;
        case Proxy::unknown:
            claim();
            return std::nullopt; // onReadingReady follows
        case Proxy::absent:
        case Proxy::noSensor:
            break;
        }
    }
    QString fault;
    const std::optional<AmbientLightReading> reading = iioReading(m_iioFolder, &fault);
    m_readingNote(m_logger, fault);
    return reading;
}

void HostAmbientLight::getAll(std::function<void(const std::optional<QVariantMap> &, const QString &)> done)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
    message << kInterface;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, bus::kCallTimeoutMs * 5), this);
    const int generation = m_generation;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, done = std::move(done)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (generation != m_generation)
                    return;
                const QDBusMessage reply = finished->reply();
                if (reply.type() != QDBusMessage::ReplyMessage)
                    return done(std::nullopt, reply.errorName().isEmpty() ? QStringLiteral("no answer") : reply.errorName());
                const std::optional<QVariantMap> map =
                    reply.arguments().isEmpty() ? std::nullopt : bus::propertyMap(reply.arguments().first());
                done(map, map ? QString()
                              : QStringLiteral("an answer of signature \"%1\" in place of a property list")
                                    .arg(reply.signature()));
            });
}

void HostAmbientLight::claim()
{
    if (m_claiming)
        return;
    m_claiming = true;
    getAll([this](const std::optional<QVariantMap> &properties, const QString &fault) {
        if (!properties) {
            const bool retry = bus::timedOut(fault);
            m_sourceNote(m_logger, QStringLiteral("The sensor proxy does not answer (%1): the light level is read from "
                                                  "%2 until it %3")
                                       .arg(fault, m_iioFolder,
                                            retry ? QStringLiteral("answers again") : QStringLiteral("starts again")));
            if (retry)
                retryLater();
            return proxyAnswered(Proxy::absent);
        }
        const QVariant has = bus::unwrapped(properties->value(QStringLiteral("HasAmbientLight")));
        if (has.userType() != QMetaType::Bool || !has.toBool()) {
            m_sourceNote(m_logger,
                         has.userType() == QMetaType::Bool
                             ? QStringLiteral("The sensor proxy has no light sensor: the light level is read from %1")
                                   .arg(m_iioFolder)
                             : QStringLiteral("The sensor proxy gives %1 for its light sensor: the light level is "
                                              "read from %2")
                                   .arg(bus::typeText(has), m_iioFolder));
            return proxyAnswered(Proxy::noSensor);
        }
        m_sourceNote(m_logger, QString());
        // The proxy drives the sensor only for a client that claimed it.
        QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath), kInterface,
                                                              QStringLiteral("ClaimLight"));
        auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, bus::kCallTimeoutMs * 5), this);
        const int generation = m_generation;
        connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            if (generation != m_generation)
                return;
            const QDBusMessage reply = finished->reply();
            if (reply.type() != QDBusMessage::ReplyMessage) {
                if (bus::timedOut(reply.errorName())) {
                    retryLater();
                    return proxyAnswered(Proxy::absent);
                }
                m_readingNote(m_logger, QStringLiteral("The sensor proxy refuses the light sensor (%1)").arg(reply.errorName()));
                return proxyAnswered(Proxy::refused);
            }
            // The level read before the claim may be an old one.
            getAll([this](const std::optional<QVariantMap> &claimed, const QString &fault) {
                if (!claimed) {
                    if (bus::timedOut(fault))
                        retryLater();
                    return proxyAnswered(Proxy::absent);
                }
                m_properties = *claimed;
                proxyAnswered(Proxy::claimed);
            });
        });
    });
}

void HostAmbientLight::retryLater()
{
    // Claimed again at the first reading after a while; meanwhile the kernel's channel
    // answers.
    m_retry.cancel();
    m_retry = scheduler().after(bus::kRetryMs, this, [this] {
        if (m_proxy == Proxy::absent)
            m_proxy = Proxy::unknown;
    });
}

void HostAmbientLight::proxyAnswered(Proxy state)
{
    m_claiming = false;
    m_proxy = state;
    if (onReadingReady)
        onReadingReady();
}

void HostAmbientLight::propertiesChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments.first().toString() != kInterface)
        return;
    const std::optional<QVariantMap> changed = bus::propertyMap(arguments.at(1));
    if (!changed)
        return;
    const auto hasLight = changed->constFind(QStringLiteral("HasAmbientLight"));
    if (hasLight != changed->cend()) {
        const QVariant has = bus::unwrapped(hasLight.value());
        const bool present = has.userType() == QMetaType::Bool && has.toBool();
        if (!present && m_proxy != Proxy::absent && m_proxy != Proxy::noSensor) {
            // The sensor has gone (unplugged, its driver unloaded): as when the proxy goes,
            // its last level is dropped and the kernel's channel answers, if any.
            ++m_generation;
            m_claiming = false;
            m_retry.cancel();
            m_properties.clear();
            m_sourceNote(m_logger, QStringLiteral("The sensor proxy no longer has a light sensor: the light level is "
                                                  "read from %1")
                                       .arg(m_iioFolder));
            return proxyAnswered(Proxy::noSensor);
        }
        if (present && m_proxy == Proxy::noSensor) {
            // A sensor that comes is claimed at the next reading asked for.
            m_proxy = Proxy::unknown;
            if (m_releaseTask.isActive() && onReadingReady)
                onReadingReady();
            return;
        }
    }
    if (m_proxy != Proxy::claimed)
        return;
    for (auto it = changed->cbegin(); it != changed->cend(); ++it)
        m_properties.insert(it.key(), it.value());
}

std::optional<AmbientLightReading> HostAmbientLight::proxyReading()
{
    const QVariant level = bus::unwrapped(m_properties.value(QStringLiteral("LightLevel")));
    const QVariant unit = bus::unwrapped(m_properties.value(QStringLiteral("LightLevelUnit")));
    const std::optional<double> value = bus::number(level);
    if (!value) {
        m_readingNote(m_logger, QStringLiteral("The sensor proxy gives %1 as the light level").arg(bus::typeText(level)));
        return std::nullopt;
    }
    if (unit.userType() != QMetaType::QString) {
        m_readingNote(m_logger, QStringLiteral("The sensor proxy gives %1 as the light level's unit").arg(bus::typeText(unit)));
        return std::nullopt;
    }
    const QString unitText = unit.toString();
    if (unitText == QLatin1String("lux")) {
        m_readingNote(m_logger, QString());
        return AmbientLightReading{*value, AmbientLightReading::Unit::lux};
    }
    // "vendor", or a unit this build does not know: a figure of the sensor's own.
    m_readingNote(m_logger, unitText == QLatin1String("vendor")
                                ? QString()
                                : QStringLiteral("The sensor proxy gives the light level in \"%1\"; it is read as the "
                                                 "sensor's own figure")
                                      .arg(unitText.left(40)));
    return AmbientLightReading{*value, AmbientLightReading::Unit::vendor};
}

std::optional<AmbientLightReading> HostAmbientLight::iioReading(const QString &folder, QString *fault)
{
    QDir root(folder);
    QStringList devices = root.entryList({QStringLiteral("iio:device*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    std::sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    QStringList faults;
    for (const QString &name : std::as_const(devices)) {
        const QDir device(root.filePath(name));
        QString text;
        // A processed channel is in lux already.
        for (const QString &file : device.entryList({QStringLiteral("in_illuminance*_input")}, QDir::Files)) {
            const std::optional<double> value = numberFile(device.filePath(file), &text);
            if (value && std::isfinite(*value) && *value >= 0) {
                if (fault)
                    *fault = QString();
                return AmbientLightReading{*value, AmbientLightReading::Unit::lux};
            }
            faults << QStringLiteral("%1/%2 holds \"%3\"").arg(name, file, text.left(40));
        }
        for (const QString &file : device.entryList({QStringLiteral("in_illuminance*_raw")}, QDir::Files)) {
            const QString channel = file.chopped(4);
            const std::optional<double> raw = numberFile(device.filePath(file), &text);
            if (!raw || !std::isfinite(*raw) || *raw < 0) {
                faults << QStringLiteral("%1/%2 holds \"%3\"").arg(name, file, text.left(40));
                continue;
            }
            const QString scalePath = attributePath(device, channel, QStringLiteral("scale"));
            if (!QFile::exists(scalePath)) {
                if (fault)
                    *fault = QString();
                return AmbientLightReading{*raw, AmbientLightReading::Unit::vendor};
            }
            const std::optional<double> scale = numberFile(scalePath, &text);
            if (!scale || !std::isfinite(*scale) || *scale <= 0) {
                faults << QStringLiteral("%1 holds a scale of \"%2\"").arg(QFileInfo(scalePath).fileName(), text.left(40));
                continue;
            }
            QString offsetText;
            const QString offsetPath = attributePath(device, channel, QStringLiteral("offset"));
            const double offset = numberFile(offsetPath, &offsetText).value_or(0);
            const double lux = (*raw + offset) * *scale;
            if (!std::isfinite(lux) || lux < 0) {
                faults << QStringLiteral("%1/%2 gives %3 lux").arg(name, channel).arg(lux);
                continue;
            }
            if (fault)
                *fault = QString();
            return AmbientLightReading{lux, AmbientLightReading::Unit::lux};
        }
    }
    if (fault)
        *fault = faults.isEmpty() ? QString()
                                  : faults.join(QStringLiteral("; ")) + QStringLiteral(": no light level");
    return std::nullopt;
}

} // namespace qv
