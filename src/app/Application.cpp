#include "app/Application.h"

#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/ControlListing.h"
#include "app/GlobalShortcuts.h"
#include "app/QuellvistaApp.h"
#include "design/Design.h"

#include "platform/Platform.h"
#include "platform/Workspace.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/WindowOcclusion.h"
#include "platform/desktop/WindowPlatform.h"
#include "platform/host/HostIdle.h"
#include "platform/host/HostServices.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedMac.h"
#include "runtime/Files.h"
#include "runtime/Logging.h"
#include "runtime/PlatformMessages.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "runtime/SingleInstance.h"
#include "runtime/TerminationSignals.h"
#include "runtime/UserDefaults.h"
#include "runtime/Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QScreen>

#include <csignal>
#include <cstdio>

#include <pwd.h>
#include <unistd.h>

namespace qv {

namespace {
// Lays the machine's screens over the real ones now and again whenever a real screen
// comes, goes or changes its geometry, so that the overlays follow what the user sees
// (the machine reports its own screen change, which re-fits the panels).
void followRealScreens(SimulatedMac &machine, QGuiApplication &app)
{
    // The connections end with the machine (its workspace goes with it).
    QObject *context = &machine.workspace();
    const auto layOver = [&machine] {
        QList<QRectF> frames;
        for (QScreen *screen : QGuiApplication::screens())
            frames << QRectF(screen->geometry());
        machine.layOverScreens(frames);
    };
    const auto watch = [context, layOver](QScreen *screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, layOver);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(&app, &QGuiApplication::screenAdded, context, [watch, layOver](QScreen *screen) {
        watch(screen);
        layOver();
    });
    // A screen that goes is still listed while the signal runs: look again on the next turn.
    QObject::connect(&app, &QGuiApplication::screenRemoved, context,
                     [layOver, context] { QMetaObject::invokeMethod(context, layOver, Qt::QueuedConnection); });
    layOver();
}
} // namespace

namespace {
const char *const kEnvironmentHelp =
    "\nEnvironment:\n"
    "  QUELLVISTA_MACHINE=<file>|simulated  Run on a simulated machine, as --machine does\n"
    "                                       when the option is not given.\n"
    "  QUELLVISTA_CONTROL_LIST=<file>       Write the sliders of every window to <file>\n"
    "                                       once a second, for scripts that drive the\n"
    "                                       application with the pointer.\n"
    "  QT_QUICK_BACKEND=software            Draw the windows in software (without it,\n"
    "                                       a software OpenGL driver is replaced by the\n"
    "                                       software renderer, and a hardware one used).\n"
    "  QSG_RHI_BACKEND=opengl|vulkan        Draw the windows with this graphics API.\n"
    "  QT_QPA_PLATFORM=wayland|xcb          In a Wayland session, show the windows through\n"
    "                                       Qt's own Wayland platform (overlays above other\n"
    "                                       windows only where the compositor offers the\n"
    "                                       layer shell) or through XWayland (the choice\n"
    "                                       where XWayland runs).\n";

// A process started without HOME (from a service, by env -i) keeps its files in the
// account's home folder, as it would at login, rather than under "/".
void ensureHome()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return;
    if (const passwd *account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir)
        ::setenv("HOME", account->pw_dir, 1);
}

// What a run whose main thread did not take a termination signal becomes (see
// TerminationSignals): the same program, asked to put back what the run changed on the
// desktop and to end as the signal ends a process. Replacing the process ends every
// thread of the stuck run first, so that nothing writes a ramp after the originals are
// back; the new image talks to the X server on a connection of its own.
const char *const kPutBackOption = "put-back-after-signal";

[[noreturn]] void becomePutBack(int signal)
{
    char number[16];
    std::snprintf(number, sizeof number, "%d", signal);
    char program[] = "quellvista";
    char option[64];
    std::snprintf(option, sizeof option, "--%s", kPutBackOption);
    char *const arguments[] = {program, option, number, nullptr};
    ::execv("/proc/self/exe", arguments);
    // Without the new image the ramps stay until the next start puts them back.
    TerminationSignals::endAsSignalled(signal);
}

int putBackAfterSignal(int argc, char **argv, int signal)
{
    QCoreApplication app(argc, argv);
    HostServices::putBackWhatARunLeft();
    if (signal > 0 && signal < NSIG)
        TerminationSignals::endAsSignalled(signal);
    return 1;
}
} // namespace

