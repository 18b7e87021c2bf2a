#include "design/DesignItems.h"

#include "design/FrameTicker.h"
#include "design/Painting.h"
#include "design/SteppedFade.h"
#include "design/Theme.h"
#include "runtime/Scheduler.h"

#include <QEasingCurve>
#include <QFontMetricsF>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSGSimpleTextureNode>
#include <QThread>

#include <cmath>
#include <limits>
#include <optional>

namespace qv {

// ---- PaintedLayersItem ----

// The node the layers hang under. It tells its item when the scene graph deletes it, so
// that the item never hands layers to a node that is gone.
class PaintedLayersItem::RootNode : public QSGTransformNode {
public:
    explicit RootNode(PaintedLayersItem *owner) : owner(owner) {}
    ~RootNode() override
    {
        if (owner)
            owner->m_root = nullptr;
    }
    PaintedLayersItem *owner;
};

PaintedLayersItem::PaintedLayersItem(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

PaintedLayersItem::~PaintedLayersItem()
{
    if (m_root)
        m_root->owner = nullptr;
}

qreal PaintedLayersItem::devicePixelRatio() const
{
    return window() ? window()->effectiveDevicePixelRatio() : 1.0;
}

bool PaintedLayersItem::canApplyInPolish() const
{
    return m_root && m_syncsOnThisThread && window();
}

void PaintedLayersItem::repaint()
{
    ++m_requests;
    // Where the scene graph takes its nodes on this thread right after the polish, the
    // polish hands the new layers to the nodes itself and the item is never marked dirty: a
    // frame with no dirty item skips the hover Qt sends through the whole window at the start
    // of each frame that has one. Elsewhere both are asked for in one go: the polish paints
    // the layers and the sync that follows it in the same frame takes them (an update asked
    // for from the polish would come too late for that frame's request and ask the window
    // for a second one).
    polish();
    if (!canApplyInPolish())
        update();
}

void PaintedLayersItem::updatePolish()
{
    m_layers = paintLayers(devicePixelRatio());
    m_layersChanged = true;
    ++m_paintCount;
    emit painted();
    if (canApplyInPolish())
        applyLayers(m_root);
    else
        update(); // nothing more when repaint() already asked for it
}

void PaintedLayersItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        repaint();
}

void PaintedLayersItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        // A new window builds its own nodes through updatePaintNode.
        if (m_root)
            m_root->owner = nullptr;
        m_root = nullptr;
    }
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged)
        repaint();
}

QSGNode *PaintedLayersItem::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    if (!window())
        return old;
    // The layers hang under a transform node, not a plain one: the software renderer
    // takes the position of a node added later from its parent's recorded state, and it
    // records none for plain nodes, so a layer added on a repaint would land at the
    // window's origin.
    auto *root = old ? static_cast<RootNode *>(old) : new RootNode(this);
    root->owner = this;
    m_root = root;
    m_syncsOnThisThread = QThread::currentThread() == thread() &&
                          window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
    // A new node (the scene graph built the item's nodes afresh) gets the layers painted
    // last, whether or not they changed since.
    if (m_layersChanged || !old)
        applyLayers(root);
    return root;
}

QList<PaintedLayersItem::Layer> PaintedLayersItem::tileLayers(const QImage &image, qreal dpr,
                                                              const QList<QRect> &tiles, QList<QImage> &last)
{
    QList<Layer> layers;
    layers.reserve(tiles.size());
    for (qsizetype i = 0; i < tiles.size(); ++i) {
        const QRect &r = tiles[i];
        QImage tile = image.copy(r);
        tile.setDevicePixelRatio(dpr);
        const bool unchanged = i < last.size() && last[i] == tile;
        if (i < last.size())
            last[i] = tile;
        else
            last << tile;
        layers << Layer{tile, QRectF(r.x() / dpr, r.y() / dpr, r.width() / dpr, r.height() / dpr), false, unchanged};
    }
    return layers;
}

