#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include "platform/Platform.h"
#include "platform/desktop/WindowOcclusion.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Every test program runs with the application object the application itself uses (a
// widgets application: the tray's menus are widgets) on the main thread; without a
// display it uses the offscreen platform, with one screen of the size the X server the
// tests otherwise run on has (its own is 800 x 600, smaller than the main window).
int main(int argc, char **argv)
{
    QTemporaryFile screens(QDir::tempPath() + QStringLiteral("/quellvista-tests-screens-XXXXXX.json"));
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY")) {
        QByteArray platform = "offscreen";
        if (screens.open() &&
            screens.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1920, "height": 1200,)"
                          R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") > 0 &&
            screens.flush())
            platform += ":configfile=" + QFile::encodeName(screens.fileName());
        qputenv("QT_QPA_PLATFORM", platform);
    }
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray runtimeDir = "/tmp/quellvista-tests-runtime";
        QDir().mkpath(QString::fromUtf8(runtimeDir));
        QFile::setPermissions(QString::fromUtf8(runtimeDir), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    }
    QApplication app(argc, argv);
    // The test programs share one X server, and one program's windows may lie over
    // another's for a moment: a covered window would stop its animations mid-test.
    qv::WindowOcclusion::shared().setEnabled(false);
    // Models built without a machine of their own run on the built-in simulated Mac.
    qv::useSimulatedMacWhenNoneInstalled();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
