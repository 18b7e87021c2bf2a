#pragma once

#include "platform/Displays.h"
#include "platform/host/Edid.h"
#include "platform/host/GammaOriginals.h"
#include "platform/host/GammaRamp.h"
#include "platform/host/GammaRestoreFile.h"
#include "platform/host/XConnection.h"
#include "runtime/Logging.h"

#include <QHash>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QString>

#include <optional>

namespace qv {

// The display services of an X11 server through RandR: the active displays are the
// outputs that drive a CRTC with a mode, whatever their connection state (a display's id
// follows the monitor on it: see monitorDisplayId()), their identity comes from the EDID,
// and transfer formulas become the CRTCs' gamma ramps.
//
// Before the first change of a CRTC's ramp, its original is kept in memory and in a
// private runtime folder shared by every copy of ours on the X server (GammaOriginals
// says what goes back where), before the change reaches the screen; where it cannot be
// kept, no formula is applied. restoreColorSyncSettings() writes every CRTC we wrote,
// lit or not (a CRTC switched off keeps its ramp), except one whose ramp another program
// set since our last write. A new instance puts back what a process that ended without
// doing so left, before anything else is written, unless the X server was started again
// since or another copy still relies on it.
// Configuration changes arrive as RandR events on the thread that created the instance.
class RandrDisplays final : public QObject, public Displays {
    Q_OBJECT
public:
    // Why transfer formulas cannot reach the screens.
    enum class Limitation {
        none,
        wayland,  // ramps set through XWayland do not reach a Wayland compositor's screens
        noServer, // no X server could be reached
        noRandr,  // the server lacks RandR 1.3
        noGamma,  // no CRTC has a gamma ramp
    };

    struct Options {
        QString displayName;     // empty: $DISPLAY
        bool waylandSession = false;
        QString restoreFilePath; // empty: the runtime folder's file for the display
    };
    explicit RandrDisplays(Options options, QObject *parent = nullptr);
    ~RandrDisplays() override;

    Limitation limitation() const;
    // A sentence for the log and the page, empty when formulas do reach the screens.
    static QString limitationText(Limitation limitation);
    // The X display this talks to (":1").
    QString displayName() const { return m_displayName; }
    const GammaRestoreFile &restoreFile() const { return m_restoreFile; }

    // The display whose output has this name ("eDP-1"); the windowing system names screens so.
    std::optional<DisplayId> displayForOutputName(const QString &outputName) const;
    // The name of the display's output ("eDP-1"); empty for an unknown display.
    QString outputName(DisplayId display) const;
    // The monitor name from the display's EDID; empty without one.
    QString monitorName(DisplayId display) const;
    // The size of the ramp of the CRTC that drives the display; 0 without one.
    int gammaRampSize(DisplayId display) const;
    // The ramp the display's CRTC holds now, as the server reports it.
    std::optional<GammaRamp> currentGammaRamp(DisplayId display);
    // Writes a ramp to the display's CRTC as setTransferFormula() does, without keeping the
    // original (benchmarks). Returns 0 or a Core Graphics error code.
    ResultCode writeGammaRamp(DisplayId display, const GammaRamp &ramp);
    // Reads the configuration again and reports what changed; the RandR events do this.
    void reloadConfiguration();
    // After sleep or a return to the session (the CRTCs may have been reset): what was
    // written is forgotten, so that the next formula reaches every CRTC again, and keeping
    // the originals is tried again.
    void screensDidWake();

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
    ResultCode setTransferFormula(DisplayId display, const TransferFormula &formula) override;
    // The output's kept original ramp (a linear ramp is not what the user had).
    ResultCode resetTransferFormula(DisplayId display) override;
    void restoreColorSyncSettings() override;
    bool transferFormulasReachScreens() override;
    QString transferFormulaNote() override;
    // The RandR output id, which was the display's id before ids followed the monitor.
    std::optional<DisplayId> formerDisplayId(DisplayId display) override;
    int registerReconfigurationCallback(ReconfigurationCallback callback) override;
    void removeReconfigurationCallback(int token) override;

    // A mode's refresh rate from its timings (Hz); 0 when the clock or a total is zero.
    static double refreshRate(quint32 dotClock, int hTotal, int vTotal, quint32 modeFlags);

private:
    struct Output {
        DisplayId id = 0;  // follows the monitor (monitorDisplayId())
        quint32 xid = 0;   // the RandR output
        QString name;
        quint32 crtc = 0;
        bool builtIn = false;
        EdidInfo edid;
        QString monitor; // the EDID's identity, empty without one
        QList<DisplayMode> modes;
        int currentMode = -1;
        QPoint position;
        int pixelsWide = 0;
        int pixelsHigh = 0;
    };
    struct Crtc {
        quint32 id = 0;
        int gammaSize = 0;
        QList<DisplayId> outputs; // the active outputs it drives
    };
    struct Layout {
        QList<Output> outputs; // active ones, in the server's order
        QHash<quint32, Crtc> crtcs;
        DisplayId main = 0;
    };

    Layout queryLayout();
    void scheduleReload();
    QString readServerMark();
    static bool isMirroredIn(const Layout &layout, const Output &output);
    QList<ShownMonitor> shownLocked(quint32 crtc) const;
    QString crtcNamesLocked(quint32 crtc) const;
    bool readOriginals(GammaOriginals *originals, QString *error) const;
    bool writeOriginals(const GammaOriginals &originals, QString *error) const;
    ResultCode keepLocked(quint32 crtc, int size, DisplayId display);
    const Output *findLocked(DisplayId display) const;
    std::optional<GammaRamp> readRampLocked(quint32 crtc);
    ResultCode writeRampLocked(quint32 crtc, const GammaRamp &ramp, DisplayId display);
    void restoreKeptRamps();
    void logOnce(const QString &key, const QString &message) const;

    Logger m_log{"HostDisplays"};
    QString m_displayName;
    QString m_server;      // the X server the display name reaches
    QString m_keepProblem; // why the originals cannot be kept; empty when they can
    GammaRestoreFile m_restoreFile;
    QString m_serverMark;
    host::XConnection *m_x = nullptr;
    quint8 m_randrEventBase = 0;
    bool m_reloadQueued = false;
    Limitation m_limitation = Limitation::none;
    quint32 m_edidAtom = 0;
    quint32 m_connectorTypeAtom = 0;

    mutable QMutex m_mutex;
    Layout m_layout;
    GammaOriginals m_originals;              // as the restore file held them at our last look
    QString m_user;                          // how the restore file names this instance
    QHash<quint32, GammaRamp> m_lastWritten; // by CRTC, what we wrote last, until a reconfiguration
    QHash<quint32, GammaRamp> m_ours;        // by CRTC, what we wrote last
    mutable QSet<QString> m_logged;
    QMap<int, ReconfigurationCallback> m_callbacks;
    int m_nextToken = 1;
};

} // namespace qv
