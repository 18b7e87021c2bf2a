#pragma once

#include <QColor>
#include <QFont>
#include <QQuickPaintedItem>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QFontMetricsF;
class QPainter;

namespace qv {

// One line of text whose digits stand in cells of one width, the widest digit's, so that a
// number that ticks (a countdown, a count) keeps its width and its place from one value to
// the next; every other character keeps its own width. The font has no switch for such
// digits in this Qt, so the cells are laid out here. The countdown dial draws its time the
// same way. Shrinks to fit its width down to minimumPixelSize (0: never), then is cut.
class TabularText : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(int horizontalAlignment READ horizontalAlignment WRITE setHorizontalAlignment NOTIFY layoutChanged)
    Q_PROPERTY(int minimumPixelSize READ minimumPixelSize WRITE setMinimumPixelSize NOTIFY layoutChanged)
    // The font as drawn at the item's width, and the width the text takes in it.
    Q_PROPERTY(QFont shownFont READ shownFont NOTIFY layoutChanged)
    Q_PROPERTY(qreal contentWidth READ contentWidth NOTIFY layoutChanged)
public:
    explicit TabularText(QQuickItem *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    int horizontalAlignment() const { return m_alignment; }
    void setHorizontalAlignment(int alignment);
    int minimumPixelSize() const { return m_minimumPixelSize; }
    void setMinimumPixelSize(int size);
    QFont shownFont() const;
    qreal contentWidth() const { return textWidth(shownFont(), m_text); }

    // The cell of every digit: the advance of the widest of 0 to 9.
    static qreal widestDigit(const QFontMetricsF &metrics);
    // The text's width with every digit in its cell.
    static qreal textWidth(const QFont &font, const QString &text);
    // Draws the text from the point at the start of its baseline, each digit centred in its cell.
    static void draw(QPainter &painter, QPointF start, const QFont &font, const QString &text);
    // The font at which text fits width: font itself when it fits, else smaller in whole
    // pixels down to minimumPixelSize (0: never smaller).
    static QFont fittedFont(const QFont &font, const QString &text, qreal width, int minimumPixelSize);

    void paint(QPainter *painter) override;

signals:
    void textChanged();
    void fontChanged();
    void colorChanged();
    void layoutChanged();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void relayout();

    QString m_text;
    QFont m_font;
    QColor m_color = Qt::black;
    int m_alignment = Qt::AlignLeft;
    int m_minimumPixelSize = 0;
};

} // namespace qv
