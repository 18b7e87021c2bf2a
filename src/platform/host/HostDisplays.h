#pragma once

#include "platform/Displays.h"
#include "platform/host/Edid.h"
#include "platform/host/GammaMethod.h"
#include "platform/host/GammaOriginals.h"
#include "platform/host/GammaRamp.h"
#include "platform/host/GammaRestoreFile.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QRect>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace qv {

namespace host {
class GnomeNightLight;
class WaylandConnection;
}
namespace x11 {
class XConnection;
}

// The host's display services over one way of setting gamma ramps (a GammaMethod: X11
// RandR, GNOME's display configuration, wlroots gamma control). What every method shares
// lives here: a display's id follows the monitor on it (monitorDisplayId()), the main
// display, mirror sets, the page's note, the reconfiguration callbacks, and the kept
// originals with their restore.
//
// Where the method cannot read back what it wrote after a kill (RandR, GNOME), a CRTC's
// original is kept before its first change, in memory and in a private runtime folder
// shared by every copy of ours on the server (GammaOriginals says what goes back where),
// before the change reaches the screen; where it cannot be kept, no formula is applied.
// restoreColorSyncSettings() writes every CRTC we wrote, lit or not (a CRTC switched off
// keeps its ramp), except one whose ramp another program set since our last write; an
// original put back stays kept until a read shows it on its CRTC (a write the compositor
// did not answer may never have reached it). A new
// instance puts back what a process that ended without doing so left, before anything
// else is written, unless the server was started again since or another copy still
// relies on it. Where the compositor puts the originals back itself (wlroots), nothing
// is kept.
// It lives on the main thread and is used there only (asserted), as its method is: what it
// asks of the method and writes to the runtime folder needs no lock.
class HostDisplays final : public QObject, public Displays {
    Q_OBJECT
public:
    // An X11 session's displays through RandR.
    struct Options {
        QString displayName;     // empty: $DISPLAY
        bool waylandSession = false; // ramps set through XWayland do not reach the screens
        QString restoreFilePath; // empty: the runtime folder's file for the display
        x11::XConnection *connection = nullptr; // the process's to that display; null: one of its own
    };
    explicit HostDisplays(Options options, QObject *parent = nullptr);
    // The displays through another method. The kept originals go in the runtime folder's
    // file for restoreServer (restoreFilePath where given); a method whose compositor
    // restores keeps none.
    HostDisplays(std::unique_ptr<host::GammaMethod> method, const QString &restoreServer,
                 const QString &restoreFilePath = {}, QObject *parent = nullptr);
    ~HostDisplays() override;

    // What the session is and offers, for forSession().
    struct Session {
        QString sessionType;    // $XDG_SESSION_TYPE
        QString waylandDisplay; // $WAYLAND_DISPLAY
        QString xDisplay;       // $DISPLAY
        QDBusConnection bus = QDBusConnection(QString());
        // The process's connection to the compositor, shared with its other Wayland clients
        // (kept alive longer than the displays); without one, the wlroots method makes its own.
        host::WaylandConnection *wayland = nullptr;
        x11::XConnection *x = nullptr; // the process's connection to xDisplay; null: RandR opens its own
        static Session current();
    };
    enum class Method { randr, gnome, wlroots, none };
    // Which method the session gets: RandR in an X11 session; in a Wayland session GNOME's
    // display configuration where it is on the session bus, else the compositor's wlroots
    // gamma control where a Wayland socket is reached, else none.
    static Method chooseMethod(bool waylandSession, bool gnomeOnBus, bool waylandSocket);
    // The displays for the session, through the method it gets; logged once.
    static std::unique_ptr<HostDisplays> forSession(const Session &session);

    // GNOME's own Night Light, which the page mentions while it is on.
    void followNightLight(std::unique_ptr<host::GnomeNightLight> nightLight);

    host::GammaMethod &method() const { return *m_method; }
    // Why transfer formulas cannot reach the screens; empty when they can.
    QString limitationText() const;
    const GammaRestoreFile &restoreFile() const { return m_restoreFile; }

