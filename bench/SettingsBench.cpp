// What the Settings page costs: one capture of the deep display diagnostics over the
// simulated machine's framebuffers (done when the page is shown and on Refresh), and the
// main window's switch to Settings and to Display & Comfort up to the first frame drawn
// with the page. A page switch is meant to stay under 100 ms; run it under the virtual X
// server (QT_QPA_PLATFORM=xcb) to draw as the application does: the scene graph backend
// is chosen as the application chooses it (the software renderer where OpenGL is itself
// software), unless QT_QUICK_BACKEND names one.

#include "app/AppEngine.h"
#include "app/DeepDisplayDiagnostics.h"
#include "app/MainWindowModel.h"
#include "design/Design.h"
#include "platform/Platform.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Files.h"
#include "runtime/Shared.h"
#include "runtime/UserDefaults.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace qv;

// A simulated machine, a defaults store and a data folder of their own.
struct Machine {
    QTemporaryDir dir;
    std::unique_ptr<SimulatedMac> mac = SimulatedMac::standard();
    std::unique_ptr<UserDefaults> defaults;
    Machine()
    {
        files::setRootOverride(dir.path());
        installSimulatedMac(mac.get());
        defaults = std::make_unique<UserDefaults>();
        UserDefaults::setStandard(defaults.get());
    }
    ~Machine()
    {
        resetSharedInstances();
        UserDefaults::setStandard(nullptr);
        installSimulatedMac(nullptr);
    }
};

void BM_DiagnosticsCapture(benchmark::State &state)
{
    Machine machine;
    for (auto _ : state) {
        DeepDisplayDiagnosticsSnapshot snapshot = DeepDisplayDiagnosticsSnapshot::capture();
        benchmark::DoNotOptimize(snapshot.displays.data());
    }
}
BENCHMARK(BM_DiagnosticsCapture)->Unit(benchmark::kMicrosecond);

// Waits until the window has drawn a frame.
void awaitFrame(QQuickWindow &window)
{
    QEventLoop loop;
    QObject::connect(&window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
    window.update();
    loop.exec();
}

// The main window's switch to a section (Settings, or Display & Comfort) from another,
// up to the first frame drawn with its page.
void pageSwitch(benchmark::State &state, MainWindowModel::Section from, MainWindowModel::Section to)
{
    Machine machine;
    design::chooseSceneGraphBackend();
    QQmlEngine engine;
    prepareAppEngine(engine);
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Quellvista/App/qml/MainWindow.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *item = qobject_cast<QQuickItem *>(root.get());
    if (!item) {
        state.SkipWithError(qPrintable(component.errorString()));
        return;
    }
    QQuickWindow window;
    item->setParentItem(window.contentItem());
    window.resize(1100, 760);
    item->setSize(QSizeF(1100, 760));
    window.show();
    auto *model = root->property("windowState").value<MainWindowModel *>();
    for (auto _ : state) {
        model->select(from);
        awaitFrame(window);
        QElapsedTimer timer;
        timer.start();
        model->select(to);
        awaitFrame(window);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    window.close();
}
void BM_SettingsPageSwitch(benchmark::State &state)
{
    pageSwitch(state, MainWindowModel::DisplayAndComfort, MainWindowModel::Settings);
}
BENCHMARK(BM_SettingsPageSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DisplayComfortPageSwitch(benchmark::State &state)
{
    pageSwitch(state, MainWindowModel::Settings, MainWindowModel::DisplayAndComfort);
}
BENCHMARK(BM_DisplayComfortPageSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
