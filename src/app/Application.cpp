#include "app/Application.h"

#include "app/AppSettings.h"
#include "app/AppEngine.h"
#include "design/Design.h"

#include "display/DisplayEngine.h"
#include "display/DisplayTuning.h"
#include "display/ProtectionSettings.h"
#include "display/ScreenDetector.h"
#include "platform/Platform.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/SingleInstance.h"
#include "runtime/UserDefaults.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QScreen>

#include <cstdio>

namespace qv {

int runApplication(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Quellvista"));
    QGuiApplication::setOrganizationName(QStringLiteral("Tebrix"));
    QGuiApplication::setOrganizationDomain(QStringLiteral("tebrix.com"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quellvista, eye comfort for your displays"));
    parser.addHelpOption();
    QCommandLineOption machineOption(QStringLiteral("machine"),
                                     QStringLiteral("Run on the simulated machine described in <file>."),
                                     QStringLiteral("file"));
    parser.addOption(machineOption);
    parser.process(app);

    QString machinePath = parser.value(machineOption);
    if (machinePath.isEmpty())
        machinePath = qEnvironmentVariable("QUELLVISTA_MACHINE");

    std::unique_ptr<SimulatedMac> machine;
    if (machinePath.isEmpty()) {
        // The built-in machine lies over the real screens, so that its panels and windows
        // land where the user looks.
        machine = SimulatedMac::standard();
        QList<QRectF> frames;
        for (QScreen *screen : QGuiApplication::screens())
            frames << QRectF(screen->geometry());
        machine->layOverScreens(frames);
    } else {
        QString error;
        machine = SimulatedMac::fromFile(machinePath, &error);
        if (!machine) {
            std::fprintf(stderr, "quellvista: cannot use the machine description %s\n",
                         qUtf8Printable(error));
            return 2;
        }
    }
    installSimulatedMac(machine.get());
    registerApplicationDefaults(UserDefaults::standard());

    SingleInstance instance(SingleInstance::defaultName());
    if (!instance.claim())
        return 0;

    // The display protections: the tuning values saved last time, the reconfiguration
    // watch, and the stored switches applied once.
    const DisplayTuningSnapshot launchSnapshot = DisplayTuning::savedSnapshot();
    DisplayEngine &displayEngine = DisplayEngine::shared();
    ScreenDetector screenDetector(displayEngine);
    screenDetector.registerForReconfiguration();
    applyStoredProtectionSettings(displayEngine, UserDefaults::standard());
    scheduler().post(&app, [launchSnapshot] { DisplayTuning::shared().applySnapshot(launchSnapshot); });

    design::applyApplicationDefaults();
    design::chooseSceneGraphBackend();
    QQmlApplicationEngine engine;
    prepareAppEngine(engine);
    QObject::connect(&instance, &SingleInstance::activationRequested, &engine, [&engine] {
        for (QObject *root : engine.rootObjects()) {
            if (auto *window = qobject_cast<QQuickWindow *>(root)) {
                window->show();
                window->raise();
                window->requestActivate();
            }
        }
    });
    engine.load(QUrl(QStringLiteral("qrc:/Quellvista/App/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    // The application's own life cycle reaches the models through the workspace.
    SimWorkspace &workspace = machine->workspace();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&workspace] { workspace.postWillTerminate(); });
    scheduler().post(&app, [&workspace] { workspace.finishLaunching(); });

    const int code = app.exec();
    resetSharedInstances();
    installSimulatedMac(nullptr);
    return code;
}

} // namespace qv