void PaintedLayersItem::applyLayers(QSGNode *root)
{
    m_layersChanged = false;
    // Existing texture nodes are reused: only their picture and place change, so the
    // renderer repaints no more than the area the layer covers.
    auto *node = static_cast<QSGSimpleTextureNode *>(root->firstChild());
    for (const Layer &layer : std::as_const(m_layers)) {
        if (layer.image.isNull() || layer.rect.isEmpty())
            continue;
        const bool added = !node;
        if (added) {
            node = new QSGSimpleTextureNode;
            node->setOwnsTexture(true); // also deletes the texture that a new one replaces
        }
        if (added || !layer.unchanged)
            node->setTexture(window()->createTextureFromImage(layer.image, QQuickWindow::TextureHasAlphaChannel));
        // A picture kept may still move or be scaled (the node ignores a rectangle it has).
        node->setRect(layer.rect);
        node->setFiltering(layer.smooth ? QSGTexture::Linear : QSGTexture::Nearest);
        if (added)
            root->appendChildNode(node);
        node = static_cast<QSGSimpleTextureNode *>(node->nextSibling());
    }
    while (node) {
        auto *next = static_cast<QSGSimpleTextureNode *>(node->nextSibling());
        root->removeChildNode(node);
        delete node;
        node = next;
    }
}

// ---- SurfaceItem ----

SurfaceItem::SurfaceItem(QQuickItem *parent) : PaintedLayersItem(parent)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SurfaceItem::repaint);
}

template <typename T>
void SurfaceItem::change(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
    repaint();
}

void SurfaceItem::setKind(Kind kind)
{
    change(m_kind, kind);
}

void SurfaceItem::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    emit changed();
    repaint();
}

void SurfaceItem::setLabel(const QString &label)
{
    change(m_label, label);
}
void SurfaceItem::setLabelFont(const QFont &font)
{
    change(m_labelFont, font);
}
void SurfaceItem::setLabelInset(qreal inset)
{
    change(m_labelInset, inset);
}

void SurfaceItem::setHovering(bool on)
{
    change(m_state.hovering, on);
}
void SurfaceItem::setSelected(bool on)
{
    change(m_state.selected, on);
}
void SurfaceItem::setPressed(bool on)
{
    change(m_state.pressed, on);
}

SurfaceStyle SurfaceItem::style() const
{
    return surfaceStyle(SurfaceKind(m_kind), m_state, Theme::shared().isDark());
}

QList<PaintedLayersItem::Layer> SurfaceItem::paintLayers(qreal dpr)
{
    QList<Layer> layers;
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty())
        return layers;
    const SurfaceStyle s = style();
    if (s.shadow && s.shadow->colour.alpha() > 0) {
        const qreal margin = std::ceil(3 * s.shadow->radius) + 1;
        QPainterPath shape;
        if (s.circle)
            shape.addEllipse(bounds);
        else
            shape = paint::continuousRoundedRect(bounds, m_radius);
        // Shadows are blurred at a lower resolution: they are soft anyway.
        const qreal shadowScale = s.shadow->radius >= 6 ? 0.5 : dpr;
        Layer shadow;
        if (m_label.isEmpty()) {
            shadow.image = paint::shadowImage(shape, bounds, s.shadow->colour, s.shadow->radius, margin, shadowScale);
        } else {
            // The whole button casts it: the surface as painted, and its label.
            const auto button = [&](QPainter &p) {
                paintSurface(p, bounds, m_radius, s);
                const QRectF labelRect = bounds.adjusted(m_labelInset, 0, -m_labelInset, 0);
                const QString text = QFontMetricsF(m_labelFont).elidedText(m_label, Qt::ElideRight, labelRect.width());
                p.setFont(m_labelFont);
                p.setPen(Qt::black);
                p.drawText(labelRect, Qt::AlignCenter, text);
            };
            shadow.image = paint::shadowImage(button, bounds, s.shadow->colour, s.shadow->radius, margin, shadowScale);
        }
        shadow.rect = bounds.adjusted(-margin, -margin, margin, margin).translated(s.shadow->offset);
        shadow.smooth = true;
        layers << shadow;
    }
    // The outline is centred on the shape's edge: its outer half lies beyond the bounds.
    const qreal outside = std::ceil(s.strokeWidth / 2);
    const QRectF canvas = bounds.adjusted(-outside, -outside, outside, outside);
    // Painted deep and dithered: the sheens are faint gradients over large areas.
    QImage image((canvas.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_RGBA64_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(dpr, dpr);
        p.translate(outside, outside);
        paintSurface(p, bounds, m_radius, s);
    }
    image.setDevicePixelRatio(dpr);
    layers << Layer{paint::dithered(image), canvas, false};
    return layers;
}

