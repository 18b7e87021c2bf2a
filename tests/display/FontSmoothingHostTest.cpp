#include "display/FontSmoothingController.h"

#include "platform/Platform.h"
#include "platform/host/GsettingsFontSmoothing.h"
#include "runtime/Files.h"
#include "runtime/ProcessRunner.h"
#include "support/MissingTool.h"
#include "support/SessionBusConfig.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

// Set in the environment of the program a test starts to be killed midway.
const char *const kKillAt = "QV_FONT_TEST_KILL_AT";

// The desktop's font antialiasing through the real "gsettings" on a private dconf: a
// session bus of the test's own that starts the dconf service (and nothing else) with the
// test's own configuration and runtime folders.
class FontSmoothingHostTest : public QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        for (const char *program : {"gsettings", "dbus-daemon"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QV_SKIP_WITHOUT(program << " is not installed");
        if (!QFile::exists(QStringLiteral("/usr/libexec/dconf-service")))
            QV_SKIP_WITHOUT("the dconf service is not installed");
        for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "GSETTINGS_BACKEND", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            m_saved.emplace_back(name, qgetenv(name));
        if (qEnvironmentVariableIsSet(kKillAt))
            return; // a program to be killed: on the bus of the test that started it
        const QString config = dir->filePath(QStringLiteral("desktop-config"));
        const QString runtime = dir->filePath(QStringLiteral("desktop-runtime"));
        QDir().mkpath(config);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("GSETTINGS_BACKEND", "dconf");
        const QString busConfig = writeSessionBusConfig(dir->filePath(QStringLiteral("bus")), {"ca.desrt.dconf"});
        if (busConfig.isEmpty())
            QV_SKIP_WITHOUT("the dconf service's bus file is not installed");
        m_bus.start(QStringLiteral("dbus-daemon"), {"--config-file=" + busConfig, "--nofork", "--print-address=1"});
        if (!m_bus.waitForReadyRead(10000))
            QV_SKIP_WITHOUT("the private bus did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        if (desktopValue() != QLatin1String("grayscale"))
            QV_SKIP_WITHOUT("the desktop schemas are not installed");
    }
    void TearDown() override
    {
        quit();
        platformServices.reset();
        for (const auto &[name, value] : m_saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            m_bus.waitForFinished(5000);
        }
        QvTest::TearDown();
    }

    static QString desktopValue()
    {
        const ProcessResult result = ProcessRunner::run(QStringLiteral("gsettings"),
                                                        {"get", "org.gnome.desktop.interface", "font-antialiasing"});
        return QString::fromUtf8(result.standardOutput).trimmed().remove(QLatin1Char('\''));
    }
    static void setDesktopValue(const QString &value)
    {
        ProcessRunner::run(QStringLiteral("gsettings"), {"set", "org.gnome.desktop.interface", "font-antialiasing", value});
    }
    QString keptFile() const
    {
        return QDir(files::applicationSupportDirectory()).filePath(GsettingsFontSmoothing::kKeptValueFile);
    }
    // A command in place of "gsettings": a shell script of the test's own.
    QString script(const QString &name, const QByteArray &body) const
    {
        const QString path = dir->filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }
    // Installs the service, with a controller on it.
    FontSmoothingController &start(const QString &program = GsettingsFontSmoothing::kProgram)
    {
        controller.reset();
        service = std::make_unique<GsettingsFontSmoothing>(program);
        PlatformServices services = mac->services();
        services.fontSmoothing = service.get();
        platformServices = std::make_unique<PlatformServices>(services);
        installPlatform(services);
        controller = std::make_unique<FontSmoothingController>();
        return *controller;
    }
    bool settled() { return QTest::qWaitFor([this] { return service->isIdle(); }, 20000); }
    // The application ends: the desktop is put back.
    void quit()
    {
        controller.reset();
        service.reset();
    }

    std::unique_ptr<GsettingsFontSmoothing> service;
    std::unique_ptr<FontSmoothingController> controller;
    std::unique_ptr<PlatformServices> platformServices;

private:
    QProcess m_bus;
    std::vector<std::pair<const char *, QByteArray>> m_saved;
};

} // namespace

