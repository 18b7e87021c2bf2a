// The entry point of the benchmark programs that paint: a GUI application on the
// offscreen platform (unless another is asked for), then the registered benchmarks.
#include "platform/Platform.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Models built without a machine of their own run on the built-in simulated Mac.
    qv::useSimulatedMacWhenNoneInstalled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
