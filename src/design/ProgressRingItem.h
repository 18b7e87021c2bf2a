#pragma once

#include "design/DesignItems.h"

#include <QColor>

namespace qv {

// A small ring meter: a full track circle (butt caps) under an arc that starts at twelve
// o'clock and runs clockwise for the progress (round caps). The circle fits the item,
// its stroke inside the item's square. Progress is held to 0...1 (not a number: 0).
class ProgressRingItem : public PaintedLayersItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(ProgressRing)
    Q_PROPERTY(qreal progress READ progress WRITE setProgress NOTIFY changed)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    Q_PROPERTY(QColor trackColor READ trackColor WRITE setTrackColor NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
public:
    explicit ProgressRingItem(QQuickItem *parent = nullptr);

    qreal progress() const { return m_progress; }
    void setProgress(qreal progress);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);
    QColor trackColor() const { return m_track; }
    void setTrackColor(const QColor &colour);
    QColor color() const { return m_colour; }
    void setColor(const QColor &colour);

    static qreal drawnProgress(qreal progress);

signals:
    void changed();

protected:
    QList<Layer> paintLayers(qreal dpr) override;

private:
    template <typename T>
    void change(T &field, const T &value);

    qreal m_progress = 0;
    qreal m_lineWidth = 4;
    QColor m_track = Qt::lightGray;
    QColor m_colour = Qt::black;
};

} // namespace qv