    // The display whose output has this name ("eDP-1"); the windowing system names screens so.
    std::optional<DisplayId> displayForOutputName(const QString &outputName) const;
    // The name of the display's output ("eDP-1"); empty for an unknown display.
    QString outputName(DisplayId display) const;
    // Where the display's output lies in the desktop and its size in pixels; empty for an
    // unknown display.
    QRect outputGeometry(DisplayId display) const;
    // The monitor name from the display's EDID; empty without one.
    QString monitorName(DisplayId display) const;
    // What the screen is called: the monitor name, with the output's where another lit
    // monitor has that name too ("D3218HN (DP-1)"): a pair of one model can be told apart;
    // empty without a monitor name.
    QString screenName(DisplayId display) const;
    // The size of the ramp of the CRTC that drives the display; 0 without one.
    int gammaRampSize(DisplayId display) const;
    // The ramp the display's CRTC holds now, as the method last read it.
    std::optional<GammaRamp> currentGammaRamp(DisplayId display);
    // Writes a ramp to the display's CRTC as setTransferFormula() does, without keeping the
    // original (benchmarks).
    DisplayResult writeGammaRamp(DisplayId display, const GammaRamp &ramp);
    // Reads the configuration again where the method can do so at once, and reports what
    // changed; the method's own change events do this.
    void reloadConfiguration();
    // After sleep or a return to the session (the CRTCs may have been reset): what was
    // written is forgotten, so that the next formula reaches every CRTC again, and keeping
    // the originals is tried again.
    void screensDidWake();
    // A window manager or compositing manager took over, and may have reset the ramps (as
    // KWin does): the ramps are read again at once and a few times over the next seconds,
    // and where one no longer holds what we wrote, its formula is written again. The kept
    // originals stay as they are: a ramp a manager reset is no original.
    void managersChanged();
    // Whether what a killed run left was put back (or there is nothing to look at: the
    // method keeps no originals); a method that reads ahead says so after its first layout.
    bool hasLookedAtWhatARunLeft() const { return m_restored || !keepsOriginals(); }

    // Displays
    QList<DisplayId> activeDisplays() override;
    DisplayId mainDisplay() override;
    bool isBuiltin(DisplayId display) override;
    bool isInMirrorSet(DisplayId display) override;
    quint32 vendorNumber(DisplayId display) override;
    quint32 modelNumber(DisplayId display) override;
    quint32 serialNumber(DisplayId display) override;
    int pixelsWide(DisplayId display) override;
    int pixelsHigh(DisplayId display) override;
    std::optional<DisplayMode> currentMode(DisplayId display) override;
    QList<DisplayMode> allModes(DisplayId display, bool includeDuplicateLowResolution) override;
    DisplayResult setTransferFormula(DisplayId display, const TransferFormula &formula) override;
    // The output's kept original ramp (a linear ramp is not what the user had).
    DisplayResult resetTransferFormula(DisplayId display) override;
    void restoreColorSyncSettings() override;
    bool transferFormulasReachScreens() override;
    bool takesTransferFormula(DisplayId display) override;
    QString transferFormulaNote() override;
    // The id the method gave the display before ids followed the monitor (RandR's output id).
    std::optional<DisplayId> formerDisplayId(DisplayId display) override;
    std::optional<DisplayId> loneDisplayId(DisplayId display) override;
    std::optional<DisplayId> previousDisplayId(DisplayId display) override;
    std::optional<DisplayId> twinDisplayId(DisplayId display) override;
    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void removeReconfigurationCallback(int token) override;

signals:
    // transferFormulaNote(), transferFormulasReachScreens() or takesTransferFormula() may
    // say something else now.
    void transferFormulaNoteChanged();

private:
    using Result = host::GammaMethod::Result;
    using Status = host::GammaMethod::Status;

    struct Output {
        DisplayId id = 0;  // follows the monitor (monitorDisplayId())
        quint32 formerId = 0;
        QString name;
        quint32 crtc = 0;
        bool builtIn = false;
        EdidInfo edid;
        QString monitor; // the EDID's identity, empty without one
        // What the kept originals know the monitor by: its identity, with the output's name
        // where another connected monitor has the same identity (twins).
        QString keptAs;
        DisplayId loneId = 0; // a twin's: the id its monitor has alone (layoutOf())
        // The id the monitor had on this output before a twin arrived or left (readLayout()).
        DisplayId previousId = 0;
        DisplayId twinId = 0; // a monitor's alone: the id it has on this output beside a twin
        QList<DisplayMode> modes;
        int currentMode = -1;
        QPoint position;
        int pixelsWide = 0;
        int pixelsHigh = 0;
    };
    struct Layout {
        QList<Output> outputs; // active ones, in the server's order
        QHash<quint32, int> gammaSizes;
        DisplayId main = 0;
    };

