#pragma once

#include "platform/DisplayProfiler.h"
#include "platform/Displays.h"
#include "platform/Host.h"
#include "platform/MachineWords.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Screens.h"

namespace qv {

class SimulatedMac;

class SimRegistry final : public Registry {
public:
    explicit SimRegistry(SimulatedMac &mac) : m_mac(mac) {}
    std::optional<QList<ServiceHandle>> matchingServices(const QString &className) override;
    std::optional<QString> entryName(ServiceHandle service) override;
    std::optional<quint64> entryID(ServiceHandle service) override;
    RegistryValue property(ServiceHandle service, const QString &key) override;
    QMap<QString, RegistryValue> properties(ServiceHandle service) override;
    // Fails with the kernel's text for the result code the machine holds for the write.
    RegistryWrite setProperty(ServiceHandle service, const QString &key, const RegistryValue &value) override;
    // The kernel's text for a result code.
    static QString errorText(ResultCode code);
    bool framebufferProtectionsAvailable() override;

private:
    SimulatedMac &m_mac;
};

class SimDisplays final : public Displays {
public:
    explicit SimDisplays(SimulatedMac &mac) : m_mac(mac) {}
    QList<DisplayId> activeDisplays() override;
    DisplayId mainDisplay() override;
    bool isBuiltin(DisplayId display) override;
    std::optional<DisplayId> formerDisplayId(DisplayId display) override;
    std::optional<DisplayId> loneDisplayId(DisplayId display) override;
    std::optional<DisplayId> previousDisplayId(DisplayId display) override;
    std::optional<DisplayId> twinDisplayId(DisplayId display) override;
    bool isInMirrorSet(DisplayId display) override;
    quint32 vendorNumber(DisplayId display) override;
    quint32 modelNumber(DisplayId display) override;
    quint32 serialNumber(DisplayId display) override;
    int pixelsWide(DisplayId display) override;
    int pixelsHigh(DisplayId display) override;
    std::optional<DisplayMode> currentMode(DisplayId display) override;
    QList<DisplayMode> allModes(DisplayId display, bool includeDuplicateLowResolution) override;
    DisplayResult setTransferFormula(DisplayId display, const TransferFormula &formula) override;
    bool takesTransferFormula(DisplayId display) override;
    void restoreColorSyncSettings() override;
    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void removeReconfigurationCallback(int token) override;

private:
    SimulatedMac &m_mac;
};

class SimScreens final : public Screens {
public:
    explicit SimScreens(SimulatedMac &mac) : m_mac(mac) {}
    QList<ScreenInfo> screens() override;

private:
    SimulatedMac &m_mac;
};

class SimHost final : public Host {
public:
    explicit SimHost(SimulatedMac &mac) : m_mac(mac) {}
    std::optional<QString> processorBrandString() override;
    std::optional<QString> localizedHostName() override;

private:
    SimulatedMac &m_mac;
};

// The Mac speaks of a Mac and writes hot keys in its signs.
class SimMachineWords final : public MachineWords {
public:
    QString machine() const override { return QStringLiteral("Mac"); }
    bool keysByName() const override { return false; }
    QString say(MacText, const QString &onMac) const override { return onMac; }
};

// The Mac's "system_profiler SPDisplaysDataType -json", run on the machine's programs.
class SimDisplayProfiler final : public DisplayProfiler {
public:
    explicit SimDisplayProfiler(Processes &processes) : m_processes(processes) {}
    ProcessResult displaysReport(int timeoutMs) override
    {
        return m_processes.run(QStringLiteral("/usr/sbin/system_profiler"),
                               {QStringLiteral("SPDisplaysDataType"), QStringLiteral("-json")}, timeoutMs);
    }

private:
    Processes &m_processes;
};

class SimProcesses final : public Processes {
public:
    explicit SimProcesses(SimulatedMac &mac) : m_mac(mac) {}
    ProcessResult run(const QString &program, const QStringList &arguments, int timeoutMs) override;

private:
    SimulatedMac &m_mac;
};

} // namespace qv