// ---- AppBackdropItem ----

namespace {
double nowSeconds()
{
    return brand::referenceSeconds(scheduler().now());
}
} // namespace

AppBackdropItem::AppBackdropItem(QQuickItem *parent) : PaintedLayersItem(parent)
{
    m_ticker = new FrameTicker(this, [this] { return tick(); });
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &AppBackdropItem::repaint);
    connect(m_ticker, &FrameTicker::runningChanged, this, &AppBackdropItem::tickingChanged);
}

bool AppBackdropItem::isTicking() const
{
    return m_ticker->isRunning();
}

qint64 AppBackdropItem::tick()
{
    const double now = nowSeconds();
    const bool dark = Theme::shared().isDark();
    const QSizeF viewSize = size();
    const auto sampleAt = [&](double t) {
        return paint::paintDeepBackdrop(viewSize, brand::backdropFrame(t, dark), kSampleResolution);
    };
    QImage current = sampleAt(now);
    if (!m_hasDrawn || paint::largestLevelDifference(m_sample, current) >= kVisibleLevels) {
        m_drawn = brand::backdropFrame(now, dark);
        m_sample = std::move(current);
        m_hasDrawn = true;
        repaint();
    }
    // Asleep until the picture is a whole level from the one drawn. The estimate is cheap
    // but generous (it adds up each glow's worst case): it gives the earliest moment; the
    // sample, looked at a few times in between, the moment itself.
    const qint64 earliest =
        FrameTicker::untilChange(kMinimumIntervalMs, FrameTicker::kMaxSleepMs, kSearchStepMs, [&](qint64 ms) {
            return brand::backdropDifference(m_drawn, brand::backdropFrame(now + ms / 1000.0, dark), viewSize) >=
                   kVisibleLevels;
        });
    const auto changedAfter = [&](qint64 ms) {
        return paint::largestLevelDifference(m_sample, sampleAt(now + ms / 1000.0)) >= kVisibleLevels;
    };
    if (earliest >= FrameTicker::kMaxSleepMs || changedAfter(earliest))
        return earliest;
    if (!changedAfter(FrameTicker::kMaxSleepMs))
        return FrameTicker::kMaxSleepMs;
    // The drift is slow and smooth: within a second the change only grows.
    qint64 before = earliest, after = FrameTicker::kMaxSleepMs;
    while (after - before > kSearchStepMs) {
        const qint64 middle = (before + after) / 2;
        (changedAfter(middle) ? after : before) = middle;
    }
    return after;
}

QList<PaintedLayersItem::Layer> AppBackdropItem::paintLayers(qreal dpr)
{
    if (width() <= 0 || height() <= 0)
        return {};
    m_drawn = brand::backdropFrame(nowSeconds(), Theme::shared().isDark());
    m_hasDrawn = true;
    m_sample = paint::paintDeepBackdrop(size(), m_drawn, kSampleResolution);
    const QImage image = paint::renderBackdrop(size(), m_drawn, dpr, kResolution);
    // In tiles: a tile whose pixels stayed the same keeps its texture, so that the window
    // draws again only where the picture changed.
    if (m_tileRects.isEmpty() || m_tileDpr != dpr || m_tileImageSize != image.size()) {
        m_tiles.clear();
        m_tileRects.clear();
        m_tileDpr = dpr;
        m_tileImageSize = image.size();
        for (int y = 0; y < image.height(); y += kTilePixels)
            for (int x = 0; x < image.width(); x += kTilePixels)
                m_tileRects << QRect(x, y, kTilePixels, kTilePixels).intersected(image.rect());
    }
    return tileLayers(image, dpr, m_tileRects, m_tiles);
}

