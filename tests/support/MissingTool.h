#pragma once

#include <QtGlobal>

#include <gtest/gtest.h>

namespace qv::test {

// True in a continuous-integration run (CI set to anything but "false" or empty).
inline bool runningInCi()
{
    const QByteArray ci = qgetenv("CI");
    return !ci.isEmpty() && ci != "false" && ci != "0";
}

} // namespace qv::test

// Leaves the test when a tool or service it needs (an X server, a bus, dbusmock, gsettings)
// is missing: skipped on a developer's machine, failed in CI, where a missing install step
// must not pass as green.
#define QV_SKIP_WITHOUT(message)                                                                   \
    do {                                                                                           \
        if (::qv::test::runningInCi()) {                                                           \
            FAIL() << "missing in CI: " << message;                                                \
        } else {                                                                                   \
            GTEST_SKIP() << message;                                                               \
        }                                                                                          \
    } while (0)
