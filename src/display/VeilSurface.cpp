#include "display/VeilSurface.h"

#include "display/ComfortVeilDrawing.h"
#include "runtime/Logging.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGOpacityNode>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QSGSimpleRectNode>
#include <QSGSimpleTextureNode>
#include <QSGTexture>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace qv::veil {

namespace {

const Logger &veilSurfaceLog()
{
    static const Logger logger("ComfortVeil");
    return logger;
}

} // namespace

// ---- the vignette's shape ----

std::uint16_t VignetteMap::at(int x, int y) const
{
    const int jx = x >= width - quarterWidth ? x - (width - quarterWidth) : quarterWidth - 1 - x;
    const int jy = y >= height - quarterHeight ? y - (height - quarterHeight) : quarterHeight - 1 - y;
    return values[size_t(jy) * size_t(quarterWidth) + size_t(jx)];
}

VignetteMap renderVignetteMap(const QRectF &bounds, double devicePixelRatio, QSize pixels)
{
    if (pixels.isEmpty() || !bounds.isValid() || !(devicePixelRatio > 0) || !std::isfinite(devicePixelRatio)
        || qint64(pixels.width()) * pixels.height() > (qint64(1) << 28))
        return {};
    VignetteMap map;
    map.width = pixels.width();
    map.height = pixels.height();
    map.quarterWidth = (map.width + 1) / 2;
    map.quarterHeight = (map.height + 1) / 2;
    map.values.reset(new (std::nothrow) std::uint16_t[map.bytes() / 2]);
    map.clearRun.reset(new (std::nothrow) int[size_t(map.quarterHeight)]);
    if (!map.values || !map.clearRun)
        return {};
    // Measured in pixels from the middle of the pixel grid, which is the middle of the
    // area (to within a fraction of a pixel when the area is not a whole number of them).
    const Vignette v = vignetteGeometry(QRectF(QPointF(0, 0), bounds.size()));
    const double inner = v.innerRadius * devicePixelRatio;
    const double span = (v.outerRadius - v.innerRadius) * devicePixelRatio;
    const double midX = map.width / 2.0;
    const double midY = map.height / 2.0;
    const int firstX = map.width - map.quarterWidth;
    const int firstY = map.height - map.quarterHeight;
    // The profile between its stops is two linear ramps (0.34 to 0.72 up to 0.28, 0.72 to
    // 1 up by 0.26 more), written without branches so that a row is done several pixels
    // at a time. The stops are those of vignetteStops at amount 1.
    const QList<VignetteStop> stops = vignetteStops(1.0);
    const float s0 = float(stops[0].location), s1 = float(stops[1].location), s2 = float(stops[2].location);
    const float rise1 = float(stops[1].alpha / kVignetteStrongest);
    const float rise2 = float((stops[2].alpha - stops[1].alpha) / kVignetteStrongest);
    const float innerF = float(inner), spanF = float(span);
    const auto rows = [&](int from, int to) {
        std::vector<float> dx2(size_t(map.quarterWidth));
        for (int jx = 0; jx < map.quarterWidth; ++jx) {
            const double dx = firstX + jx + 0.5 - midX;
            dx2[size_t(jx)] = float(dx * dx);
        }
        for (int jy = from; jy < to; ++jy) {
            const double dy = firstY + jy + 0.5 - midY;
            const float dy2 = float(dy * dy);
            std::uint16_t *__restrict out = map.values.get() + size_t(jy) * size_t(map.quarterWidth);
            const float *__restrict across = dx2.data();
            for (int jx = 0; jx < map.quarterWidth; ++jx) {
                const float s = (std::sqrt(across[jx] + dy2) - innerF) / spanF;
                const float first = std::min(std::max((s - s0) / (s1 - s0), 0.0f), 1.0f);
                const float second = std::min(std::max((s - s1) / (s2 - s1), 0.0f), 1.0f);
                out[jx] = std::uint16_t(int(std::min((first * rise1 + second * rise2) * 65535.0f + 0.5f, 65535.0f)));
            }
            int zeros = 0;
            while (zeros < map.quarterWidth && out[zeros] == 0)
                ++zeros;
            map.clearRun[size_t(jy)] = zeros;
        }
    };
    const int workers = std::clamp(int(std::thread::hardware_concurrency()), 1, 4);
    if (workers == 1 || map.quarterHeight < 256) {
        rows(0, map.quarterHeight);
    } else {
        std::vector<std::thread> threads;
        for (int band = 0; band < workers; ++band)
            threads.emplace_back(rows, map.quarterHeight * band / workers, map.quarterHeight * (band + 1) / workers);
        for (std::thread &thread : threads)
            thread.join();
    }
    return map;
}

