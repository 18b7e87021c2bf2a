#pragma once

#include "design/DesignItems.h"

#include <QColor>
#include <QPointF>

class QPainter;

namespace qv {

// The break panel's background: a deep green-black gradient from top to bottom, three
// soft glows (rose, teal, gold) and a veil of the ultra-thin material. It does not move,
// so it is painted once per size and appearance.
class BreakBackdropItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(BreakOverlayBackground)
public:
    explicit BreakBackdropItem(QQuickItem *parent = nullptr);

    // One glow: colour at the centre (a fraction of the view's size) out to startRadius,
    // fading to clear at endRadius.
    struct Glow {
        QColor colour;
        QPointF centre;
        qreal startRadius;
        qreal endRadius;
    };
    static QList<QColor> gradientColours();
    static QList<Glow> glows();
    static void paint(QPainter &painter, const QSizeF &size, bool isDark);

    // The glows are soft: a picture at this fraction of the view's resolution, smoothly
    // scaled, looks the same.
    static constexpr qreal kResolution = 0.5;

protected:
    QList<Layer> paintLayers(qreal dpr) override;
};

} // namespace qv
