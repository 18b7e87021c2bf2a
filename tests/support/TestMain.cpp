#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Every test program runs with a GUI application object on the main thread; without a
// display it uses the offscreen platform.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
