#include "design/ShapeSurfaceItem.h"

#include "design/Painting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace qv {

ShapeSurfaceItem::ShapeSurfaceItem(QQuickItem *parent) : PaintedLayersItem(parent) {}

QList<PaintedLayersItem::Layer> ShapeSurfaceItem::paintLayers(qreal dpr)
{
    QList<Layer> layers;
    const QRectF bounds(0, 0, width(), height());
    if (bounds.isEmpty())
        return layers;
    QPainterPath shape;
    if (m_circle)
        shape.addEllipse(bounds);
    else
        shape = paint::continuousRoundedRect(bounds, m_radius);

    if (m_shadowColor.alpha() > 0 && m_shadowRadius > 0) {
        // The reach of the shadow is about two standard deviations of its blur.
        const qreal sigma = m_shadowRadius / 2;
        const qreal margin = std::ceil(3 * sigma) + 1;
        Layer shadow;
        shadow.image = paint::shadowImage(shape, bounds, m_shadowColor, sigma, margin, sigma >= 6 ? 0.5 : dpr);
        shadow.rect = bounds.adjusted(-margin, -margin, margin, margin).translated(m_shadowOffset);
        shadow.smooth = true;
        layers << shadow;
    }

    // The outline is centred on the edge, so the picture reaches half its width beyond.
    const qreal half = m_strokeWidth / 2 + 1;
    const QRectF rect = bounds.adjusted(-half, -half, half, half);
    QImage image((rect.size() * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(half, half);
        if (m_fillEnd.isValid()) {
            QLinearGradient gradient(bounds.topLeft(), bounds.bottomRight());
            gradient.setColorAt(0, m_fill);
            gradient.setColorAt(1, m_fillEnd);
            p.fillPath(shape, gradient);
        } else if (m_fill.alpha() > 0) {
            p.fillPath(shape, m_fill);
        }
        if (m_strokeWidth > 0 && m_stroke.alpha() > 0)
            p.strokePath(shape, QPen(m_stroke, m_strokeWidth));
    }
    Layer body;
    body.image = image;
    body.rect = rect;
    layers << body;
    return layers;
}

} // namespace qv
