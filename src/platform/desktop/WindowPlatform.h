#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

// The Qt platform the application's windows go through, chosen before the application
// object exists. Where the compositor offers no layer shell, overlays find their place only
// on X11 (Qt's Wayland platform has no layer-shell: a veil would be an ordinary window that
// takes the focus), so in a Wayland session that offers XWayland the windows go through it, unless the user chose a platform
// (QT_QPA_PLATFORM or -platform). Gamma, idle time, the front application and hot keys
// follow the session, not this choice.
//
// Qt's Wayland client crashes on a compositor without a seat (no keyboard, no pointer:
// a headless compositor) as soon as a text is laid out, asking the seat's text input for
// the input direction: there the input method is left out (QT_IM_MODULE=none) for the
// application object, as no key can reach it anyway. Qt goes to a compositor named by
// WAYLAND_DISPLAY whatever XDG_SESSION_TYPE says, so the compositor is asked, not that
// variable.
class WindowPlatform {
public:
    struct Environment {
        QString qpaPlatform;      // $QT_QPA_PLATFORM
        QString platformArgument; // -platform NAME on the command line
        QString sessionType;      // $XDG_SESSION_TYPE
        QString waylandDisplay;   // $WAYLAND_DISPLAY
        QString xDisplay;         // $DISPLAY
        bool imModuleSet = false; // $QT_IM_MODULE set
        // A compositor is named, or the session says it is Wayland's.
        bool waylandSession() const
        {
            return !waylandDisplay.isEmpty() || sessionType == QLatin1String("wayland");
        }
    };
    struct Choice {
        QByteArray platform;       // QT_QPA_PLATFORM for the application object; empty: as it is
        bool noInputMethod = false; // QT_IM_MODULE=none for the application object
        QString note;              // said in the log once the application runs; empty: nothing
    };

    // What this environment gets. xReachable answers whether the X server of $DISPLAY takes
    // a connection; compositorHasSeat whether the Wayland compositor offers a seat (nothing
    // when it cannot be reached). Each is asked only where it decides something.
    static Choice choose(const Environment &environment, const std::function<bool()> &xReachable,
                         const std::function<std::optional<bool>()> &compositorHasSeat);

    // The process's environment and command line.
    static Environment current(int argc, char **argv);
    // Chooses for this process and sets the environment for the application object about
    // to be made; restore() puts it back once the object exists, so that programs started
    // from the application get the user's own.
    static Choice prepare(int argc, char **argv);
    static void restore();

    // Which way the windows went, said once the application object exists: on Qt's own
    // Wayland platform, where the compositor places every window (the pop-over included),
    // and in a Wayland session whose user chose XWayland. Empty where choice's note says it
    // or there is nothing to say.
    static QString wayNote(const Choice &choice, const Environment &environment);

    // Whether the windows go through Qt's own Wayland platform (no overlays above other
    // windows there).
    static bool nativeWayland();

    // Whether the X server named by display takes a connection.
    static bool xServerReachable(const QString &display);
    // Whether the Wayland compositor named by display (empty: wayland-0) offers a seat;
    // nothing when it cannot be reached.
    static std::optional<bool> compositorHasSeat(const QString &display);
};

} // namespace qv