// ---- LogoMarkItem ----

LogoMarkItem::LogoMarkItem(QQuickItem *parent) : PaintedLayersItem(parent)
{
    m_ticker = new FrameTicker(this, [this] { return tick(); });
    setImplicitSize(m_size, m_size);
    connect(m_ticker, &FrameTicker::runningChanged, this, &LogoMarkItem::tickingChanged);
}

bool LogoMarkItem::isTicking() const
{
    return m_ticker->isRunning();
}

void LogoMarkItem::setSize(qreal size)
{
    if (qFuzzyCompare(size, m_size))
        return;
    m_size = size;
    setImplicitSize(size, size);
    emit sizeChanged();
    repaint();
}

void LogoMarkItem::setAnimated(bool animated)
{
    if (animated == m_animated)
        return;
    m_animated = animated;
    m_ticker->setWanted(animated);
    m_hasNext = false;
    emit animatedChanged();
    repaint();
}

brand::LogoState LogoMarkItem::currentState() const
{
    return brand::logoState(m_animated ? nowSeconds() : 0.0);
}

qint64 LogoMarkItem::tick()
{
    step();
    return untilNextStep();
}

qint64 LogoMarkItem::untilNextStep(qint64 minimumMs) const
{
    const double now = nowSeconds();
    const qreal pixels = m_size * devicePixelRatio();
    return FrameTicker::untilChange(minimumMs, FrameTicker::kMaxSleepMs, FrameTicker::kGridMs, [&](qint64 ms) {
        return brand::logoDifference(m_drawn, brand::logoState(now + (ms + kLookAheadMs) / 1000.0), pixels) >= 1.0;
    });
}

std::optional<brand::LogoState> LogoMarkItem::logoStep(qreal dpr) const
{
    brand::LogoState next = currentState();
    if (!m_hasDrawn)
        return next;
    const qreal pixels = m_size * dpr;
    // Looked at a grid step ahead of the change, so that the mark never lags by a whole step.
    const brand::LogoState ahead = m_animated ? brand::logoState(nowSeconds() + kLookAheadMs / 1000.0) : next;
    if (brand::logoDifference(m_drawn, ahead, pixels) < 1.0)
        return std::nullopt;
    // Only the colours moved: the outline stays as drawn (it moved less than half a
    // pixel), so that the paint reuses it and its shadows.
    brand::LogoState outline = ahead;
    outline.secondOpacity = m_drawn.secondOpacity;
    outline.thirdOpacity = m_drawn.thirdOpacity;
    if (brand::logoDifference(m_drawn, outline, pixels) < 1.0) {
        next.wave = m_drawn.wave;
        next.scale = m_drawn.scale;
    }
    return next;
}

void LogoMarkItem::step()
{
    if (const std::optional<brand::LogoState> next = logoStep(devicePixelRatio()))
        show(*next);
}

void LogoMarkItem::show(const brand::LogoState &next)
{
    m_drawn = next;
    m_hasDrawn = true;
    m_next = next;
    m_hasNext = true;
    repaint();
}

QList<PaintedLayersItem::Layer> LogoMarkItem::paintLayers(qreal dpr)
{
    m_drawn = m_hasNext ? m_next : currentState();
    m_hasNext = false;
    m_hasDrawn = true;
    const qreal canvas = paint::kLogoCanvasFactor * m_size;
    const QPointF centre(width() / 2, height() / 2);
    QImage image = paint::renderLogoMark(m_size, dpr, m_drawn);
    return {Layer{image, QRectF(centre.x() - canvas / 2, centre.y() - canvas / 2, canvas, canvas), false}};
}

// ---- BreathingMarkItem ----

BreathingMarkItem::BreathingMarkItem(QQuickItem *parent) : LogoMarkItem(parent)
{
    m_appeared = nowSeconds();
}

