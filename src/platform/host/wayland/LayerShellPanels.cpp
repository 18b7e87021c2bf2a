#include "platform/host/wayland/LayerShellPanels.h"

#include "platform/host/wayland/WaylandConnection.h"

#include <wayland-client.h>
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QImage>
#include <QPainter>
#include <QTimer>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::host {

std::optional<quint32> outputForScreen(const QString &screenName, const QRectF &frame, const QList<LayerOutput> &outputs)
{
    if (!screenName.isEmpty())
        for (const LayerOutput &output : outputs)
            if (output.name == screenName)
                return output.global;
    const QPoint corner = frame.topLeft().toPoint();
    for (const LayerOutput &output : outputs)
        if (!output.logical.isNull() && output.logical.topLeft() == corner)
            return output.global;
    return std::nullopt;
}

// The listeners of the outputs: what each tells is kept in its LayerOutput; the panels look
// again once a batch of events is through.
struct LayerShellListeners {
    static void geometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *,
                         const char *, int32_t)
    {
        auto *o = static_cast<LayerOutput *>(data);
        if (!o->xdgOutput)
            o->logical.moveTopLeft(QPoint(x, y));
    }
    static void mode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t)
    {
        auto *o = static_cast<LayerOutput *>(data);
        if (!o->xdgOutput && (flags & WL_OUTPUT_MODE_CURRENT))
            o->logical.setSize(QSize(width, height) / std::max(1, o->scale));
    }
    static void done(void *data, wl_output *) { static_cast<LayerOutput *>(data)->owner->outputsChanged(); }
    static void scale(void *data, wl_output *, int32_t factor) { static_cast<LayerOutput *>(data)->scale = std::max(1, factor); }
    static void name(void *data, wl_output *, const char *name)
    {
        static_cast<LayerOutput *>(data)->name = QString::fromUtf8(name);
    }
    static void description(void *, wl_output *, const char *) {}

    static void xdgPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
    {
        static_cast<LayerOutput *>(data)->logical.moveTopLeft(QPoint(x, y));
    }
    static void xdgSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
    {
        static_cast<LayerOutput *>(data)->logical.setSize(QSize(width, height));
    }
    static void xdgDone(void *data, zxdg_output_v1 *) { static_cast<LayerOutput *>(data)->owner->outputsChanged(); }
    static void xdgName(void *data, zxdg_output_v1 *, const char *name)
    {
        auto *o = static_cast<LayerOutput *>(data);
        if (o->name.isEmpty())
            o->name = QString::fromUtf8(name);
    }
    static void xdgDescription(void *, zxdg_output_v1 *, const char *) {}
};

// ---- panels ----

bool LayerShellPanels::isOffered(const WaylandConnection &connection)
{
    return connection.isConnected() && connection.global(zwlr_layer_shell_v1_interface.name)
        && connection.global(wl_compositor_interface.name) && connection.global(wl_shm_interface.name);
}

LayerShellPanels::LayerShellPanels(WaylandConnection &connection, Panels *windows, ScreenNames names)
    : m_connection(connection), m_windows(windows), m_names(std::move(names)), m_log("Panels")
{
    if (const auto global = connection.global(wl_compositor_interface.name))
        m_compositor = connection.bind<wl_compositor>(*global, &wl_compositor_interface, 4);
    if (const auto global = connection.global(wl_shm_interface.name))
        m_shm = connection.bind<wl_shm>(*global, &wl_shm_interface, 1);
    if (const auto global = connection.global(zwlr_layer_shell_v1_interface.name))
        m_layerShell = connection.bind<zwlr_layer_shell_v1>(*global, &zwlr_layer_shell_v1_interface, 3);
    if (const auto global = connection.global(zxdg_output_manager_v1_interface.name))
        m_xdgOutputs = connection.bind<zxdg_output_manager_v1>(*global, &zxdg_output_manager_v1_interface, 3);
    for (const WaylandConnection::Global &global : connection.globals())
        if (global.interface == wl_output_interface.name)
            addOutput(global.name);
    connect(&connection, &WaylandConnection::globalAdded, this, [this](const WaylandConnection::Global &global) {
        if (global.interface == wl_output_interface.name)
            addOutput(global.name);
    });
    connect(&connection, &WaylandConnection::globalRemoved, this, [this](const WaylandConnection::Global &global) {
        if (global.interface == wl_output_interface.name)
            removeOutput(global.name);
    });
    connect(&connection, &WaylandConnection::closed, this, [this](const QString &reason) {
        tellOnce(QStringLiteral("connection"),
                 QStringLiteral("%1: the overlays are not shown").arg(reason));
        // Every proxy goes before the display does.
        for (LayerShellPanel *panel : std::as_const(m_panels))
            panel->outputsChanged();
        while (!m_outputs.isEmpty())
            removeOutput(m_outputs.first()->global);
    });
    // The outputs' names and places, before the first panel looks for its output.
    connection.roundtrip();
    m_log.info("Overlays: layer surfaces of the compositor, above every window and letting the pointer through");
}