TEST_F(FontSmoothingHostTest, SwitchesTheDesktopAndPutsItBackWhenTheApplicationEnds)
{
    setDesktopValue("rgba");
    FontSmoothingController &smoothing = start();
    EXPECT_FALSE(smoothing.isAvailable()) << "unknown before the first read";
    smoothing.refresh();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(smoothing.isAvailable());
    EXPECT_FALSE(smoothing.isDisabled());

    smoothing.setDisabled(true);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(smoothing.isDisabled());
    EXPECT_TRUE(smoothing.lastToggleTime().isValid());
    EXPECT_EQ(desktopValue(), "none");
    EXPECT_TRUE(QFile::exists(keptFile()));

    smoothing.setDisabled(false);
    ASSERT_TRUE(settled());
    EXPECT_EQ(desktopValue(), "rgba") << "the user's own kind of smoothing comes back";
    EXPECT_FALSE(QFile::exists(keptFile()));

    smoothing.setDisabled(true);
    ASSERT_TRUE(settled());
    quit();
    EXPECT_EQ(desktopValue(), "rgba");
    EXPECT_FALSE(QFile::exists(keptFile()));
    EXPECT_TRUE(logs->contains("FontSmoothing", "Font antialiasing put back to rgba"));

    // The file an earlier version kept is still understood at the next start.
    setDesktopValue("none");
    ASSERT_TRUE(files::writeAtomically(keptFile(), R"({"original":"grayscale","written":"none"})"));
    start();
    ASSERT_TRUE(settled());
    EXPECT_EQ(desktopValue(), "grayscale");
    EXPECT_FALSE(QFile::exists(keptFile()));
}

TEST_F(FontSmoothingHostTest, AValueTheUserSetsWhileRunningIsShownAndKept)
{
    FontSmoothingController &smoothing = start();
    smoothing.refresh();
    ASSERT_TRUE(settled());
    smoothing.setDisabled(true);
    ASSERT_TRUE(settled());
    ASSERT_EQ(desktopValue(), "none");

    setDesktopValue("rgba"); // in the desktop's own settings
    ASSERT_TRUE(QTest::qWaitFor([&] { return !smoothing.isDisabled(); }, 10000)) << "the switch shows it";
    ASSERT_TRUE(settled());
    EXPECT_FALSE(QFile::exists(keptFile())) << "nothing of ours to put back";
    smoothing.setDisabled(false);
    ASSERT_TRUE(settled());
    EXPECT_EQ(desktopValue(), "rgba");
    quit();
    EXPECT_EQ(desktopValue(), "rgba");

    // Switched by the user to none while nothing of ours is on the desktop: shown, and kept.
    FontSmoothingController &again = start();
    again.refresh();
    ASSERT_TRUE(settled());
    setDesktopValue("none");
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.isDisabled(); }, 10000));
    quit();
    EXPECT_EQ(desktopValue(), "none");
}

TEST_F(FontSmoothingHostTest, AWriteThatDoesNotTakeIsReportedAndLeavesTheDesktopAsItWas)
{
    const struct {
        const char *what;
        QByteArray body;
        const char *failure;
    } table[] = {
        {"a back-end that keeps nothing", "GSETTINGS_BACKEND=memory exec gsettings \"$@\"\n",
         "The desktop did not keep the change"},
        {"no session bus", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent exec gsettings \"$@\"\n",
         "The desktop did not keep the change"},
        {"a write refused", "[ \"$1\" = set ] && { echo 'dconf: write refused' >&2; exit 1; }\nexec gsettings \"$@\"\n",
         "The desktop did not keep the change"},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.what);
        logs->clear();
        FontSmoothingController &smoothing = start(script(QStringLiteral("gsettings-wrapper"), row.body));
        smoothing.refresh();
        ASSERT_TRUE(settled());
        smoothing.setDisabled(true);
        ASSERT_TRUE(settled());
        EXPECT_FALSE(smoothing.isDisabled());
        EXPECT_FALSE(smoothing.lastToggleTime().isValid());
        EXPECT_EQ(smoothing.failure(), row.failure);
        EXPECT_EQ(logs->messages("FontSmoothing").filter("Failed to toggle font smoothing").size(), 1);
        EXPECT_FALSE(logs->containsPart("FontSmoothing", "set to DISABLED"));
        quit();
        EXPECT_EQ(desktopValue(), "grayscale");
        EXPECT_FALSE(QFile::exists(keptFile()));
    }

    // Where the desktop's value cannot be kept, nothing is switched.
    FontSmoothingController &smoothing = start();
    smoothing.refresh();
    ASSERT_TRUE(settled());
    QDir().mkpath(keptFile()); // a folder in the file's place
    smoothing.setDisabled(true);
    ASSERT_TRUE(settled());
    EXPECT_FALSE(smoothing.isDisabled());
    EXPECT_EQ(smoothing.failure(), "Could not switch");
    EXPECT_EQ(desktopValue(), "grayscale");
}

