#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <cstdint>

// The numbers and geometry of the comfort veil's painting, kept apart from the view so
// that each can be checked on its own. Positions follow the veil's own convention (y
// grows upwards from the bottom edge) unless a function says it returns Qt coordinates.
namespace qv::veil {

// The caps of the four painters.
inline constexpr double kHighlightCap = 1.0;
inline constexpr double kColorCalmCap = 2.0;
inline constexpr double kPeripheralCap = 1.4;
inline constexpr double kMicrotextureCap = 1.2;

// An amount at or above the cap paints at the cap; a negative amount, one not above
// 0.01, and one that is not a number paint nothing (0).
double effectiveAmount(double amount, double cap);

// One uniform wash over the whole area: a colour (sRGB) at an alpha.
struct Wash {
    QColor color; // opaque
    double alpha = 0;
};

// Highlight dampening at effective amount a: grey 0.0 at 0.1·a, then grey 0.9 at 0.035·a.
QList<Wash> highlightWashes(double a);

// The eased curve of colour calm at effective amount c: t = c/2 in 0...1, p = t^0.72,
// e = max(t − 0.62, 0).
struct ColorCalmCurve {
    double t = 0;
    double p = 0;
    double e = 0;
};
ColorCalmCurve colorCalmCurve(double c);
// Grey 0.58 at 0.16·p + 0.1·e, then warm grey (0.78, 0.76, 0.70) at 0.075·p + 0.08·e.
QList<Wash> colorCalmWashes(double c);

// Several uniform washes painted one over the other (source-over) give one wash; the
// result as a premultiplied-free colour with its alpha (transparent when nothing paints).
QColor composeWashes(const QList<Wash> &washes);

// The peripheral vignette on an area: black whose alpha depends on the distance from the
// centre, through s = (d − inner) / (outer − inner).
struct Vignette {
    QPointF center;
    double innerRadius = 0; // 0.16·R
    double outerRadius = 0; // R = 0.72 × the larger side
};
Vignette vignetteGeometry(const QRectF &bounds);
// The gradient stops (location, alpha of black) at effective amount a.
struct VignetteStop {
    double location;
    double alpha;
};
QList<VignetteStop> vignetteStops(double a);
// The painted alpha at s (nothing inside the inner circle, the last stop beyond the outer).
double vignetteAlphaAt(double s, double a);

// "A stride from a through b by s": a + k·s (one fused multiply-add per value) for
// k = 0, 1, ... while the value is not above b. strideCount is the number of values.
double strideValue(double from, double by, std::int64_t k);
std::int64_t strideCount(double from, double through, double by);

// The grain: one cell per (x, y) of the strides 0 through width/height by 0.86.
inline constexpr double kGrainPitch = 0.86;
inline constexpr double kGrainDotSize = 0.5;
enum class GrainDot { none, dark, light };
// n = trunc(701·y + 1113·x), r = n mod 43: dark for 3, 7, 17, 23, 35; light for 0, 11, 29, 41.
GrainDot grainDotAt(double x, double y);
int grainResidue(double x, double y);

// The alphas of the microtexture at effective amount m.
struct MicrotextureAlphas {
    double darkDot;   // 0.034·m
    double lightDot;  // 0.026·m
    double lightLine; // 0.005·m
    double darkLine;  // 0.007·m
};
MicrotextureAlphas microtextureAlphas(double m);
// The scan lines: light ones at 0.5 + 4k, dark ones at 2.3 + 4k, through the height.
inline constexpr double kScanLineSpacing = 4.0;
inline constexpr double kLightLineStart = 0.5;
inline constexpr double kDarkLineStart = 2.3;
inline constexpr double kScanLineWidth = 0.3;

// The veil's y (up from the bottom) as a Qt y (down from the top) of an area of height h.
inline double flippedY(double y, double height)
{
    return height - y;
}

// The whole microtexture (grain and scan lines) of an area of the given size at the
// given device pixel ratio, painted once, scaled so that its strongest pixel would be
// opaque: the texture at m is this image with every channel multiplied by
// microtextureImageOpacity(m).
// A null image when the size is empty, not finite or too large to hold.
QImage renderMicrotexture(const QSizeF &size, double devicePixelRatio);
double microtextureImageOpacity(double m);

} // namespace qv::veil
