#include "runtime/ProcessRunner.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using qv::ProcessRunner;

TEST(ProcessRunner, DrainsBothLargeStreamsWhileTheChildRuns)
{
    // 2 MiB on each stream, interleaved: a runner that read only after exit would hang.
    const auto result = ProcessRunner::run(
        "/bin/sh", {"-c", "head -c 2097152 /dev/zero | tr '\\0' o & head -c 2097152 /dev/zero | tr '\\0' e >&2; wait"},
        60000);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput.size(), 2097152);
    EXPECT_EQ(result.standardError.size(), 2097152);
    EXPECT_EQ(result.standardOutput.count('o'), 2097152);
    EXPECT_TRUE(result.succeeded());
}

TEST(ProcessRunner, KillsAChildThatNeverExits)
{
    QElapsedTimer timer;
    timer.start();
    const auto result = ProcessRunner::run("/bin/sh", {"-c", "echo started; exec sleep 600"}, 300);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.standardOutput, "started\n");
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(ProcessRunner, ReportsExitStatusAndMissingPrograms)
{
    const auto failed = ProcessRunner::run("/bin/sh", {"-c", "echo oops >&2; exit 3"});
    EXPECT_TRUE(failed.started);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.standardError, "oops\n");
    EXPECT_FALSE(failed.succeeded());

    const auto missing = ProcessRunner::run("/nonexistent/program", {});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.errorText.isEmpty());
}

// A child that never stops writing is ended once it wrote more than the limit.
TEST(ProcessRunner, EndsAChildThatWritesWithoutEnd)
{
    const auto result = ProcessRunner::run("/bin/sh", {"-c", "exec yes"}, 60000);
    EXPECT_TRUE(result.tooMuchOutput);
    EXPECT_FALSE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
    EXPECT_LE(result.standardOutput.size(), ProcessRunner::kMaxOutputBytes);
    EXPECT_EQ(result.errorText.toStdString(), "wrote more than 4194304 bytes");
}
