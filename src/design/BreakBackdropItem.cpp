#include "design/BreakBackdropItem.h"

#include "design/Painting.h"
#include "design/Theme.h"
#include "runtime/Color.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace qv {

BreakBackdropItem::BreakBackdropItem(QQuickItem *parent) : PaintedLayersItem(parent)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &BreakBackdropItem::repaint);
}

QList<QColor> BreakBackdropItem::gradientColours()
{
    return {Theme::brandInk(), Color::hex(u"111711"), Color::hex(u"223227")};
}

QList<BreakBackdropItem::Glow> BreakBackdropItem::glows()
{
    return {{Theme::withOpacity(Theme::brandRose(), 0.18), {0.46, 0.33}, 80, 520},
            {Theme::withOpacity(Theme::brandTeal(), 0.16), {0.58, 0.38}, 70, 560},
            {Theme::withOpacity(Theme::brandGold(), 0.12), {0.5, 0.78}, 120, 620}};
}

void BreakBackdropItem::paint(QPainter &painter, const QSizeF &size, bool isDark)
{
    const QRectF rect(QPointF(0, 0), size);
    QLinearGradient linear(rect.topLeft(), rect.bottomLeft());
    const QList<QColor> colours = gradientColours();
    for (int i = 0; i < colours.size(); ++i)
        linear.setColorAt(qreal(i) / (colours.size() - 1), colours.at(i));
    painter.fillRect(rect, linear);

    for (const Glow &glow : glows()) {
        const QPointF centre(glow.centre.x() * size.width(), glow.centre.y() * size.height());
        // The colour holds out to the start radius and fades to clear at the end radius.
        QRadialGradient radial(centre, glow.endRadius, centre, glow.startRadius);
        QColor clear = glow.colour;
        clear.setAlphaF(0);
        radial.setColorAt(0, glow.colour);
        radial.setColorAt(1, clear);
        painter.fillRect(rect, radial);
    }
    painter.fillRect(rect, Theme::withOpacity(Theme::material(Material::ultraThin, isDark), 0.16));
}

QList<PaintedLayersItem::Layer> BreakBackdropItem::paintLayers(qreal dpr)
{
    if (width() <= 0 || height() <= 0)
        return {};
    const qreal scale = dpr * kResolution;
    QImage image(QSize(int(std::ceil(width() * scale)), int(std::ceil(height() * scale))),
                 QImage::Format_RGBA64_Premultiplied);
    QPainter painter(&image);
    painter.scale(scale, scale);
    paint(painter, size(), Theme::shared().isDark());
    painter.end();
    // Painted deep and dithered: the glows are faint gradients over a dark ground.
    image = paint::dithered(image);
    image.setDevicePixelRatio(scale);
    return {Layer{image, QRectF(0, 0, width(), height()), true}};
}

} // namespace qv
