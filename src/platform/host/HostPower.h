#pragma once

#include "platform/Power.h"
#include "platform/host/BusValues.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace qv {

// The battery and the thermal state of this computer. The battery comes from UPower's
// display device on the system bus: its properties are read once, without waiting, and
// then kept current by UPower's change signals; a UPower that starts, restarts or goes
// away is followed. Without the bus or UPower (and until UPower first answers) it comes
// from the kernel's power-supply folder. A computer without a battery is on AC power
// without a charge. The thermal state is the worst of the kernel's thermal
// zones, each zone's temperature weighed against its passive and critical trip points;
// it is read every 30 s, and a change is announced.
class HostPower final : public Power {
    Q_OBJECT
public:
    static constexpr qint64 kThermalIntervalMs = 30'000;
    // How long a read of UPower may take before it counts as not answering.
    static constexpr int kReadTimeoutMs = 5'000;

    struct Folders {
        QString powerSupply = QStringLiteral("/sys/class/power_supply");
        QString thermal = QStringLiteral("/sys/class/thermal");
    };

    explicit HostPower(const QDBusConnection &systemBus, QObject *parent = nullptr);
    HostPower(const QDBusConnection &systemBus, Folders folders, QObject *parent = nullptr);
    ~HostPower() override;

    // Answers from what is known: nothing here waits for the bus.
    BatteryReading battery() override;
    ThermalState thermalState() override { return m_thermalState; }
    // Whether UPower's properties are known and answer the battery now.
    bool upowerAnswers() const { return m_upower.present; }

    // The thermal state of the zones under folder (the worst zone's; nominal without
    // zones). faults receives what could not be read.
    static ThermalState thermalStateOfZones(const QString &folder, QStringList *faults = nullptr);
    // One zone's state: temperatures in thousandths of a degree; a trip point of 0 or
    // less counts as absent.
    static ThermalState zoneState(qint64 temperature, std::optional<qint64> passive, std::optional<qint64> critical);

private slots:
    void propertiesChanged(const QDBusMessage &message);

private:
    // UPower's properties as last read and changed since.
    struct UPowerCache {
        bool present = false; // the display device answered
        std::optional<QVariantMap> device;
        QString deviceFault;
        std::optional<QVariantMap> manager;
        QString managerFault;
    };
    enum class Object { device, manager };

    void ownerChanged(const QString &newOwner);
    void read(Object object);
    void readFinished(QDBusPendingCallWatcher *call, Object object, int generation);
    // powerSourcesChanged on a later turn, once however many changes arrive meanwhile.
    void announce();

    BatteryReading upowerBattery();
    BatteryReading powerSupplyBattery();
    void refreshThermalState();

    Logger m_logger{"Power"};
    QDBusConnection m_bus;
    Folders m_folders;
    QDBusServiceWatcher *m_watcher = nullptr;
    UPowerCache m_upower;
    int m_generation = 0;       // replies to reads made before UPower last changed hands are dropped
    int m_pendingReads = 0;     // reads not answered yet
    bool m_changedWhileReading = false;
    bool m_announcing = false;
    bus::Note m_sourceNote;     // where the battery is read from, when not UPower
    bus::Note m_readingNote;    // what in the reading could not be used
    bus::Note m_signalNote;     // change signals of an unusable shape
    bus::Note m_thermalNote;
    ThermalState m_thermalState = ThermalState::Nominal;
    TaskHandle m_thermalTimer;
    TaskHandle m_retry;         // reads again a UPower that let a read go unanswered
};

} // namespace qv