TEST_F(FontSmoothingHostTest, ADesktopWithoutTheSettingCannotSwitchIt)
{
    const struct {
        const char *what;
        QByteArray body;
    } table[] = {
        {"no schema", "echo 'No such schema \"org.gnome.desktop.interface\"' >&2; exit 1\n"},
        {"an unknown value", "echo \"'subpixel-ish'\"\n"},
        {"a value cut off", "printf \"'gr\\303\"\n"},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.what);
        logs->clear();
        FontSmoothingController &smoothing = start(script(QStringLiteral("gsettings-wrapper"), row.body));
        smoothing.refresh();
        smoothing.refresh();
        ASSERT_TRUE(settled());
        EXPECT_FALSE(smoothing.isAvailable());
        EXPECT_FALSE(smoothing.isDisabled());
        EXPECT_EQ(logs->messages("FontSmoothing").size(), 1);
        smoothing.setDisabled(true);
        ASSERT_TRUE(settled());
        EXPECT_FALSE(smoothing.isDisabled());
    }
    FontSmoothingController &missing = start(dir->filePath(QStringLiteral("no-such-program")));
    missing.refresh();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(missing.isAvailable());
    EXPECT_EQ(desktopValue(), "grayscale");
}

namespace {
// Whether a process of the group is still alive (not a zombie).
bool groupIsAlive(pid_t group)
{
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile stat(it.next() + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toInt() == group && fields.at(0) != "Z")
            return true;
    }
    return false;
}
} // namespace

// A run killed at each step of switching on and off: the next start puts back the user's
// value, never leaving "none" behind.
TEST_F(FontSmoothingHostTest, AKillAtAnyStepOfSwitchingNeverLeavesNoneBehind)
{
    if (qEnvironmentVariableIsSet(kKillAt)) {
        // The program to be killed: switches on and off, and dies at its step.
        const int at = qEnvironmentVariableIntValue(kKillAt);
        const int delayUs = qEnvironmentVariableIntValue("QV_FONT_TEST_KILL_DELAY_US");
        files::setRootOverride(qEnvironmentVariable("QV_FONT_TEST_ROOT"));
        GsettingsFontSmoothing smoothing;
        int steps = 0;
        smoothing.setStepObserver([&](const char *) {
            if (steps++ != at)
                return;
            std::thread([delayUs] {
                std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                ::raise(SIGKILL);
            }).detach();
        });
        smoothing.write(true, {});
        smoothing.write(false, {});
        (void)QTest::qWaitFor([&] { return smoothing.isIdle(); }, 20000);
        ::raise(SIGKILL);
    }
    constexpr int kSteps = 10; // five each way: keep, set, read back, kept, done
    const QString root = dir->path();
    for (int run = 0; run < 40; ++run) {
        SCOPED_TRACE(run);
        QProcess killed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kKillAt), QString::number(run % kSteps));
        environment.insert(QStringLiteral("QV_FONT_TEST_KILL_DELAY_US"), QString::number((run / kSteps) * 4000));
        environment.insert(QStringLiteral("QV_FONT_TEST_ROOT"), root);
        killed.setProcessEnvironment(environment);
        killed.setChildProcessModifier([] { ::setsid(); });
        killed.start(QStringLiteral("/proc/self/exe"),
                     {QStringLiteral("--gtest_filter=FontSmoothingHostTest.AKillAtAnyStepOfSwitchingNeverLeavesNoneBehind")});
        const pid_t group = pid_t(killed.processId());
        ASSERT_TRUE(killed.waitForFinished(30000));
        ASSERT_EQ(killed.exitStatus(), QProcess::CrashExit);
        // Its commands die with it; one may have reached the settings service just before:
        // a write of another key after it waits for the service to be done with it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !groupIsAlive(group); }, 10000));
        ProcessRunner::run(QStringLiteral("gsettings"), {"set", "org.gnome.desktop.interface", "cursor-size", "24"});

        start();
        ASSERT_TRUE(settled());
        EXPECT_EQ(desktopValue(), "grayscale") << "the next start puts the user's value back";
        quit();
        EXPECT_EQ(desktopValue(), "grayscale");
        EXPECT_FALSE(QFile::exists(keptFile()));
    }
}
