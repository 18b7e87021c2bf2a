#include "design/Surface.h"

#include "design/Painting.h"
#include "design/Theme.h"

#include <QPainter>

namespace qv {

namespace {
QGradientStops stops(std::initializer_list<QColor> colours)
{
    QGradientStops result;
    const int n = int(colours.size());
    int i = 0;
    for (const QColor &c : colours) {
        result.append({n == 1 ? 0.0 : double(i) / (n - 1), c});
        ++i;
    }
    return result;
}

QColor clear(const QColor &like)
{
    QColor c = like;
    c.setAlphaF(0);
    return c;
}

// How strongly each state of a section row shows over its own fill, per appearance.
struct RowEmphasis {
    double hoverHighlight; // glass highlight over the hovered fill
    double pressedInk;     // text colour over the hovered look
    double selectedAccent; // accent over the selection colour
};
constexpr RowEmphasis kRowLight{1.0, 0.08, 0.12};
constexpr RowEmphasis kRowDark{0.5, 0.06, 0.16};

QBrush gradientBrush(const QGradientStops &s, GradientDirection direction)
{
    if (s.size() == 1)
        return QBrush(s.first().second);
    QLinearGradient g(0, 0, 1, direction == GradientDirection::diagonal ? 1 : 0);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setStops(s);
    return QBrush(g);
}
} // namespace

SurfaceStyle surfaceStyle(SurfaceKind kind, const SurfaceState &state, bool dark)
{
    auto token = [dark](ColorToken t) { return Theme::adaptive(t).resolve(dark); };
    auto op = Theme::withOpacity;
    const QColor white = Qt::white;
    const QColor black = Qt::black;
    const QColor highlight = token(ColorToken::accent);
    SurfaceStyle s;
    switch (kind) {
    case SurfaceKind::glassPanel:
        s.material = Theme::material(Material::ultraThin, dark);
        s.fill = state.hovering ? op(token(ColorToken::surfaceRaised), 0.86) : op(token(ColorToken::surface), 0.76);
        s.overlay = stops({token(ColorToken::glassHighlight), op(white, 0.04), op(highlight, 0.045)});
        s.strokeWidth = 0.7;
        s.stroke = stops({token(ColorToken::panelStroke)});
        s.shadow = SurfaceShadow{op(token(ColorToken::panelShadow), 0.78), 14, QPointF(0, 8)};
        break;
    case SurfaceKind::sidebar:
        s.material = Theme::material(Material::thin, dark);
        s.fill = op(token(ColorToken::sidebarBackground), 0.68);
        s.overlay = stops({token(ColorToken::sidebarSheen), op(white, 0.035), token(ColorToken::sidebarGlow)});
        s.strokeWidth = 0.8;
        s.stroke = stops({op(white, 0.26), op(token(ColorToken::sidebarBorder), 0.48), op(black, 0.1)});
        s.shadow = SurfaceShadow{op(token(ColorToken::panelShadow), 0.42), 22, QPointF(0, 14)};
        break;
    case SurfaceKind::sidebarRow: {
        // The rows' own fills are faint and translucent: in dark they all settle within a
        // few levels of each other. Each state therefore adds one layer of a token over
        // them: hovering a highlight that lightens the row (and the glass outline),
        // pressing a touch of the text colour, selection a wash of the accent.
        const RowEmphasis e = dark ? kRowDark : kRowLight;
        const QColor hovered = Theme::over(op(token(ColorToken::glassHighlight), e.hoverHighlight),
                                           op(token(ColorToken::surface), 0.24));
        if (state.selected) {
            s.material = Theme::material(Material::thin, dark);
            s.fill = Theme::over(op(highlight, e.selectedAccent), op(token(ColorToken::sidebarSelection), 0.62));
            s.overlay = stops({op(highlight, 0.08), op(white, 0.045), clear(white)});
            s.overlayDirection = GradientDirection::horizontal;
            s.strokeWidth = 0.7;
            s.stroke = stops({op(token(ColorToken::sidebarBorder), 0.9)});
        } else if (state.hovering || state.pressed) {
            s.material = Theme::material(Material::ultraThin, dark);
            s.fill = state.pressed ? Theme::over(op(token(ColorToken::textPrimary), e.pressedInk), hovered) : hovered;
            s.strokeWidth = 0.7;
            s.stroke = stops({token(ColorToken::panelStroke)});
        } else {
            s.material = Theme::material(Material::ultraThin, dark);
            s.fill = op(white, 0.025);
        }
        break;
    }
    case SurfaceKind::statusCard:
        s.material = Theme::material(Material::thin, dark);
        s.fill = op(token(ColorToken::surface), 0.3);
        s.strokeWidth = 0.7;
        s.stroke = stops({op(token(ColorToken::sidebarBorder), 0.56)});
        s.shadow = SurfaceShadow{op(token(ColorToken::panelShadow), 0.24), 10, QPointF(0, 5)};
        break;
    case SurfaceKind::primaryButton:
        s.overlay = stops({highlight, op(Theme::brandTeal(), 0.78)});
        s.overlayDirection = GradientDirection::horizontal;
        s.backgroundOpacity = state.pressed ? 0.85 : 1.0;
        s.shadow = SurfaceShadow{op(highlight, 0.16), 18, QPointF(0, 8)};
        break;
    case SurfaceKind::knob:
        s.fill = white;
        s.circle = true;
        s.shadow = SurfaceShadow{op(black, 0.15), 1, QPointF(0, 1)};
        break;
    case SurfaceKind::breakButton:
        s.material = op(Theme::material(Material::ultraThin, dark), 0.55);
        s.strokeWidth = 0.8;
        s.stroke = stops({token(ColorToken::panelStroke)});
        s.fill = Qt::transparent;
        s.shadow = SurfaceShadow{op(black, 0.22), 16, QPointF(0, 10)};
        break;
    case SurfaceKind::pageCard:
    case SurfaceKind::tintedPageCard:
        s.material = Theme::material(Material::ultraThin, dark);
        s.fill = op(token(ColorToken::surface), 0.74);
        if (kind == SurfaceKind::tintedPageCard)
            s.overlay = stops({op(highlight, 0.08), op(token(ColorToken::surface), 0)});
        s.strokeWidth = 0.7;
        s.stroke = stops({token(ColorToken::panelStroke)});
        s.shadow = SurfaceShadow{op(black, 0.22), 18, QPointF(0, 10)};
        break;
    }
    return s;
}

void paintSurface(QPainter &painter, const QRectF &rect, qreal radius, const SurfaceStyle &style)
{
    QPainterPath shape;
    if (style.circle)
        shape.addEllipse(rect);
    else
        shape = paint::continuousRoundedRect(rect, radius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(style.backgroundOpacity);
    if (style.material.alpha() > 0)
        painter.fillPath(shape, style.material);
    if (style.fill.alpha() > 0)
        painter.fillPath(shape, style.fill);
    if (!style.overlay.isEmpty())
        painter.fillPath(shape, gradientBrush(style.overlay, style.overlayDirection));
    if (style.strokeWidth > 0 && !style.stroke.isEmpty()) {
        // ObjectMode gradients on a pen follow the stroke's bounds.
        QPen pen(gradientBrush(style.stroke, GradientDirection::diagonal), style.strokeWidth);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.strokePath(shape, pen);
    }
    painter.restore();
}

} // namespace qv
