#pragma once

#include "runtime/ProcessRunner.h"

namespace qv {

// Runs system commands. Must be callable from any thread.
class Processes {
public:
    virtual ~Processes() = default;
    virtual ProcessResult run(const QString &program, const QStringList &arguments, int timeoutMs = 15000) = 0;
};

} // namespace qv
