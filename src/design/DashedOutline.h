#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace qv {

// The outline of a rounded rectangle drawn dashed (a placeholder tile's edge): the line
// runs inside the item's bounds, `dash` points on and `gap` points off.
class DashedOutline : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    Q_PROPERTY(qreal dash READ dash WRITE setDash NOTIFY changed)
    Q_PROPERTY(qreal gap READ gap WRITE setGap NOTIFY changed)
public:
    explicit DashedOutline(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);
    qreal dash() const { return m_dash; }
    void setDash(qreal dash);
    qreal gap() const { return m_gap; }
    void setGap(qreal gap);

    void paint(QPainter *painter) override;

signals:
    void changed();

private:
    template <typename T>
    void change(T &field, const T &value);

    QColor m_color = Qt::gray;
    qreal m_radius = 10;
    qreal m_lineWidth = 1;
    qreal m_dash = 4;
    qreal m_gap = 4;
};

} // namespace qv
