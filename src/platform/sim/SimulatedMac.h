#pragma once

#include "platform/Displays.h"
#include "platform/Platform.h"
#include "platform/Power.h"
#include "platform/RegistryValue.h"
#include "platform/Screens.h"
#include "platform/Types.h"
#include "runtime/ProcessRunner.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QRectF>
#include <QSize>

class QFileSystemWatcher;
#include <QString>

#include "platform/sim/MachineDescription.h"

#include <functional>
#include <memory>
#include <optional>

namespace qv {

class SimRegistry;
class SimDisplays;
class SimScreens;
class SimHost;
class SimProcesses;
class SimDisplayProfiler;
class DefaultsFontSmoothing;
class SimWorkspace;
class SimPanels;
class SimIdle;
class SimAppearance;
class SimKeyMonitors;
class SimNotifications;
class SimPower;
class SimLoginItem;
class SimHotKeys;
class SimBundle;
class SimUpdater;
class SimCamera;
class SimFaceLandmarks;

class SimCameraScript;

// The whole virtual Mac behind the platform services. Tests change it directly; the
// services read it. Its state is guarded by a mutex so that services callable off the
// main thread (the process runner) read it safely.
class SimulatedMac : public QObject {
    Q_OBJECT
public:
    SimulatedMac();
    ~SimulatedMac() override;

    // A machine with no displays, an "Apple M3 Pro" and the host name "Quellvista Mac".
    static std::unique_ptr<SimulatedMac> empty();
    // The built-in machine description: a mini-LED built-in display and an external one.
    static std::unique_ptr<SimulatedMac> standard();
    // Reads a machine description; on failure returns nothing and sets error to a text
    // that names the fault.
    static std::unique_ptr<SimulatedMac> fromDescription(const QByteArray &json, QString *error);
    static std::unique_ptr<SimulatedMac> fromFile(const QString &path, QString *error);

    // Reads the description file again whenever it changes and takes from it what may
    // change while the machine runs: the battery, the thermal state, the ambient light, the
    // front application and the idle time (the displays stay as they are). A description
    // that cannot be read is logged and changes nothing.
    void followDescriptionFile(const QString &path);
    // Takes the changing conditions from a description (as followDescriptionFile does);
    // false, with the fault in error, when it cannot be read.
    bool applyConditions(const QByteArray &json, QString *error);

    // Keeps the global defaults domain in a file: what it holds is read now, and every
    // change is written to it. A file that cannot be read is logged and never overwritten.
    void keepGlobalDefaultsIn(const QString &path);

    PlatformServices services();

    // ---- displays ----
    QList<SimDisplay> displays() const;
    std::optional<SimDisplay> display(DisplayId id) const;
    // Adds a display (its service handle and entry name are given when missing) and
    // reports it to reconfiguration callbacks and screen observers.
    void addDisplay(SimDisplay display);
    void removeDisplay(DisplayId id);
    // Changes a display in place and reports the change with the given flags.
    void updateDisplay(DisplayId id, const std::function<void(SimDisplay &)> &change,
                       quint32 flags = kDisplaySetModeFlag);
    DisplayId mainDisplayId() const;
    void setMainDisplay(DisplayId id);
    // Fires the reconfiguration callbacks as the system would (on the calling thread).
    void fireReconfiguration(DisplayId id, quint32 flags);
    // Screens' parameters changed (emitted by add/remove/update too).
    void notifyScreenParametersChanged();
    // Lays the screens over the given real screen frames, in display order, so that
    // windows placed on a simulated screen appear on a real one; displays beyond the
    // real screens are placed in a row to the right of them.
    void layOverScreens(const QList<QRectF> &realFrames);

    // ---- transfer formulas ----
    std::optional<TransferFormula> formula(DisplayId id) const;
    int formulaCallCount() const;
    int restoreCallCount() const;
    // The next (and every following) formula call for this display fails with code; 0 clears.
    void failFormula(DisplayId id, ResultCode code);