LayerShellPanels::~LayerShellPanels()
{
    // The panels that outlive these show nothing from now on.
    const QList<LayerShellPanel *> panels = m_panels;
    for (LayerShellPanel *panel : panels)
        panel->detach();
    while (!m_outputs.isEmpty())
        removeOutput(m_outputs.first()->global);
    if (m_xdgOutputs)
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    if (m_layerShell) {
        if (zwlr_layer_shell_v1_get_version(m_layerShell) >= 3)
            zwlr_layer_shell_v1_destroy(m_layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_layerShell));
    }
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    m_connection.flush();
}

std::unique_ptr<Panel> LayerShellPanels::createPanel(const PanelConfiguration &configuration, const ScreenInfo &screen,
                                                     QObject *contentView)
{
    if (!configuration.ignoresMouseEvents)
        return m_windows ? m_windows->createPanel(configuration, screen, contentView) : nullptr;
    return std::make_unique<LayerShellPanel>(this, configuration, m_names ? m_names(screen) : QString(), contentView);
}

QList<LayerOutput> LayerShellPanels::outputs() const
{
    QList<LayerOutput> list;
    for (const auto &output : m_outputs)
        list << *output;
    return list;
}

const LayerOutput *LayerShellPanels::output(quint32 global) const
{
    for (const auto &output : m_outputs)
        if (output->global == global)
            return output.get();
    return nullptr;
}

bool LayerShellPanels::isConnected() const
{
    return m_connection.isConnected() && m_compositor && m_shm && m_layerShell;
}

void LayerShellPanels::tellOnce(const QString &cause, const QString &line)
{
    if (m_told.contains(cause))
        return;
    m_told.insert(cause);
    m_log.error("%s", qUtf8Printable(line));
}

void LayerShellPanels::addOutput(quint32 global)
{
    const auto found = m_connection.globals();
    const auto it = std::find_if(found.cbegin(), found.cend(),
                                 [global](const WaylandConnection::Global &g) { return g.name == global; });
    if (it == found.cend() || output(global))
        return;
    auto output = std::make_shared<LayerOutput>();
    output->global = global;
    output->output = m_connection.bind<wl_output>(*it, &wl_output_interface, 4);
    if (!output->output)
        return;
    output->owner = this;
    static const wl_output_listener listener = {&LayerShellListeners::geometry, &LayerShellListeners::mode,
                                                &LayerShellListeners::done,     &LayerShellListeners::scale,
                                                &LayerShellListeners::name,     &LayerShellListeners::description};
    wl_output_add_listener(output->output, &listener, output.get());
    if (m_xdgOutputs) {
        static const zxdg_output_v1_listener xdgListener = {&LayerShellListeners::xdgPosition, &LayerShellListeners::xdgSize,
                                                            &LayerShellListeners::xdgDone, &LayerShellListeners::xdgName,
                                                            &LayerShellListeners::xdgDescription};
        output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, output->output);
        zxdg_output_v1_add_listener(output->xdgOutput, &xdgListener, output.get());
    }
    m_outputs << output;
    m_connection.flush();
}

