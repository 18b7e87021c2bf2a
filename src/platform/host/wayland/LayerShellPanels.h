#pragma once

#include "platform/Panels.h"
#include "runtime/Logging.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct wl_buffer;
struct wl_compositor;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace qv::host {

class WaylandConnection;
class LayerShellPanels;

// An output of the compositor as the panels know it.
struct LayerOutput {
    quint32 global = 0; // the wl_output global's name
    QString name;       // "HDMI-A-1" (wl_output 4 or xdg-output), empty before it is told
    QRect logical;      // position and size in the compositor's layout (xdg-output), or null
    int scale = 1;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdgOutput = nullptr;
    LayerShellPanels *owner = nullptr;
};

// The output that shows a screen: the one of its name, else the one at its position in the
// layout (the screens of Qt and of XWayland are named after the compositor's outputs and lie
// where they do). Nothing when none matches.
std::optional<quint32> outputForScreen(const QString &screenName, const QRectF &frame, const QList<LayerOutput> &outputs);

// A click-through panel as a layer surface of the compositor: on the overlay layer of its
// output, over the whole output, taking neither the pointer (an empty input region) nor the
// keys. Its view is drawn into shared-memory buffers, at most two, and drawn again only when
// the view asks for display or the output's size or scale changes; a buffer the compositor
// still holds is not drawn into. Ordered out, the surface is destroyed; ordered front, it is
// made again. A surface the compositor closes (its output went) comes back when the output
// does.
class LayerShellPanel final : public QObject, public Panel {
    Q_OBJECT
public:
    LayerShellPanel(LayerShellPanels *panels, const PanelConfiguration &configuration, const QString &screenName,
                    QObject *contentView);
    ~LayerShellPanel() override;

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF &frame, bool display) override;
    bool isVisible() const override { return m_layer != nullptr; }
    void orderFrontRegardless() override;
    void orderOut() override;
    QObject *contentView() const override { return m_content; }

    // How often the view was drawn into a buffer, and how many buffers the panel has.
    int drawCount() const { return m_draws; }
    int bufferCount() const;

    // The outputs changed (or the connection closed): the panel finds its output again.
    void outputsChanged();
    // The panels go before this one: its surface and buffers go, and it shows nothing more.
    void detach();

private slots:
    void contentChanged();

private:
    struct Buffer {
        wl_buffer *buffer = nullptr;
        uchar *data = nullptr;
        std::size_t bytes = 0;
        QSize pixels;
        bool busy = false; // held by the compositor until it releases it
    };
    static void configure(void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t width, uint32_t height);
    static void closed(void *data, zwlr_layer_surface_v1 *);
    static void released(void *data, wl_buffer *buffer);

    void makeSurface();
    void destroySurface();
    void destroyBuffers();
    Buffer *freeBuffer(QSize pixels);
    void drawSoon();
    void draw();
    const LayerOutput *output() const;

    QPointer<LayerShellPanels> m_panels;
    QRectF m_frame;
    QString m_screenName;
    QPointer<QObject> m_content;
    std::function<void(QPainter &, const QRectF &)> m_paint;
    bool m_orderedFront = false;
    std::optional<quint32> m_output;
    int m_scale = 1;
    wl_surface *m_surface = nullptr;
    zwlr_layer_surface_v1 *m_layer = nullptr;
    QSize m_size; // configured, in surface coordinates; empty before the first configure
    bool m_refused = false;     // the compositor closed the surface: not made again on the same output
    bool m_drawPending = false; // asked for while no buffer was free
    bool m_drawQueued = false;
    Buffer m_buffers[2];
    int m_draws = 0;
};

// Click-through panels as layer surfaces where the compositor offers the layer shell, on
// the host's own Wayland connection; every other panel (one that takes the mouse) is made
// by the panels given, as Qt windows.
class LayerShellPanels final : public QObject, public Panels {
    Q_OBJECT
public:
    // How a screen is named by the windowing system ("HDMI-A-1").
    using ScreenNames = std::function<QString(const ScreenInfo &)>;

    // Whether the connection offers what the panels need: the layer shell, surfaces and
    // shared memory.
    static bool isOffered(const WaylandConnection &connection);

    LayerShellPanels(WaylandConnection &connection, Panels *windows, ScreenNames names);
    ~LayerShellPanels() override;

    std::unique_ptr<Panel> createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                       QObject *contentView) override;
    QString overlayLimitation() const override { return {}; }

    QList<LayerOutput> outputs() const;
    const LayerOutput *output(quint32 global) const;
    bool isConnected() const;
    WaylandConnection &connection() { return m_connection; }
    wl_compositor *compositor() const { return m_compositor; }
    wl_shm *shm() const { return m_shm; }
    zwlr_layer_shell_v1 *layerShell() const { return m_layerShell; }
    const Logger &log() const { return m_log; }
    // Logs a problem once per cause while the process runs.
    void tellOnce(const QString &cause, const QString &line);

private:
    friend struct LayerShellListeners;
    void addOutput(quint32 global);
    void removeOutput(quint32 global);
    void outputsChanged();

    WaylandConnection &m_connection;
    Panels *m_windows;
    ScreenNames m_names;
    Logger m_log;
    wl_compositor *m_compositor = nullptr;
    wl_shm *m_shm = nullptr;
    zwlr_layer_shell_v1 *m_layerShell = nullptr;
    zxdg_output_manager_v1 *m_xdgOutputs = nullptr;
    QList<std::shared_ptr<LayerOutput>> m_outputs;
    QList<LayerShellPanel *> m_panels;
    QSet<QString> m_told;
    bool m_changeQueued = false;
    friend class LayerShellPanel;
};

} // namespace qv::host