    // ---- registry ----
    // Extra registry services that are not framebuffers (ambient-light sensors, ...).
    ServiceHandle addRegistryService(const QString &className, const QString &entryName,
                                     const QMap<QString, RegistryValue> &properties);
    // Sets a property of a service added with addRegistryService().
    void setRegistryServiceProperty(ServiceHandle service, const QString &key, const RegistryValue &value);
    // The ambient-light sensor (an "AppleSPUVD6286" service, added on first use) holds
    // value under property ("AmbientLightSensor" unless given); returns its handle.
    ServiceHandle setAmbientLightReading(const RegistryValue &value,
                                         const QString &property = QStringLiteral("AmbientLightSensor"));
    void setFramebufferProperty(DisplayId id, const QString &key, const RegistryValue &value);
    void removeFramebufferProperty(DisplayId id, const QString &key);
    RegistryValue framebufferProperty(DisplayId id, const QString &key) const;
    // Writes of key to the service fail with code (and the kernel text for it); 0 clears.
    void failRegistryWrite(ServiceHandle service, const QString &key, ResultCode code);
    void setMatchingFails(bool fails);
    // A machine whose framebuffers cannot hold the protection properties (as a Linux
    // desktop's cannot).
    void setFramebufferProtectionsAvailable(bool available);
    bool framebufferProtectionsAvailable() const;
    void setEntryNameUnreadable(ServiceHandle service, bool unreadable);
    int registryWriteCount() const;

    // ---- host ----
    std::optional<QString> processorBrand() const;
    void setProcessorBrand(std::optional<QString> brand);
    std::optional<QString> hostName() const;
    void setHostName(std::optional<QString> name);

    // ---- appearance ----
    // The system appearance name ("NSAppearanceNameAqua" unless changed); a change is
    // reported to observers of the appearance service.
    QString systemAppearance() const;
    void setSystemAppearance(const QString &name);

    // ---- processes ----
    // Replaces the answer of one program (tests: a failing or garbled profiler).
    using ProcessHandler = std::function<ProcessResult(const QStringList &arguments)>;
    void setProcessHandler(const QString &program, ProcessHandler handler);
    int processRunCount(const QString &program) const;
    // The profiler's JSON for the current displays, as "system_profiler SPDisplaysDataType -json" prints it.
    QByteArray profilerOutput() const;
    // The global defaults domain as "defaults read -g KEY" prints a value ("1" for a true
    // boolean); nothing when the key is not set. Setting nothing removes the key.
    std::optional<QString> globalDefault(const QString &key) const;
    void setGlobalDefault(const QString &key, std::optional<QString> printed);
    // Answers "defaults read -g KEY" and "defaults write -g KEY [-bool|-int|-float|-string] VALUE"
    // as the system's command does (other domains and verbs fail with status 1).
    ProcessResult defaultsCommand(const QStringList &arguments);

    // ---- workspace and overlay panels (main thread) ----
    SimWorkspace &workspace() { return *m_workspace; }
    SimPanels &panels() { return *m_panels; }
    SimKeyMonitors &keyMonitors() { return *m_keyMonitors; }
    SimNotifications &notifications() { return *m_notifications; }
    SimLoginItem &loginItem() { return *m_loginItem; }
    SimHotKeys &hotKeys() { return *m_hotKeys; }
    SimBundle &bundle() { return *m_bundle; }
    SimUpdater &updater() { return *m_updater; }
    SimCamera &camera() { return *m_camera; }
    SimFaceLandmarks &faceLandmarks() { return *m_faceLandmarks; }
    // True when the description puts a scripted person in front of the camera; the
    // running application then keeps this camera instead of the computer's own.
    bool playsScriptedCamera() const { return m_cameraScript != nullptr; }

    // ---- idle ----
    // Seconds since the last input event; stays as set until changed.
    double idleSeconds() const;
    void setIdleSeconds(double seconds);

    // ---- power ----
    // The power-source list a snapshot gives (read by SimPower); nothing: no
    // snapshot. One internal battery on "AC Power" at 100 of 100 unless changed.
    std::optional<RegistryValue> powerSources() const;
    void setPowerSources(std::optional<RegistryValue> sources);
    // A change is reported to observers of the power service on the calling thread.
    ThermalState thermalState() const;
    void setThermalState(ThermalState state);

