#pragma once

#include "pages/support/EducationTopic.h"

#include <QList>
#include <QPointF>
#include <QQuickPaintedItem>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

namespace qv {

// The drawing of an expanded display-notes topic: the rounded slot and, padded 12 inside
// it, the topic's diagram (dithering, backlight PWM, edge uniformity, integer scaling) or
// its generic badge with a caption. Only the dithering diagram moves: its checkerboard
// follows `pulse` (0: bright squares where row + column is even, 1: swapped).
class TopicIllustrationItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(TopicIllustration)
    Q_PROPERTY(int kind READ kind WRITE setKind NOTIFY kindChanged)
    Q_PROPERTY(qreal pulse READ pulse WRITE setPulse NOTIFY pulseChanged)
    Q_PROPERTY(bool animated READ animated NOTIFY kindChanged)

public:
    static constexpr qreal kPadding = 12;

    explicit TopicIllustrationItem(QQuickItem *parent = nullptr);

    int kind() const { return int(m_kind); }
    void setKind(int kind);
    qreal pulse() const { return m_pulse; }
    void setPulse(qreal pulse);
    bool animated() const { return m_kind == IllustrationKind::dithering; }

    void paint(QPainter *painter) override;

    // The square wave of the backlight diagram in a drawing area of the given size: eight
    // periods, half on (at 0.2 h) and half off (at 0.7 h), ending at the off level.
    static QList<QPointF> squareWavePoints(QSizeF size);
    // The opacity of a cell of the 4 by 4 pixel grid; pulse moves a dithered grid between
    // its two checkerboards.
    static qreal pixelOpacity(bool dithered, qreal pulse, int row, int column);
    // The blurred grid's opacities (5 by 7), drawn anew each time: each within 0.3...0.7.
    static QList<qreal> blurredOpacities();
    // The generic badge's symbol and caption.
    static QString genericSymbol(IllustrationKind kind);
    static QString genericCaption(IllustrationKind kind);

signals:
    void kindChanged();
    void pulseChanged();

private:
    void paintDithering(QPainter &p, const QRectF &area);
    void paintPwm(QPainter &p, const QRectF &area);
    void paintUniformity(QPainter &p, const QRectF &area);
    void paintIntegerScaling(QPainter &p, const QRectF &area);
    void paintGeneric(QPainter &p, const QRectF &area);

    IllustrationKind m_kind = IllustrationKind::dithering;
    qreal m_pulse = 0;
};

} // namespace qv
