#include "platform/host/HostProcesses.h"

namespace qv {

ProcessResult HostProcesses::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    if (m_macCommands && (program == QLatin1String("/usr/sbin/system_profiler") ||
                          program == QLatin1String("/usr/bin/defaults")))
        return m_macCommands->run(program, arguments, timeoutMs);
    return ProcessRunner::run(program, arguments, timeoutMs);
}

} // namespace qv