    // For the service implementations.
    QMutex &mutex() const { return m_mutex; }

private:
    friend class SimRegistry;
    friend class SimDisplays;
    friend class SimScreens;
    friend class SimHost;
    friend class SimProcesses;
    friend class SimIdle;
    friend class SimAppearance;

    struct RegistryService {
        ServiceHandle handle;
        quint64 entryID;
        QString className;
        QString entryName;
        QMap<QString, RegistryValue> properties;
    };

    SimDisplay *findLocked(DisplayId id);
    const SimDisplay *findLocked(DisplayId id) const;
    void reloadDescription();
    void takeConditions(const MachineConditions &conditions);
    void saveGlobalDefaults();
    void bringToFront(const std::optional<QString> &bundleIdentifier, const std::optional<QString> &name);
    void assignServiceLocked(SimDisplay &display);

    mutable QMutex m_mutex{};
    QList<SimDisplay> m_displays;
    DisplayId m_main = 0;
    QList<RegistryService> m_otherServices;
    std::optional<ServiceHandle> m_ambientSensor;
    ServiceHandle m_nextService = 0x1001;
    quint64 m_nextEntryID = 0x100000a21;
    QHash<ServiceHandle, QHash<QString, ResultCode>> m_writeFailures;
    QHash<ServiceHandle, bool> m_unreadableNames;
    bool m_matchingFails = false;
    bool m_framebufferProtectionsAvailable = true;
    int m_registryWrites = 0;
    QHash<DisplayId, ResultCode> m_formulaFailures;
    int m_formulaCalls = 0;
    int m_restoreCalls = 0;
    std::optional<QString> m_brand;
    std::optional<QString> m_hostName;
    QHash<QString, ProcessHandler> m_processHandlers;
    QHash<QString, int> m_processRuns;
    QHash<QString, QString> m_globalDefaults;
    QString m_globalDefaultsPath; // empty: kept in memory only
    bool m_globalDefaultsUnreadable = false;
    QMap<int, Displays::ReconfigurationCallback> m_callbacks;
    int m_nextCallbackToken = 1;
    double m_idleSeconds = 0;

    std::unique_ptr<SimRegistry> m_registry;
    std::unique_ptr<SimDisplays> m_displaysService;
    std::unique_ptr<SimScreens> m_screens;
    std::unique_ptr<SimHost> m_host;
    std::unique_ptr<SimProcesses> m_processes;
    std::unique_ptr<SimDisplayProfiler> m_displayProfiler;
    std::unique_ptr<SimWorkspace> m_workspace;
    std::unique_ptr<SimPanels> m_panels;
    std::unique_ptr<SimIdle> m_idle;
    QString m_systemAppearance = QStringLiteral("NSAppearanceNameAqua");
    std::unique_ptr<SimAppearance> m_appearance;
    std::unique_ptr<SimKeyMonitors> m_keyMonitors;
    std::unique_ptr<SimNotifications> m_notifications;
    std::optional<RegistryValue> m_powerSources;
    ThermalState m_thermalState = ThermalState::Nominal;
    std::unique_ptr<SimPower> m_power;
    std::unique_ptr<SimLoginItem> m_loginItem;
    std::unique_ptr<SimHotKeys> m_hotKeys;
    std::unique_ptr<SimBundle> m_bundle;
    std::unique_ptr<SimUpdater> m_updater;
    std::unique_ptr<SimCamera> m_camera;
    std::unique_ptr<SimFaceLandmarks> m_faceLandmarks;
    std::unique_ptr<DefaultsFontSmoothing> m_fontSmoothing; // on the machine's "defaults"
    std::unique_ptr<SimCameraScript> m_cameraScript; // from the description, when it asks for one
    QFileSystemWatcher *m_descriptionWatcher = nullptr; // owned as a child
    QString m_descriptionPath;
    QByteArray m_descriptionBytes; // as last read
};

} // namespace qv
