#include "app/Application.h"

#include "app/AppSettings.h"
#include "app/AppEngine.h"
#include "app/QuellvistaApp.h"
#include "design/Design.h"

#include "platform/Platform.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Files.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/SingleInstance.h"
#include "runtime/TerminationSignals.h"
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
    // Overlay panels, key monitors and notifications of the desktop session, where it
    // offers them.
    DesktopServices desktop;
    installPlatform(desktop.over(platform()));

    SingleInstance instance(SingleInstance::defaultName());
    if (!instance.claim())
        return 0;
    // Writes that a crash or a kill cut short leave their temporary files behind.
    files::removeStaleTemporaryFiles();

    int code = 0;
    {
        // Everything the application keeps for the life of the process.
        QuellvistaApp application;

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

        // The launch action runs each time the main window's content appears.
        if (auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst())) {
            QObject::connect(window, &QWindow::visibleChanged, &application, [&application](bool visible) {
                if (visible)
                    application.launchAction();
            });
            if (window->isVisible())
                scheduler().post(&application, [&application] { application.launchAction(); });
        }

        // The application's own life cycle reaches the models through the workspace. A
        // request to end the process from outside quits through the same path as Quit.
        SimWorkspace &workspace = machine->workspace();
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&workspace] {
            workspace.postWillTerminate();
            UserDefaults::standard().sync();
        });
        TerminationSignals terminationSignals([](int) { QCoreApplication::quit(); });
        scheduler().post(&app, [&workspace] { workspace.finishLaunching(); });

        code = app.exec();
    }
    // The models go before the shared instances they use.
    resetSharedInstances();
    installSimulatedMac(nullptr);
    return code;
}

} // namespace qv