    void start();
    void readLayout();
    // A monitor that became a twin, or one no longer, while it stayed on its output: what is
    // kept under the name it had goes under the one it has now.
    void renameKeptOriginals(const QList<QPair<QString, QString>> &renamed);
    static Layout layoutOf(const host::GammaMethod::Layout &read);
    static bool isMirroredIn(const Layout &layout, const Output &output);
    // The one place a method's answer becomes the display services' result.
    static DisplayResult displayResult(const Result &result);
    // newChange: the formula starts a change rather than following the display's last one
    // as the next frame of a fade; only then is a refused ramp asked for again.
    Result apply(DisplayId display, const TransferFormula &formula, bool newChange = false);
    QList<ShownMonitor> shownOn(quint32 crtc) const;
    QString crtcNames(quint32 crtc) const;
    bool keepsOriginals() const;
    bool readOriginals(GammaOriginals *originals, QString *error) const;
    bool writeOriginals(const GammaOriginals &originals, QString *error) const;
    Result keepOriginal(quint32 crtc, int size, DisplayId display);
    const Output *findOutput(DisplayId display) const;
    Result writeRamp(quint32 crtc, const GammaRamp &ramp);
    void restoreKeptRamps();
    // Writes the ramps kept by output (by older versions) whose output shows their monitor
    // now, and takes them out of kept (the CRTC's entries learn the monitor's original);
    // an awaited put-back on the CRTC awaits that ramp. Returns the outputs written.
    QStringList putBackByOutput(GammaOriginals &kept, QHash<quint32, GammaRamp> &putBack, bool atStart);
    // The same while running, for outputs lit since, in the restore file.
    void putBackLitByOutput();
    void writeFailed(quint32 crtc, const QString &reason);
    // A read shows the ramp on the CRTC: an original put back and shown there is settled.
    void rampRead(quint32 crtc, const GammaRamp &ramp);
    void settle(quint32 crtc);
    // Asks the method to read the CRTCs whose originals were put back.
    void readPutBack(const QList<quint32> &crtcs);
    // Writes the formula again where a ramp no longer holds what we wrote.
    void rewriteChangedRamps();
    void logOnce(const QString &key, const QString &message) const;
    // The user's change meets a method that cannot set ramps now: a layout it waits to read
    // again is asked for at once, at most once per kChangeGapMs (not at every frame of a fade).
    void askForLayout();

    Logger m_log{"HostDisplays"};
    std::unique_ptr<host::GammaMethod> m_method;
    std::unique_ptr<host::GnomeNightLight> m_nightLight;
    QString m_server;      // what the restore file names the server by
    QString m_keepProblem; // why the originals cannot be kept; empty when they can
    GammaRestoreFile m_restoreFile;
    QString m_serverMark;
    bool m_announced = false; // the method's state was logged
    bool m_restored = false;  // what a killed run left was looked at

    Layout m_layout;
    GammaOriginals m_originals;              // as the restore file held them at our last look
    QString m_user;                          // how the restore file names this instance
    QHash<quint32, GammaRamp> m_lastWritten; // by CRTC, what we wrote last, until a reconfiguration
    QHash<quint32, GammaRamp> m_ours;        // by CRTC, what we wrote last
    QHash<quint32, QString> m_failed;        // by CRTC, why the method could not set its ramp
    QHash<quint32, GammaRamp> m_putBack;     // by CRTC, an original written back, kept until a read shows it
    bool m_restoreAgain = false;             // originals met a layout being read: written once it is in
    QHash<DisplayId, TransferFormula> m_formulas; // the formula each display was given last
    QHash<DisplayId, TransferFormula> m_again;    // to write again once the layout is read again
    QSet<DisplayId> m_refused;                    // whose last formula the method refused
    // A formula that follows the display's last one within this time is part of the same
    // change (a fade's frames, a slider being dragged).
    static constexpr qint64 kChangeGapMs = 500;
    QHash<DisplayId, qint64> m_formulaAt; // when each display was given its last formula (monotonic)
    std::optional<qint64> m_layoutAskedAt; // when askForLayout() last asked (monotonic)
    mutable QSet<QString> m_logged;
    QList<TaskHandle> m_rampChecks; // after a manager took over
    QMap<int, ReconfigurationCallback> m_callbacks;
    int m_nextToken = 1;
};

} // namespace qv
