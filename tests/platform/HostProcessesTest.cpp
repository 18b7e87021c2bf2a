#include "platform/host/HostProcesses.h"
#include "platform/sim/SimulatedMac.h"
#include "platform/DisplayProfiler.h"

#include <gtest/gtest.h>

using namespace qv;

// The computer's programs run for real; the display profiler is the simulated Mac's
// system command, answered by the machine.
TEST(HostProcessesTest, TheComputersProgramsRunAndTheMacsProfilerStaysTheMachines)
{
    HostProcesses processes;
    const ProcessResult echo = processes.run(QStringLiteral("/bin/echo"), {QStringLiteral("here")});
    EXPECT_TRUE(echo.succeeded());
    EXPECT_EQ(echo.standardOutput, "here\n");
    EXPECT_EQ(processes.run(QStringLiteral("/bin/false"), {}).exitCode, 1);
    EXPECT_FALSE(processes.run(QStringLiteral("/no/such/program"), {}).started);

    std::unique_ptr<SimulatedMac> mac = SimulatedMac::standard();
    EXPECT_TRUE(mac->services().displayProfiler->displaysReport(1000).succeeded());
    EXPECT_EQ(mac->processRunCount(QStringLiteral("/usr/sbin/system_profiler")), 1);
}