// ---- one pass over the pixels ----

bool VeilPixels::prepare(const QRectF &bounds, double devicePixelRatio, QSize pixels, const VeilLayers &layers)
{
    if (m_size != bounds.size() || m_ratio != devicePixelRatio || m_pixels != pixels) {
        release();
        m_size = bounds.size();
        m_ratio = devicePixelRatio;
        m_pixels = pixels;
        m_grainFailed = false;
    }
    if (layers.vignette > 0 && m_vignette.isNull())
        m_vignette = renderVignetteMap(bounds, devicePixelRatio, pixels);
    if (layers.grain > 0 && m_grain.isNull() && !m_grainFailed) {
        m_grain = renderGrainMap(bounds.size(), devicePixelRatio);
        ++m_grainRenders;
        m_grainFailed = m_grain.isNull();
        if (m_grainFailed)
            veilSurfaceLog().error("The veil's texture cannot be drawn on an area of %g x %g at pixel ratio %g", bounds.width(),
                        bounds.height(), devicePixelRatio);
    }
    return (!(layers.vignette > 0) || !m_vignette.isNull()) && (!(layers.grain > 0) || !m_grain.isNull());
}

void VeilPixels::release()
{
    m_vignette = {};
    m_grain = {};
}

namespace {

// Every value reaching here lies in 0...1 (alphas and premultiplied colours composed
// source-over from such values), so no clamp is needed.
inline quint32 level(float v)
{
    return quint32(int(v * 255.0f + 0.5f));
}

inline quint32 packPremultiplied(float a, float r, float g, float b)
{
    return (level(a) << 24) | (level(r) << 16) | (level(g) << 8) | level(b);
}

// The wash, premultiplied.
struct Premultiplied {
    float a, r, g, b;
};

// The row loops below have no branches in their bodies, so that the compiler can work on
// several pixels at once.

// The wash under black at the vignette's alpha v: alpha v + a(1 − v), colour c(1 − v).
void washAndVignette(const Premultiplied &w, const float *__restrict v, int n, quint32 *__restrict out)
{
    for (int i = 0; i < n; ++i) {
        const float keep = 1.0f - v[i];
        out[i] = packPremultiplied(v[i] + w.a * keep, w.r * keep, w.g * keep, w.b * keep);
    }
}

// The grain (alpha in the high byte, white in the low one, times scale) over the wash.
void washAndGrain(const Premultiplied &w, const std::uint16_t *__restrict grain, float scale, int n,
                  quint32 *__restrict out)
{
    for (int i = 0; i < n; ++i) {
        const float ga = float(grain[i] >> 8) * scale;
        const float gw = float(grain[i] & 0xff) * scale;
        const float keep = 1.0f - ga;
        out[i] = packPremultiplied(ga + w.a * keep, gw + w.r * keep, gw + w.g * keep, gw + w.b * keep);
    }
}

// All three: the wash, the vignette over it, the grain over both.
void washVignetteAndGrain(const Premultiplied &w, const float *__restrict v, const std::uint16_t *__restrict grain,
                          float scale, int n, quint32 *__restrict out)
{
    for (int i = 0; i < n; ++i) {
        const float keepV = 1.0f - v[i];
        const float a = v[i] + w.a * keepV;
        const float ga = float(grain[i] >> 8) * scale;
        const float gw = float(grain[i] & 0xff) * scale;
        const float keep = 1.0f - ga;
        out[i] = packPremultiplied(ga + a * keep, gw + w.r * keepV * keep, gw + w.g * keepV * keep,
                                   gw + w.b * keepV * keep);
    }
}

} // namespace

