#pragma once

#include "runtime/ProcessRunner.h"

namespace qv {

// The system's display profiler: a report of the connected displays (JSON) that tells what
// the screens do not, such as how each display is connected. Must be callable from any
// thread; a run may take seconds.
class DisplayProfiler {
public:
    virtual ~DisplayProfiler() = default;
    virtual ProcessResult displaysReport(int timeoutMs) = 0;
};

} // namespace qv