void LayerShellPanels::removeOutput(quint32 global)
{
    const auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [global](const auto &o) { return o->global == global; });
    if (it == m_outputs.end())
        return;
    const std::shared_ptr<LayerOutput> output = *it;
    m_outputs.erase(it);
    // The panels on it let go of it first.
    for (LayerShellPanel *panel : std::as_const(m_panels))
        panel->outputsChanged();
    if (output->xdgOutput)
        zxdg_output_v1_destroy(output->xdgOutput);
    if (wl_output_get_version(output->output) >= 3)
        wl_output_release(output->output);
    else
        wl_output_destroy(output->output);
}

void LayerShellPanels::outputsChanged()
{
    // Once per batch of events: an output tells its name, place and scale in several.
    if (m_changeQueued)
        return;
    m_changeQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_changeQueued = false;
        const QList<LayerShellPanel *> panels = m_panels;
        for (LayerShellPanel *panel : panels)
            panel->outputsChanged();
        m_connection.flush();
    });
}

// ---- panel ----

LayerShellPanel::LayerShellPanel(LayerShellPanels *panels, const PanelConfiguration &configuration,
                                 const QString &screenName, QObject *contentView)
    : m_panels(panels), m_frame(configuration.contentRect), m_screenName(screenName), m_content(contentView)
{
    if (auto *picture = dynamic_cast<PanelPicture *>(contentView))
        m_paint = [picture](QPainter &painter, const QRectF &bounds) { picture->paint(painter, bounds); };
    else if (auto *view = qobject_cast<PaintedPanelView *>(contentView))
        m_paint = [view](QPainter &painter, const QRectF &bounds) { view->paint(painter, bounds); };
    if (contentView && contentView->metaObject()->indexOfSignal("needsDisplay()") >= 0)
        connect(contentView, SIGNAL(needsDisplay()), this, SLOT(contentChanged()));
    m_panels->m_panels << this;
    const QList<LayerOutput> outputs = m_panels->outputs();
    m_output = outputForScreen(m_screenName, m_frame, outputs);
    if (!m_output)
        m_panels->tellOnce(QStringLiteral("screen %1 %2,%3").arg(m_screenName).arg(m_frame.x()).arg(m_frame.y()),
                           QStringLiteral("No output of the compositor is the screen %1 at %2,%3: the overlay does "
                                          "not cover it")
                               .arg(m_screenName.isEmpty() ? QStringLiteral("without a name") : m_screenName)
                               .arg(m_frame.x())
                               .arg(m_frame.y()));
}

LayerShellPanel::~LayerShellPanel()
{
    destroySurface();
    destroyBuffers();
    if (m_panels) {
        m_panels->m_panels.removeAll(this);
        m_panels->connection().flush();
    }
    delete m_content.data();
}

void LayerShellPanel::detach()
{
    destroySurface();
    destroyBuffers();
    m_output.reset();
    m_panels = nullptr;
}

int LayerShellPanel::bufferCount() const
{
    return int(std::count_if(std::begin(m_buffers), std::end(m_buffers), [](const Buffer &b) { return b.buffer; }));
}

const LayerOutput *LayerShellPanel::output() const
{
    return m_panels && m_output ? m_panels->output(*m_output) : nullptr;
}

void LayerShellPanel::setFrame(const QRectF &frame, bool display)
{
    if (frame != m_frame) {
        m_frame = frame;
        outputsChanged();
    }
    if (display)
        drawSoon();
}

void LayerShellPanel::orderFrontRegardless()
{
    // A surface the compositor closed is asked for again only after the panel was ordered
    // out (the overlay turned off and on), not on every change that orders it front.
    if (!std::exchange(m_orderedFront, true))
        m_refused = false;
    if (!m_layer && !m_refused)
        makeSurface();
}

void LayerShellPanel::orderOut()
{
    m_orderedFront = false;
    destroySurface();
    destroyBuffers();
    if (m_panels)
        m_panels->connection().flush();
}

