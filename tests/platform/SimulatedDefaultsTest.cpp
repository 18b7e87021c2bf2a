#include "platform/Platform.h"
#include "platform/Processes.h"
#include "platform/sim/SimulatedMac.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

const QString kDefaults = QStringLiteral("/usr/bin/defaults");

} // namespace

TEST(SimulatedDefaults, WriteThenReadKeepsEachTypedValue)
{
    auto mac = SimulatedMac::standard();
    Processes &processes = *mac->services().processes;
    struct Case {
        QStringList write;
        QByteArray printed;
    };
    const Case cases[] = {
        {{"-bool", "YES"}, "1\n"},
        {{"-bool", "no"}, "0\n"},
        {{"-bool", "TRUE"}, "1\n"},
        {{"-int", "42"}, "42\n"},
        {{"-float", "0.5"}, "0.5\n"},
        {{"-string", "two words"}, "two words\n"},
        {{"bare"}, "bare\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.write.join(' ').toStdString());
        const ProcessResult written = processes.run(kDefaults, QStringList{"write", "-g", "Key"} + c.write);
        EXPECT_TRUE(written.succeeded());
        const ProcessResult read = processes.run(kDefaults, {"read", "-g", "Key"});
        EXPECT_TRUE(read.succeeded());
        EXPECT_EQ(read.standardOutput, c.printed);
    }
}

TEST(SimulatedDefaults, MissingKeyAndMalformedCommandsFailWithoutChangingTheValue)
{
    auto mac = SimulatedMac::standard();
    Processes &processes = *mac->services().processes;

    const ProcessResult missing = processes.run(kDefaults, {"read", "-g", "Nothing"});
    EXPECT_TRUE(missing.started);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.standardOutput.isEmpty());
    EXPECT_TRUE(missing.standardError.contains("does not exist"));

    mac->setGlobalDefault("Key", QStringLiteral("1"));
    const QList<QStringList> bad = {
        {"write", "-g", "Key", "-bool", "maybe"},
        {"write", "-g", "Key", "-int", "many"},
        {"write", "-g", "Key", "-colour", "red"},
        {"write", "com.example", "Key", "-bool", "NO"},
        {"delete", "-g", "Key"},
        {"read", "-g"},
        {},
    };
    for (const QStringList &arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ProcessResult result = processes.run(kDefaults, arguments);
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(mac->globalDefault("Key"), QStringLiteral("1"));
    }
    EXPECT_EQ(mac->processRunCount(kDefaults), 1 + bad.size());
}
