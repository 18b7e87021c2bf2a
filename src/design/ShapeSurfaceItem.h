#pragma once

#include "design/DesignItems.h"

#include <QColor>
#include <QPointF>

namespace qv {

// A plain painted shape for views that need one colour set by state: a continuous
// rounded rectangle (or a circle) filled with a colour, or with a diagonal gradient from
// `fill` (top-leading) to `fillEnd` (bottom-trailing) when that is set, outlined with
// `stroke`, and casting a soft shadow (`shadowRadius` in points, as the blur's reach)
// when the shadow's colour is not clear. The shadow may reach beyond the item.
class ShapeSurfaceItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(ShapeSurface)
    Q_PROPERTY(qreal radius MEMBER m_radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(bool circle MEMBER m_circle WRITE setCircle NOTIFY changed)
    Q_PROPERTY(QColor fill MEMBER m_fill WRITE setFill NOTIFY changed)
    Q_PROPERTY(QColor fillEnd MEMBER m_fillEnd WRITE setFillEnd NOTIFY changed)
    Q_PROPERTY(QColor stroke MEMBER m_stroke WRITE setStroke NOTIFY changed)
    Q_PROPERTY(qreal strokeWidth MEMBER m_strokeWidth WRITE setStrokeWidth NOTIFY changed)
    Q_PROPERTY(QColor shadowColor MEMBER m_shadowColor WRITE setShadowColor NOTIFY changed)
    Q_PROPERTY(qreal shadowRadius MEMBER m_shadowRadius WRITE setShadowRadius NOTIFY changed)
    Q_PROPERTY(QPointF shadowOffset MEMBER m_shadowOffset WRITE setShadowOffset NOTIFY changed)
public:
    explicit ShapeSurfaceItem(QQuickItem *parent = nullptr);

    void setRadius(qreal v) { change(m_radius, v); }
    void setCircle(bool v) { change(m_circle, v); }
    void setFill(const QColor &v) { change(m_fill, v); }
    void setFillEnd(const QColor &v) { change(m_fillEnd, v); }
    void setStroke(const QColor &v) { change(m_stroke, v); }
    void setStrokeWidth(qreal v) { change(m_strokeWidth, v); }
    void setShadowColor(const QColor &v) { change(m_shadowColor, v); }
    void setShadowRadius(qreal v) { change(m_shadowRadius, v); }
    void setShadowOffset(const QPointF &v) { change(m_shadowOffset, v); }

signals:
    void changed();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    template <typename T>
    void change(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        emit changed();
        repaint();
    }

    qreal m_radius = 0;
    bool m_circle = false;
    QColor m_fill = Qt::transparent;
    QColor m_fillEnd;
    QColor m_stroke = Qt::transparent;
    qreal m_strokeWidth = 0;
    QColor m_shadowColor = Qt::transparent;
    qreal m_shadowRadius = 0;
    QPointF m_shadowOffset;
};

} // namespace qv
