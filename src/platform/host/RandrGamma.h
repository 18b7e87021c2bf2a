#pragma once

#include "platform/host/GammaMethod.h"
#include "platform/x11/XConnection.h"
#include "runtime/Logging.h"

#include <QSet>

namespace qv::host {

// Gamma ramps through the X server's RandR 1.3: the active outputs are those that drive a
// CRTC with a mode, whatever their connection state; their identity comes from the EDID,
// and a CRTC handle is the RandR CRTC id. Every call answers at once (the X server is
// local and quick); RandR's change events, coalesced into one look per burst, say
// layoutChanged(). The server mark is a property of the root window that a server
// started again does not carry.
class RandrGamma final : public GammaMethod {
    Q_OBJECT
public:
    struct Options {
        QString displayName; // empty: $DISPLAY
        // The process's connection to that display; null: one of its own.
        x11::XConnection *connection = nullptr;
        // Set where the server's ramps do not reach the screens (XWayland): the outputs
        // are read as usual, and this is the reason formulas are not applied.
        QString notReachingReason;
    };
    explicit RandrGamma(Options options, QObject *parent = nullptr);

    QString methodName() const override { return QStringLiteral("X11 RandR"); }
    QString unavailableReason() const override { return m_notReaching.isEmpty() ? m_reason : m_notReaching; }
    Layout layout() const override { return m_layout; }
    std::optional<GammaRamp> currentRamp(quint32 crtc) override;
    Result writeRamp(quint32 crtc, const GammaRamp &ramp) override;
    QString serverMark() override;
    void refresh() override;

    // The X display this talks to (":1").
    QString displayName() const { return m_displayName; }
    bool isConnected() const { return m_x && m_x->isConnected() && m_randrEventBase != 0; }

    // A mode's refresh rate from its timings (Hz); 0 when the clock or a total is zero.
    static double refreshRate(quint32 dotClock, int hTotal, int vTotal, quint32 modeFlags);

private:
    Layout queryLayout();
    // The EDID the output publishes, decoded; a bad one logged once.
    EdidInfo readEdid(quint32 output, const QString &name);
    void scheduleReload();
    void logOnce(const QString &key, const QString &message);

    Logger m_log{"HostDisplays"};
    QString m_displayName;
    QString m_reason;
    QString m_notReaching;
    QString m_mark;
    x11::XConnection *m_x = nullptr;
    quint8 m_randrEventBase = 0;
    bool m_reloadQueued = false;
    quint32 m_edidAtom = 0;
    quint32 m_connectorTypeAtom = 0;
    Layout m_layout;
    QSet<QString> m_logged;
};

} // namespace qv::host
