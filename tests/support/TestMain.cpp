#include <QDir>
#include <QFile>
#include <QApplication>

#include "platform/desktop/WindowOcclusion.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Every test program runs with the application object the application itself uses (a
// widgets application: the tray's menus are widgets) on the main thread; without a
// display it uses the offscreen platform.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
