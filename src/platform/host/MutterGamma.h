#pragma once

#include "platform/host/BusValues.h"
#include "platform/host/GammaMethod.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSet>

#include <functional>
#include <memory>

namespace qv::host {

// The screens' gamma ramps through GNOME's display configuration on the session bus
// (org.gnome.Mutter.DisplayConfig), the way to reach them in a GNOME Wayland session.
//
// Every call is asynchronous. The layout is read (GetResources, GetCurrentState, then
// GetCrtcGamma of every lit CRTC) when the service appears, again on MonitorsChanged, and
// when an answer says the serial is stale; layoutChanged() follows once the whole read
// is in, so that currentRamp() then holds every lit CRTC's ramp as the read found it.
// While a read is under way a write answers stale: a CRTC id belongs to one serial, and
// a write is only sent with the serial its CRTC ids were read under (the compositor
// refuses any other, and such a refusal starts a read again). A service that restarts
// is read afresh; one that refuses to tell its layout is asked again after bus::kRetryMs,
// or at once at the user's next change (askLayoutAgain()).
//
// A compositor that does not tell its layout within a call's time (busy, or stopped) is
// said once in the log, and on the page while no layout is known (the displays read
// before stay, and what is written meanwhile waits for the layout); the read stays under
// way, so that its answer, however late, is the layout at once. Only a read left
// unanswered for Options::layoutWaitMs is sent again, at once.
//
// A read whose ramps the compositor does not answer in time (it stalls) gives the layout
// without them: those CRTCs fail with one log line for the stall, and a read of each stays
// under way, asked again at the user's next change too (askAgain()), so that the layout is
// read again as soon as the compositor answers.
//
// Each CRTC has at most one SetCrtcGamma under way; a ramp written meanwhile waits for its
// answer, and only the latest that waits is sent. A write that is not answered in time
// confirms nothing: the CRTC's ramp is unknown until a later answer or read shows it, and
// a stalled compositor is logged once, not at every write that meets it. At quit
// (settle()) what waits is sent at once behind the call under way, so that a stalled
// compositor still ends on it, and the quit waits no longer than the oldest call's timeout.
//
// The CRTC handles it gives are the compositor's CRTC ids plus one (its first CRTC is 0,
// which GammaMethod keeps for "none").
class MutterGamma final : public GammaMethod {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.gnome.Mutter.DisplayConfig";
    static constexpr const char *kPath = "/org/gnome/Mutter/DisplayConfig";
    static constexpr const char *kInterface = "org.gnome.Mutter.DisplayConfig";

    struct Options {
        int callTimeoutMs = 5 * bus::kCallTimeoutMs; // a call not answered by then counts as lost
        int layoutWaitMs = 60'000; // how long a read of the layout waits for its answer before it is sent again
    };

    explicit MutterGamma(const QDBusConnection &sessionBus, QObject *parent = nullptr);
    MutterGamma(const QDBusConnection &sessionBus, Options options, QObject *parent = nullptr);
    // Settles (see settle()), so that the ramps put back on quit reach the compositor
    // before the connection goes.
    ~MutterGamma() override;

    QString methodName() const override;
    QString unavailableReason() const override;
    Layout layout() const override;
    std::optional<GammaRamp> currentRamp(quint32 crtc) override;
    Result writeRamp(quint32 crtc, const GammaRamp &ramp) override;
    void readRamp(quint32 crtc) override;
    // Reads again the ramp of a CRTC whose read went unanswered, unless one is under way.
    void askAgain(quint32 crtc) override;
    // Reads the layout at once where a read waits to be tried again (it was refused).
    void askLayoutAgain() override;
    void settle() override;
    // The compositor's own id of the CRTC (the one DisplayConfig takes).
    QString crtcName(quint32 crtc) const override;
    // The bus's id and the compositor's unique name on it: both change when it restarts.
    QString serverMark() override;

    // Whether a read of the layout is under way (writes answer stale meanwhile).
    bool isReading() const { return m_reading; }

    // The monitor's identity from the compositor's vendor, product and serial texts: the
    // vendor is the EDID's three-letter manufacturer id, the product the monitor's name
    // or its product code ("0x0a81"), the serial the serial text or its number
    // ("0x00000000"); "unknown" or empty stands for a part not known.
    static EdidInfo identity(const QString &vendor, const QString &product, const QString &serial);

private slots:
    void monitorsChanged();

private:
    struct Read; // the answers of one read, gathered