void VeilPixels::composeRows(const VeilLayers &layers, int x0, int width, int fromRow, int toRow, uchar *out,
                             qsizetype bytesPerLine) const
{
    const float washA = float(layers.wash.alphaF());
    const Premultiplied wash{washA, float(layers.wash.redF()) * washA, float(layers.wash.greenF()) * washA,
                             float(layers.wash.blueF()) * washA};
    const bool vignette = layers.vignette > 0 && !m_vignette.isNull();
    const bool grain = layers.grain > 0 && !m_grain.isNull();
    const float vignetteScale = float(std::clamp(layers.vignette, 0.0, 1.0) / 65535.0);
    const float grainScale = float(std::clamp(layers.grain, 0.0, 1.0) / 255.0);
    const quint32 washPixel = packPremultiplied(wash.a, wash.r, wash.g, wash.b);

    std::vector<float> vignetteRow(vignette ? size_t(width) : 0);
    const auto lineAt = [&](int y) { return reinterpret_cast<quint32 *>(out + qsizetype(y - fromRow) * bytesPerLine); };
    for (int y = fromRow; y < toRow; ++y) {
        auto *line = lineAt(y);
        if (vignette && !grain) {
            // Without grain the picture is symmetric about the middle row: a row below
            // it is a copy of its mirror above, when that one was composed here.
            const int mirror = m_vignette.height - 1 - y;
            if (mirror >= fromRow && mirror < y) {
                std::copy_n(lineAt(mirror), width, line);
                continue;
            }
        }
        // The grain covers the area's pixels (a pixel short where the area is not a whole
        // number of them); beyond it the row has none.
        const int grainWidth =
            grain && y < m_grain.height ? std::clamp(m_grain.width - x0, 0, width) : 0;
        const std::uint16_t *grainRow = grainWidth > 0 ? m_grain.pixels.get() + qsizetype(y) * m_grain.width + x0 : nullptr;
        if (!vignette) {
            if (grainWidth > 0)
                washAndGrain(wash, grainRow, grainScale, grainWidth, line);
            std::fill(line + grainWidth, line + width, washPixel);
            continue;
        }
        // The row of the quarter map, read mirrored left of the middle; the vignette is
        // clear around the middle, where the wash (and grain) alone show.
        const VignetteMap &m = m_vignette;
        const int jy = y >= m.height - m.quarterHeight ? y - (m.height - m.quarterHeight) : m.quarterHeight - 1 - y;
        const std::uint16_t *row = m.values.get() + size_t(jy) * size_t(m.quarterWidth);
        const int split = m.width - m.quarterWidth;
        int clearFrom = width, clearTo = width; // a span of the row where the vignette is 0
        {
            // The quarter row is 0 up to its first nonzero entry.
            const int zeros = m.clearRun[size_t(jy)];
            if (zeros > 0) {
                clearFrom = std::clamp(m.quarterWidth - zeros - x0, 0, width);
                clearTo = std::clamp(split + zeros - x0, 0, width);
                if (clearFrom >= clearTo)
                    clearFrom = clearTo = width;
            }
        }
        // The vignette's alphas where it is not clear: left of the middle the quarter row
        // backwards, right of it forwards.
        const auto fillVignette = [&](int from, int to) {
            float *__restrict v = vignetteRow.data();
            const int leftEnd = std::clamp(split - x0, from, to);
            for (int i = from; i < leftEnd; ++i)
                v[i] = float(row[m.quarterWidth - 1 - x0 - i]) * vignetteScale;
            for (int i = leftEnd; i < to; ++i)
                v[i] = float(row[x0 + i - split]) * vignetteScale;
        };
        if (!grain && x0 == 0 && width == m.width) {
            // Without grain a whole row is symmetric too: the right half is composed and
            // the left half copied from it, mirrored. The clear span is symmetric as well,
            // so on the right it runs from the middle to clearTo.
            int from = split;
            if (clearFrom < clearTo) {
                std::fill(line + split, line + clearTo, washPixel);
                from = clearTo;
            }
            fillVignette(from, width);
            washAndVignette(wash, vignetteRow.data() + from, width - from, line + from);
            std::reverse_copy(line + m.quarterWidth, line + m.quarterWidth + split, line);
            continue;
        }
        fillVignette(0, clearFrom);
        fillVignette(clearTo, width);
        const auto span = [&](int from, int to) {
            if (from >= to)
                return;
            const int withGrain = std::clamp(grainWidth - from, 0, to - from);
            if (withGrain > 0)
                washVignetteAndGrain(wash, vignetteRow.data() + from, grainRow + from, grainScale, withGrain,
                                     line + from);
            washAndVignette(wash, vignetteRow.data() + from + withGrain, to - from - withGrain, line + from + withGrain);
        };
        span(0, clearFrom);
        if (clearFrom < clearTo) {
            const int withGrain = std::clamp(grainWidth - clearFrom, 0, clearTo - clearFrom);
            if (withGrain > 0)
                washAndGrain(wash, grainRow + clearFrom, grainScale, withGrain, line + clearFrom);
            std::fill(line + clearFrom + withGrain, line + clearTo, washPixel);
        }
        span(clearTo, width);
    }
}

