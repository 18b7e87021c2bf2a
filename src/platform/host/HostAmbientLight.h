#pragma once

#include "platform/AmbientLight.h"
#include "platform/host/BusValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <functional>
#include <QObject>
#include <QString>

namespace qv {

// The ambient-light sensor of this computer: iio-sensor-proxy on the system bus, else an
// illuminance channel of the kernel's industrial-I/O devices. The proxy's light sensor is
// claimed at the first reading asked for, without waiting (the reader hears when the
// level is ready), and kept current by the proxy's change signals; it is released when no
// reading has been asked for half a minute. A proxy that starts, restarts or stops is
// followed, and so is its light sensor coming and going (HasAmbientLight). Nothing is
// asked of the proxy while ambient comfort is off.
class HostAmbientLight final : public QObject, public AmbientLight {
    Q_OBJECT
public:
    static constexpr const char *kService = "net.hadess.SensorProxy";
    static constexpr const char *kPath = "/net/hadess/SensorProxy";
    static constexpr qint64 kReleaseAfterMs = 30'000;

    explicit HostAmbientLight(const QDBusConnection &systemBus,
                              QString iioFolder = QStringLiteral("/sys/bus/iio/devices"), QObject *parent = nullptr);
    ~HostAmbientLight() override;

    std::optional<AmbientLightReading> currentReading() override;

    // The first illuminance reading of the devices under folder: a processed channel in
    // lux, else a raw one in lux through its scale and offset, else the raw figure as it
    // stands. fault receives why a channel that exists gives none.
    static std::optional<AmbientLightReading> iioReading(const QString &folder, QString *fault = nullptr);

private slots:
    void propertiesChanged(const QDBusMessage &message);

private:
    enum class Proxy { unknown, absent, noSensor, refused, claimed };

    // The reading from the proxy's properties as last known.
    std::optional<AmbientLightReading> proxyReading();
    // Learns whether the proxy has a light sensor, claims it and reads its level.
    void claim();
    void getAll(std::function<void(const std::optional<QVariantMap> &, const QString &fault)> done);
    void proxyAnswered(Proxy state);
    // A proxy that holds its name but let a call go unanswered: claimed again after
    // bus::kRetryMs.
    void retryLater();
    void release();

    Logger m_logger{"AmbientLight"};
    QDBusConnection m_bus;
    QString m_iioFolder;
    Proxy m_proxy = Proxy::unknown;
    bool m_claiming = false;
    int m_generation = 0; // answers of a proxy that has gone since are dropped
    QVariantMap m_properties;
    TaskHandle m_releaseTask;
    TaskHandle m_retry;       // claims again a proxy that let a call go unanswered
    bus::Note m_sourceNote;
    bus::Note m_readingNote;
};

} // namespace qv
