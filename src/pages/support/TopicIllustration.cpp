#include "pages/support/TopicIllustration.h"

#include "design/SystemSymbol.h"
#include "design/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>

namespace qv {

namespace {

QColor alpha(const QColor &colour, qreal k)
{
    return Theme::withOpacity(colour, k);
}

// Text centred on a point.
void centredText(QPainter &p, const QPointF &centre, const QString &text, const QFont &font, const QColor &colour)
{
    p.setFont(font);
    p.setPen(colour);
    const QRectF box(centre.x() - 200, centre.y() - 50, 400, 100);
    p.drawText(box, Qt::AlignCenter, text);
}

qreal textHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

void symbol(QPainter &p, const QPointF &centre, const QString &name, qreal size, const QColor &colour,
            int weight = QFont::Normal)
{
    QFont font(SystemSymbol::fontFamily());
    font.setPixelSize(SystemSymbol::pixelSize(size));
    font.setWeight(QFont::Weight(weight));
    centredText(p, centre, SystemSymbol::glyph(name), font, colour);
}

// A grid of rounded cells centred on a point.
void cellGrid(QPainter &p, const QPointF &centre, int rows, int columns, qreal cell, qreal gap, qreal radius,
              const std::function<QColor(int, int)> &fill)
{
    const qreal w = columns * cell + (columns - 1) * gap;
    const qreal h = rows * cell + (rows - 1) * gap;
    const QPointF origin = centre - QPointF(w / 2, h / 2);
    p.setPen(Qt::NoPen);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            p.setBrush(fill(r, c));
            p.drawRoundedRect(QRectF(origin + QPointF(c * (cell + gap), r * (cell + gap)), QSizeF(cell, cell)),
                              radius, radius);
        }
}

} // namespace

TopicIllustrationItem::TopicIllustrationItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, [this] { update(); });
}

void TopicIllustrationItem::setKind(int kind)
{
    const auto value = IllustrationKind(std::clamp(kind, 0, int(IllustrationKind::fontSmoothing)));
    if (value == m_kind)
        return;
    m_kind = value;
    emit kindChanged();
    update();
}

void TopicIllustrationItem::setPulse(qreal pulse)
{
    if (qFuzzyCompare(pulse, m_pulse))
        return;
    m_pulse = pulse;
    emit pulseChanged();
    update();
}

QList<QPointF> TopicIllustrationItem::squareWavePoints(QSizeF size)
{
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal period = w / 8;
    const qreal on = 0.2 * h;
    const qreal off = 0.7 * h;
    QList<QPointF> points{QPointF(0, on)};
    for (int i = 0; i < 8; ++i) {
        const qreal middle = i * period + period / 2;
        const qreal end = (i + 1) * period;
        points << QPointF(middle, on) << QPointF(middle, off) << QPointF(end, off);
        if (i < 7)
            points << QPointF(end, on);
    }
    return points;
}

qreal TopicIllustrationItem::pixelOpacity(bool dithered, qreal pulse, int row, int column)
{
    if (!dithered)
        return 0.7;
    const bool even = (row + column) % 2 == 0;
    const qreal bright = 0.9;
    const qreal dim = 0.45;
    // Even cells go from bright to dim as the pulse rises; odd cells the other way.
    const qreal t = std::clamp(pulse, 0.0, 1.0);
    return even ? bright + (dim - bright) * t : dim + (bright - dim) * t;
}

QList<qreal> TopicIllustrationItem::blurredOpacities()
{
    QList<qreal> values;
    values.reserve(35);
    for (int i = 0; i < 35; ++i)
        values.append(0.3 + 0.4 * QRandomGenerator::global()->bounded(1001) / 1000.0);
    return values;
}

QString TopicIllustrationItem::genericSymbol(IllustrationKind kind)
{
    return kind == IllustrationKind::strainFactors ? QStringLiteral("brain.head.profile")
                                                   : QStringLiteral("textformat.size");
}

QString TopicIllustrationItem::genericCaption(IllustrationKind kind)
{
    return kind == IllustrationKind::strainFactors ? QStringLiteral("Sensitivity varies")
                                                   : QStringLiteral("Aa \u2192 Aa");
}