qreal BreathingMarkItem::breathAt(double s)
{
    // In for 5.8 s, out for 5.8 s, eased in and out each way.
    static const QEasingCurve easing = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
        return c;
    }();
    double phase = std::fmod(std::max(0.0, s), 11.6);
    const double x = phase < 5.8 ? phase / 5.8 : 2 - phase / 5.8;
    return easing.valueForProgress(std::clamp(x, 0.0, 1.0));
}

namespace {
// The largest change of a round, soft picture's pixels, in levels, per unit of the
// logarithm of its scale about its centre (|dP/dr| r), read along the row through the
// centre over spans of 16 pixels, so that its own 8-bit steps average out.
double radialScaleSlope(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double centre = argb.width() / 2.0;
    const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(argb.height() / 2));
    constexpr int kHalfSpan = 8;
    double most = 0;
    for (int x = int(centre) + kHalfSpan; x + kHalfSpan < argb.width(); ++x) {
        const QRgb a = row[x - kHalfSpan], b = row[x + kHalfSpan];
        const int step = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                   std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
        most = std::max(most, step / (2.0 * kHalfSpan) * (x + 0.5 - centre));
    }
    return most;
}

// The smallest rectangle outside which the image is clear.
QRect opaqueBounds(const QImage &image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

double BreathingMarkItem::glowChange(qreal fromBreath, qreal toBreath) const
{
    if (fromBreath < 0)
        return std::numeric_limits<double>::infinity();
    return m_glowSlope *
           std::abs(std::log(paint::breathingGlowScale(toBreath) / paint::breathingGlowScale(fromBreath)));
}

double BreathingMarkItem::ringChange(qreal fromBreath, qreal toBreath, qreal dpr) const
{
    if (fromBreath < 0)
        return std::numeric_limits<double>::infinity();
    // The ring's radius is 0.59 of the size.
    return 0.59 * m_size * dpr *
           std::abs(paint::breathingRingScale(toBreath) - paint::breathingRingScale(fromBreath)) / 0.25;
}

double BreathingMarkItem::shapeChange(qreal fromBreath, qreal toBreath, qreal dpr) const
{
    if (fromBreath < 0)
        return std::numeric_limits<double>::infinity();
    // The logo's edge lies within half the size times its own swell (at most 1.038) from
    // the centre; it steps as the logo's own outline does.
    return 0.5 * 1.04 * m_size * dpr *
           std::abs(paint::breathingLogoScale(toBreath) - paint::breathingLogoScale(fromBreath)) /
           brand::kLogoStepPixels;
}

qint64 BreathingMarkItem::tick()
{
    const qreal dpr = devicePixelRatio();
    const qreal b = breath();
    const bool glow = m_logo.isNull() || glowChange(m_glowBreath, b) >= 1;
    const bool ring = m_logo.isNull() || ringChange(m_ringBreath, b, dpr) >= 1;
    const bool shape = m_logo.isNull() || shapeChange(m_shapeBreath, b, dpr) >= 1;
    const std::optional<brand::LogoState> next = logoStep(dpr);
    if (next)
        show(*next);
    else if (glow || ring || shape)
        repaint();
    // Asleep until a layer looks different from the one about to be drawn (a logo painted
    // for its own step is painted at this breath, and the ring with it).
    const qreal glowFrom = glow ? b : m_glowBreath;
    const qreal shapeFrom = shape || next ? b : m_shapeBreath;
    const qreal ringFrom = ring || shape || next ? b : m_ringBreath;
    const double since = nowSeconds() - m_appeared;
    const qint64 breathStep = FrameTicker::untilChange(
        kMinimumIntervalMs, FrameTicker::kMaxSleepMs, FrameTicker::kGridMs, [&](qint64 ms) {
            const qreal later = breathAt(since + ms / 1000.0);
            return glowChange(glowFrom, later) >= 1 || ringChange(ringFrom, later, dpr) >= 1 ||
                   shapeChange(shapeFrom, later, dpr) >= 1;
        });
    // On the instants the panel's other stepped animations change at, so that they share
    // their frames.
    return SteppedFadeItem::onStepGrid(scheduler().monotonicMs(),
                                       std::min(breathStep, untilNextStep(kMinimumIntervalMs)));
}

qreal BreathingMarkItem::breath() const
{
    return breathAt(nowSeconds() - m_appeared);
}

void BreathingMarkItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    LogoMarkItem::itemChange(change, value);
    if ((change == ItemSceneChange && value.window) || (change == ItemVisibleHasChanged && value.boolValue))
        m_appeared = nowSeconds();
}

