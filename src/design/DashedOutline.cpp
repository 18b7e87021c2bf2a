#include "design/DashedOutline.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace qv {

DashedOutline::DashedOutline(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

template <typename T>
void DashedOutline::change(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
    update();
}

void DashedOutline::setColor(const QColor &color) { change(m_color, color); }
void DashedOutline::setRadius(qreal radius) { change(m_radius, radius); }
void DashedOutline::setLineWidth(qreal width) { change(m_lineWidth, width); }
void DashedOutline::setDash(qreal dash) { change(m_dash, dash); }
void DashedOutline::setGap(qreal gap) { change(m_gap, gap); }

void DashedOutline::paint(QPainter *painter)
{
    const qreal w = std::max<qreal>(0.1, m_lineWidth);
    QPen pen(m_color, w);
    // A pen's dash pattern is counted in line widths.
    pen.setDashPattern({std::max<qreal>(0.1, m_dash) / w, std::max<qreal>(0.1, m_gap) / w});
    pen.setMiterLimit(10);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const QRectF r = boundingRect().adjusted(w / 2, w / 2, -w / 2, -w / 2);
    const qreal radius = std::clamp<qreal>(m_radius - w / 2, 0, std::min(r.width(), r.height()) / 2);
    painter->drawRoundedRect(r, radius, radius);
}

} // namespace qv