void VeilPixels::paint(QPainter &painter, const QRectF &bounds, const VeilLayers &layers)
{
    if (!bounds.isValid())
        return;
    const QTransform device = painter.deviceTransform();
    // Pixels per point: the device's pixel ratio, times any scale the painter adds.
    const double ratio = device.type() <= QTransform::TxScale && device.m11() > 0
        ? device.m11()
        : (painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    const QRect target = device.mapRect(bounds).toAlignedRect();
    const QSize pixels = target.size();
    if (pixels.isEmpty())
        return;
    // A map that cannot be made leaves its layer out.
    prepare(bounds, ratio, pixels, layers);

    // The part of the area the painter may change, in the area's pixels.
    QRect area(QPoint(0, 0), pixels);
    if (painter.hasClipping())
        area &= device.mapRect(painter.clipBoundingRect()).toAlignedRect().translated(-target.topLeft());
    QPaintDevice *paintDevice = painter.device();
    const bool straight = paintDevice && paintDevice->devType() == QInternal::Image && device.type() <= QTransform::TxScale;
    if (straight) {
        auto *image = static_cast<QImage *>(paintDevice);
        // Written in place only when no other image shares the pixels.
        if (image->format() == QImage::Format_ARGB32_Premultiplied && image->isDetached()) {
            area &= QRect(QPoint(0, 0), image->size()).translated(-target.topLeft());
            if (area.isEmpty())
                return;
            // The raster engine has drawn everything it was asked to: the pixels are
            // current.
            const qsizetype stride = image->bytesPerLine();
            uchar *bits = image->bits() + qsizetype(target.top() + area.top()) * stride + qsizetype(target.left() + area.left()) * 4;
            composeRows(layers, area.left(), area.width(), area.top(), area.bottom() + 1, bits, stride);
            return;
        }
    }
    // Elsewhere, band by band through an image of a few rows, each copied to its pixels.
    if (area.isEmpty())
        return;
    constexpr int kBandRows = 64;
    QImage band(area.width(), std::min(kBandRows, area.height()), QImage::Format_ARGB32_Premultiplied);
    if (band.isNull())
        return;
    const double deviceRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    band.setDevicePixelRatio(deviceRatio);
    painter.save();
    painter.resetTransform();
    painter.setClipping(false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int top = area.top(); top <= area.bottom(); top += kBandRows) {
        const int rows = std::min(kBandRows, area.bottom() + 1 - top);
        composeRows(layers, area.left(), area.width(), top, top + rows, band.bits(), band.bytesPerLine());
        painter.drawImage(QPointF((target.left() + area.left()) / deviceRatio, (target.top() + top) / deviceRatio), band,
                          QRectF(0, 0, area.width(), rows));
    }
    painter.restore();
}

// ---- the scene graph ----

namespace {

// In software: the item's pixels, composed in one pass straight into the window's
// surface. The node covers its area with what it paints, so nothing below it is drawn.
class SoftwareVeilNode final : public QSGRenderNode {
public:
    SoftwareVeilNode(QQuickWindow *window, std::shared_ptr<VeilPixels> pixels)
        : m_window(window), m_pixels(std::move(pixels))
    {
    }

    void set(const QRectF &rect, const VeilLayers &layers)
    {
        m_rect = rect;
        m_layers = layers;
    }

    StateFlags changedStates() const override { return {}; }
    RenderingFlags flags() const override { return BoundedRectRendering | OpaqueRendering; }
    QRectF rect() const override { return m_rect; }

    void render(const RenderState *state) override
    {
        QSGRendererInterface *renderer = m_window->rendererInterface();
        auto *painter = static_cast<QPainter *>(renderer->getResource(m_window, QSGRendererInterface::PainterResource));
        if (!painter)
            return;
        painter->save();
        if (const QRegion *clip = state->clipRegion(); clip && !clip->isEmpty())
            painter->setClipRegion(*clip, Qt::ReplaceClip);
        painter->setTransform(matrix()->toTransform());
        m_pixels->paint(*painter, m_rect, m_layers);
        painter->restore();
    }

private:
    QQuickWindow *m_window;
    std::shared_ptr<VeilPixels> m_pixels;
    QRectF m_rect;
    VeilLayers m_layers;
};

// On a GPU: a rectangle of the wash colour, and the vignette and grain as textures made
// once per size and ratio under opacity nodes. The children belong to the node.
class GpuVeilNode final : public QSGNode {
public:
    GpuVeilNode()
    {
        m_wash = new QSGSimpleRectNode;
        m_vignetteOpacity = new QSGOpacityNode;
        m_grainOpacity = new QSGOpacityNode;
        appendChildNode(m_wash);
        appendChildNode(m_vignetteOpacity);
        appendChildNode(m_grainOpacity);
    }

    void update(QQuickWindow *window, const QRectF &rect, double ratio, const VeilLayers &layers)
    {
        if (m_rect.size() != rect.size() || m_ratio != ratio) {
            m_rect = rect;
            m_ratio = ratio;
            drop(m_vignetteOpacity, m_vignetteImage);
            drop(m_grainOpacity, m_grainImage);
        }
        m_wash->setRect(rect);
        m_wash->setColor(layers.wash);
        if (layers.vignette > 0 && !m_vignetteImage) {
            // The shape is smooth: a quarter of the pixels, stretched, is exact to far
            // below one level.
            const QSize pixels = (rect.size() * ratio / 4).toSize().expandedTo(QSize(1, 1));
            const VignetteMap map = renderVignetteMap(rect, pixels.width() / rect.width(), pixels);
            if (!map.isNull()) {
                QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
                for (int y = 0; y < pixels.height(); ++y) {
                    auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
                    for (int x = 0; x < pixels.width(); ++x)
                        line[x] = quint32(std::lround(map.at(x, y) * 255.0 / 65535.0)) << 24;
                }
                m_vignetteImage = imageNode(window, image, QSGTexture::Linear);
                m_vignetteOpacity->appendChildNode(m_vignetteImage);
            }
        }
        if (layers.grain > 0 && !m_grainImage) {
            const QImage image = renderMicrotexture(rect.size(), ratio);
            if (!image.isNull()) {
                m_grainImage = imageNode(window, image, QSGTexture::Nearest);
                m_grainOpacity->appendChildNode(m_grainImage);
            }
        }
        if (m_vignetteImage)
            m_vignetteImage->setRect(rect);
        if (m_grainImage)
            m_grainImage->setRect(rect);
        m_vignetteOpacity->setOpacity(std::clamp(layers.vignette, 0.0, 1.0));
        m_grainOpacity->setOpacity(std::clamp(layers.grain, 0.0, 1.0));
    }

private:
    static QSGSimpleTextureNode *imageNode(QQuickWindow *window, const QImage &image, QSGTexture::Filtering filtering)
    {
        auto *node = new QSGSimpleTextureNode;
        node->setOwnsTexture(true);
        node->setTexture(window->createTextureFromImage(image));
        node->setFiltering(filtering);
        return node;
    }
    static void drop(QSGNode *parent, QSGSimpleTextureNode *&node)
    {
        if (!node)
            return;
        parent->removeChildNode(node);
        delete node;
        node = nullptr;
    }

    QRectF m_rect;
    double m_ratio = 0;
    QSGSimpleRectNode *m_wash = nullptr;
    QSGOpacityNode *m_vignetteOpacity = nullptr;
    QSGOpacityNode *m_grainOpacity = nullptr;
    QSGSimpleTextureNode *m_vignetteImage = nullptr;
    QSGSimpleTextureNode *m_grainImage = nullptr;
};

} // namespace

QSGNode *updateVeilNode(QSGNode *oldNode, QQuickItem *item, const VeilLayers &layers,
                        const std::shared_ptr<VeilPixels> &pixels)
{
    QQuickWindow *window = item->window();
    const QRectF rect(QPointF(0, 0), item->size());
    if (!window || layers.isEmpty() || rect.isEmpty()) {
        delete oldNode;
        return nullptr;
    }
    if (window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software) {
        auto *node = dynamic_cast<SoftwareVeilNode *>(oldNode);
        if (!node) {
            delete oldNode;
            node = new SoftwareVeilNode(window, pixels);
        }
        node->set(rect, layers);
        node->markDirty(QSGNode::DirtyMaterial);
        return node;
    }
    auto *node = dynamic_cast<GpuVeilNode *>(oldNode);
    if (!node) {
        delete oldNode;
        node = new GpuVeilNode;
    }
    node->update(window, rect, window->effectiveDevicePixelRatio(), layers);
    return node;
}

// ---- the item ----

VeilItem::VeilItem(const QRectF &frame, QQuickItem *parent)
    : QQuickItem(parent), m_frame(frame), m_pixels(std::make_shared<VeilPixels>())
{
    setFlag(ItemHasContents);
    setSize(frame.size());
}

void VeilItem::setNeedsDisplay()
{
    ++m_displayRequests;
    emit needsDisplay();
    if (window() && !onAScreen(window())) {
        m_waiting = true;
        return;
    }
    update();
}

void VeilItem::paint(QPainter &painter, const QRectF &bounds)
{
    const VeilLayers what = layers();
    if (what.isEmpty())
        return;
    m_pixels->paint(painter, bounds, what);
}

bool VeilItem::onAScreen(const QWindow *window)
{
    const QRect area = window->geometry();
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->geometry().intersects(area))
            return true;
    return false;
}

