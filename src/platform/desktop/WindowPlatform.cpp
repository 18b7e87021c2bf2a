#include "platform/desktop/WindowPlatform.h"

#include <QGuiApplication>

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cstring>

namespace qv {

namespace {

// What prepare() set, to be put back by restore().
struct WindowPlatformSaved {
    bool platformSet = false;
    bool imModuleSet = false;
};
WindowPlatformSaved &windowPlatformSaved()
{
    static WindowPlatformSaved value;
    return value;
}

} // namespace

WindowPlatform::Choice WindowPlatform::choose(const Environment &environment, const std::function<bool()> &xReachable,
                                              const std::function<std::optional<bool>()> &compositorHasSeat)
{
    Choice choice;
    const QString chosen =
        !environment.platformArgument.isEmpty() ? environment.platformArgument : environment.qpaPlatform.trimmed();
    const bool waylandSession = environment.waylandSession();
    if (chosen.isEmpty() && waylandSession && !environment.xDisplay.trimmed().isEmpty()) {
        if (xReachable()) {
            choice.platform = "xcb";
            // What the overlays are is said once the compositor's offers are known.
            choice.note = QStringLiteral("The windows go through XWayland (QT_QPA_PLATFORM=wayland chooses Qt's own "
                                         "Wayland platform)");
            return choice;
        }
        choice.note = QStringLiteral("XWayland (DISPLAY=%1) does not answer").arg(environment.xDisplay.trimmed());
    }
    // Qt takes its Wayland platform where asked, or by itself where a compositor is named,
    // whatever XDG_SESSION_TYPE says (unset, or "tty" for a compositor started from a
    // console): whether it has a seat is asked of the compositor.
    const bool wayland = chosen.startsWith(QLatin1String("wayland")) || (chosen.isEmpty() && waylandSession);
    if (wayland && !environment.imModuleSet && compositorHasSeat() == false) {
        choice.noInputMethod = true;
        const QString seat = QStringLiteral("The compositor offers no seat (no keyboard, no pointer): the windows "
                                            "take no text input");
        choice.note = choice.note.isEmpty() ? seat : choice.note + QStringLiteral("; ") + seat;
    }
    return choice;
}

WindowPlatform::Environment WindowPlatform::current(int argc, char **argv)
{
    Environment environment;
    environment.qpaPlatform = qEnvironmentVariable("QT_QPA_PLATFORM");
    environment.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    environment.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    environment.xDisplay = qEnvironmentVariable("DISPLAY");
    environment.imModuleSet = qEnvironmentVariableIsSet("QT_IM_MODULE");
    // Qt's own option, in either spelling, with its value as the next argument.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            environment.platformArgument = QString::fromLocal8Bit(argv[i + 1]);
    return environment;
}

WindowPlatform::Choice WindowPlatform::prepare(int argc, char **argv)
{
    const Environment environment = current(argc, argv);
    const Choice choice = choose(
        environment, [&] { return xServerReachable(environment.xDisplay); },
        [&] { return compositorHasSeat(environment.waylandDisplay); });
    if (!choice.platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", choice.platform);
        windowPlatformSaved().platformSet = true;
    }
    if (choice.noInputMethod) {
        qputenv("QT_IM_MODULE", "none");
        windowPlatformSaved().imModuleSet = true;
    }
    return choice;
}

void WindowPlatform::restore()
{
    if (std::exchange(windowPlatformSaved().platformSet, false))
        qunsetenv("QT_QPA_PLATFORM");
    if (std::exchange(windowPlatformSaved().imModuleSet, false))
        qunsetenv("QT_IM_MODULE");
}

QString WindowPlatform::wayNote(const Choice &choice, const Environment &environment)
{
    if (nativeWayland())
        return QStringLiteral("The windows go through Qt's own Wayland platform (QT_QPA_PLATFORM=xcb chooses XWayland "
                              "where the session has it): the compositor places them, so the pop-over opens where it "
                              "puts new windows, not by the tray icon");
    // The choice's own note says it where the application chose XWayland.
    if (environment.waylandSession() && choice.platform.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb"))
        return QStringLiteral("The windows go through XWayland, as QT_QPA_PLATFORM or -platform chose");
    return {};
}

bool WindowPlatform::nativeWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowPlatform::xServerReachable(const QString &display)
{
    const QByteArray name = display.trimmed().toLocal8Bit();
    if (name.isEmpty())
        return false;
    xcb_connection_t *connection = xcb_connect(name.constData(), nullptr);
    const bool reached = connection && xcb_connection_has_error(connection) == 0;
    if (connection)
        xcb_disconnect(connection);
    return reached;
}

std::optional<bool> WindowPlatform::compositorHasSeat(const QString &display)
{
    const QByteArray name = display.toLocal8Bit();
    wl_display *connection = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (!connection)
        return std::nullopt;
    bool seat = false;
    static const wl_registry_listener listener = {
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
            if (std::strcmp(interface, wl_seat_interface.name) == 0)
                *static_cast<bool *>(data) = true;
        },
        [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry *registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &listener, &seat);
    const bool answered = wl_display_roundtrip(connection) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    if (!answered)
        return std::nullopt;
    return seat;
}

} // namespace qv
