#pragma once

#include <QColor>
#include <QGradientStops>
#include <QPointF>

#include <optional>

class QPainter;
class QRectF;

namespace qv {

// The shared surfaces behind panels, cards, buttons and the sidebar.
enum class SurfaceKind {
    glassPanel,    // cards and secondary buttons; hovering raises the fill
    sidebar,       // the main window's floating sidebar column
    sidebarRow,    // one section row: selected, pressed, hovered or plain
    statusCard,    // the sidebar's small card about this Mac
    primaryButton, // the filled accent-to-teal button; pressed dims it
    knob,          // the toggle's white knob
    breakButton,   // "Skip Break" on the break panel: a thin veil over the dark background
    pageCard,      // the cards of the wellness pages: surface over the material, a deeper shadow
    tintedPageCard, // the same with a faint accent wash from the top-leading corner
};

struct SurfaceState {
    bool hovering = false;
    bool selected = false;
    bool pressed = false;
};

// How a gradient runs across the shape (in the shape's unit square, as the framework's
// unit points do).
enum class GradientDirection { diagonal, horizontal };

struct SurfaceShadow {
    QColor colour;
    qreal radius = 0; // the blur's standard deviation, points
    QPointF offset;
};

// Everything one surface draws, bottom to top: the material's tint, the fill, an overlay
// gradient, the outline; and the shadow it casts.
struct SurfaceStyle {
    QColor material;           // transparent: none
    QColor fill;               // transparent: none
    QGradientStops overlay;    // empty: none
    GradientDirection overlayDirection = GradientDirection::diagonal;
    qreal strokeWidth = 0;     // 0: no outline
    QGradientStops stroke;     // one stop: a plain colour
    std::optional<SurfaceShadow> shadow;
    qreal backgroundOpacity = 1;
    bool circle = false;
};

SurfaceStyle surfaceStyle(SurfaceKind kind, const SurfaceState &state, bool isDark);

// Paints the surface (not its shadow) in rect with corner radius.
void paintSurface(QPainter &painter, const QRectF &rect, qreal radius, const SurfaceStyle &style);

} // namespace qv