void TopicIllustrationItem::paint(QPainter *painter)
{
    QPainter &p = *painter;
    const Theme &theme = Theme::shared();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF slot(0.25, 0.25, width() - 0.5, height() - 0.5);
    p.setBrush(theme.surface());
    p.setPen(QPen(theme.divider(), 0.5));
    p.drawRoundedRect(slot, 10, 10);

    const QRectF area = QRectF(0, 0, width(), height()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (area.isEmpty())
        return;
    switch (m_kind) {
    case IllustrationKind::dithering: paintDithering(p, area); break;
    case IllustrationKind::pwm: paintPwm(p, area); break;
    case IllustrationKind::uniformity: paintUniformity(p, area); break;
    case IllustrationKind::integerScaling: paintIntegerScaling(p, area); break;
    case IllustrationKind::strainFactors:
    case IllustrationKind::fontSmoothing: paintGeneric(p, area); break;
    }
}

void TopicIllustrationItem::paintDithering(QPainter &p, const QRectF &area)
{
    const Theme &theme = Theme::shared();
    const QFont caption = Theme::captionRegular();
    const qreal lineH = textHeight(caption);
    const qreal grid = 4 * 14 + 3 * 2;
    const qreal columnWidth = 130;
    const qreal eyeWidth = 16;
    const qreal total = 2 * columnWidth + eyeWidth + 2 * 12;
    const qreal left = area.center().x() - total / 2;
    const qreal top = area.top();

    auto column = [&](qreal x, const QString &title, const QString &note, bool dithered) {
        const qreal cx = x + columnWidth / 2;
        centredText(p, QPointF(cx, top + lineH / 2), title, caption, theme.textTertiary());
        const QPointF gridCentre(cx, top + lineH + 4 + grid / 2);
        cellGrid(p, gridCentre, 4, 4, 14, 2, 1.5, [&](int r, int c) {
            return alpha(theme.accent(), pixelOpacity(dithered, dithered ? m_pulse : 0, r, c));
        });
        centredText(p, QPointF(cx, top + lineH + 4 + grid + 4 + lineH / 2), note, caption, theme.textSecondary());
    };
    column(left, QStringLiteral("STABLE"), QStringLiteral("One steady color"), false);
    symbol(p, QPointF(left + columnWidth + 12 + eyeWidth / 2, top + 30 + 8), QStringLiteral("eye"), 12,
           theme.accent());
    column(left + columnWidth + 12 + eyeWidth + 12, QStringLiteral("DITHERED"), QStringLiteral("Frames change rapidly"),
           true);
}

void TopicIllustrationItem::paintPwm(QPainter &p, const QRectF &area)
{
    const Theme &theme = Theme::shared();
    const qreal w = area.width();
    const qreal h = area.height();
    p.save();
    p.translate(area.topLeft());
    p.setPen(QPen(theme.divider(), 0.5));
    p.drawLine(QPointF(0, 0.5 * h), QPointF(w, 0.5 * h));

    QPainterPath wave;
    const QList<QPointF> points = squareWavePoints(area.size());
    wave.moveTo(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        wave.lineTo(points[i]);
    QPen pen(theme.accent(), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);

    const QFont caption = Theme::captionRegular();
    centredText(p, QPointF(0.2 * w, 0.1 * h), QStringLiteral("Backlight ON"), caption, theme.textTertiary());
    centredText(p, QPointF(0.75 * w, 0.85 * h), QStringLiteral("Backlight OFF"), caption, theme.textTertiary());
    p.restore();
}

void TopicIllustrationItem::paintUniformity(QPainter &p, const QRectF &area)
{
    const Theme &theme = Theme::shared();
    QRadialGradient gradient(area.center(), 130, area.center());
    // From radius 10 to radius 130.
    gradient.setColorAt(0, alpha(theme.accent(), 0.8));
    gradient.setColorAt(10.0 / 130.0, alpha(theme.accent(), 0.8));
    gradient.setColorAt(1, alpha(theme.accent(), 0.35));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(area, 6, 6);
    centredText(p, area.center(), QStringLiteral("corners dimmed \u2190\u2192 center bright"), Theme::captionRegular(),
                alpha(Qt::white, 0.9));
}

void TopicIllustrationItem::paintIntegerScaling(QPainter &p, const QRectF &area)
{
    const Theme &theme = Theme::shared();
    const QFont label = Theme::detailMedium();
    const QFont caption = Theme::captionRegular();
    const qreal boxW = 80;
    const qreal boxH = 56;
    const qreal columnW = 96;
    const qreal arrowW = 16;
    const qreal total = 2 * columnW + arrowW + 24;
    const qreal left = area.center().x() - total / 2;
    const qreal labelH = textHeight(label);
    const qreal captionH = textHeight(caption);
    const qreal height = labelH + 4 + boxH + 4 + captionH;
    const qreal top = area.center().y() - height / 2;
    const QList<qreal> blurred = blurredOpacities();

    auto column = [&](qreal x, const QString &scale, const QColor &labelColour, const QColor &outline,
                      const std::function<qreal(int, int)> &opacity, const QString &note, const QColor &noteColour) {
        const qreal cx = x + columnW / 2;
        centredText(p, QPointF(cx, top + labelH / 2), scale, label, labelColour);
        const QPointF boxCentre(cx, top + labelH + 4 + boxH / 2);
        p.setPen(QPen(outline, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(boxCentre - QPointF(boxW / 2, boxH / 2), QSizeF(boxW, boxH)), 2, 2);
        cellGrid(p, boxCentre, 5, 7, 9, 1, 1,
                 [&](int r, int c) { return alpha(theme.accent(), opacity(r, c)); });
        centredText(p, QPointF(cx, top + labelH + 4 + boxH + 4 + captionH / 2), note, caption, noteColour);
    };
    column(left, QStringLiteral("1.77\u00d7"), theme.textSecondary(), theme.divider(),
           [&](int r, int c) { return blurred[r * 7 + c]; }, QStringLiteral("subpixel blur"), theme.textTertiary());
    symbol(p, QPointF(left + columnW + 12 + arrowW / 2, top + labelH + 4 + boxH / 2), QStringLiteral("arrow.right"), 14,
           theme.textTertiary());
    column(left + columnW + 24 + arrowW, QStringLiteral("2.00\u00d7"), theme.accent(), theme.accent(),
           [](int, int) { return 0.85; }, QStringLiteral("crisp, integer"), theme.accent());
}

void TopicIllustrationItem::paintGeneric(QPainter &p, const QRectF &area)
{
    const Theme &theme = Theme::shared();
    const QFont caption = Theme::detailRegular();
    const qreal captionH = textHeight(caption);
    const qreal height = 80 + 8 + captionH;
    const QPointF badge(area.center().x(), area.center().y() - height / 2 + 40);
    p.setPen(Qt::NoPen);
    p.setBrush(alpha(theme.accentSoft(), 0.6));
    p.drawEllipse(badge, 40, 40);
    symbol(p, badge, genericSymbol(m_kind), 32, theme.accent(), QFont::Light);
    centredText(p, QPointF(badge.x(), badge.y() + 40 + 8 + captionH / 2), genericCaption(m_kind), caption,
                theme.textTertiary());
}

} // namespace qv
