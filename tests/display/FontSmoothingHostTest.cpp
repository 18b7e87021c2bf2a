#include "display/FontSmoothingController.h"

#include "platform/Platform.h"
#include "platform/sim/SimWorkspace.h"
#include "runtime/Files.h"
#include "runtime/ProcessRunner.h"
#include "support/MissingTool.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

using namespace qv;
using namespace qv::test;

namespace {

// The desktop's font antialiasing through the real "gsettings", on a settings file of the
// test's own (GLib's key-file back-end in a temporary configuration folder).
class FontSmoothingHostTest : public QvTest {
protected:
    void SetUp() override
    {
        QvTest::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
            QV_SKIP_WITHOUT("gsettings is not installed");
        m_saved = {qgetenv("GSETTINGS_BACKEND"), qgetenv("XDG_CONFIG_HOME")};
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir->filePath("desktop-config")));
        mac->setProcessHandler(FontSmoothingController::kDesktopProgram, [this](const QStringList &arguments) {
            calls << arguments;
            if (!failSet.isEmpty() && arguments.value(0) == QLatin1String("set") && arguments.value(3) == failSet) {
                // The command changes the setting and then fails.
                ProcessRunner::run(FontSmoothingController::kDesktopProgram, arguments);
                ProcessResult failed;
                failed.started = true;
                failed.exitCode = 1;
                failed.standardError = "dconf: write refused";
                return failed;
            }
            return ProcessRunner::run(FontSmoothingController::kDesktopProgram, arguments);
        });
        PlatformServices services = mac->services();
        services.onHost = true;
        installPlatform(services);
        if (desktopValue() != QLatin1String("grayscale"))
            QV_SKIP_WITHOUT("the desktop schemas are not installed");
    }
    void TearDown() override
    {
        qputenv("GSETTINGS_BACKEND", m_saved.first);
        qputenv("XDG_CONFIG_HOME", m_saved.second);
        QvTest::TearDown();
    }

    static QString desktopValue()
    {
        const ProcessResult result = ProcessRunner::run(FontSmoothingController::kDesktopProgram,
                                                        {"get", "org.gnome.desktop.interface", "font-antialiasing"});
        return QString::fromUtf8(result.standardOutput).trimmed().remove(QLatin1Char('\''));
    }
    static void setDesktopValue(const QString &value)
    {
        ProcessRunner::run(FontSmoothingController::kDesktopProgram,
                           {"set", "org.gnome.desktop.interface", "font-antialiasing", value});
    }
    QString keptFile() const
    {
        return QDir(files::applicationSupportDirectory()).filePath(FontSmoothingController::kKeptValueFile);
    }

    QList<QStringList> calls;
    QString failSet;

private:
    std::pair<QByteArray, QByteArray> m_saved;
};

} // namespace

TEST_F(FontSmoothingHostTest, SwitchesTheDesktopAndPutsItBackWhenTheApplicationTerminates)
{
    FontSmoothingController controller;
    EXPECT_FALSE(controller.isAvailable()) << "unknown before the first read";
    controller.refresh();
    EXPECT_TRUE(controller.isAvailable());
    EXPECT_FALSE(controller.isDisabled());

    controller.setDisabled(true);
    EXPECT_TRUE(controller.isDisabled());
    EXPECT_TRUE(controller.lastToggleTime().isValid());
    EXPECT_EQ(desktopValue(), "none");
    EXPECT_TRUE(QFile::exists(keptFile()));
    controller.refresh();
    EXPECT_TRUE(controller.isDisabled());

    mac->workspace().postWillTerminate();
    EXPECT_EQ(desktopValue(), "grayscale");
    EXPECT_FALSE(QFile::exists(keptFile()));
    EXPECT_TRUE(logs->contains("FontSmoothing", "Font antialiasing put back to grayscale"));
}

TEST_F(FontSmoothingHostTest, SwitchingBackLeavesTheUsersOwnValueAndNothingToPutBack)
{
    setDesktopValue("rgba");
    FontSmoothingController controller;
    controller.refresh();
    controller.setDisabled(true);
    controller.setDisabled(false);
    EXPECT_EQ(desktopValue(), "rgba") << "the user's own kind of smoothing comes back";
    EXPECT_FALSE(QFile::exists(keptFile()));
}

TEST_F(FontSmoothingHostTest, TheNextStartAfterACrashPutsTheDesktopBack)
{
    {
        FontSmoothingController crashed;
        crashed.refresh();
        crashed.setDisabled(true);
        // The process ends here without terminating.
    }
    ASSERT_EQ(desktopValue(), "none");
    FontSmoothingController next;
    EXPECT_EQ(desktopValue(), "grayscale");
    EXPECT_FALSE(QFile::exists(keptFile()));
}

TEST_F(FontSmoothingHostTest, AValueTheUserChoseSinceIsNotOverwritten)
{
    FontSmoothingController controller;
    controller.refresh();
    controller.setDisabled(true);
    setDesktopValue("rgba");
    mac->workspace().postWillTerminate();
    EXPECT_EQ(desktopValue(), "rgba");
    EXPECT_FALSE(QFile::exists(keptFile()));
}

TEST_F(FontSmoothingHostTest, AFailedWriteLeavesTheDesktopAsItWas)
{
    FontSmoothingController controller;
    controller.refresh();
    logs->clear();
    failSet = QStringLiteral("none");
    controller.setDisabled(true);
    EXPECT_FALSE(controller.isDisabled());
    EXPECT_FALSE(controller.lastToggleTime().isValid());
    EXPECT_EQ(desktopValue(), "grayscale");
    EXPECT_FALSE(QFile::exists(keptFile()));
    EXPECT_EQ(logs->messages("FontSmoothing").size(), 1);
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "write refused"));

    // Where the desktop's value cannot be kept, nothing is switched.
    failSet.clear();
    QDir().mkpath(keptFile()); // a folder in the file's place
    controller.setDisabled(true);
    EXPECT_FALSE(controller.isDisabled());
    EXPECT_EQ(desktopValue(), "grayscale");
}

TEST_F(FontSmoothingHostTest, ADesktopWithoutTheSettingCannotSwitchIt)
{
    const struct {
        const char *what;
        ProcessResult result;
    } table[] = {
        {"no schema", [] {
             ProcessResult r;
             r.started = true;
             r.exitCode = 1;
             r.standardError = "No such schema \"org.gnome.desktop.interface\"";
             return r;
         }()},
        {"no program", ProcessResult{}},
        {"an unknown value", [] {
             ProcessResult r;
             r.started = true;
             r.exitCode = 0;
             r.standardOutput = "'subpixel-ish'\n";
             return r;
         }()},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.what);
        mac->setProcessHandler(FontSmoothingController::kDesktopProgram, [&row](const QStringList &) { return row.result; });
        logs->clear();
        FontSmoothingController controller;
        controller.refresh();
        controller.refresh();
        EXPECT_FALSE(controller.isAvailable());
        EXPECT_FALSE(controller.isDisabled());
        EXPECT_EQ(logs->messages("FontSmoothing").size(), 1);
        controller.setDisabled(true);
        EXPECT_FALSE(controller.isDisabled());
        EXPECT_EQ(desktopValue(), "grayscale");
    }
}