void LayerShellPanel::outputsChanged()
{
    if (!m_panels || !m_panels->isConnected()) {
        destroySurface();
        destroyBuffers();
        m_output.reset();
        return;
    }
    const std::optional<quint32> match = outputForScreen(m_screenName, m_frame, m_panels->outputs());
    if (match != m_output) {
        destroySurface();
        m_output = match;
        m_refused = false;
    }
    if (!m_orderedFront || m_refused)
        return;
    if (!m_layer) {
        makeSurface();
    } else if (const LayerOutput *out = output(); out && out->scale != m_scale) {
        m_scale = out->scale;
        drawSoon();
    }
}

void LayerShellPanel::makeSurface()
{
    const LayerOutput *out = output();
    if (!out || !m_panels || !m_panels->isConnected())
        return;
    m_scale = out->scale;
    m_size = QSize();
    m_surface = wl_compositor_create_surface(m_panels->compositor());
    // An empty input region: the pointer and touches go to whatever lies below.
    wl_region *region = wl_compositor_create_region(m_panels->compositor());
    wl_surface_set_input_region(m_surface, region);
    wl_region_destroy(region);
    m_layer = zwlr_layer_shell_v1_get_layer_surface(m_panels->layerShell(), m_surface, out->output,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "quellvista-overlay");
    static const zwlr_layer_surface_v1_listener listener = {&LayerShellPanel::configure, &LayerShellPanel::closed};
    zwlr_layer_surface_v1_add_listener(m_layer, &listener, this);
    zwlr_layer_surface_v1_set_anchor(m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                                                  | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                                                  | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(m_layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    // Committed without a buffer: the compositor answers with the size.
    wl_surface_commit(m_surface);
    m_panels->connection().flush();
}

void LayerShellPanel::destroySurface()
{
    if (m_layer)
        zwlr_layer_surface_v1_destroy(m_layer);
    if (m_surface)
        wl_surface_destroy(m_surface);
    m_layer = nullptr;
    m_surface = nullptr;
    m_size = QSize();
    m_drawPending = false;
}

void LayerShellPanel::destroyBuffers()
{
    for (Buffer &buffer : m_buffers) {
        if (buffer.buffer)
            wl_buffer_destroy(buffer.buffer);
        if (buffer.data)
            munmap(buffer.data, buffer.bytes);
        buffer = Buffer();
    }
}

void LayerShellPanel::configure(void *data, zwlr_layer_surface_v1 *layer, uint32_t serial, uint32_t width,
                                uint32_t height)
{
    auto *self = static_cast<LayerShellPanel *>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    QSize size{int(width), int(height)};
    if (size.isEmpty()) {
        // Left to us: the output's size in the layout.
        const LayerOutput *out = self->output();
        size = out ? out->logical.size() : QSize();
    }
    if (size.isEmpty()) {
        if (self->m_panels)
            self->m_panels->tellOnce(QStringLiteral("size"), QStringLiteral("The compositor gave the overlay no size: "
                                                                            "it is not shown"));
        return;
    }
    if (size == self->m_size) {
        wl_surface_commit(self->m_surface);
        return;
    }
    self->m_size = size;
    self->draw();
}

void LayerShellPanel::closed(void *data, zwlr_layer_surface_v1 *)
{
    auto *self = static_cast<LayerShellPanel *>(data);
    // The output went, or the compositor will not show the surface: it is made again when
    // the output comes back (or the panel is ordered front again).
    self->destroySurface();
    self->destroyBuffers();
    self->m_refused = true;
    if (self->m_panels)
        self->m_panels->tellOnce(QStringLiteral("closed"),
                                 QStringLiteral("The compositor closed an overlay's layer surface (its output went, "
                                                "or it would not show it): it is not shown there until the overlay is "
                                                "next turned on or the output comes back"));
    if (self->m_panels)
        self->m_panels->connection().flush();
}

void LayerShellPanel::released(void *data, wl_buffer *buffer)
{
    auto *self = static_cast<LayerShellPanel *>(data);
    for (Buffer &b : self->m_buffers)
        if (b.buffer == buffer)
            b.busy = false;
    if (std::exchange(self->m_drawPending, false))
        self->drawSoon();
}

void LayerShellPanel::contentChanged()
{
    drawSoon();
}

void LayerShellPanel::drawSoon()
{
    // Several changes before the event loop comes back give one picture.
    if (m_drawQueued || !m_layer)
        return;
    m_drawQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_drawQueued = false;
        draw();
        if (m_panels)
            m_panels->connection().flush();
    });
}

