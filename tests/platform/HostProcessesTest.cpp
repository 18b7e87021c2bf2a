#include "platform/host/HostProcesses.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

using namespace qv;

// The computer's programs run for real; the Mac's system commands stay the simulated
// machine's to answer.
TEST(HostProcessesTest, TheMacsCommandsGoToTheSimulatedMachineAndTheRestRun)
{
    std::unique_ptr<SimulatedMac> mac = SimulatedMac::standard();
    HostProcesses processes(mac->services().processes);

    const ProcessResult echo = processes.run(QStringLiteral("/bin/echo"), {QStringLiteral("here")});
    EXPECT_TRUE(echo.succeeded());
    EXPECT_EQ(echo.standardOutput, "here\n");
    EXPECT_EQ(processes.run(QStringLiteral("/bin/false"), {}).exitCode, 1);
    EXPECT_FALSE(processes.run(QStringLiteral("/no/such/program"), {}).started);

    const ProcessResult profiler =
        processes.run(QStringLiteral("/usr/sbin/system_profiler"), {QStringLiteral("SPDisplaysDataType"), QStringLiteral("-json")});
    EXPECT_TRUE(profiler.succeeded());
    EXPECT_EQ(mac->processRunCount(QStringLiteral("/usr/sbin/system_profiler")), 1);
    processes.run(QStringLiteral("/usr/bin/defaults"), {QStringLiteral("read"), QStringLiteral("-g"), QStringLiteral("x")});
    EXPECT_EQ(mac->processRunCount(QStringLiteral("/usr/bin/defaults")), 1);
}