QList<PaintedLayersItem::Layer> BreathingMarkItem::paintLayers(qreal dpr)
{
    const qreal b = breath();
    const qreal canvas = 3.2 * m_size;
    const bool fresh = m_layerSize != m_size || m_layerDpr != dpr || m_logo.isNull();
    if (fresh) {
        m_layerSize = m_size;
        m_layerDpr = dpr;
        // The glow is drawn once and scaled by the window: soft as it is, scaling it is
        // what drawing it scaled would do. Only its part that is not clear is kept.
        const QImage glow = paint::breathingGlow(m_size, dpr, canvas);
        m_glowSlope = radialScaleSlope(glow);
        const QRect bounds = opaqueBounds(glow);
        m_glow = glow.copy(bounds.isEmpty() ? QRect(0, 0, 1, 1) : bounds);
        m_glow.setDevicePixelRatio(dpr);
        m_glowRect = QRectF((bounds.x() - canvas * dpr / 2) / dpr, (bounds.y() - canvas * dpr / 2) / dpr,
                            m_glow.width() / dpr, m_glow.height() / dpr);
    }
    if (fresh || glowChange(m_glowBreath, b) >= 1)
        m_glowBreath = b;
    bool logoChanged = fresh || shapeChange(m_shapeBreath, b, dpr) >= 1;
    if (m_hasNext) {
        m_drawn = m_next;
        m_hasNext = false;
        logoChanged = true;
    } else if (const std::optional<brand::LogoState> next = logoStep(dpr)) {
        m_drawn = *next;
        logoChanged = true;
    }
    m_hasDrawn = true;
    if (logoChanged) {
        // Painted again anyway: at this breath, so that the breath's own next step waits.
        m_shapeBreath = b;
        paint::LogoExtras extras;
        extras.breathingShadows = true;
        extras.outerScale = paint::breathingLogoScale(m_shapeBreath);
        m_logo = paint::renderLogoMark(m_size, dpr, m_drawn, extras);
    }

    // The ring lies within the logo's picture: a frame that draws the logo again draws the
    // ring at this breath too, at no cost in area, and the ring's own next step waits.
    const bool ringMoved =
        fresh || ringChange(m_ringBreath, b, dpr) >= 1 || (logoChanged && ringChange(m_ringBreath, b, dpr) > 0);
    if (ringMoved) {
        m_ringBreath = b;
        m_ring = paint::breathingRing(0.59 * m_size * paint::breathingRingScale(b), dpr);
    }

    const QPointF centre(width() / 2, height() / 2);
    const qreal glowScale = paint::breathingGlowScale(m_glowBreath);
    const QRectF glowRect(centre + m_glowRect.topLeft() * glowScale, m_glowRect.size() * glowScale);
    const qreal ringReach = m_ring.width() / dpr / 2;
    const qreal logoSide = paint::kLogoCanvasFactor * m_size;
    return {Layer{m_glow, glowRect, true, !fresh},
            Layer{m_ring, QRectF(centre.x() - ringReach, centre.y() - ringReach, 2 * ringReach, 2 * ringReach), false,
                  !ringMoved},
            Layer{m_logo, QRectF(centre.x() - logoSide / 2, centre.y() - logoSide / 2, logoSide, logoSide), false,
                  !logoChanged}};
}

// ---- BrandLayerItem ----

BrandLayerItem::BrandLayerItem(QQuickItem *parent)
    : PaintedLayersItem(parent), m_first(Theme::markGold()), m_second(Theme::markRose()), m_bloom(Theme::markRose())
{
}

