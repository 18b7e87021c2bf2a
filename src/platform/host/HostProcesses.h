#pragma once

#include "platform/Processes.h"

namespace qv {

// The computer's own programs, run for real. The Mac's system commands
// ("/usr/sbin/system_profiler", "/usr/bin/defaults") are not on this computer: they go to
// the services the host has no answer of its own for (the simulated machine's).
class HostProcesses final : public Processes {
public:
    explicit HostProcesses(Processes *macCommands) : m_macCommands(macCommands) {}

    ProcessResult run(const QString &program, const QStringList &arguments, int timeoutMs = 15000) override;

private:
    Processes *m_macCommands;
};

} // namespace qv