int runApplication(int argc, char **argv)
{
    // The command line is read before anything needs a display, so that --help and
    // --version answer anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quellvista, eye comfort for your displays"));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    QCommandLineOption machineOption(QStringLiteral("machine"),
                                     QStringLiteral("Run on a simulated machine: the one described in <file>, "
                                                    "or \"simulated\" for the built-in one."),
                                     QStringLiteral("file"));
    parser.addOption(machineOption);
    QCommandLineOption putBackOption(QString::fromLatin1(kPutBackOption), QString(), QStringLiteral("signal"));
    putBackOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(putBackOption);
    // Qt's own options (-platform offscreen, -style, -display ...) go on to the application
    // object, which takes them out; they are not listed.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
                             "qwindowtitle", "session", "display", "name", "title", "geometry", "style", "stylesheet",
                             "qmljsdebugger", "visual"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char *name : {"reverse", "nograb", "dograb", "sync", "widgetcount"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Quellvista"));
    QCoreApplication::setApplicationVersion(applicationVersion());
    const bool understood = parser.parse(arguments);
    // Before the application object exists the parser does not know the program's name.
    const QString help = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("quellvista")) +
                         QString::fromLatin1(kEnvironmentHelp) + GlobalShortcuts::commandLineHelp();
    if (!understood || !parser.positionalArguments().isEmpty()) {
        const QString error = understood ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                                         : parser.errorText();
        std::fprintf(stderr, "quellvista: %s\n\n%s", qUtf8Printable(error), qUtf8Printable(help));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qUtf8Printable(help), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("Quellvista %s\n", qUtf8Printable(applicationVersion()));
        return 0;
    }
    ensureHome();
    if (parser.isSet(putBackOption))
        return putBackAfterSignal(argc, argv, parser.value(putBackOption).toInt());
    installQuietPlatformMessages();
    // A window asked to draw again draws on the event loop's next turn, where Qt would wait
    // 5 ms for more requests of the same turn: every animation here asks once per visible
    // change, so the wait only woke the process a second time for each frame.
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");

    // The windows go through XWayland where the session has it (without the compositor's
    // layer shell, overlays keep their place only on X11), unless the user chose a platform.
    const WindowPlatform::Choice windowPlatform = WindowPlatform::prepare(argc, argv);
    // The widgets application: the tray icon and the gear menu are the desktop's own.
    QApplication app(argc, argv);
    WindowPlatform::restore();
    if (!windowPlatform.note.isEmpty())
        Logger("Application").info("%s", qUtf8Printable(windowPlatform.note));
    if (const QString way = WindowPlatform::wayNote(windowPlatform, WindowPlatform::current(argc, argv)); !way.isEmpty())
        Logger("Application").info("%s", qUtf8Printable(way));
    // Closing the main window leaves the process, the tray and every model running.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setApplicationName(QStringLiteral("Quellvista"));
    QGuiApplication::setOrganizationName(QStringLiteral("Tebrix"));
    QGuiApplication::setOrganizationDomain(QStringLiteral("tebrix.com"));
    // The installed desktop entry's name: desktops match the windows to its icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tebrix.Quellvista"));

    // A second launch hands over before it touches anything, the screens included.
    SingleInstance instance(SingleInstance::defaultName());
    if (!instance.claim())
        return 0;

    QString machinePath = parser.value(machineOption);
    if (machinePath.isEmpty())
        machinePath = qEnvironmentVariable("QUELLVISTA_MACHINE");
    // On a desktop session of its own the application acts on the computer itself;
    // elsewhere, and when asked, on the built-in simulated machine.
    const bool onHost = machinePath.isEmpty() && HostServices::sessionIsDesktop();
    if (machinePath == QLatin1String("simulated"))
        machinePath.clear();

    std::unique_ptr<SimulatedMac> machine;
    if (onHost) {
        // The host's own back-ends replace the machine's displays, screens and registry;
        // the services the host has none for yet stay simulated.
        machine = SimulatedMac::empty();
    } else if (machinePath.isEmpty()) {
        // The built-in machine lies over the real screens, so that its panels and windows
        // land where the user looks.
        machine = SimulatedMac::standard();
        followRealScreens(*machine, app);
    } else {
        QString error;
        machine = SimulatedMac::fromFile(machinePath, &error);
        if (!machine) {
            std::fprintf(stderr, "quellvista: cannot use the machine description %s\n",
                         qUtf8Printable(error));
            return 2;
        }
        // Live checks change the battery, the light, the front application and the idle
        // time by rewriting the description while the application runs.
        machine->followDescriptionFile(machinePath);
    }
    // The machine's global defaults (font smoothing) outlive the process, as the system's do.
    machine->keepGlobalDefaultsIn(files::applicationSupportDirectory() + QStringLiteral("/machine-defaults.json"));
    installSimulatedMac(machine.get());
    // Overlay panels, key monitors and notifications of the desktop session, where it
    // offers them.
    DesktopServices desktop;
    // A description with a scripted camera keeps the simulated camera and landmarks.
    const PlatformServices simulated = platform();
    PlatformServices services = desktop.over(simulated);
    if (machine->playsScriptedCamera()) {
        services.camera = simulated.camera;
        services.faceLandmarks = simulated.faceLandmarks;
    }
    // The simulated machine starts at its own login: the session's autostart folder is
    // the computer's, not the machine's.
    if (!onHost)
        services.loginItem = simulated.loginItem;
    // Puts back what a killed run left changed on the screens before anything is applied.
    std::unique_ptr<HostServices> host;
    if (onHost) {
        host = std::make_unique<HostServices>();
        services = host->over(services);
        // Nothing is painted for a blanked screen.
        WindowOcclusion::shared().setScreenBlanked(host->idle().screenBlanked());
        QObject::connect(&host->idle(), &HostIdle::screenBlankedChanged, &WindowOcclusion::shared(),
                         &WindowOcclusion::setScreenBlanked);
    }
    installPlatform(services);

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
        AppScenes scenes(application, engine);
        if (!scenes.load())
            return 1;
        QObject::connect(&instance, &SingleInstance::activationRequested, &scenes, &AppScenes::showMainWindow);
        QObject::connect(&application, &QuellvistaApp::quitRequested, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);

        // The application's own life cycle reaches the models through the workspace. A
        // request to end the process from outside quits through the same path as Quit.
        Workspace &workspace = *platform().workspace;
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&workspace] {
            workspace.postWillTerminate();
            UserDefaults::standard().sync();
        });
        // A main thread too busy to take the request within a second (its event loop
        // flooded) still ends, the desktop put back.
        TerminationSignals terminationSignals([](int) { QCoreApplication::quit(); },
                                              host ? becomePutBack : TerminationSignals::endAsSignalled);
        ControlListing controlListing;
        scheduler().post(&app, [&workspace] { workspace.finishLaunching(); });

        code = app.exec();
    }
    // The models go before the shared instances they use; the screens get their own ramps back.
    resetSharedInstances();
    host.reset();
    installSimulatedMac(nullptr);
    return code;
}

} // namespace qv