void BrandLayerItem::setFirst(const QColor &c)
{
    if (c == m_first)
        return;
    m_first = c;
    emit changed();
    repaint();
}
void BrandLayerItem::setSecond(const QColor &c)
{
    if (c == m_second)
        return;
    m_second = c;
    emit changed();
    repaint();
}
void BrandLayerItem::setBloom(const QColor &c)
{
    if (c == m_bloom)
        return;
    m_bloom = c;
    emit changed();
    repaint();
}

QList<PaintedLayersItem::Layer> BrandLayerItem::paintLayers(qreal dpr)
{
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty())
        return {};
    QImage image((bounds.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(dpr, dpr);
        paint::paintBrandLayer(p, bounds, m_first, m_second, m_bloom);
    }
    image.setDevicePixelRatio(dpr);
    return {Layer{image, bounds, false}};
}

// ---- AmorphousLogoShapeItem ----

AmorphousLogoShapeItem::AmorphousLogoShapeItem(QQuickItem *parent) : PaintedLayersItem(parent) {}

void AmorphousLogoShapeItem::setProgress(qreal p)
{
    if (qFuzzyCompare(p, m_progress))
        return;
    m_progress = p;
    emit changed();
    repaint();
}
void AmorphousLogoShapeItem::setFillColor(const QColor &c)
{
    if (c == m_fill)
        return;
    m_fill = c;
    emit changed();
    repaint();
}
void AmorphousLogoShapeItem::setStrokeColor(const QColor &c)
{
    if (c == m_stroke)
        return;
    m_stroke = c;
    emit changed();
    repaint();
}
void AmorphousLogoShapeItem::setStrokeWidth(qreal w)
{
    if (qFuzzyCompare(w, m_strokeWidth))
        return;
    m_strokeWidth = w;
    emit changed();
    repaint();
}

QList<PaintedLayersItem::Layer> AmorphousLogoShapeItem::paintLayers(qreal dpr)
{
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty())
        return {};
    const qreal margin = std::ceil(m_strokeWidth);
    const QRectF canvas = bounds.adjusted(-margin, -margin, margin, margin);
    QImage image((canvas.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.translate(margin, margin);
        const QPainterPath path = brand::amorphousLogoPath(bounds, m_progress);
        p.fillPath(path, m_fill);
        if (m_strokeWidth > 0 && m_stroke.alpha() > 0)
            p.strokePath(path, QPen(m_stroke, m_strokeWidth));
    }
    image.setDevicePixelRatio(dpr);
    return {Layer{image, canvas, false}};
}

// ---- SparklineItem ----

SparklineItem::SparklineItem(QQuickItem *parent) : PaintedLayersItem(parent)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &SparklineItem::repaint);
}

void SparklineItem::setValues(const QList<qreal> &values)
{
    if (values == m_values)
        return;
    m_values = values;
    emit valuesChanged();
    repaint();
}

QList<QPointF> SparklineItem::points(const QList<qreal> &values, QSizeF size)
{
    QList<QPointF> result;
    const qsizetype n = values.size();
    const double span = double(std::max<qsizetype>(n, 2) - 1);
    for (qsizetype i = 0; i < n; ++i)
        result.append(QPointF(size.width() * double(i) / span, size.height() * (1 - values[i])));
    return result;
}

QList<PaintedLayersItem::Layer> SparklineItem::paintLayers(qreal dpr)
{
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty() || m_values.isEmpty())
        return {};
    // Dots and out-of-range values may reach beyond the frame.
    const QList<QPointF> pts = points(m_values, bounds.size());
    QRectF reach = bounds;
    for (const QPointF &pt : pts)
        reach = reach.united(QRectF(pt - QPointF(3, 3), QSizeF(6, 6)));
    QImage image((reach.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.translate(-reach.topLeft());
        const QColor accent = Theme::shared().color(ColorToken::accent);
        if (pts.size() > 1) {
            QPainterPath line(pts.first());
            for (qsizetype i = 1; i < pts.size(); ++i)
                line.lineTo(pts[i]);
            QPen pen(accent, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.strokePath(line, pen);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        for (const QPointF &pt : pts)
            p.drawEllipse(pt, 2.5, 2.5);
    }
    image.setDevicePixelRatio(dpr);
    return {Layer{image, reach, false}};
}

} // namespace qv