QSGNode *VeilItem::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    if (window() && !onAScreen(window())) {
        // Beside every screen: nothing is drawn or kept until the window reaches one.
        m_waiting = true;
        if (window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software)
            m_pixels->release();
        delete oldNode;
        return nullptr;
    }
    return updateVeilNode(oldNode, this, layers(), m_pixels);
}

void VeilItem::windowMoved()
{
    if (m_waiting && window() && onAScreen(window())) {
        m_waiting = false;
        update();
    }
}

void VeilItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    if (change == ItemSceneChange) {
        for (const QMetaObject::Connection &connection : std::as_const(m_windowConnections))
            QObject::disconnect(connection);
        m_windowConnections.clear();
        if (QQuickWindow *scene = value.window) {
            for (auto signal : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
                m_windowConnections << connect(scene, signal, this, &VeilItem::windowMoved);
            m_windowConnections << connect(scene, &QWindow::screenChanged, this, &VeilItem::windowMoved);
            // A panel off the screen keeps nothing: in software its maps are made again
            // when it next paints.
            m_windowConnections << connect(scene, &QWindow::visibleChanged, this, [this, scene](bool visible) {
                if (!visible && scene->rendererInterface()->graphicsApi() == QSGRendererInterface::Software)
                    m_pixels->release();
            });
        }
    }
    QQuickItem::itemChange(change, value);
}

} // namespace qv::veil
