#include "runtime/SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SingleInstance, SecondLaunchAsksTheFirstToShowItself)
{
    const QString name = "qv-test-" + QUuid::createUuid().toString(QUuid::Id128);
    qv::SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &qv::SingleInstance::activationRequested);
    qv::SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(spy.wait(5000));
}

TEST(SingleInstance, StaleSocketFromACrashedCopyIsTakenOver)
{
    const QString name = "qv-test-" + QUuid::createUuid().toString(QUuid::Id128);
    {
        qv::SingleInstance crashed(name);
        ASSERT_TRUE(crashed.claim());
    }
    qv::SingleInstance next(name);
    EXPECT_TRUE(next.claim());
}

// Run by the test below in a process of its own (disabled in an ordinary run): says it is ready, waits at the shared
// gate (a pipe that both copies open; the kernel lets them through together once the
// test opens its other end), claims, says which copy it is, and (when it is the first)
// keeps running until its input closes.
TEST(SingleInstanceChild, DISABLED_Claim)
{
    const QString name = qEnvironmentVariable("QV_SINGLE_INSTANCE_CHILD");
    ASSERT_FALSE(name.isEmpty()) << "started by SingleInstance.TwoCopiesStartedAtOnce";
    std::printf("ready\n");
    std::fflush(stdout);
    const int gate = ::open(qgetenv("QV_SINGLE_INSTANCE_GATE").constData(), O_RDONLY);
    ASSERT_GE(gate, 0);
    qv::SingleInstance instance(name);
    const bool first = instance.claim();
    ::close(gate);
    std::printf("claim:%s\n", first ? "first" : "second");
    std::fflush(stdout);
    QFile in;
    if (first && in.open(stdin, QIODevice::ReadOnly))
        in.readAll(); // until the test closes it
}

// Two copies started at the same moment, ten times over: exactly one stays, the other
// hands over and ends.
TEST(SingleInstance, TwoCopiesStartedAtOnce)
{
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const QString name = "qv-test-" + QUuid::createUuid().toString(QUuid::Id128);
        QTemporaryDir folder;
        const QByteArray gatePath = QFile::encodeName(folder.filePath("gate"));
        ASSERT_EQ(::mkfifo(gatePath.constData(), 0600), 0);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QV_SINGLE_INSTANCE_CHILD", name);
        environment.insert("QV_SINGLE_INSTANCE_GATE", QString::fromUtf8(gatePath));
        std::unique_ptr<QProcess> copies[2];
        for (auto &copy : copies) {
            copy = std::make_unique<QProcess>();
            copy->setProcessEnvironment(environment);
            copy->setProcessChannelMode(QProcess::SeparateChannels);
            copy->start(QCoreApplication::applicationFilePath(), {"--gtest_also_run_disabled_tests", "--gtest_filter=SingleInstanceChild.DISABLED_Claim"});
            ASSERT_TRUE(copy->waitForStarted(10000));
        }
        for (auto &copy : copies) {
            QByteArray output;
            while (!output.contains("ready") && copy->waitForReadyRead(30000))
                output += copy->readAllStandardOutput();
            ASSERT_TRUE(output.contains("ready"));
        }
        // Both wait at the gate: opening its other end lets them through at once.
        const int gate = ::open(gatePath.constData(), O_WRONLY);
        ASSERT_GE(gate, 0);
        QStringList answers;
        for (auto &copy : copies) {
            QByteArray output;
            while (!output.contains("claim:") || !output.endsWith('\n')) {
                if (!copy->waitForReadyRead(30000))
                    break;
                output += copy->readAllStandardOutput();
            }
            const qsizetype at = output.indexOf("claim:");
            answers << (at < 0 ? QString("none") : QString::fromUtf8(output.mid(at + 6)).section('\n', 0, 0));
        }
        ::close(gate);
        EXPECT_EQ(answers.count("first"), 1) << answers.join(',').toStdString();
        EXPECT_EQ(answers.count("second"), 1) << answers.join(',').toStdString();
        for (int i = 0; i < 2; ++i) {
            if (answers[i] == "second") {
                EXPECT_TRUE(copies[i]->waitForFinished(30000));
            }
        }
        for (auto &copy : copies) {
            copy->closeWriteChannel();
            if (!copy->waitForFinished(30000))
                copy->kill();
        }
    }
}

TEST(SingleInstance, ServerKeyNamesTheXServerNotTheText)
{
    const struct {
        const char *display;
        const char *key;
    } cases[] = {
        {":0", "0"},        {":0.0", "0"},       {"unix:0", "0"},       {":00.1", "0"},
        {":12", "12"},      {"host:10.0", "host-10"}, {"tcp/host:3", "host-3"}, {"", ""},
        {"weird", "weird"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qv::SingleInstance::xServerKey(c.display), c.key) << c.display;
}

// One copy per X server: a launch on another server runs, one on the same server (however
// its name is written) hands over.
TEST(SingleInstance, OneCopyPerXServer)
{
    const QString display = QStringLiteral(":%1").arg(90000 + ::getpid() % 10000);
    qv::SingleInstance first(qv::SingleInstance::defaultName(display));
    ASSERT_TRUE(first.claim());
    qv::SingleInstance other(qv::SingleInstance::defaultName(display + "1"));
    EXPECT_TRUE(other.claim());
    qv::SingleInstance same(qv::SingleInstance::defaultName("unix" + display + ".0"));
    EXPECT_FALSE(same.claim());
}
