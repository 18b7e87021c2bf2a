#pragma once

#include "platform/host/GammaMethod.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "runtime/Logging.h"

#include <QList>
#include <QPointer>

#include <memory>

struct wl_callback;
struct wl_output;
struct zwlr_gamma_control_manager_v1;
struct zwlr_gamma_control_v1;
struct zwlr_output_head_v1;
struct zwlr_output_manager_v1;

namespace qv::host {

// Gamma ramps on wlroots compositors (sway, Hyprland, river, ...): one
// zwlr_gamma_control_v1 per wl_output, taken when the output appears, whose ramps go to the
// compositor in a sealed memory file. The compositor keeps each output's original and puts
// it back when our control goes, also when the process is killed: nothing is read back and
// nothing is kept on disk. The CRTC handle of an output is its wl_output global's name.
//
// A monitor is told by its output-management head where the compositor offers heads: the
// EdidInfo gets the make as manufacturer, the model as name, all three texts as serial text
// (what monitorDisplayId() tells monitors by) and the EDID's numbers where the texts are
// wlroots' spellings of them ("DEL", "0x1234"); without a head, by its output's name. What the compositor says is gathered as it arrives; layoutChanged()
// follows once an output, with its gamma size or its refusal, is completely known, and when
// one goes. The compositor takes ramps in order and answers none: while it reads nothing,
// only the latest ramp of each output waits to be sent. Failures are logged here, once each: the back-end shows writeFailed() and
// unavailableReason() without logging them again.
class WlrGamma final : public GammaMethod {
    Q_OBJECT
public:
    // The connection is shared, not owned; when it closes or is destroyed, every control
    // goes with it (and the compositor puts the originals back).
    explicit WlrGamma(WaylandConnection *connection, QObject *parent = nullptr);
    ~WlrGamma() override;

    QString methodName() const override { return QStringLiteral("wlroots gamma control"); }
    QString unavailableReason() const override;
    Layout layout() const override;
    std::optional<GammaRamp> currentRamp(quint32) override { return std::nullopt; }
    Result writeRamp(quint32 crtc, const GammaRamp &ramp) override;
    bool compositorRestores() const override { return true; }
    // A control the compositor refused (another program held it) is asked for again; so is
    // every refused one when outputs come or go. No timer: the user's next change asks.
    void askAgain(quint32 crtc) override;
    QString crtcName(quint32 crtc) const override;

    // Whether every output the compositor had when we connected is known.
    bool isReady() const { return m_ready; }

    struct Head;
    struct Control;

private:
    void start();
    void addOutput(const WaylandConnection::Global &global);
    void removeOutput(quint32 name);
    void takeControls();
    void syncNewOutputs();
    void afterDispatch();
    void dropEverything(const QString &reason);
    void control(Control *control, bool failed, quint32 size);
    void askAgainForRefused();
    Result sendRamp(Control &output, const GammaRamp &ramp);
    void sendPending();
    const Head *headOf(const Control &output) const;

    static void syncDone(void *data, wl_callback *callback, uint32_t serial);

    Logger m_log{"HostDisplays"};
    QPointer<WaylandConnection> m_connection;
    zwlr_gamma_control_manager_v1 *m_manager = nullptr;
    zwlr_output_manager_v1 *m_heads = nullptr;
    std::vector<std::unique_ptr<Control>> m_outputs; // in the registry's order
    std::vector<std::unique_ptr<Head>> m_headList;
    wl_callback *m_sync = nullptr;
    QString m_problem;
    bool m_ready = false;
    bool m_starting = false;
    bool m_changed = false;
    friend struct WlrGammaListeners;
};

} // namespace qv::host
