#pragma once

#include "platform/Displays.h"
#include "platform/host/Edid.h"
#include "platform/host/GammaRamp.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

#include <optional>

namespace qv::host {

// One way of setting the screens' gamma ramps on a Linux desktop: the X server's RandR,
// GNOME's display configuration over D-Bus, the wlroots gamma-control protocol. The host
// display back-end runs one of them and keeps, above it, what all of them share: the
// monitors' identities and display ids, the kept originals, the restore, the page's text.
//
// A method lives on the main thread and never blocks it for long: what it reports comes
// from what it read last (a D-Bus or Wayland method reads ahead, and says layoutChanged()
// when something new is known).
class GammaMethod : public QObject {
    Q_OBJECT
public:
    enum class Status {
        ok,
        unknownCrtc, // no such CRTC (any more)
        wrongSize,   // the ramp's size is not the CRTC's
        stale,       // the layout changed under the write; read it again before writing
        refused,     // the server or compositor said no (another client holds the output, ...)
        gone,        // the connection or service went away
    };
    struct Result {
        Status status = Status::ok;
        QString reason; // a sentence for the log and the page; empty when ok
        bool ok() const { return status == Status::ok; }
    };

    // An output that shows a picture, and what holds its ramp.
    struct Output {
        QString name;      // the connector ("DP-1"); the windowing system names screens so
        quint32 crtc = 0;  // the method's handle of the ramp the output shows; 0 without one
        bool builtIn = false;
        bool primary = false;
        EdidInfo edid;     // vendor, product and serial as the server knows them
        QList<DisplayMode> modes;
        int currentMode = -1; // index into modes
        QPoint position;
        int pixelsWide = 0;
        int pixelsHigh = 0;
        quint32 formerId = 0; // the id earlier versions gave the display (the RandR output); 0 for none
    };
    struct Layout {
        QList<Output> outputs;       // active ones, in the server's order
        // Connected outputs that show nothing (switched off), with their names and EDIDs,
        // where the method knows them: their monitors count when twins are told apart.
        QList<Output> dark;
        QHash<quint32, int> gammaSizes; // by CRTC handle; a CRTC without a usable ramp is absent
                                        // (a CRTC whose output is off may be here too)
    };

    using QObject::QObject;
    ~GammaMethod() override = default;

    // How the log names the method: "X11 RandR", "GNOME display configuration", ...
    virtual QString methodName() const = 0;
    // Whether this is the method of a session that offers none (NoGamma).
    virtual bool isNone() const { return false; }
    // Why the method cannot set ramps now, as a sentence for the page; empty when it can.
    virtual QString unavailableReason() const = 0;
    // The layout read last.
    virtual Layout layout() const = 0;
    // The ramp a CRTC holds, as read last from the server; nothing where the method cannot
    // read ramps (the compositor keeps the originals itself) or has not read it yet.
    virtual std::optional<GammaRamp> currentRamp(quint32 crtc) = 0;
    // Writes a ramp of the CRTC's size. A method that hears the answer later says
    // writeFailed() then. Every method has at most one write under way per CRTC: one asked
    // for meanwhile waits for it, and only the latest that waits is sent (at once at
    // settle()).
    virtual Result writeRamp(quint32 crtc, const GammaRamp &ramp) = 0;
    // Reads the CRTC's ramp from the server after the writes asked for before it, and says
    // rampRead() when it is in; nothing where the ramp cannot be read. By default at once,
    // through currentRamp().
    virtual void readRamp(quint32 crtc)
    {
        if (const std::optional<GammaRamp> ramp = currentRamp(crtc))
            emit rampRead(crtc, *ramp);
    }
    // Asks the compositor again for a ramp it refused the CRTC (another program held it);
    // layoutChanged() follows when the answer changes what is known.
    virtual void askAgain(quint32) {}
    // Asks again at once for a layout the server refused, where the method waits to try
    // again (the user's change); layoutChanged() follows when it is in.
    virtual void askLayoutAgain() {}
    // At quit: sends at once the writes and reads that wait behind one under way (they
    // still reach the server in order, after it), then waits for what is under way and
    // says what it answered, until a call is not answered in time: the ramps put back
    // reach the server, and their reads come in, before the connection goes.
    virtual void settle() {}
    // How the log names a CRTC: by the number the system shows for it.
    virtual QString crtcName(quint32 crtc) const { return QStringLiteral("CRTC %1").arg(crtc); }
    // Whether the compositor puts every original back by itself when we go, so that
    // nothing needs keeping on disk and a kill needs no repair.
    virtual bool compositorRestores() const { return false; }
    // A mark that differs after the server or compositor was started again: ramps kept
    // under another mark are void. Empty where the method cannot tell.
    virtual QString serverMark() { return {}; }
    // Reads the layout again at once where that needs no waiting (RandR), saying
    // layoutChanged() when done; the others follow the server's own change events.
    virtual void refresh() {}

signals:
    // Outputs, CRTCs or sizes changed: read layout() again.
    void layoutChanged();
    // A write, or the control of a CRTC, failed after writeRamp() returned.
    void writeFailed(quint32 crtc, const QString &reason);
    // A read shows the ramp on the CRTC (readRamp(), or a read of the whole layout).
    void rampRead(quint32 crtc, const GammaRamp &ramp);
};

// Whether an output's connector is a built-in panel's (eDP-1, LVDS-1, DSI-1).
inline bool isPanelConnectorName(const QString &name)
{
    for (const char *prefix : {"eDP", "LVDS", "DSI"}) {
        if (name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace qv::host