    void read();
    // The layout's calls are not answered within a call's time: the stall is said.
    void layoutUnanswered();
    void rampsAnswered(const std::shared_ptr<Read> &read, const QString &problems);
    // Ends a read that went wrong: the reason for the page, a log line, no layout.
    void fail(const QString &reason, bool retry);
    void readAgainAfterStale(const QString &what);
    void serviceGone();
    void setReason(const QString &reason);
    // Sends the calls at once; done hears every answer, in order, when the last is in,
    // unless a newer read or the service's going made them void.
    void callAll(const QList<QDBusMessage> &calls, int timeoutMs,
                 std::function<void(const QList<QDBusMessage> &)> done);
    QDBusMessage methodCall(const QString &method, const QVariantList &arguments = {}) const;
    // Sends one call whose answer goes to done (also from settle()).
    void track(const QDBusMessage &message, std::function<void(const QDBusMessage &)> done);
    void finish(int id, const QDBusMessage &reply);
    void sendRamp(quint32 crtc, const GammaRamp &ramp);
    void written(quint32 crtc, const GammaRamp &ramp, int generation, const QDBusMessage &reply);
    void sendRead(quint32 crtc);
    // After a CRTC's call is answered: what waits for it goes.
    void next(quint32 crtc);
    // A call went unanswered (said once per stall) or was answered (the stall is over).
    void unanswered(const QString &what);
    void answered();

    Logger m_log{"HostDisplays"};
    QDBusConnection m_bus;
    Options m_options;
    QString m_owner; // the service's unique name; empty while there is none
    QString m_busId;
    quint32 m_serial = 0;
    Layout m_layout;
    QHash<quint32, GammaRamp> m_ramps; // by handle
    QHash<quint32, GammaRamp> m_sent;    // by handle, the ramp under way until its answer is in
    QHash<quint32, GammaRamp> m_waiting; // by handle, the latest ramp written while one was under way
    QSet<quint32> m_readAfter;           // handles whose ramp is read once their writes are answered
    QSet<quint32> m_rampReads;           // handles whose ramp is being read
    QSet<quint32> m_unread;              // lit handles whose ramp the last layout read did not get an answer for
    QString m_reason;
    bool m_reading = false;
    int m_generation = 0;  // answers to calls of an earlier read are dropped
    int m_staleReads = 0;  // reads in a row that the serial outran
    int m_staleWrites = 0; // writes refused as stale since the last one taken
    TaskHandle m_retry;
    TaskHandle m_layoutWait; // says the stall once the layout's calls outlast a call's time
    bus::Note m_note;
    struct Call {
        int id = 0;
        QDBusPendingCall call;
        std::function<void(const QDBusMessage &)> done;
    };
    QList<Call> m_calls; // writes and ramp reads under way
    int m_nextCall = 1;
    QSet<QString> m_refusals; // CRTC and error of the refusals logged since the layout was read
    bool m_stalled = false;  // a call went unanswered and nothing has answered since
    bool m_settling = false; // at quit: nothing more is sent after a call that went unanswered
};

// Whether GNOME's own Night Light is tinting the screens now
// (org.gnome.SettingsDaemon.Color's NightLightActive), followed through its property
// changes and read again when the service restarts. It also sets the screens' ramps, so
// whichever of the two wrote last is what shows; the page says so with kText.
class GnomeNightLight final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
public:
    static constexpr const char *kService = "org.gnome.SettingsDaemon.Color";
    static constexpr const char *kPath = "/org/gnome/SettingsDaemon/Color";
    static constexpr const char *kInterface = "org.gnome.SettingsDaemon.Color";
    static constexpr const char *kProperty = "NightLightActive";
    // What the page says while it is on.
    static constexpr const char *kText =
        "The desktop's Night Light is on and also sets the screens' colours; whichever changed them last is what "
        "the screens show.";

    explicit GnomeNightLight(const QDBusConnection &sessionBus, int callTimeoutMs = 5 * bus::kCallTimeoutMs,
                             QObject *parent = nullptr);

    bool active() const { return m_active; }

signals:
    void activeChanged(bool active);

private slots:
    void propertiesChanged(const QDBusMessage &message);

private:
    void read();
    void use(const QVariant &value, const QString &origin);
    void setActive(bool active);

    Logger m_log{"HostDisplays"};
    QDBusConnection m_bus;
    int m_callTimeoutMs;
    bool m_active = false;
    int m_generation = 0;
    bus::Note m_note;
};

} // namespace qv::host
