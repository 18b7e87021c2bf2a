#pragma once

#include "platform/AmbientLight.h"
#include "platform/host/BusValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace qv {

// The ambient-light sensor of this computer: iio-sensor-proxy on the system bus (the
// light sensor claimed for a reading and released when no reading has been asked for
// half a minute), else an illuminance channel of the kernel's industrial-I/O devices.
// Read only when asked, so only while ambient comfort is on.
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

private:
    // The proxy's reading; answered is false when the proxy cannot be asked or has no
    // light sensor.
    std::optional<AmbientLightReading> proxyReading(bool *answered);
    void release();

    Logger m_logger{"AmbientLight"};
    QDBusConnection m_bus;
    QString m_iioFolder;
    QString m_claimedFrom; // the proxy's unique name the claim was made with
    TaskHandle m_releaseTask;
    bus::Note m_sourceNote;
    bus::Note m_readingNote;
};

} // namespace qv
