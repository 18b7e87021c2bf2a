#include "design/ProgressRingItem.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace qv {

ProgressRingItem::ProgressRingItem(QQuickItem *parent) : PaintedLayersItem(parent) {}

template <typename T>
void ProgressRingItem::change(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
    repaint();
}

void ProgressRingItem::setProgress(qreal progress)
{
    change(m_progress, drawnProgress(progress));
}

void ProgressRingItem::setLineWidth(qreal width)
{
    change(m_lineWidth, std::isfinite(width) ? std::max<qreal>(width, 0) : 0);
}

void ProgressRingItem::setTrackColor(const QColor &colour)
{
    change(m_track, colour);
}

void ProgressRingItem::setColor(const QColor &colour)
{
    change(m_colour, colour);
}

qreal ProgressRingItem::drawnProgress(qreal progress)
{
    return std::isfinite(progress) ? std::clamp<qreal>(progress, 0, 1) : 0;
}

QList<PaintedLayersItem::Layer> ProgressRingItem::paintLayers(qreal dpr)
{
    const qreal side = std::min(width(), height());
    if (side <= m_lineWidth)
        return {};
    const QRectF bounds(0, 0, width(), height());
    QImage image((bounds.size() * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        const qreal r = (side - m_lineWidth) / 2;
        const QRectF box(bounds.center().x() - r, bounds.center().y() - r, 2 * r, 2 * r);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(m_track, m_lineWidth, Qt::SolidLine, Qt::FlatCap));
        p.drawEllipse(box);
        if (m_progress > 0) {
            QPainterPath arc;
            arc.arcMoveTo(box, 90);
            arc.arcTo(box, 90, -360 * m_progress);
            p.setPen(QPen(m_colour, m_lineWidth, Qt::SolidLine, Qt::RoundCap));
            p.drawPath(arc);
        }
    }
    image.setDevicePixelRatio(dpr);
    return {Layer{image, bounds, false}};
}

} // namespace qv
