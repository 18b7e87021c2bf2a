#pragma once

#include "platform/Processes.h"

namespace qv {

// The computer's own programs, run for real.
class HostProcesses final : public Processes {
public:
    ProcessResult run(const QString &program, const QStringList &arguments, int timeoutMs = 15000) override
    {
        return ProcessRunner::run(program, arguments, timeoutMs);
    }
};

} // namespace qv