LayerShellPanel::Buffer *LayerShellPanel::freeBuffer(QSize pixels)
{
    // One of the right size that the compositor does not hold; else one made in place of
    // a free one of another size, or beside it while there are fewer than two.
    for (Buffer &b : m_buffers)
        if (b.buffer && !b.busy && b.pixels == pixels)
            return &b;
    Buffer *slot = nullptr;
    for (Buffer &b : m_buffers)
        if (!b.buffer || !b.busy) {
            slot = &b;
            if (!b.buffer)
                break;
        }
    if (!slot)
        return nullptr;
    if (slot->buffer) {
        wl_buffer_destroy(slot->buffer);
        munmap(slot->data, slot->bytes);
        *slot = Buffer();
    }
    const int stride = pixels.width() * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(pixels.height());
    const int fd = memfd_create("quellvista-overlay", MFD_CLOEXEC);
    if (fd < 0) {
        m_panels->tellOnce(QStringLiteral("memfd"),
                           QStringLiteral("No shared memory for the overlay's picture (%1): it is not shown")
                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return nullptr;
    }
    void *data = MAP_FAILED;
    if (ftruncate(fd, off_t(bytes)) == 0)
        data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        m_panels->tellOnce(QStringLiteral("mmap"),
                           QStringLiteral("The overlay's picture (%1 bytes) cannot be mapped (%2): it is not shown")
                               .arg(bytes)
                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
        close(fd);
        return nullptr;
    }
    wl_shm_pool *pool = wl_shm_create_pool(m_panels->shm(), fd, int32_t(bytes));
    slot->buffer = wl_shm_pool_create_buffer(pool, 0, pixels.width(), pixels.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    static const wl_buffer_listener listener = {&LayerShellPanel::released};
    wl_buffer_add_listener(slot->buffer, &listener, this);
    slot->data = static_cast<uchar *>(data);
    slot->bytes = bytes;
    slot->pixels = pixels;
    return slot;
}

void LayerShellPanel::draw()
{
    if (!m_layer || m_size.isEmpty() || !m_panels || !m_panels->isConnected())
        return;
    const QSize pixels = m_size * m_scale;
    if (pixels.width() > 16384 || pixels.height() > 16384) {
        m_panels->tellOnce(QStringLiteral("too large"), QStringLiteral("The output is too large for the overlay "
                                                                       "(%1x%2 pixels): it is not shown")
                                                            .arg(pixels.width())
                                                            .arg(pixels.height()));
        return;
    }
    Buffer *buffer = freeBuffer(pixels);
    if (!buffer) {
        // Both are still on the screen: drawn when the compositor lets one go.
        m_drawPending = std::any_of(std::begin(m_buffers), std::end(m_buffers), [](const Buffer &b) { return b.busy; });
        return;
    }
    // The picture goes straight into the shared memory, at the output's scale.
    QImage image(buffer->data, pixels.width(), pixels.height(), pixels.width() * 4, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(m_scale);
    {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRectF(QPointF(), QSizeF(m_size)), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (m_paint)
            m_paint(painter, QRectF(QPointF(), QSizeF(m_size)));
    }
    if (wl_surface_get_version(m_surface) >= 3)
        wl_surface_set_buffer_scale(m_surface, m_scale);
    wl_surface_attach(m_surface, buffer->buffer, 0, 0);
    if (wl_surface_get_version(m_surface) >= 4)
        wl_surface_damage_buffer(m_surface, 0, 0, pixels.width(), pixels.height());
    else
        wl_surface_damage(m_surface, 0, 0, m_size.width(), m_size.height());
    wl_surface_commit(m_surface);
    buffer->busy = true;
    ++m_draws;
}

} // namespace qv::host
