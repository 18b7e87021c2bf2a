#include "design/TabularText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qv {

TabularText::TabularText(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    relayout();
}

void TabularText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
    relayout();
}

void TabularText::setFont(const QFont &font)
{
    if (font == m_font)
        return;
    m_font = font;
    emit fontChanged();
    relayout();
}

void TabularText::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    emit colorChanged();
    update();
}

void TabularText::setHorizontalAlignment(int alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    relayout();
}

void TabularText::setMinimumPixelSize(int size)
{
    if (size == m_minimumPixelSize)
        return;
    m_minimumPixelSize = size;
    relayout();
}

QFont TabularText::shownFont() const
{
    // Before the item has a width of its own it shows the whole text.
    if (!widthValid())
        return m_font;
    return fittedFont(m_font, m_text, width(), m_minimumPixelSize);
}

void TabularText::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        relayout();
}

void TabularText::relayout()
{
    const QFontMetricsF full(m_font);
    setImplicitSize(std::ceil(textWidth(m_font, m_text)), std::ceil(full.height()));
    // The baseline of the shown font, centred on the item's height as a line of text is.
    const QFontMetricsF shown(shownFont());
    setBaselineOffset((height() - shown.height()) / 2 + shown.ascent());
    emit layoutChanged();
    update();
}

qreal TabularText::widestDigit(const QFontMetricsF &metrics)
{
    qreal digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    return digit;
}

qreal TabularText::textWidth(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    const qreal digit = widestDigit(metrics);
    qreal width = 0;
    for (const QChar c : text)
        width += c.isDigit() ? digit : metrics.horizontalAdvance(c);
    return width;
}

void TabularText::draw(QPainter &painter, QPointF start, const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    const qreal digit = widestDigit(metrics);
    painter.setFont(font);
    qreal x = start.x();
    for (const QChar c : text) {
        const qreal advance = metrics.horizontalAdvance(c);
        const qreal cell = c.isDigit() ? digit : advance;
        painter.drawText(QPointF(x + (cell - advance) / 2, start.y()), QString(c));
        x += cell;
    }
}

QFont TabularText::fittedFont(const QFont &font, const QString &text, qreal width, int minimumPixelSize)
{
    const qreal natural = textWidth(font, text);
    if (natural <= width || minimumPixelSize <= 0 || font.pixelSize() <= minimumPixelSize || natural <= 0)
        return font;
    QFont fitted = font;
    int size = std::max(minimumPixelSize, int(std::floor(font.pixelSize() * std::max<qreal>(0, width) / natural)));
    fitted.setPixelSize(size);
    // Advances do not scale exactly with the size: step down while it still does not fit.
    while (size > minimumPixelSize && textWidth(fitted, text) > width)
        fitted.setPixelSize(--size);
    return fitted;
}

void TabularText::paint(QPainter *painter)
{
    const QFont font = shownFont();
    const QFontMetricsF metrics(font);
    const qreal textW = textWidth(font, m_text);
    qreal x = 0;
    if (m_alignment & Qt::AlignHCenter)
        x = (width() - textW) / 2;
    else if (m_alignment & Qt::AlignRight)
        x = width() - textW;
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setClipRect(QRectF(0, 0, width(), height()));
    painter->setPen(m_color);
    draw(*painter, QPointF(x, (height() - metrics.height()) / 2 + metrics.ascent()), font, m_text);
}

} // namespace qv
